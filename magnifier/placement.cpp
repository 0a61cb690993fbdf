#include "vikaro.h"

#include <QGuiApplication>
#include <QScreen>

#include "monitors.h"
#include "settings/cdata.h"
#include "settings/preferences.h"

namespace {

// Frame thickness assumed before the window system has told us: left border, title bar.
const QPoint estimatedFrame(4, 27);
// Sampling ticks a shown window may go without a frame before we take it that none will come
// (an X server without a window manager draws no frames).
constexpr int ticksWithoutFrame = 10;

QPoint savedPosition()
{
    CData store;
    return QPoint(store.getInt(prefs::group, prefs::positionX), store.getInt(prefs::group, prefs::positionY));
}

QList<QRect> currentMonitors()
{
    QList<QRect> monitors;
    for (const QScreen *screen : QGuiApplication::screens())
        monitors.append(screen->geometry());
    return monitors;
}

} // namespace

int Vikaro::screenIndexAt(QPoint p)
{
    return screenIndexIn(screenRects, p);
}

// The rectangle of monitor `index`; with no monitor known, the primary screen's.
QRect Vikaro::monitorRect(int index) const
{
    if (index >= 0 && index < screenRects.size())
        return screenRects.at(index);
    const QScreen *primary = QGuiApplication::primaryScreen();
    return primary ? primary->geometry() : QRect();
}

// First guess at the saved place, before the frame's real size is known.
void Vikaro::restoreEstimatedPosition()
{
    const QPoint saved = savedPosition();
    if (saved.isNull() || !positionReachable(saved, size(), currentMonitors()))
        return;
    move(saved - estimatedFrame);
}

// Puts the client area exactly on the saved place once the frame exists, or once the window
// has been up long enough to know it will get none. From then on moves are saved.
void Vikaro::placeExactly()
{
    const bool framed = pos() != geometry().topLeft();
    if (!framed && (!isVisible() || ++unframedTicks < ticksWithoutFrame))
        return;
    const QPoint saved = savedPosition();
    if (!saved.isNull() && positionReachable(saved, size(), currentMonitors()))
        move(saved - (geometry().topLeft() - frameGeometry().topLeft()));
    placed = true;
}

// Saves the client area's corner. The event's own position is not used: for a move the program
// asks for itself the toolkit reports the frame's corner there, which would drift the window
// by the frame's size at every restart.
void Vikaro::moveEvent(QMoveEvent *)
{
    if (!placed)
        return;
    const QPoint client = geometry().topLeft();
    CData store;
    store.setInt(prefs::group, prefs::positionX, client.x());
    store.setInt(prefs::group, prefs::positionY, client.y());
}
