#include "desktop.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVector>

#include <fcntl.h>

#include <algorithm>

#include "monitorlayout.h"
#include "pointertracker.h"
#include "portalsession.h"
#include "screenstream.h"
#include "screenstreams.h"

// On Wayland only the compositor knows the screen and the pointer: both come from the desktop
// portals, the screen as PipeWire streams with the pointer as metadata, pointer moves as
// remote-desktop input. Each tick reads the newest picture already received; nothing waits.

namespace {

// Milliseconds from the session's start within which every monitor's first picture comes on
// a desktop that sends any (a compositor sends the first one at once, however still the screen).
constexpr int firstPictureTime = 4000;

// A monitor's scale: its device pixels per pixel of the compositor's layout.
QPointF scaleOf(const QSize &device, const QSize &layout)
{
    if (layout.isEmpty() || device.isEmpty())
        return QPointF(1, 1);
    return QPointF(double(device.width()) / layout.width(), double(device.height()) / layout.height());
}

class PortalDesktop : public QObject, public Desktop
{
public:
    PortalDesktop(const QString &restoreToken, std::function<void(const QString &)> keepToken)
        : session(new PortalSession(QDBusConnection::sessionBus(), restoreToken, this))
    {
        clock.start();
        connect(session, &PortalSession::problem, this, [this](DesktopProblem problem) { onProblem(problem); });
        connect(session, &PortalSession::started, this, &PortalDesktop::onStarted);
        if (keepToken)
            connect(session, &PortalSession::tokenIssued, this, std::move(keepToken));
        session->start();
    }

    // The streams go before the session they belong to.
    ~PortalDesktop() override { delete streams; }

    QPoint cursorPos() override { return tracker.position(); }

    void setCursorPos(const QPoint &globalPos) override
    {
        if (canMove())
            moveTo(globalPos);
    }

    // From where the pointer is now: while its position is stale, once the next one comes.
    void movePointerBy(const QPoint &step) override
    {
        if (canMove() && tracker.stepNow(step))
            moveTo(tracker.position() + step);
    }

    QImage grab(const QRect &rect) override
    {
        if (!isReady())
            return QImage();
        QImage square = newSquare(rect.size());
        for (const auto &monitor : streams->streams())
            if (monitor->rect().intersects(rect) && !monitor->copyInto(square, rect))
                return QImage();
        return square;
    }

    QList<QRect> monitors() override { return placed; }

    bool isReady() const override { return streams && tracker.known() && allHavePictures(); }

    void setNeed(Need need) override
    {
        const bool active = need != Need::Nothing;
        if (active == streamsActive)
            return;
        streamsActive = active;
        if (!active)
            tracker.lose();
        if (streams)
            streams->setActive(active);
    }

private:
    // The first problem that ends the session says what went wrong; what follows from it (the
    // portal closing the session after a refusal, say) is not news. Late pictures are still taken.
    void onProblem(DesktopProblem problem)
    {
        if (problem == DesktopProblem::NoPointerMoves)
            tracker.moveFailed();
        const bool ending = problem != DesktopProblem::NoPointerMoves && problem != DesktopProblem::NoPictures
                         && problem != DesktopProblem::PointerUnknown;
        if (ended && ending)
            return;
        report(problem);
        if (!ending)
            return;
        ended = true;
        stopStreams();
    }

    // Monitors are numbered left to right, then top to bottom: the portal's order is its own.
    void onStarted(const QDBusUnixFileDescriptor &fd, QList<PortalStream> places)
    {
        if (ended)
            return;
        std::stable_sort(places.begin(), places.end(), [](const PortalStream &a, const PortalStream &b) {
            return qMakePair(a.layout.x(), a.layout.y()) < qMakePair(b.layout.x(), b.layout.y());
        });
        streams = new ScreenStreams(fcntl(fd.fileDescriptor(), F_DUPFD_CLOEXEC, 3), places, this);
        const auto failed = [](const auto &monitor) { return monitor->failed(); };
        if (streams->streams().empty() || std::any_of(streams->streams().begin(), streams->streams().end(), failed)) {
            onProblem(DesktopProblem::PortalFailed);
            return;
        }
        connect(streams, &ScreenStreams::ended, this, [this] { onProblem(DesktopProblem::StreamEnded); });
        scales.fill(QPointF(), places.size());
        for (const auto &monitor : streams->streams())
            follow(monitor.get());
        relayout();
        streams->setActive(streamsActive);
        QTimer::singleShot(firstPictureTime, this, [this] { checkPictures(true); });
    }

