#pragma once

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>

#include <spa/utils/hook.h>

#include <cstdint>

#include "portalsession.h"

struct pw_buffer;
struct pw_core;
struct pw_stream;
struct spa_buffer;
struct spa_pod;

// One monitor's PipeWire stream of a portal session, consumed on the thread of the loop the
// core runs on. It keeps the newest picture buffer dequeued (the one before goes back to the
// compositor), so a grab reads straight from the shared memory, with no copy per frame.
// Cursor-only buffers (no picture, or one flagged corrupted) only carry the pointer.
class ScreenStream : public QObject
{
    Q_OBJECT

public:
    ScreenStream(pw_core *core, const PortalStream &place, QObject *parent = nullptr);
    ~ScreenStream() override;

    quint32 node() const { return place.node; }
    // Where its pictures lie on the desktop, in global device pixels.
    QRect rect() const;
    bool hasPicture() const { return newest != nullptr; }
    // Copies the part of global `area` this stream shows into `square`, whose top-left is at
    // global `area.topLeft()`, made opaque. False (and nothing copied) without a picture.
    bool copyInto(QImage &square, const QRect &area) const;
    // Global device pixel `global` in the stream's own coordinates for pointer moves.
    QPointF toStream(const QPoint &global) const;
    // Inactive, the compositor sends it nothing; not before its first picture, since a
    // compositor may send the next one only when the screen changes.
    void setActive(bool active);

signals:
    // A buffer placed the pointer at `global` (device pixels), on this monitor.
    void pointerSeen(const QPoint &global);
    // A picture came without pointer metadata: the pointer's position cannot be known.
    void cursorMetadataMissing();
    // The stream failed or was disconnected by the other side.
    void ended();

private:
    friend struct StreamCallbacks; // PipeWire's C callbacks, calling the three below

    void stateChanged(bool failed, bool unconnected);
    void paramChanged(std::uint32_t id, const spa_pod *param);
    void process();
    void bufferRemoved(pw_buffer *buffer);
    void negotiated(const spa_pod *format);
    void takeBuffers();
    void readCursor(spa_buffer *buffer);
    bool isPicture(spa_buffer *buffer) const;
    void keep(pw_buffer *buffer);

    PortalStream place;
    pw_stream *stream = nullptr;
    spa_hook listener = {};
    std::uint32_t format = 0;   // spa_video_format of the pictures
    QSize frameSize;            // pixels of the pictures, once negotiated
    QSize pictureSize;          // pixels of the newest picture, which may predate a new format
    pw_buffer *newest = nullptr;
    const std::uint8_t *pixels = nullptr; // the newest picture's first row
    int stride = 0;
    bool wantActive = true;
    bool wasConnected = false;
    bool missingTold = false;
};
