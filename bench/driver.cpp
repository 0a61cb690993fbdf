// vikaro_bench [--long S | --count N] PROGRAM [ARG...]: the magnifier PROGRAM beside the floor probe,
// as the README's "Benchmarks" tells; with --long S its memory every 30 s for S seconds; with
// --count N, PROGRAM being the magnifier under callgrind collecting only during its ticks, N ticks
// on each desktop, each desktop's dumped as a part named after it and its ticks. On the X
// display in $DISPLAY, a private Xvfb server whose desktop, pointer and focus the bench drives.
// PROGRAM's CPU time is its process's, all threads; the floor probe's is that of its thread here.

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <sys/shm.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Position `step` of a walk to and fro over 0..length-1.
int toAndFro(long step, int length)
{
    if (length < 2)
        return 0;
    const long period = 2L * (length - 1);
    return int(std::min(step % period, period - step % period));
}

double cpuSeconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// What the benchmarks do to the X display in $DISPLAY (a private Xvfb server, one screen), on a
// connection of their own: paint the desktop, move the pointer and the focus. In root pixels.
class XDriver
{
public:
    XDriver() : connection(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(connection)) {
            xcb_disconnect(connection);
            throw std::runtime_error("no X display (set DISPLAY to a private Xvfb server)");
        }
        screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    }
    ~XDriver() { xcb_disconnect(connection); }
    int width() const { return screen->width_in_pixels; }
    int height() const { return screen->height_in_pixels; }

    // Shows the server's own black root, where the colour under the pointer never changes, or
    // a pattern whose every pixel differs from its neighbours: a new colour every frame.
    void show(bool patterned)
    {
        if (patterned) {
            const xcb_pixmap_t pixmap = paintPattern();
            xcb_change_window_attributes(connection, screen->root, XCB_CW_BACK_PIXMAP, &pixmap);
            xcb_free_pixmap(connection, pixmap);
        } else {
            xcb_change_window_attributes(connection, screen->root, XCB_CW_BACK_PIXEL, &screen->black_pixel);
        }
        xcb_clear_area(connection, 0, screen->root, 0, 0, 0, 0);
        sync();
    }

    void warp(int x, int y)
    {
        xcb_warp_pointer(connection, XCB_NONE, screen->root, 0, 0, 0, 0, std::int16_t(x), std::int16_t(y));
        sync();
    }

    // The window with the keyboard focus (the magnifier's, once it has taken it), where it lies.
    xcb_window_t focusedWindow(xcb_rectangle_t &place)
    {
        auto *focus = xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
        const xcb_window_t window = focus ? focus->focus : XCB_NONE;
        std::free(focus);
        auto *geometry = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
        if (geometry)
            place = {geometry->x, geometry->y, geometry->width, geometry->height};
        std::free(geometry);
        return geometry ? window : XCB_NONE;
    }

    // Gives the keyboard focus to `window`, or to none at all.
    void focus(xcb_window_t window)
    {
        xcb_set_input_focus(connection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
        sync();
    }

    // The widest band of the screen left or right of a window, kept clear of the edges so that
    // a 57 x 57 square grabbed around any point of it lies on the screen.
    xcb_rectangle_t areaBeside(int windowX, int windowWidth) const
    {
        constexpr int margin = 40;
        const int left = windowX - 2 * margin;
        const int right = width() - (windowX + windowWidth) - 2 * margin;
        const int x = left >= right ? margin : windowX + windowWidth + margin;
        return {std::int16_t(x), margin, std::uint16_t(std::max({1, left, right})),
                std::uint16_t(std::max(1, height() - 2 * margin))};
    }

    xcb_connection_t *connection;
    xcb_screen_t *screen = nullptr;

private:
    // Put a row at a time, each request well within the core protocol's size.
    xcb_pixmap_t paintPattern()
    {
        const xcb_pixmap_t pixmap = xcb_generate_id(connection);
        xcb_create_pixmap(connection, screen->root_depth, pixmap, screen->root, width(), height());
        const xcb_gcontext_t gc = xcb_generate_id(connection);
        xcb_create_gc(connection, gc, pixmap, 0, nullptr);
        std::vector<std::uint32_t> row(static_cast<std::size_t>(width()));
        for (int y = 0; y < height(); ++y) {
            for (int x = 0; x < width(); ++x)
                row[std::size_t(x)] = std::uint32_t((x * 7 + y * 3) % 256 << 16 | (x * 13 + y * 29) % 256 << 8 |
                                                    (x * 5 + y * 17 + 91) % 256);
            xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, width(), 1, 0, std::int16_t(y), 0,
                          screen->root_depth, std::uint32_t(row.size() * 4),
                          reinterpret_cast<const std::uint8_t *>(row.data()));
        }
        xcb_free_gc(connection, gc);
        return pixmap;
    }

    void sync() { std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr)); }
};

