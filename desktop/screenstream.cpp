#include "screenstream.h"

#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

#include <cmath>
#include <cstring>

// Callbacks of PipeWire's C interface, handing on to the stream.
struct StreamCallbacks
{
    static void stateChanged(void *self, pw_stream_state, pw_stream_state state, const char *)
    {
        static_cast<ScreenStream *>(self)->stateChanged(state == PW_STREAM_STATE_ERROR,
                                                        state == PW_STREAM_STATE_UNCONNECTED);
    }
    static void paramChanged(void *self, std::uint32_t id, const spa_pod *param)
    {
        static_cast<ScreenStream *>(self)->paramChanged(id, param);
    }
    static void process(void *self) { static_cast<ScreenStream *>(self)->process(); }
    static void removeBuffer(void *self, pw_buffer *buffer)
    {
        static_cast<ScreenStream *>(self)->bufferRemoved(buffer);
    }

    static const pw_stream_events &events()
    {
        static const pw_stream_events all = [] {
            pw_stream_events e = {};
            e.version = PW_VERSION_STREAM_EVENTS;
            e.state_changed = &StreamCallbacks::stateChanged;
            e.param_changed = &StreamCallbacks::paramChanged;
            e.process = &StreamCallbacks::process;
            e.remove_buffer = &StreamCallbacks::removeBuffer;
            return e;
        }();
        return all;
    }
};

namespace {

// Pointer bitmaps up to this side in pixels fit the cursor metadata; offered less, a
// compositor may send none at all.
constexpr int cursorSide = 384;
constexpr int cursorMetaSize = int(sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap)) + cursorSide * cursorSide * 4;
constexpr int maxFramesPerSecond = 30;
constexpr int bytesPerPixel = 4;

// What the stream accepts: 32-bit pixels in either byte order, any size, at most 30 frames a
// second, in shared memory (no modifiers offered, so no DMA-BUF).
const spa_pod *formatParam(spa_pod_builder &builder)
{
    const spa_rectangle size{1920, 1080};
    const spa_rectangle smallest{1, 1};
    const spa_rectangle largest{16384, 16384};
    const spa_fraction rate{maxFramesPerSecond, 1};
    const spa_fraction none{0, 1};
    return static_cast<const spa_pod *>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat,
        SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
        SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw),
        SPA_FORMAT_VIDEO_format, SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx,
                                                        SPA_VIDEO_FORMAT_BGRA, SPA_VIDEO_FORMAT_RGBx,
                                                        SPA_VIDEO_FORMAT_RGBA),
        SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&size, &smallest, &largest),
        SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&none, &none, &rate),
        SPA_FORMAT_VIDEO_maxFramerate, SPA_POD_CHOICE_RANGE_Fraction(&rate, &none, &rate)));
}

const spa_pod *buffersParam(spa_pod_builder &builder)
{
    return static_cast<const spa_pod *>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers,
        SPA_PARAM_BUFFERS_buffers, SPA_POD_CHOICE_RANGE_Int(8, 3, 16),
        SPA_PARAM_BUFFERS_dataType, SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr))));
}

const spa_pod *metaParam(spa_pod_builder &builder, std::uint32_t type, int size)
{
    return static_cast<const spa_pod *>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta,
        SPA_PARAM_META_type, SPA_POD_Id(type),
        SPA_PARAM_META_size, SPA_POD_Int(size)));
}

// The buffer's metadata of `type`, or null when it has none.
template <typename Meta>
const Meta *metaOf(spa_buffer *buffer, std::uint32_t type)
{
    return static_cast<const Meta *>(spa_buffer_find_meta_data(buffer, type, sizeof(Meta)));
}

bool isSupported(std::uint32_t format)
{
    return format == SPA_VIDEO_FORMAT_BGRx || format == SPA_VIDEO_FORMAT_BGRA || format == SPA_VIDEO_FORMAT_RGBx
        || format == SPA_VIDEO_FORMAT_RGBA;
}

// One row of `width` pixels into 0xFFRRGGBB: BGRx bytes already read as 0xxxRRGGBB on a
// little-endian machine; RGBx ones have red and blue swapped.
void copyRow(QRgb *out, const std::uint8_t *in, int width, bool redFirst)
{
    for (int x = 0; x < width; ++x, in += bytesPerPixel) {
        const std::uint8_t first = in[0];
        const std::uint8_t third = in[2];
        out[x] = redFirst ? qRgb(first, in[1], third) : qRgb(third, in[1], first);
    }
}

} // namespace

