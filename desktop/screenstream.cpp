#include "screenstream.h"

#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "framerows.h"

// Callbacks of PipeWire's C interface, handing on to the stream.
struct StreamCallbacks
{
    static void stateChanged(void *self, pw_stream_state, pw_stream_state state, const char *)
    {
        static_cast<ScreenStream *>(self)->stateChanged(state);
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
constexpr int largestSide = 16384;

// The pixel formats taken: 32 bits a pixel, the fourth byte ignored.
struct PixelFormat
{
    spa_video_format format;
    bool redFirst;
};
constexpr PixelFormat pixelFormats[] = {
    {SPA_VIDEO_FORMAT_BGRx, false},
    {SPA_VIDEO_FORMAT_BGRA, false},
    {SPA_VIDEO_FORMAT_RGBx, true},
    {SPA_VIDEO_FORMAT_RGBA, true},
};

const PixelFormat *pixelFormatOf(std::uint32_t format)
{
    for (const PixelFormat &known : pixelFormats)
        if (known.format == format)
            return &known;
    return nullptr;
}

// What the stream accepts: the formats above, any size, at most 30 frames a second, in shared
// memory (no modifiers offered, so no DMA-BUF).
const spa_pod *formatParam(spa_pod_builder &builder)
{
    const spa_rectangle size{1920, 1080};
    const spa_rectangle smallest{1, 1};
    const spa_rectangle largest{largestSide, largestSide};
    const spa_fraction rate{maxFramesPerSecond, 1};
    const spa_fraction none{0, 1};
    spa_pod_frame frame;
    spa_pod_builder_push_object(&builder, &frame, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
    spa_pod_builder_add(&builder, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
                        SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), 0);
    spa_pod_frame choice;
    spa_pod_builder_prop(&builder, SPA_FORMAT_VIDEO_format, 0);
    spa_pod_builder_push_choice(&builder, &choice, SPA_CHOICE_Enum, 0);
    spa_pod_builder_id(&builder, pixelFormats[0].format);
    for (const PixelFormat &known : pixelFormats)
        spa_pod_builder_id(&builder, known.format);
    spa_pod_builder_pop(&builder, &choice);
    spa_pod_builder_add(&builder, SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&size, &smallest, &largest),
                        SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&none, &none, &rate),
                        SPA_FORMAT_VIDEO_maxFramerate, SPA_POD_CHOICE_RANGE_Fraction(&rate, &none, &rate), 0);
    return static_cast<const spa_pod *>(spa_pod_builder_pop(&builder, &frame));
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

// A buffer that says it has no picture: no data, an empty chunk, or flagged corrupted (as
// compositors send when only the pointer moved).
bool isCursorOnly(spa_buffer *buffer)
{
    if (buffer->n_datas < 1 || !buffer->datas[0].data || !buffer->datas[0].chunk)
        return true;
    const spa_chunk &chunk = *buffer->datas[0].chunk;
    const auto *header = metaOf<spa_meta_header>(buffer, SPA_META_Header);
    return chunk.size == 0 || (chunk.flags & SPA_CHUNK_FLAG_CORRUPTED)
        || (header && (header->flags & SPA_META_HEADER_FLAG_CORRUPTED));
}

// The bytes of a mapped buffer that may be read now: all it claims, unless it is a file shorter
// than that (reading past a file's end kills the reader). Memory not in a file of its own was mapped
// by PipeWire as it came; memory of a kind not asked for (a graphics card's) is not read at all.
std::uint32_t readableSize(const spa_data &data)
{
    if (data.type == SPA_DATA_MemPtr)
        return data.maxsize;
    struct stat file = {};
    if (data.type != SPA_DATA_MemFd || data.fd < 0 || fstat(int(data.fd), &file) != 0
        || file.st_size <= off_t(data.mapoffset))
        return 0;
    return std::uint32_t(std::min<std::uint64_t>(data.maxsize, std::uint64_t(file.st_size) - data.mapoffset));
}

// One row of `width` pixels into 0xFFRRGGBB.
void copyRow(QRgb *out, const std::uint8_t *in, int width, bool redFirst)
{
    for (int x = 0; x < width; ++x, in += bytesPerPixel)
        out[x] = redFirst ? qRgb(in[0], in[1], in[2]) : qRgb(in[2], in[1], in[0]);
}

} // namespace