using Clock = std::chrono::steady_clock;
constexpr double seconds = 5; // each measure
constexpr int rounds = 3;     // of each measure per desktop
constexpr std::size_t firstFrameStarts = 5;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A field of /proc/PID/status in kB, e.g. "VmHWM"; -1 once the process is gone.
long statusKb(pid_t pid, const std::string &field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, field.size() + 1, field + ":") == 0)
            return std::atol(line.c_str() + field.size() + 1);
    return -1;
}

struct Totals
{
    double cpu = 0;     // seconds
    double elapsed = 0; // seconds
    long frames = 0;

    void add(const Totals &part) { cpu += part.cpu, elapsed += part.elapsed, frames += part.frames; }
    double msPerFrame() const { return frames ? cpu * 1000 / double(frames) : 0; }
};

// 30 ms apart, like the magnifier: asks the server for the pointer, grabs the 57 x 57 square
// around it through MIT-SHM, enlarges it 3 times without smoothing and reads the centre pixel.
class FloorProbe
{
public:
    FloorProbe() : c(x.connection), segment(xcb_generate_id(c))
    {
        const int id = shmget(IPC_PRIVATE, span * span * 4, IPC_CREAT | 0600);
        const void *attached = id < 0 ? nullptr : shmat(id, nullptr, SHM_RDONLY);
        xcb_generic_error_t *error = xcb_request_check(c, xcb_shm_attach_checked(c, segment, std::uint32_t(id), 0));
        shmctl(id, IPC_RMID, nullptr);
        if (error || !attached || attached == reinterpret_cast<void *>(-1))
            throw std::runtime_error("the floor probe needs MIT-SHM");
        square = static_cast<const std::uint32_t *>(attached);
        frame(); // its pages touched before it is measured
    }

    // `seconds` of frames, in the CPU time of the thread that runs them.
    Totals measure()
    {
        const double cpu0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        Totals t{0, seconds, 0};
        for (const Clock::time_point start = Clock::now(); secondsSince(start) < seconds; ++t.frames) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            frame();
        }
        t.cpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0;
        return t;
    }

private:
    static constexpr int span = 57, factor = 3, side = span * factor;

    // One round trip for the pointer, one for the pixels.
    void frame()
    {
        xcb_query_pointer_reply_t *pointer = xcb_query_pointer_reply(c, xcb_query_pointer(c, x.screen->root), nullptr);
        if (!pointer)
            return;
        // Kept on the screen: the server refuses a get-image that reaches past the root window.
        const int left = std::clamp(pointer->root_x - span / 2, 0, x.width() - span);
        const int top = std::clamp(pointer->root_y - span / 2, 0, x.height() - span);
        std::free(pointer);
        std::free(xcb_shm_get_image_reply(c,
                                          xcb_shm_get_image(c, x.screen->root, std::int16_t(left), std::int16_t(top),
                                                            span, span, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment, 0),
                                          nullptr));
        for (int row = 0; row < side; ++row)
            for (int column = 0; column < side; ++column)
                picture[std::size_t(row * side + column)] = square[(row / factor) * span + column / factor];
        centre = picture[std::size_t((side / 2) * side + side / 2)];
    }

    XDriver x;
    xcb_connection_t *c;
    xcb_shm_seg_t segment;
    const std::uint32_t *square = nullptr;
    std::vector<std::uint32_t> picture = std::vector<std::uint32_t>(side * side);
    volatile std::uint32_t centre = 0; // read and kept, as the magnifier does
};

