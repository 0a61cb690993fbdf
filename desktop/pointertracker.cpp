#include "pointertracker.h"

#include <utility>

std::optional<QPoint> PointerTracker::seen(const QPoint &seenAt, qint64 now)
{
    if (settling && seenAt != movedTarget && now - movedAt < settleTime)
        return std::nullopt;
    settling = false;
    at = lastSeen = seenAt;
    isKnown = live = true;
    if (!std::exchange(anyWaiting, false))
        return std::nullopt;
    return std::exchange(waiting, QPoint());
}

void PointerTracker::movedTo(const QPoint &to, qint64 now)
{
    at = movedTarget = to;
    movedAt = now;
    settling = true;
}

void PointerTracker::moveFailed()
{
    at = lastSeen;
    settling = false;
}

void PointerTracker::lose()
{
    live = false;
    settling = false;
}

bool PointerTracker::stepNow(const QPoint &step)
{
    if (live)
        return true;
    waiting += step;
    anyWaiting = true;
    return false;
}