// A source that goes away is not replaced by another: the stream ends instead.
ScreenStream::ScreenStream(pw_core *core, const PortalStream &place, QObject *parent)
    : QObject(parent)
    , place(place)
    , devicePosition(place.layout.topLeft())
{
    stream = pw_stream_new(core, "vikaro",
                           pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture",
                                             PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    if (!stream) {
        hasFailed = true;
        return;
    }
    pw_stream_add_listener(stream, &listener, &StreamCallbacks::events(), this);
    std::uint8_t space[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(space, sizeof(space));
    const spa_pod *params[] = {formatParam(builder)};
    const auto flags = pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS
                                       | PW_STREAM_FLAG_DONT_RECONNECT);
    hasFailed = pw_stream_connect(stream, PW_DIRECTION_INPUT, place.node, flags, params, 1) < 0;
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

QSize ScreenStream::deviceSize() const
{
    return frameSize.isEmpty() ? place.layout.size() : frameSize;
}

bool ScreenStream::copyInto(QImage &square, const QRect &area) const
{
    if (!pixels)
        return false;
    const QRect part = area.intersected(rect());
    for (int y = part.top(); y <= part.bottom(); ++y) {
        const std::uint8_t *in = pixels + std::ptrdiff_t(y - devicePosition.y()) * stride
                               + std::ptrdiff_t(part.left() - devicePosition.x()) * bytesPerPixel;
        auto *out = reinterpret_cast<QRgb *>(square.scanLine(y - area.top())) + (part.left() - area.left());
        copyRow(out, in, part.width(), redFirst);
    }
    return true;
}

void ScreenStream::setActive(bool active)
{
    wantActive = active;
    if (stream && (newest || active))
        pw_stream_set_active(stream, active);
}

void ScreenStream::stateChanged(int state)
{
    const bool unconnected = state == PW_STREAM_STATE_UNCONNECTED;
    if (state == PW_STREAM_STATE_ERROR || (unconnected && wasConnected)) {
        hasFailed = true;
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

// The compositor chose a format among ours (again, when the monitor's resolution changes): the
// buffers and metadata we want with it.
void ScreenStream::negotiated(const spa_pod *formatPod)
{
    spa_video_info_raw info = {};
    const PixelFormat *known = spa_format_video_raw_parse(formatPod, &info) < 0 ? nullptr : pixelFormatOf(info.format);
    if (!known || info.size.width < 1 || info.size.height < 1 || info.size.width > largestSide
        || info.size.height > largestSide) {
        pw_stream_set_error(stream, -EINVAL, "unsupported video format");
        return;
    }
    redFirst = known->redFirst;
    const QSize before = frameSize;
    frameSize = QSize(int(info.size.width), int(info.size.height));
    const bool had = hasPicture();
    drop();
    if (had)
        emit pictureChanged();
    std::uint8_t space[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(space, sizeof(space));
    const spa_pod *params[] = {buffersParam(builder), metaParam(builder, SPA_META_Header, sizeof(spa_meta_header)),
                               metaParam(builder, SPA_META_Cursor, cursorMetaSize)};
    pw_stream_update_params(stream, params, 3);
    if (before != frameSize)
        emit resized();
}

void ScreenStream::process()
{
    while (pw_buffer *buffer = pw_stream_dequeue_buffer(stream)) {
        readCursor(buffer->buffer);
        if (isCursorOnly(buffer->buffer))
            pw_stream_queue_buffer(stream, buffer);
        else
            take(buffer);
    }
}

void ScreenStream::readCursor(spa_buffer *buffer)
{
    const auto *cursor = metaOf<spa_meta_cursor>(buffer, SPA_META_Cursor);
    if (!cursor) {
        if (!isCursorOnly(buffer) && !missingTold) {
            missingTold = true;
            emit cursorMetadataMissing();
        }
        return;
    }
    // A monitor the pointer is not on may still place it, off its own area.
    const QPoint at(cursor->position.x, cursor->position.y);
    if (spa_meta_cursor_is_valid(cursor) && QRect(QPoint(), deviceSize()).contains(at))
        emit pointerSeen(devicePosition + at);
}

// A picture whose rows do not all lie in its buffer is not shown, and neither is the one
// before it: that one is no longer the screen.
void ScreenStream::take(pw_buffer *buffer)
{
    const spa_data &data = buffer->buffer->datas[0];
    const std::optional<FrameRows> rows
        = frameRows(frameSize, data.chunk->offset, data.chunk->size, data.chunk->stride, readableSize(data));
    const bool had = hasPicture();
    drop();
    if (!rows) {
        pw_stream_queue_buffer(stream, buffer);
        emit picturesUnusable();
    } else {
        newest = buffer;
        pixels = static_cast<const std::uint8_t *>(data.data) + rows->top;
        stride = rows->stride;
        if (!wantActive)
            pw_stream_set_active(stream, false);
    }
    if (had != hasPicture())
        emit pictureChanged();
}

void ScreenStream::drop()
{
    if (newest)
        pw_stream_queue_buffer(stream, newest);
    newest = nullptr;
    pixels = nullptr;
}

// Buffers go when the format changes or the stream stops: the picture in one goes with it.
void ScreenStream::bufferRemoved(pw_buffer *buffer)
{
    if (buffer != newest)
        return;
    newest = nullptr;
    pixels = nullptr;
    emit pictureChanged();
}
