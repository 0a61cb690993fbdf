// gnome-cast NODE...: gnome-check.sh's view of the compositor's screen-cast streams NODE... (pictures in shared
// memory, the pointer as metadata). After each buffer, once the pointer is known, it prints "I X Y RRGGBB": the real
// pointer at X,Y of stream I (device pixels) and the pixel there in that stream's newest picture ("none" before one).
#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Cast
{
    pw_stream *stream = nullptr;
    int width = 0, height = 0;
    uint64_t stride = 0;
    std::vector<uint8_t> picture; // the newest one: `height` rows of `stride` bytes, BGRx pixels
};

std::vector<Cast> casts;
std::array<int, 3> pointer = {-1, 0, 0}; // stream, x, y

void onParamChanged(void *data, uint32_t id, const spa_pod *param)
{
    auto *cast = static_cast<Cast *>(data);
    spa_video_info_raw info = {};
    if (id != SPA_PARAM_Format || !param || spa_format_video_raw_parse(param, &info) < 0)
        return;
    cast->width = int(info.size.width);
    cast->height = int(info.size.height);
    cast->picture.clear();
    // The pointer's place comes along only to a client that takes the compositor's cursor size.
    const auto size = [](int side) { return int(sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap)) + side * side * 4; };
    uint8_t storage[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    const auto *meta = static_cast<const spa_pod *>(spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Cursor),
        SPA_PARAM_META_size, SPA_POD_CHOICE_RANGE_Int(size(64), size(1), size(1024))));
    pw_stream_update_params(cast->stream, &meta, 1);
}

// A stream sends the pointer's place while any of its picture is in the stream, so a neighbour's stream does too
// near the edge: the pointer is on the one it lies within. Cursor-only buffers carry no picture; one whose rows
// would not fit its memory is left out.
void readBuffer(Cast &cast, const spa_buffer *buffer)
{
    const auto *cursor = static_cast<const spa_meta_cursor *>(
        spa_buffer_find_meta_data(buffer, SPA_META_Cursor, sizeof(spa_meta_cursor)));
    const spa_point at = cursor && spa_meta_cursor_is_valid(cursor) ? cursor->position : spa_point{-1, -1};
    if (at.x >= 0 && at.y >= 0 && at.x < cast.width && at.y < cast.height)
        pointer = {int(&cast - casts.data()), at.x, at.y};
    const spa_data *data = buffer->n_datas > 0 ? &buffer->datas[0] : nullptr;
    if (!data || !data->data || !data->chunk || data->chunk->size == 0 || cast.width <= 0 || cast.height <= 0)
        return;
    const uint64_t stride = uint32_t(data->chunk->stride), offset = data->chunk->offset;
    if (stride < uint64_t(cast.width) * 4 || offset + stride * uint64_t(cast.height) > data->maxsize)
        return;
    const auto *rows = static_cast<const uint8_t *>(data->data) + offset;
    cast.picture.assign(rows, rows + stride * uint64_t(cast.height));
    cast.stride = stride;
}

void onProcess(void *data)
{
    auto *cast = static_cast<Cast *>(data);
    while (pw_buffer *buffer = pw_stream_dequeue_buffer(cast->stream)) {
        readBuffer(*cast, buffer->buffer);
        pw_stream_queue_buffer(cast->stream, buffer);
    }
    if (pointer[0] < 0)
        return;
    const Cast &under = casts[size_t(pointer[0])];
    const uint64_t at = uint64_t(pointer[2]) * under.stride + uint64_t(pointer[1]) * 4;
    char colour[8] = "none";
    if (at + 3 < under.picture.size()) // none while a new size's first picture is awaited
        std::snprintf(colour, sizeof colour, "%02X%02X%02X", under.picture[at + 2], under.picture[at + 1],
                      under.picture[at]);
    std::printf("%d %d %d %s\n", pointer[0], pointer[1], pointer[2], colour);
    std::fflush(stdout);
}

bool connectCast(pw_loop *loop, Cast &cast, uint32_t node)
{
    static pw_stream_events events = {};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.param_changed = onParamChanged;
    events.process = onProcess;
    cast.stream = pw_stream_new_simple(loop, "gnome-check", nullptr, &events, &cast);
    uint8_t storage[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    const auto *format = static_cast<const spa_pod *>(spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
        SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
        SPA_POD_CHOICE_ENUM_Id(3, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRA)));
    const auto flags = pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS);
    return cast.stream && pw_stream_connect(cast.stream, PW_DIRECTION_INPUT, node, flags, &format, 1) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    pw_init(&argc, &argv);
    pw_main_loop *loop = pw_main_loop_new(nullptr);
    casts.resize(size_t(argc - 1));
    for (int i = 1; i < argc; ++i) {
        if (!connectCast(pw_main_loop_get_loop(loop), casts[size_t(i - 1)], uint32_t(std::stoul(argv[i])))) {
            std::fprintf(stderr, "gnome-cast: stream %s would not connect\n", argv[i]);
            return 1;
        }
    }
    pw_main_loop_run(loop);
    return 0;
}
