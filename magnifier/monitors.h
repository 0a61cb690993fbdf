#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

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

// Index of the first rectangle containing `p` (edges included), or 0 when none does.
int screenIndexIn(const QList<QRect> &screenRects, const QPoint &p);

// The position text: "Rel. %1 %2" from the anchor, or "[%1]%2 %3" with the monitor number
// and the offsets from that monitor's top-left corner; offsets right-aligned in 6 characters.
QString anchorPositionText(const QPoint &p, const QPoint &anchor);
QString monitorPositionText(const QPoint &p, int monitorIndex, const QRect &monitor);

// Whether a window whose client area would sit at `clientTopLeft` with `size` can still be
// reached: enough of it lies on one of the monitors to grab and drag it.
bool positionReachable(const QPoint &clientTopLeft, const QSize &size, const QList<QRect> &monitors);
