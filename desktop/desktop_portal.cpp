#include "desktop.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <fcntl.h>

#include <algorithm>

#include "portalsession.h"
#include "screenstream.h"
#include "screenstreams.h"

// On Wayland only the compositor knows the screen and the pointer: both come from the desktop
// portals, the screen as PipeWire streams with the pointer as metadata, pointer moves as
// remote-desktop input. Each tick reads the newest picture already received; nothing waits.

namespace {

// Milliseconds after a pointer move during which pictures that still show the pointer
// elsewhere are older than the move, and do not undo it.
constexpr int moveSettleTime = 300;
// Milliseconds from the session's start within which every monitor's first picture comes on
// a desktop that sends any (a compositor sends the first one at once, however still the screen).
constexpr int firstPictureTime = 4000;

// The pixel of `area` nearest to `p` (global device pixels).
QPoint clampedInto(const QRect &area, const QPoint &p)
{
    return QPoint(qBound(area.left(), p.x(), area.right()), qBound(area.top(), p.y(), area.bottom()));
}

class PortalDesktop : public QObject, public Desktop
{
public:
    PortalDesktop()
        : session(new PortalSession(QDBusConnection::sessionBus(), this))
    {
        connect(session, &PortalSession::problem, this, [this](DesktopProblem problem) { onProblem(problem); });
        connect(session, &PortalSession::started, this, &PortalDesktop::onStarted);
        connect(session, &PortalSession::closed, this, [this] { onEnded(); });
        session->start();
    }

    // The streams go before the session they belong to.
    ~PortalDesktop() override { delete monitors; }

    QPoint cursorPos() override { return pointer; }

    // Clamped to the monitor under it or nearest to it, as a pointer never leaves the screens.
    // A move from a position not known yet would land anywhere: none is made.
    void setCursorPos(const QPoint &globalPos) override
    {
        if (!monitors || !pointerKnown || !session->canMovePointer())
            return;
        const ScreenStream *under = streamNearest(globalPos);
        if (!under)
            return;
        const QPoint target = clampedInto(under->rect(), globalPos);
        session->movePointer(under->node(), under->toStream(target));
        pointer = target;
        pointerKnown = true;
        movedTo = target;
        sinceMove.start();
    }

    QImage grab(QScreen *, const QRect &rect) override
    {
        if (!isReady())
            return QImage();
        QImage square(rect.size(), QImage::Format_RGB32);
        square.fill(Qt::black);
        for (const auto &monitor : monitors->streams())
            if (monitor->rect().intersects(rect) && !monitor->copyInto(square, rect))
                return QImage();
        return square;
    }

    bool isReady() const override
    {
        if (!monitors || !pointerKnown)
            return false;
        for (const auto &monitor : monitors->streams())
            if (!monitor->hasPicture())
                return false;
        return true;
    }

    void setSamplingPaused(bool pausedNow) override
    {
        if (pausedNow == paused)
            return;
        paused = pausedNow;
        if (monitors)
            monitors->setActive(!paused);
    }

private:
    // The first problem that ends the session says what went wrong; what follows from it (the
    // portal closing the session after a refusal, say) is not news. Late pictures are still taken.
    void onProblem(DesktopProblem problem)
    {
        const bool ending = problem != DesktopProblem::NoPointerMoves && problem != DesktopProblem::NoPictures;
        if (ended && ending)
            return;
        report(problem);
        if (!ending)
            return;
        ended = true;
        stopStreams();
    }

    void onStarted(const QDBusUnixFileDescriptor &fd, const QList<PortalStream> &places)
    {
        if (ended)
            return;
        monitors = new ScreenStreams(fcntl(fd.fileDescriptor(), F_DUPFD_CLOEXEC, 3), places, this);
        if (monitors->streams().empty()) {
            onProblem(DesktopProblem::PortalFailed);
            return;
        }
        connect(monitors, &ScreenStreams::ended, this, [this] { onEnded(); });
        for (const auto &monitor : monitors->streams()) {
            connect(monitor.get(), &ScreenStream::pointerSeen, this, [this](const QPoint &at) { onPointerSeen(at); });
            connect(monitor.get(), &ScreenStream::cursorMetadataMissing, this,
                    [this] { onProblem(DesktopProblem::NoCursorMetadata); });
        }
        if (paused)
            monitors->setActive(false);
        QTimer::singleShot(firstPictureTime, this, [this] { checkPicturesCame(); });
    }

    // Without pictures the window shows nothing, which alone would not tell the user why.
    void checkPicturesCame()
    {
        const auto lacksPicture = [](const auto &monitor) { return !monitor->hasPicture(); };
        if (monitors && std::any_of(monitors->streams().begin(), monitors->streams().end(), lacksPicture))
            onProblem(DesktopProblem::NoPictures);
    }

    void onEnded() { onProblem(DesktopProblem::StreamEnded); }

    // Called from inside the streams' own callbacks: they go once those have returned.
    void stopStreams()
    {
        if (!monitors)
            return;
        monitors->disconnect(this);
        for (const auto &monitor : monitors->streams())
            monitor->disconnect(this);
        monitors->deleteLater();
        monitors = nullptr;
    }

    void onPointerSeen(const QPoint &at)
    {
        if (sinceMove.isValid() && at != movedTo && !sinceMove.hasExpired(moveSettleTime))
            return;
        sinceMove.invalidate();
        pointer = at;
        pointerKnown = true;
    }

    const ScreenStream *streamNearest(const QPoint &p) const
    {
        const ScreenStream *nearest = nullptr;
        int best = 0;
        for (const auto &monitor : monitors->streams()) {
            const int distance = (clampedInto(monitor->rect(), p) - p).manhattanLength();
            if (!nearest || distance < best) {
                nearest = monitor.get();
                best = distance;
            }
        }
        return nearest;
    }

    PortalSession *session;
    ScreenStreams *monitors = nullptr;
    QPoint pointer;
    QPoint movedTo;
    QElapsedTimer sinceMove;
    bool pointerKnown = false;
    bool paused = false;
    bool ended = false; // a problem ended the session
};

} // namespace

std::unique_ptr<Desktop> createPortalDesktop()
{
    return std::make_unique<PortalDesktop>();
}
