#pragma once

#include <QPoint>
#include <QtGlobal>

#include <optional>

// The pointer as a compositor tells it in the metadata of its pictures, in global device pixels,
// with times in milliseconds from any fixed start.
// - Pictures already on their way when the program moves the pointer still show it where it
//   was: for a while after a move, positions other than the move's count as older than it.
// - While the pictures stop (the window is not focused) the pointer may go anywhere: the position
//   goes stale, and a step asked for meanwhile waits for the next position seen, so it is made
//   from where the pointer really is.
class PointerTracker
{
public:
    static constexpr qint64 settleTime = 300;

    bool known() const { return isKnown; }
    QPoint position() const { return at; }

    // Metadata placed the pointer at `seenAt`. Returns the step that waited for it, if any.
    std::optional<QPoint> seen(const QPoint &seenAt, qint64 now);
    // The program moved the pointer to `to`.
    void movedTo(const QPoint &to, qint64 now);
    // The move to `to` did not happen after all: the last position seen stands.
    void moveFailed();
    // The pictures stop, and with them the news of the pointer.
    void lose();
    // A step of `step` pixels: true when it can be made now, from position(); otherwise it is
    // added to those waiting for the next position seen.
    bool stepNow(const QPoint &step);

private:
    QPoint at;
    QPoint lastSeen;
    QPoint movedTarget;
    qint64 movedAt = 0;
    QPoint waiting;
    bool isKnown = false;
    bool live = false;
    bool settling = false;
    bool anyWaiting = false;
};