// The magnifier on the bench's desktop, which starts patterned, the pointer moving beside its
// window once it shows. Its standard error goes to a file of its own; its frames are the lines
// there that begin with its per-frame debug line's start.
class Bench
{
public:
    ~Bench()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        unlink(log);
    }

    // Starts the program; returns the seconds until its first frame.
    double start(char *const command[])
    {
        x.show(true);
        x.warp(40, 40);
        const int err = mkstemp(log);
        const Clock::time_point started = Clock::now();
        pid = fork();
        if (pid == 0) {
            dup2(err, STDERR_FILENO);
            dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO);
            execvp(command[0], command);
            std::perror(command[0]);
            _exit(127);
        }
        awaitFrame("the program does not sample");
        return secondsSince(started);
    }

    // Finds the program's window and lets it warm up, the pointer moving beside the window.
    void settle()
    {
        await([this] { return (window = x.focusedWindow(place)) != XCB_NONE; }, "the program's window takes no focus");
        beside = x.areaBeside(place.x, place.width);
        drive(1); // warm-up
        std::printf("Vikaro benchmark: Xvfb %dx%d, pointer moving beside the window\n", x.width(), x.height());
    }

    // Rounds of the program sampling, then the floor probe with the program paused, on a desktop.
    void measureScene(bool patterned, const char *title)
    {
        x.show(patterned);
        Totals magnifier, floor;
        for (int round = 0; round < rounds; ++round) {
            resumeSampling();
            magnifier.add(drive(seconds));
            x.focus(XCB_NONE);
            std::future<Totals> probed = std::async(std::launch::async, [this] { return probe.measure(); });
            drive(seconds);
            floor.add(probed.get());
        }
        std::printf("%s\n", title);
        for (const auto &[what, t] : {std::pair("program, sampling", magnifier), {"floor probe, sampling", floor}})
            std::printf("  %-32s %8.3f ms %7.1f fps\n", what, t.msPerFrame(), double(t.frames) / t.elapsed);
        std::printf("  %-32s %8.2f x\n", "ratio program / floor", magnifier.msPerFrame() / floor.msPerFrame());
    }

    void measurePaused()
    {
        const auto print = [](const char *what, const Totals &t) {
            std::printf("%-34s %9.5f CPU s/s (%ld frames)\n", what, t.cpu / t.elapsed, t.frames);
        };
        print("paused, window not focused", drive(seconds));
        resumeSampling();
        moving = false;
        x.warp(place.x + place.width / 2, place.y + place.height / 2);
        drive(0.3);
        print("paused, pointer over the window", drive(seconds));
        std::printf("%-34s %9.1f MiB\n", "peak RSS (VmHWM)", double(statusKb(pid, "VmHWM")) / 1024);
    }

    void measureMemory(int length)
    {
        for (int at = 0; at <= length; at += 30) {
            if (statusKb(pid, "VmRSS") < 0)
                throw std::runtime_error("the program ended early");
            std::printf("%5d s  VmRSS %7ld kB  VmHWM %7ld kB  %7ld frames\n", at, statusKb(pid, "VmRSS"),
                        statusKb(pid, "VmHWM"), frames());
            std::fflush(stdout);
            if (at < length)
                drive(std::min(30, length - at));
        }
    }

    // `ticks` of the program's ticks on a desktop, theirs alone, with every glyph they show
    // printed before (as in a long session): the walk once, then counted the second time.
    void countScene(bool patterned, const char *name, long ticks)
    {
        x.show(patterned);
        walk(ticks);
        callgrind("--zero");
        const long frames0 = frames();
        walk(ticks);
        callgrind("--dump=" + std::string(name) + ":" + std::to_string(frames() - frames0));
    }