ScreenStream::ScreenStream(pw_core *core, const PortalStream &place, QObject *parent)
    : QObject(parent)
    , place(place)
{
    stream = pw_stream_new(core, "vikaro",
                           pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture",
                                             PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    if (!stream)
        return;
    pw_stream_add_listener(stream, &listener, &StreamCallbacks::events(), this);
    std::uint8_t space[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(space, sizeof(space));
    const spa_pod *params[] = {formatParam(builder)};
    pw_stream_connect(stream, PW_DIRECTION_INPUT, place.node,
                      pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS), params, 1);
}

// The listener goes first: tearing the stream down must not call back into a half-gone object.
ScreenStream::~ScreenStream()
{
    if (!stream)
        return;
    spa_hook_remove(&listener);
    if (newest)
        pw_stream_queue_buffer(stream, newest);
    pw_stream_destroy(stream);
}

QRect ScreenStream::rect() const
{
    if (!pictureSize.isEmpty())
        return QRect(place.position, pictureSize);
    return QRect(place.position, frameSize.isEmpty() ? place.size : frameSize);
}

bool ScreenStream::copyInto(QImage &square, const QRect &area) const
{
    if (!pixels)
        return false;
    const QRect part = area.intersected(rect());
    const bool redFirst = format == SPA_VIDEO_FORMAT_RGBx || format == SPA_VIDEO_FORMAT_RGBA;
    for (int y = part.top(); y <= part.bottom(); ++y) {
        const std::uint8_t *in = pixels + std::size_t(y - place.position.y()) * std::size_t(stride)
                               + std::size_t(part.left() - place.position.x()) * bytesPerPixel;
        auto *out = reinterpret_cast<QRgb *>(square.scanLine(y - area.top())) + (part.left() - area.left());
        copyRow(out, in, part.width(), redFirst);
    }
    return true;
}

// The stream's coordinates are the compositor's, which differ from pixels on a scaled monitor.
QPointF ScreenStream::toStream(const QPoint &global) const
{
    const QRect pixels = rect();
    const QSize logical = place.size.isEmpty() ? pixels.size() : place.size;
    const QPoint offset = global - pixels.topLeft();
    return QPointF(offset.x() * double(logical.width()) / pixels.width(),
                   offset.y() * double(logical.height()) / pixels.height());
}

void ScreenStream::setActive(bool active)
{
    wantActive = active;
    if (stream && (newest || active))
        pw_stream_set_active(stream, active);
}

void ScreenStream::stateChanged(bool failed, bool unconnected)
{
    if (failed || (unconnected && wasConnected)) {
        emit ended();
        return;
    }
    wasConnected = wasConnected || !unconnected;
}

void ScreenStream::paramChanged(std::uint32_t id, const spa_pod *param)
{
    if (param && id == SPA_PARAM_Format)
        negotiated(param);
}

// The compositor chose a format among ours: the buffers and metadata we want with it.
void ScreenStream::negotiated(const spa_pod *formatPod)
{
    spa_video_info_raw info = {};
    if (spa_format_video_raw_parse(formatPod, &info) < 0 || !isSupported(info.format)) {
        pw_stream_set_error(stream, -EINVAL, "unsupported video format");
        return;
    }
    format = info.format;
    frameSize = QSize(int(info.size.width), int(info.size.height));
    std::uint8_t space[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(space, sizeof(space));
    const spa_pod *params[] = {buffersParam(builder), metaParam(builder, SPA_META_Header, sizeof(spa_meta_header)),
                               metaParam(builder, SPA_META_Cursor, cursorMetaSize)};
    pw_stream_update_params(stream, params, 3);
}

void ScreenStream::process()
{
    while (pw_buffer *buffer = pw_stream_dequeue_buffer(stream)) {
        readCursor(buffer->buffer);
        if (isPicture(buffer->buffer))
            keep(buffer);
        else
            pw_stream_queue_buffer(stream, buffer);
    }
}

void ScreenStream::readCursor(spa_buffer *buffer)
{
    const auto *cursor = metaOf<spa_meta_cursor>(buffer, SPA_META_Cursor);
    if (!cursor) {
        if (isPicture(buffer) && !missingTold) {
            missingTold = true;
            emit cursorMetadataMissing();
        }
        return;
    }
    // A monitor the pointer is not on may still place it, off its own area.
    const QPoint at(cursor->position.x, cursor->position.y);
    if (spa_meta_cursor_is_valid(cursor) && QRect(QPoint(), rect().size()).contains(at))
        emit pointerSeen(place.position + at);
}

// A picture fills the negotiated size in mapped memory and is not flagged as damaged.
bool ScreenStream::isPicture(spa_buffer *buffer) const
{
    if (buffer->n_datas < 1 || !buffer->datas[0].data || !buffer->datas[0].chunk || frameSize.isEmpty())
        return false;
    const spa_data &data = buffer->datas[0];
    const spa_chunk &chunk = *data.chunk;
    const auto *header = metaOf<spa_meta_header>(buffer, SPA_META_Header);
    const bool corrupted = (chunk.flags & SPA_CHUNK_FLAG_CORRUPTED)
                        || (header && (header->flags & SPA_META_HEADER_FLAG_CORRUPTED));
    if (chunk.size == 0 || corrupted)
        return false;
    const std::size_t rowBytes = std::size_t(frameSize.width()) * bytesPerPixel;
    const std::size_t rowStride = chunk.stride > 0 ? std::size_t(chunk.stride) : rowBytes;
    const std::size_t needed = std::size_t(chunk.offset) + rowStride * std::size_t(frameSize.height() - 1) + rowBytes;
    return rowStride >= rowBytes && needed <= data.maxsize;
}

void ScreenStream::keep(pw_buffer *buffer)
{
    if (newest)
        pw_stream_queue_buffer(stream, newest);
    newest = buffer;
    const spa_data &data = buffer->buffer->datas[0];
    stride = data.chunk->stride > 0 ? data.chunk->stride : frameSize.width() * bytesPerPixel;
    pixels = static_cast<const std::uint8_t *>(data.data) + data.chunk->offset;
    pictureSize = frameSize;
    if (!wantActive)
        pw_stream_set_active(stream, false);
}

// Buffers go when the format changes or the stream stops: the picture in one goes with it.
void ScreenStream::bufferRemoved(pw_buffer *buffer)
{
    if (buffer != newest)
        return;
    newest = nullptr;
    pixels = nullptr;
}
