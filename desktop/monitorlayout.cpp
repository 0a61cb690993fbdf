#include "monitorlayout.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace {

// One axis of deviceLayout: the device start of each monitor along it, pushed past every
// monitor before it along the axis for which `pushes(before, monitor)` holds.
template <typename Pushes>
QVector<qint64> placeAlong(const QVector<qint64> &start, const QVector<qint64> &logicalSize,
                           const QVector<qint64> &deviceSize, Pushes pushes)
{
    const int count = start.size();
    QVector<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return start[a] < start[b]; });
    QVector<qint64> placed(count);
    for (int i : order) {
        placed[i] = start[i];
        for (int before : order) {
            const qint64 gap = start[i] - (start[before] + logicalSize[before]);
            if (before != i && gap >= 0 && pushes(before, i))
                placed[i] = std::max(placed[i], placed[before] + deviceSize[before] + gap);
        }
    }
    return placed;
}

int clampedToInt(qint64 value)
{
    return int(std::clamp<qint64>(value, std::numeric_limits<int>::min() / 2, std::numeric_limits<int>::max() / 2));
}

// Device pixel `p` of monitor `m` in the compositor's layout.
QPointF logicalOf(const ScaledMonitor &m, const QPoint &p)
{
    const QPoint local = p - m.device.topLeft();
    return QPointF(m.logical.x() + local.x() * double(m.logical.width()) / m.device.width(),
                   m.logical.y() + local.y() * double(m.logical.height()) / m.device.height());
}

QPoint clampedInto(const QRect &area, const QPoint &p)
{
    return QPoint(qBound(area.left(), p.x(), area.right()), qBound(area.top(), p.y(), area.bottom()));
}

} // namespace

int monitorNumberOf(const QString &screenName)
{
    if (screenName.isEmpty())
        return 0;
    const QChar last = screenName.at(screenName.size() - 1);
    return last.isDigit() ? last.digitValue() : 0;
}

QList<int> monitorOrder(const QList<ScreenDesc> &screens)
{
    QList<int> order;
    for (int number = 1; number <= screens.size(); ++number) {
        for (int i = 0; i < screens.size(); ++i) {
            if (monitorNumberOf(screens.at(i).name) == number) {
                order.append(i);
                break;
            }
        }
    }
    if (order.size() == screens.size())
        return order;
    order.clear();
    for (int i = 0; i < screens.size(); ++i)
        order.append(i);
    return order;
}

QList<QRect> deviceLayout(const QList<QRect> &logical, const QList<QSize> &device)
{
    QVector<qint64> x, y, logicalWidth, logicalHeight, width, height;
    for (int i = 0; i < logical.size(); ++i) {
        x << logical[i].x();
        y << logical[i].y();
        logicalWidth << logical[i].width();
        logicalHeight << logical[i].height();
        width << device.value(i).width();
        height << device.value(i).height();
    }
    // Side by side pushes sideways; stacked or diagonal pushes down, which alone keeps them apart.
    const auto sideBySide = [&](int a, int b) { return y[a] < y[b] + logicalHeight[b] && y[b] < y[a] + logicalHeight[a]; };
    const QVector<qint64> left = placeAlong(x, logicalWidth, width, sideBySide);
    const QVector<qint64> top = placeAlong(y, logicalHeight, height, [](int, int) { return true; });
    QList<QRect> placed;
    for (int i = 0; i < logical.size(); ++i)
        placed.append(QRect(clampedToInt(left[i]), clampedToInt(top[i]), int(width[i]), int(height[i])));
    return placed;
}

QPoint nearestPixel(const QList<QRect> &monitors, const QPoint &p)
{
    QPoint nearest = p;
    int best = std::numeric_limits<int>::max();
    for (const QRect &monitor : monitors) {
        const QPoint candidate = clampedInto(monitor, p);
        const int distance = (candidate - p).manhattanLength();
        if (distance < best) {
            nearest = candidate;
            best = distance;
        }
    }
    return nearest;
}

QVector<PointerMotion> motionsTo(const QList<ScaledMonitor> &monitors, const QPoint &from, const QPoint &target)
{
    const auto onMonitor = [&](const QPoint &p) {
        for (int i = 0; i < monitors.size(); ++i)
            if (monitors[i].device.contains(p) && !monitors[i].logical.isEmpty() && !monitors[i].accepted.isEmpty())
                return i;
        return -1;
    };
    const int to = onMonitor(target);
    const int at = onMonitor(from);
    if (to < 0)
        return {};
    const QPoint local = target - monitors[to].device.topLeft();
    if (local.x() < monitors[to].accepted.width() && local.y() < monitors[to].accepted.height())
        return {{true, to, QPointF(local)}};
    if (at < 0)
        return {};
    return {{false, to, logicalOf(monitors[to], target) - logicalOf(monitors[at], from)}};
}