private:
    void callgrind(const std::string &command)
    {
        const std::string line = "callgrind_control " + command + " " + std::to_string(pid) + " >/dev/null 2>&1";
        if (std::system(line.c_str()) != 0)
            throw std::runtime_error("callgrind_control " + command + " failed");
    }

    // Lets `span` seconds pass, the pointer moving a step beside the window every 10 ms, as a
    // hand moving the mouse would; returns the program's CPU time and frames meanwhile.
    Totals drive(double span)
    {
        clockid_t clock;
        clock_getcpuclockid(pid, &clock);
        const double cpu0 = cpuSeconds(clock);
        const long frames0 = frames();
        const Clock::time_point start = Clock::now();
        for (Clock::time_point next = start; secondsSince(start) < span; ++drivenStep) {
            if (moving)
                walkTo(drivenStep, 7, 5);
            next += std::chrono::milliseconds(10);
            std::this_thread::sleep_until(next);
        }
        return {cpuSeconds(clock) - cpu0, secondsSince(start), frames() - frames0};
    }

    void resumeSampling()
    {
        x.focus(window);
        awaitFrame("the program does not sample again after taking the focus back");
    }

    // Waits up to 20 seconds (a start under callgrind) for `done` to hold.
    template <typename Condition>
    void await(Condition done, const char *otherwise)
    {
        for (const Clock::time_point start = Clock::now(); !done();) {
            if (secondsSince(start) > 20)
                throw std::runtime_error(otherwise);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    void awaitFrame(const char *otherwise)
    {
        const long before = frames();
        await([&] { return frames() != before; }, otherwise);
    }

    // `ticks` frames, the pointer a step (21 and 15 pixels) further after each, from the walk's
    // start: every run shows the program the same places. It has stopped when this returns.
    void walk(long ticks)
    {
        const long frames0 = frames();
        for (long step = 0; frames() - frames0 < ticks; ++step) {
            walkTo(step, 21, 15);
            step ? awaitFrame("the program stopped sampling") : resumeSampling();
        }
        x.focus(XCB_NONE);
        awaitQuiet();
    }

    // The pointer at `step` of a walk to and fro beside the window, `dx` and `dy` pixels a step.
    void walkTo(long step, int dx, int dy)
    {
        x.warp(beside.x + toAndFro(step * dx, beside.width), beside.y + toAndFro(step * dy, beside.height));
    }

    // Until a second passes without a frame.
    void awaitQuiet()
    {
        for (long before = -1; frames() != before;) {
            before = frames();
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    }

    // Counts the frames written since it last looked.
    long frames()
    {
        static constexpr const char *marker = "\"QLabel{background:";
        std::ifstream in(log);
        in.seekg(read);
        for (std::string line; std::getline(in, line) && !in.eof(); read += std::streamoff(line.size() + 1))
            counted += line.compare(0, std::strlen(marker), marker) == 0;
        return counted;
    }

    FloorProbe probe;
    XDriver x;
    char log[32] = "/tmp/vikaro-bench-XXXXXX";
    pid_t pid = -1;
    std::streamoff read = 0;
    long counted = 0;
    xcb_window_t window = XCB_NONE;
    xcb_rectangle_t place = {}, beside = {};
    long drivenStep = 0; // where the clock-driven walk has got to, carried from one measure to the next
    bool moving = true;
};

// One start comes tens of milliseconds sooner or later than the next: the median of several.
void printFirstFrame(char *const program[])
{
    std::vector<double> ms;
    while (ms.size() < firstFrameStarts)
        ms.push_back(Bench().start(program) * 1000);
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s %9.0f ms (%zu starts: %.0f-%.0f ms)\n", "first frame after start, median", ms[ms.size() / 2],
                ms.size(), ms.front(), ms.back());
}

} // namespace

int main(int argc, char *argv[])
{
    const std::string mode = argc > 3 && argv[1][0] == '-' ? argv[1] : "";
    char **program = argv + (mode.empty() ? 1 : 3);
    if ((mode != "" && mode != "--long" && mode != "--count") || !program[0] || program[0][0] == '-') {
        std::fprintf(stderr, "usage: vikaro_bench [--long SECONDS | --count TICKS] PROGRAM [ARG...]\n");
        return 2;
    }
    try {
        {
            Bench bench;
            bench.start(program);
            bench.settle();
            if (mode == "--long") {
                bench.measureMemory(std::atoi(argv[2]));
                return 0;
            }
            if (mode == "--count") {
                bench.countScene(false, "blank", std::atol(argv[2]));
                bench.countScene(true, "pattern", std::atol(argv[2]));
                return 0;
            }
            std::printf("CPU per frame (all threads), frames per second, %d x %.0f s per measure:\n", rounds, seconds);
            bench.measureScene(false, "Blank desktop (the server's black root: the colour never changes)");
            bench.measureScene(true, "Patterned desktop (a new colour under the pointer every frame)");
            bench.measurePaused();
        }
        printFirstFrame(program);
        return 0;
    } catch (const std::exception &failure) { // the bench, gone, has stopped the program
        std::fflush(stdout);
        std::fprintf(stderr, "vikaro_bench: %s\n", failure.what());
        return 1;
    }
}
