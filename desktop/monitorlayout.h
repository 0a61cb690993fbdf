#pragma once

#include <QList>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVector>

// Pure geometry of the desktop's monitors, in global pixels.

// A screen as the toolkit reports it: its name and geometry in global desktop pixels.
struct ScreenDesc
{
    QString name;
    QRect geometry;
};

// The monitor number taken from the last character of a screen name, 0 when it is no digit.
int monitorNumberOf(const QString &screenName);

// Indexes into `screens`, in monitor-number order: entry k is monitor k + 1. Monitors are
// numbered by the final digit of their names when that gives exactly one screen per number
// 1..N; otherwise (names like "screen", or "HDMI-1" and "DP-1") in the toolkit's order, so
// there is always one entry per screen.
QList<int> monitorOrder(const QList<ScreenDesc> &screens);

// Places monitors in global device pixels. `logical[i]` is monitor i in the compositor's layout
// (logical pixels on a scaled desktop), `device[i]` its size in device pixels. A monitor keeps
// its device size; one that lies wholly right of (or below) another in the layout lies right of
// (below) it here too, at the same gap, so monitors never overlap and neighbours that touch in
// the layout touch here, whatever their scales. Unscaled, the layout comes back as it is.
QList<QRect> deviceLayout(const QList<QRect> &logical, const QList<QSize> &device);

// The pixel of `monitors` nearest to `p` (itself when on one); `p` when there are none.
QPoint nearestPixel(const QList<QRect> &monitors, const QPoint &p);

// A monitor as the compositor lays it out (logical pixels), as the magnifier places it (global
// device pixels), and the positions the remote-desktop portal lets through to it: those inside
// its size when the session started (its layout size then), in device pixels of the stream.
struct ScaledMonitor
{
    QRect logical;
    QRect device;
    QSize accepted;
};

// One call to the remote-desktop portal.
struct PointerMotion
{
    bool absolute = true;
    int monitor = 0; // absolute: the monitor whose stream it is on
    QPointF to;      // absolute: device pixels from that monitor's top-left; relative: logical pixels to move by
};

// The call that takes the pointer from device pixel `from` to device pixel `target`, both on one
// of `monitors` (none otherwise). An absolute move takes the stream's device pixels but is
// refused beyond what the portal accepts (on a scaled monitor, or one grown since): there the
// move is relative, in logical pixels. It is one call, so the pointer never passes elsewhere
// (over the magnifier's own window, say) on its way.
QVector<PointerMotion> motionsTo(const QList<ScaledMonitor> &monitors, const QPoint &from, const QPoint &target);
