// vikaro_bench [--seconds S] [--rounds R] [--long S] PROGRAM: measures the magnifier PROGRAM
// beside the floor probe on the X display in $DISPLAY, which should be a private Xvfb server:
// the bench paints the desktop, moves the pointer and takes the focus.
//
// With the pointer moving beside the magnifier's window, 100 times a second:
//  - the time from starting the program to its first frame;
//  - on two desktops in turn, the server's black root (the picture and colour never change)
//    and a pattern whose every pixel differs from its neighbours (a new picture and colour
//    every frame): R rounds of S seconds of the program sampling, then S seconds of the floor
//    probe with the program paused; CPU time per frame and frames per second of each, and
//    their ratio;
//  - S seconds with the window not focused, then S seconds with the pointer resting over it:
//    CPU seconds per second while paused;
//  - the program's peak resident memory.
// With --long S, instead, the program's memory every 30 seconds while it samples for S seconds.
// CPU time is that of all the program's threads (/proc/PID/task/*/schedstat); frames are its
// per-frame debug lines.
//
// vikaro_bench --floor S: the floor probe, the least work one magnified frame can cost on X.
// 30 ms apart, like the magnifier, it asks the server for the pointer, grabs the 57 x 57 square
// around it through MIT-SHM, enlarges it 3 times without smoothing into a buffer and reads the
// centre pixel. After a first frame, it prints the frames and CPU seconds of S seconds.

#include "xdriver.h"

#include <xcb/shm.h>

#include <sys/ipc.h>
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
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Thrown to end the run, stopping the started program on the way out.
struct Failure
{
    const char *why;
};

[[noreturn]] void fail(const char *why)
{
    throw Failure{why};
}

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void pause(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

bool waitFor(const std::function<bool()> &condition, double seconds)
{
    const Clock::time_point start = Clock::now();
    while (!condition()) {
        if (secondsSince(start) > seconds)
            return false;
        pause(0.001);
    }
    return true;
}

// The floor probe's frame: one round trip for the pointer, one for the pixels.
std::uint32_t floorFrame(xcb_connection_t *c, const xcb_screen_t *s, xcb_shm_seg_t segment, const std::uint32_t *pixels)
{
    constexpr int span = 57, factor = 3, side = span * factor;
    static std::uint32_t picture[side * side];
    xcb_query_pointer_reply_t *pointer = xcb_query_pointer_reply(c, xcb_query_pointer(c, s->root), nullptr);
    if (!pointer)
        return 0;
    // Kept on the screen: the server refuses a get-image that reaches past the root window.
    const int x = std::clamp(pointer->root_x - span / 2, 0, s->width_in_pixels - span);
    const int y = std::clamp(pointer->root_y - span / 2, 0, s->height_in_pixels - span);
    std::free(pointer);
    std::free(xcb_shm_get_image_reply(c,
                                      xcb_shm_get_image(c, s->root, std::int16_t(x), std::int16_t(y), span, span, ~0u,
                                                        XCB_IMAGE_FORMAT_Z_PIXMAP, segment, 0),
                                      nullptr));
    for (int row = 0; row < side; ++row)
        for (int column = 0; column < side; ++column)
            picture[row * side + column] = pixels[(row / factor) * span + column / factor];
    return picture[(side / 2) * side + side / 2];
}

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// A shared memory segment the server writes the floor probe's squares into.
const std::uint32_t *attachSegment(xcb_connection_t *c, xcb_shm_seg_t segment)
{
    const int id = shmget(IPC_PRIVATE, 57 * 57 * 4, IPC_CREAT | 0600);
    const void *pixels = id < 0 ? reinterpret_cast<void *>(-1) : shmat(id, nullptr, SHM_RDONLY);
    xcb_generic_error_t *error = xcb_request_check(c, xcb_shm_attach_checked(c, segment, std::uint32_t(id), 0));
    shmctl(id, IPC_RMID, nullptr);
    if (error || pixels == reinterpret_cast<void *>(-1))
        fail("the floor probe needs MIT-SHM");
    return static_cast<const std::uint32_t *>(pixels);
}

int runFloor(double seconds)
{
    int number = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &number);
    const xcb_screen_t *s = xcb_connection_has_error(c) ? nullptr : XDriver::screenOf(c, number);
    if (!s)
        fail("the floor probe needs an X display");
    const xcb_shm_seg_t segment = xcb_generate_id(c);
    const std::uint32_t *pixels = attachSegment(c, segment);
    volatile std::uint32_t centre = floorFrame(c, s, segment, pixels); // read and kept, as the magnifier does
    const double cpu0 = processCpuSeconds();
    const Clock::time_point start = Clock::now();
    const timespec gap{0, 30'000'000};
    long frames = 0;
    for (; secondsSince(start) < seconds; ++frames) {
        nanosleep(&gap, nullptr);
        centre = floorFrame(c, s, segment, pixels);
    }
    std::printf("%ld %.6f\n", frames, processCpuSeconds() - cpu0);
    return 0;
}

