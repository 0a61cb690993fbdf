#pragma once

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <spa/utils/hook.h>

#include <cstddef>
#include <cstdint>

#include "portalsession.h"

struct pw_buffer;
struct pw_core;
struct pw_stream;
struct spa_buffer;
struct spa_pod;

// One monitor's PipeWire stream of a portal session, consumed on the thread of the loop the
// core runs on. It keeps the newest usable picture buffer dequeued (the one before goes back to
// the compositor), so a grab reads straight from the shared memory, with no copy per frame.
// Every buffer is checked against the negotiated format and the memory really behind it before a
// pixel of it is read; buffers without a picture (cursor-only, or flagged corrupted) only carry
// the pointer.
class ScreenStream : public QObject
{
    Q_OBJECT

public:
    ScreenStream(pw_core *core, const PortalStream &place, QObject *parent = nullptr);
    ~ScreenStream() override;

    quint32 node() const { return place.node; }
    // Its place in the compositor's layout, and its size in device pixels: the pictures' once
    // known, the layout's until then.
    QRect layout() const { return place.layout; }
    QSize deviceSize() const;
    bool hasFormat() const { return !frameSize.isEmpty(); }
    // Where the magnifier puts it on the desktop, in global device pixels.
    void setDevicePosition(const QPoint &topLeft) { devicePosition = topLeft; }
    QRect rect() const { return QRect(devicePosition, deviceSize()); }
    bool hasPicture() const { return pixels != nullptr; }
    bool failed() const { return hasFailed; }
    // Copies the part of global `area` this stream shows into `square`, whose top-left is at
    // global `area.topLeft()`, made opaque. False (and nothing copied) without a picture.
    bool copyInto(QImage &square, const QRect &area) const;
    // Inactive, the compositor sends it nothing; not before its first picture, since a
    // compositor may send the next one only when the screen changes.
    void setActive(bool active);

signals:
    // A buffer placed the pointer at `global` (device pixels), on this monitor.
    void pointerSeen(const QPoint &global);
    // A picture came without pointer metadata: the pointer's position cannot be known.
    void cursorMetadataMissing();
    // The pictures' size changed (the monitor's resolution did).
    void resized();
    // hasPicture() changed: a picture came, or the one kept went (a new format, a bad buffer).
    void pictureChanged();
    // A buffer claimed a picture its data cannot hold (short, out of bounds, rows too narrow,
    // memory missing).
    void picturesUnusable();
    // The stream failed, was disconnected, or its source went away.
    void ended();

private:
    friend struct StreamCallbacks; // PipeWire's C callbacks, calling the ones below

    void stateChanged(int state);
    void paramChanged(std::uint32_t id, const spa_pod *param);
    void process();
    void bufferRemoved(pw_buffer *buffer);
    void negotiated(const spa_pod *format);
    void readCursor(spa_buffer *buffer);
    void take(pw_buffer *buffer);
    void drop();

    PortalStream place;
    QPoint devicePosition;
    pw_stream *stream = nullptr;
    spa_hook listener = {};
    bool redFirst = false;      // RGBx/RGBA rather than BGRx/BGRA
    QSize frameSize;            // pixels of the pictures, once negotiated
    pw_buffer *newest = nullptr;
    const std::uint8_t *pixels = nullptr; // the newest usable picture's top row
    std::ptrdiff_t stride = 0;            // bytes from one row to the next; negative bottom-up
    bool wantActive = true;
    bool wasConnected = false;
    bool hasFailed = false;
    bool missingTold = false;
};
