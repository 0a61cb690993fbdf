// vikaro_floor COUNTER_FILE: the least work one magnified frame can cost on X, to measure the
// magnifier against. About 33 times a second (30 ms from the end of one frame to the start of
// the next, like the magnifier) it asks the server for the pointer, grabs the 57 x 57 square
// around it through a MIT-SHM segment, enlarges it 3 times without smoothing into a 171 x 171
// buffer and reads the centre pixel. Nothing is shown.
//
// The number of frames done so far is kept as a 64-bit counter at the start of COUNTER_FILE
// (created by the caller, at least 8 bytes), so that the caller can count frames without the
// probe doing any output. Runs until killed.

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int span = 57;
constexpr int factor = 3;
constexpr int side = span * factor;
constexpr long frameGapNs = 30'000'000;

struct Grabber
{
    xcb_connection_t *connection = nullptr;
    xcb_screen_t *screen = nullptr;
    xcb_shm_seg_t segment = 0;
    const std::uint32_t *pixels = nullptr;
};

bool attachSegment(Grabber &g)
{
    const int id = shmget(IPC_PRIVATE, span * span * 4, IPC_CREAT | 0600);
    if (id < 0)
        return false;
    g.pixels = static_cast<const std::uint32_t *>(shmat(id, nullptr, SHM_RDONLY));
    g.segment = xcb_generate_id(g.connection);
    xcb_generic_error_t *error =
        xcb_request_check(g.connection, xcb_shm_attach_checked(g.connection, g.segment, std::uint32_t(id), 0));
    shmctl(id, IPC_RMID, nullptr);
    std::free(error);
    return g.pixels != reinterpret_cast<const std::uint32_t *>(-1) && !error;
}

std::uint32_t frame(Grabber &g, std::uint32_t *picture)
{
    xcb_query_pointer_reply_t *pointer =
        xcb_query_pointer_reply(g.connection, xcb_query_pointer(g.connection, g.screen->root), nullptr);
    if (!pointer)
        return 0;
    // Kept on the screen: the server refuses a get-image that reaches past the root window.
    const int x = std::clamp(pointer->root_x - span / 2, 0, g.screen->width_in_pixels - span);
    const int y = std::clamp(pointer->root_y - span / 2, 0, g.screen->height_in_pixels - span);
    std::free(pointer);
    std::free(xcb_shm_get_image_reply(
        g.connection,
        xcb_shm_get_image(g.connection, g.screen->root, std::int16_t(x), std::int16_t(y), span, span, ~0u,
                          XCB_IMAGE_FORMAT_Z_PIXMAP, g.segment, 0),
        nullptr));
    for (int row = 0; row < side; ++row)
        for (int column = 0; column < side; ++column)
            picture[row * side + column] = g.pixels[(row / factor) * span + column / factor];
    return picture[(side / 2) * side + side / 2];
}

std::atomic<std::uint64_t> *mapCounter(const char *path)
{
    const int fd = open(path, O_RDWR);
    if (fd < 0)
        return nullptr;
    void *memory = mmap(nullptr, sizeof(std::uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    return memory == MAP_FAILED ? nullptr : static_cast<std::atomic<std::uint64_t> *>(memory);
}

} // namespace

int main(int argc, char *argv[])
{
    std::atomic<std::uint64_t> *frames = argc > 1 ? mapCounter(argv[1]) : nullptr;
    Grabber g;
    int screenNumber = 0;
    g.connection = xcb_connect(nullptr, &screenNumber);
    if (!frames || xcb_connection_has_error(g.connection)) {
        std::fputs("vikaro_floor: needs a counter file and an X display\n", stderr);
        return 1;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(g.connection));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    g.screen = screens.data;
    if (!attachSegment(g)) {
        std::fputs("vikaro_floor: no MIT-SHM on this display\n", stderr);
        return 1;
    }
    static std::uint32_t picture[side * side];
    volatile std::uint32_t centre = 0; // read, as the magnifier reads it, and kept
    const timespec gap{0, frameGapNs};
    for (;;) {
        centre = frame(g, picture);
        frames->fetch_add(1, std::memory_order_relaxed);
        nanosleep(&gap, nullptr);
    }
}