// CPU time of every live thread of `pid`, in seconds.
double cpuSeconds(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR *dir = opendir(tasks.c_str());
    double total = 0;
    while (const dirent *entry = dir ? readdir(dir) : nullptr) {
        std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
        unsigned long long onCpuNs = 0;
        if (entry->d_name[0] != '.' && stat >> onCpuNs)
            total += double(onCpuNs) / 1e9;
    }
    if (dir)
        closedir(dir);
    return total;
}

// A field of /proc/PID/status in kB, e.g. "VmHWM".
long statusKb(pid_t pid, const std::string &field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, field.size() + 1, field + ":") == 0)
            return std::atol(line.c_str() + field.size() + 1);
    return -1;
}

// The magnifier, started with HOME and the configuration in `home`, its standard error kept in
// a file there; frames are the lines that begin with its per-frame debug line's start.
class Program
{
public:
    Program(const std::string &path, const std::string &home)
        : log(home + "/log")
    {
        started = Clock::now();
        pid = fork();
        if (pid != 0)
            return;
        const int err = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(err, STDERR_FILENO);
        dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
        execl(path.c_str(), path.c_str(), static_cast<char *>(nullptr));
        std::perror(path.c_str());
        _exit(127);
    }
    ~Program()
    {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }

    // Counts the lines written since it last looked.
    long frames()
    {
        std::ifstream in(log);
        in.seekg(read);
        for (std::string line; std::getline(in, line) && !in.eof(); read += std::streamoff(line.size() + 1))
            counted += line.compare(0, std::strlen(marker), marker) == 0;
        return counted;
    }

    pid_t pid = -1;
    Clock::time_point started;

private:
    static constexpr const char *marker = "\"QLabel{background:";
    std::string log;
    std::streamoff read = 0;
    long counted = 0;
};

struct Totals
{
    double cpu = 0;     // seconds
    double elapsed = 0; // seconds
    long frames = 0;

    void add(const Totals &part) { cpu += part.cpu, elapsed += part.elapsed, frames += part.frames; }
    double msPerFrame() const { return frames ? cpu * 1000 / double(frames) : 0; }
    double fps() const { return elapsed > 0 ? double(frames) / elapsed : 0; }
    double cpuPerSecond() const { return elapsed > 0 ? cpu / elapsed : 0; }
};

Totals measure(Program &program, double seconds)
{
    const double cpu0 = cpuSeconds(program.pid);
    const long frames0 = program.frames();
    const Clock::time_point start = Clock::now();
    pause(seconds);
    return {cpuSeconds(program.pid) - cpu0, secondsSince(start), program.frames() - frames0};
}

// The floor probe, this program run again, for `seconds` of its frames.
Totals measureFloor(double seconds)
{
    const std::string command = "/proc/" + std::to_string(getpid()) + "/exe --floor " + std::to_string(seconds);
    FILE *probe = popen(command.c_str(), "r");
    Totals t;
    t.elapsed = seconds;
    if (!probe || std::fscanf(probe, "%ld %lf", &t.frames, &t.cpu) != 2)
        fail("the floor probe does not run");
    pclose(probe);
    return t;
}

struct Options
{
    double seconds = 5;
    int rounds = 3;
    int longRun = 0; // seconds, or 0
    std::string program;
};

Options parse(int argc, char *argv[])
{
    Options o;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const bool valued = i + 1 < argc;
        if (word == "--seconds" && valued)
            o.seconds = std::atof(argv[++i]);
        else if (word == "--rounds" && valued)
            o.rounds = std::atoi(argv[++i]);
        else if (word == "--long" && valued)
            o.longRun = std::atoi(argv[++i]);
        else
            positional.push_back(word);
    }
    if (positional.size() != 1 || o.seconds <= 0 || o.rounds < 1)
        fail("usage: vikaro_bench [--seconds S] [--rounds R] [--long S] PROGRAM | --floor S");
    o.program = positional[0];
    return o;
}

void printRow(const char *what, const Totals &t)
{
    std::printf("  %-32s %8.3f ms %7.1f fps %6ld frames %7.3f s CPU in %5.1f s\n", what, t.msPerFrame(), t.fps(),
                t.frames, t.cpu, t.elapsed);
}

void printPaused(const char *what, const Totals &t)
{
    std::printf("%-34s %9.5f CPU s/s (%ld frames, %.4f s CPU in %.1f s)\n", what, t.cpuPerSecond(), t.frames,
                t.cpu, t.elapsed);
}

