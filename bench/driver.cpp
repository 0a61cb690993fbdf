// vikaro_bench [--long S] PROGRAM: the magnifier PROGRAM beside the floor probe, as the README's
// "Benchmarks" tells, or with --long S its memory every 30 s for S seconds, on the X display in
// $DISPLAY, a private Xvfb server whose desktop, pointer and focus the bench drives. PROGRAM's CPU
// time is its process's, all threads; the floor probe's is that of its thread in the bench.

#include "xdriver.h"

#include <xcb/shm.h>

#include <sys/shm.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

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
    double start(const char *path)
    {
        x.show(true);
        x.warp(40, 40);
        const int err = mkstemp(log);
        const Clock::time_point started = Clock::now();
        pid = fork();
        if (pid == 0) {
            dup2(err, STDERR_FILENO);
            dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO);
            execl(path, path, static_cast<char *>(nullptr));
            std::perror(path);
            _exit(127);
        }
        awaitFrame("the program does not sample");
        return secondsSince(started);
    }

    // Finds the program's window and lets it warm up, the pointer moving beside the window.
    void settle()
    {
        window = x.focusedWindow(place);
        if (!window)
            throw std::runtime_error("the program's window does not have the focus");
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

private:
    // Lets `span` seconds pass, the pointer moving a step beside the window every 10 ms, as a
    // hand moving the mouse would; returns the program's CPU time and frames meanwhile.
    Totals drive(double span)
    {
        clockid_t clock;
        clock_getcpuclockid(pid, &clock);
        const double cpu0 = cpuSeconds(clock);
        const long frames0 = frames();
        const Clock::time_point start = Clock::now();
        for (Clock::time_point next = start; secondsSince(start) < span; ++step) {
            if (moving)
                x.warp(beside.x + toAndFro(step * 7, beside.width), beside.y + toAndFro(step * 5, beside.height));
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

    // Waits up to 3 seconds for a frame after those seen so far.
    void awaitFrame(const char *otherwise)
    {
        const long before = frames();
        for (const Clock::time_point start = Clock::now(); frames() == before;) {
            if (secondsSince(start) > 3)
                throw std::runtime_error(otherwise);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
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
    long step = 0;
    bool moving = true;
};

// One start comes tens of milliseconds sooner or later than the next: the median of several.
void printFirstFrame(const char *program)
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
    const bool longRun = argc == 4 && std::strcmp(argv[1], "--long") == 0;
    if (argc != 2 && !longRun) {
        std::fprintf(stderr, "usage: vikaro_bench [--long SECONDS] PROGRAM\n");
        return 2;
    }
    try {
        {
            Bench bench;
            bench.start(argv[argc - 1]);
            bench.settle();
            if (longRun) {
                bench.measureMemory(std::atoi(argv[2]));
                return 0;
            }
            std::printf("CPU per frame (all threads), frames per second, %d x %.0f s per measure:\n", rounds, seconds);
            bench.measureScene(false, "Blank desktop (the server's black root: the colour never changes)");
            bench.measureScene(true, "Patterned desktop (a new colour under the pointer every frame)");
            bench.measurePaused();
        }
        printFirstFrame(argv[argc - 1]);
        return 0;
    } catch (const std::exception &failure) { // the bench, gone, has stopped the program
        std::fflush(stdout);
        std::fprintf(stderr, "vikaro_bench: %s\n", failure.what());
        return 1;
    }
}
