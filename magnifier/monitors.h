#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

// Index of the first rectangle containing `p` (edges included), or 0 when none does.
int screenIndexIn(const QList<QRect> &screenRects, const QPoint &p);

// The position text: "Rel. %1 %2" from the anchor, or "[%1]%2 %3" with the monitor number
// and the offsets from that monitor's top-left corner; offsets right-aligned in 6 characters.
QString anchorPositionText(const QPoint &p, const QPoint &anchor);
QString monitorPositionText(const QPoint &p, int monitorIndex, const QRect &monitor);
// The characters the position texts write.
constexpr char positionTextCharacters[] = "[]Rel.-0123456789 ";

// Whether a window whose client area would sit at `clientTopLeft` with `size` can still be
// reached: enough of it lies on one of the monitors to grab and drag it.
bool positionReachable(const QPoint &clientTopLeft, const QSize &size, const QList<QRect> &monitors);