// Gives the program the focus and waits until it samples again.
void resumeSampling(XDriver &x, const XWindow &window, Program &program)
{
    x.focus(window);
    const long before = program.frames();
    if (!waitFor([&] { return program.frames() > before; }, 3))
        fail("the program does not sample again after taking the focus back");
}

// Rounds of the program sampling, then the floor probe with the program paused, on `scene`.
void measureScene(XDriver::Scene scene, const char *title, const Options &o, XDriver &x, const XWindow &window,
                  Program &program)
{
    x.show(scene);
    Totals magnifier, floor;
    for (int round = 0; round < o.rounds; ++round) {
        resumeSampling(x, window, program);
        magnifier.add(measure(program, o.seconds));
        x.focusAway();
        floor.add(measureFloor(o.seconds));
    }
    std::printf("%s\n", title);
    printRow("program, sampling", magnifier);
    printRow("floor probe, sampling", floor);
    const double floorMs = floor.msPerFrame();
    std::printf("  %-32s %8.2f x\n", "ratio program / floor", floorMs > 0 ? magnifier.msPerFrame() / floorMs : 0.0);
}

void measurePaused(XDriver &x, const XWindow &window, Program &program, PointerMover &mover, double seconds)
{
    printPaused("paused, window not focused", measure(program, seconds));
    resumeSampling(x, window, program);
    mover.stop();
    x.warpInto(window);
    pause(0.3);
    printPaused("paused, pointer over the window", measure(program, seconds));
    std::printf("%-34s %9.1f MiB\n", "peak RSS (VmHWM)", double(statusKb(program.pid, "VmHWM")) / 1024);
}

void measureMemory(Program &program, int seconds)
{
    for (int at = 0; at <= seconds; at += 30) {
        if (statusKb(program.pid, "VmRSS") < 0)
            fail("the program ended early");
        std::printf("%5d s  VmRSS %7ld kB  VmHWM %7ld kB  %7ld frames\n", at, statusKb(program.pid, "VmRSS"),
                    statusKb(program.pid, "VmHWM"), program.frames());
        std::fflush(stdout);
        if (at < seconds)
            pause(std::min(30, seconds - at));
    }
}

// Starts the program on the pattern and waits for its first frame, giving it the focus when it
// does not take it itself; returns its window.
XWindow start(XDriver &x, Program &program, double &firstFrame, bool &sampledAlone)
{
    sampledAlone = waitFor([&] { return program.frames() > 0; }, 3);
    const XWindow window = x.largestWindow();
    if (window && !sampledAlone) {
        x.focus(window);
        waitFor([&] { return program.frames() > 0; }, 3);
    }
    firstFrame = secondsSince(program.started);
    if (!window || program.frames() == 0)
        fail("the program does not sample");
    return window;
}

int run(const Options &o, const std::string &home)
{
    XDriver x;
    if (!x.connected())
        fail("no X display (set DISPLAY to a private Xvfb server)");
    x.show(XDriver::Scene::Pattern);
    x.warp(40, 40);
    Program program(o.program, home);
    double firstFrame = 0;
    bool sampledAlone = true;
    const XWindow window = start(x, program, firstFrame, sampledAlone);
    PointerMover mover(x.areaBeside(window));
    pause(1); // warm-up
    std::printf("Vikaro benchmark: Xvfb %dx%d, pointer moving beside the window\n", x.width(), x.height());
    if (o.longRun > 0) {
        measureMemory(program, o.longRun);
        return 0;
    }
    std::printf("CPU per frame (all threads), frames per second, %d x %.0f s per measure:\n", o.rounds, o.seconds);
    measureScene(XDriver::Scene::Blank, "Blank desktop (the server's black root: the colour never changes)", o, x,
                 window, program);
    measureScene(XDriver::Scene::Pattern, "Patterned desktop (a new colour under the pointer every frame)", o, x,
                 window, program);
    measurePaused(x, window, program, mover, o.seconds);
    std::printf("%-34s %9.0f ms%s\n", "first frame after start", firstFrame * 1000,
                sampledAlone ? "" : " (the bench had to give the focus)");
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    char home[] = "/tmp/vikaro-bench-XXXXXX";
    bool made = false;
    int status = 1;
    try {
        if (argc == 3 && std::strcmp(argv[1], "--floor") == 0)
            return runFloor(std::atof(argv[2]));
        const Options options = parse(argc, argv);
        made = mkdtemp(home) != nullptr;
        if (!made)
            fail("cannot make a temporary folder");
        status = run(options, home);
    } catch (const Failure &failure) {
        std::fprintf(stderr, "vikaro_bench: %s\n", failure.why);
    }
    std::fflush(stdout);
    if (made && std::system((std::string("rm -rf ") + home).c_str()) != 0)
        status = 1;
    return status;
}
