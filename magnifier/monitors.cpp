#include "monitors.h"

#include "colortext.h"

#include <limits>

namespace {

// How much of the window must stay on a monitor for a saved position to be restored.
constexpr int reachableSide = 48;

// Appends the offsets, each right-aligned in 6 characters.
void appendOffsets(QString &text, const QPoint &d)
{
    appendDecimal(text, d.x(), 6);
    text += QLatin1Char(' ');
    appendDecimal(text, d.y(), 6);
}

// Whether the far corner of a window at `topLeft` is still an int: a saved place near the
// end of the range (a damaged settings file) is on no monitor, and its rectangle would overflow.
bool cornerFits(const QPoint &topLeft, const QSize &size)
{
    constexpr qint64 largest = std::numeric_limits<int>::max();
    return topLeft.x() + qint64(size.width()) <= largest && topLeft.y() + qint64(size.height()) <= largest;
}

} // namespace

int screenIndexIn(const QList<QRect> &screenRects, const QPoint &p)
{
    for (int i = 0; i < screenRects.size(); ++i) {
        if (screenRects.at(i).contains(p))
            return i;
    }
    return 0;
}

QString anchorPositionText(const QPoint &p, const QPoint &anchor)
{
    QString text = QStringLiteral("Rel. ");
    appendOffsets(text, p - anchor);
    return text;
}

QString monitorPositionText(const QPoint &p, int monitorIndex, const QRect &monitor)
{
    QString text;
    text.reserve(20);
    text += QLatin1Char('[');
    appendDecimal(text, monitorIndex + 1, 0);
    text += QLatin1Char(']');
    appendOffsets(text, p - monitor.topLeft());
    return text;
}

bool positionReachable(const QPoint &clientTopLeft, const QSize &size, const QList<QRect> &monitors)
{
    if (!cornerFits(clientTopLeft, size))
        return false;
    const QRect window(clientTopLeft, size);
    for (const QRect &monitor : monitors) {
        const QRect shared = monitor.intersected(window);
        if (shared.width() >= reachableSide && shared.height() >= reachableSide)
            return true;
    }
    return false;
}