    void follow(ScreenStream *monitor)
    {
        connect(monitor, &ScreenStream::pointerSeen, this, [this](const QPoint &at) { onPointerSeen(at); });
        connect(monitor, &ScreenStream::cursorMetadataMissing, this,
                [this] { onProblem(DesktopProblem::NoCursorMetadata); });
        connect(monitor, &ScreenStream::resized, this, [this] { relayout(); });
        connect(monitor, &ScreenStream::pictureChanged, this, [this] { checkPictures(false); });
        connect(monitor, &ScreenStream::picturesUnusable, this, [this] { onProblem(DesktopProblem::NoPictures); });
    }

    // Every monitor in its own device pixels, placed by the compositor's layout. A monitor's
    // scale is fixed by its first pictures; when its resolution changes later, its layout size
    // follows at that scale.
    void relayout()
    {
        QList<QRect> layouts;
        QList<QSize> sizes;
        const auto &all = streams->streams();
        for (std::size_t i = 0; i < all.size(); ++i) {
            const QSize device = all[i]->deviceSize();
            if (scales[int(i)].isNull() && all[i]->hasFormat())
                scales[int(i)] = scaleOf(device, all[i]->layout().size());
            layouts.append(all[i]->layout());
            sizes.append(device);
        }
        placed = deviceLayout(layouts, sizes);
        scaled.clear();
        for (std::size_t i = 0; i < all.size(); ++i) {
            const QPointF scale = scales[int(i)].isNull() ? QPointF(1, 1) : scales[int(i)];
            const QSize layoutSize(qRound(sizes[int(i)].width() / scale.x()), qRound(sizes[int(i)].height() / scale.y()));
            all[i]->setDevicePosition(placed[int(i)].topLeft());
            const QSize accepted = layouts[int(i)].isEmpty() ? layoutSize : layouts[int(i)].size();
            scaled.append({QRect(layouts[int(i)].topLeft(), layoutSize), placed[int(i)], accepted});
        }
        layoutChanged();
    }

    bool allHavePictures() const
    {
        const auto &all = streams->streams();
        return std::all_of(all.begin(), all.end(), [](const auto &monitor) { return monitor->hasPicture(); });
    }

    // Without pictures, or without the pointer, the window shows nothing, which alone would not
    // tell the user why; once they come, the box that said so goes.
    void checkPictures(bool deadline)
    {
        if (!streams)
            return;
        if (allHavePictures())
            resolve(DesktopProblem::NoPictures);
        else if (deadline)
            onProblem(DesktopProblem::NoPictures);
        if (deadline && allHavePictures() && !tracker.known())
            onProblem(DesktopProblem::PointerUnknown);
    }

    // Called from inside the streams' own callbacks: they go once those have returned.
    void stopStreams()
    {
        if (!streams)
            return;
        streams->disconnect(this);
        for (const auto &monitor : streams->streams())
            monitor->disconnect(this);
        streams->deleteLater();
        streams = nullptr;
        placed.clear();
        layoutChanged();
    }

    void onPointerSeen(const QPoint &at)
    {
        if (!tracker.known())
            resolve(DesktopProblem::PointerUnknown);
        if (const std::optional<QPoint> step = tracker.seen(at, clock.elapsed()))
            moveTo(tracker.position() + *step);
    }

    bool canMove() const { return streams && tracker.known() && session->canMovePointer(); }

    // Onto the monitor under `target` or nearest to it, as a pointer never leaves the monitors.
    void moveTo(const QPoint &target)
    {
        const QPoint to = nearestPixel(placed, target);
        for (const PointerMotion &motion : motionsTo(scaled, tracker.position(), to)) {
            if (motion.absolute)
                session->movePointerTo(streams->streams()[std::size_t(motion.monitor)]->node(), motion.to);
            else
                session->movePointerBy(motion.to);
        }
        tracker.movedTo(to, clock.elapsed());
    }

    PortalSession *session;
    ScreenStreams *streams = nullptr;
    QVector<QPointF> scales; // per stream, null until its first pictures
    QList<QRect> placed;   // the monitors, global device pixels
    QList<ScaledMonitor> scaled;
    PointerTracker tracker;
    QElapsedTimer clock;
    bool streamsActive = true;
    bool ended = false; // a problem ended the session
};

} // namespace

std::unique_ptr<Desktop> createPortalDesktop(const QString &restoreToken, std::function<void(const QString &)> keepToken)
{
    return std::make_unique<PortalDesktop>(restoreToken, std::move(keepToken));
}
