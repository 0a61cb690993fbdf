// vikaro_bench [--seconds S] [--rounds R] PROGRAM FLOOR: measures the magnifier PROGRAM side by
// side with the FLOOR probe (vikaro_floor) on the X display in $DISPLAY, which should be a
// private Xvfb server: the bench paints the desktop, moves the pointer and takes the focus.
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
// CPU time is that of all the process's threads (/proc/PID/task/*/schedstat, nanoseconds);
// frames are the program's per-frame debug lines and the probe's frame counter.

#include "xdriver.h"

#include <sys/mman.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Thrown to end the run, stopping the started programs on the way out.
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

// CPU time of every live thread of `pid`, in seconds.
double cpuSeconds(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR *dir = opendir(tasks.c_str());
    if (!dir)
        return 0;
    double total = 0;
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
        unsigned long long onCpuNs = 0;
        if (stat >> onCpuNs)
            total += double(onCpuNs) / 1e9;
    }
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

// A started child with its own HOME. With a `marker`, its standard error is read line by line
// and the lines that start with `marker` are counted as frames; without, it is left alone.
class Child
{
public:
    Child(const std::vector<std::string> &command, const std::string &home, const char *marker)
        : marker(marker)
    {
        int pipeFds[2] = {-1, -1};
        if (marker && pipe(pipeFds) != 0)
            fail("cannot make a pipe");
        started = Clock::now();
        pid = fork();
        if (pid == 0)
            exec(command, home, pipeFds);
        if (!marker)
            return;
        close(pipeFds[1]);
        reader = std::thread([this, fd = pipeFds[0]] { readLines(fd); });
    }
    ~Child()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        if (reader.joinable())
            reader.join();
    }

    pid_t pid = -1;
    Clock::time_point started;
    std::atomic<long> frames{0};
    std::atomic<double> firstFrame{-1}; // seconds from fork to the first frame line

private:
    [[noreturn]] static void exec(const std::vector<std::string> &command, const std::string &home, int *pipeFds)
    {
        if (pipeFds[1] >= 0) {
            dup2(pipeFds[1], STDERR_FILENO);
            close(pipeFds[0]);
        }
        dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
        std::vector<char *> argv;
        for (const std::string &word : command)
            argv.push_back(const_cast<char *>(word.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        std::perror(argv[0]);
        _exit(127);
    }

    void readLines(int fd)
    {
        std::string pending;
        char buffer[65536];
        ssize_t got;
        while ((got = read(fd, buffer, sizeof buffer)) > 0) {
            pending.append(buffer, std::size_t(got));
            std::size_t start = 0, end;
            while ((end = pending.find('\n', start)) != std::string::npos) {
                countLine(pending.compare(start, std::strlen(marker), marker) == 0);
                start = end + 1;
            }
            pending.erase(0, start);
        }
        close(fd);
    }

    void countLine(bool isFrame)
    {
        if (!isFrame)
            return;
        if (frames++ == 0)
            firstFrame = secondsSince(started);
    }

    const char *marker;
    std::thread reader;
};

// The floor probe, counting its frames in a small shared file.
class Floor
{
public:
    Floor(const std::string &path, const std::string &home)
    {
        const std::string counterPath = home + "/floor-frames";
        const int fd = open(counterPath.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || ftruncate(fd, sizeof(std::uint64_t)) != 0)
            fail("cannot make the floor probe's frame counter");
        void *shared = mmap(nullptr, sizeof(std::uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        close(fd);
        if (shared == MAP_FAILED)
            fail("cannot map the floor probe's frame counter");
        counter = static_cast<std::atomic<std::uint64_t> *>(shared);
        child = std::make_unique<Child>(std::vector<std::string>{path, counterPath}, home, nullptr);
    }
    ~Floor()
    {
        child.reset();
        munmap(counter, sizeof(std::uint64_t));
    }

    long frames() const { return long(counter->load()); }
    pid_t pid() const { return child->pid; }

private:
    std::atomic<std::uint64_t> *counter = nullptr;
    std::unique_ptr<Child> child;
};

struct Totals
{
    double cpu = 0;     // seconds
    double elapsed = 0; // seconds
    long frames = 0;

    double msPerFrame() const { return frames ? cpu * 1000 / double(frames) : 0; }
    double fps() const { return elapsed > 0 ? double(frames) / elapsed : 0; }
    double cpuPerSecond() const { return elapsed > 0 ? cpu / elapsed : 0; }
};

template <typename Frames>
Totals measure(pid_t pid, double seconds, Frames frames)
{
    const double cpu0 = cpuSeconds(pid);
    const long frames0 = frames();
    const Clock::time_point start = Clock::now();
    pause(seconds);
    return {cpuSeconds(pid) - cpu0, secondsSince(start), frames() - frames0};
}

void add(Totals &sum, const Totals &part)
{
    sum.cpu += part.cpu;
    sum.elapsed += part.elapsed;
    sum.frames += part.frames;
}

bool waitFor(const std::function<bool()> &condition, double seconds)
{
    const Clock::time_point start = Clock::now();
    while (!condition()) {
        if (secondsSince(start) > seconds)
            return false;
        pause(0.01);
    }
    return true;
}

struct Options
{
    double seconds = 5;
    int rounds = 3;
    std::string program;
    std::string floor;
};

Options parse(int argc, char *argv[])
{
    Options options;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--seconds" && i + 1 < argc)
            options.seconds = std::atof(argv[++i]);
        else if (word == "--rounds" && i + 1 < argc)
            options.rounds = std::atoi(argv[++i]);
        else
            positional.push_back(word);
    }
    if (positional.size() != 2 || options.seconds <= 0 || options.rounds < 1)
        fail("usage: vikaro_bench [--seconds S] [--rounds R] PROGRAM FLOOR");
    options.program = positional[0];
    options.floor = positional[1];
    return options;
}

std::string makeHome()
{
    char pattern[] = "/tmp/vikaro-bench-XXXXXX";
    if (!mkdtemp(pattern))
        fail("cannot make a temporary folder");
    return pattern;
}

struct SceneResult
{
    XDriver::Scene scene;
    const char *title;
    Totals program;
    Totals floor;
};

void printRow(const char *what, const Totals &t)
{
    std::printf("  %-32s %8.3f ms %7.1f fps %6ld frames %7.3f s CPU in %5.1f s\n", what, t.msPerFrame(), t.fps(),
                t.frames, t.cpu, t.elapsed);
}

void printScene(const SceneResult &r)
{
    std::printf("%s\n", r.title);
    printRow("program, sampling", r.program);
    printRow("floor probe, sampling", r.floor);
    const double floorMs = r.floor.msPerFrame();
    std::printf("  %-32s %8.2f x\n", "ratio program / floor", floorMs > 0 ? r.program.msPerFrame() / floorMs : 0.0);
}

void printPaused(const char *what, const Totals &t)
{
    std::printf("%-34s %9.5f CPU s/s (%ld frames, %.4f s CPU in %.1f s)\n", what, t.cpuPerSecond(), t.frames,
                t.cpu, t.elapsed);
}

// Gives the program the focus and waits until it samples again.
void resumeSampling(XDriver &x, const XWindow &window, const Child &program)
{
    x.focus(window);
    const long before = program.frames;
    if (!waitFor([&] { return program.frames > before; }, 3))
        fail("the program does not sample again after taking the focus back");
}

// Rounds of the program sampling, then the floor probe with the program paused, on `scene`.
void measureScene(SceneResult &r, const Options &options, XDriver &x, const XWindow &window, Child &program,
                  const std::string &home)
{
    x.show(r.scene);
    for (int round = 0; round < options.rounds; ++round) {
        resumeSampling(x, window, program);
        add(r.program, measure(program.pid, options.seconds, [&] { return long(program.frames); }));
        x.focusAway();
        pause(0.2);
        Floor floor(options.floor, home);
        if (!waitFor([&] { return floor.frames() > 0; }, 3))
            fail("the floor probe does not run");
        add(r.floor, measure(floor.pid(), options.seconds, [&] { return floor.frames(); }));
    }
}

int run(const Options &options, const std::string &home)
{
    XDriver x;
    if (!x.connected())
        fail("no X display (set DISPLAY to a private Xvfb server)");
    x.show(XDriver::Scene::Pattern);
    x.warp(40, 40);

    Child program({options.program}, home, "\"QLabel{background:");
    bool focusGiven = false;
    if (!waitFor([&] { return program.frames > 0; }, 3)) {
        if (const XWindow window = x.largestWindow())
            x.focus(window);
        focusGiven = true;
        if (!waitFor([&] { return program.frames > 0; }, 3))
            fail("the program does not sample");
    }
    const XWindow window = x.largestWindow();
    if (!window)
        fail("the program's window cannot be found");
    PointerMover mover(x.areaBeside(window));
    pause(1); // warm-up

    SceneResult scenes[] = {
        {XDriver::Scene::Blank, "Blank desktop (the server's black root: the colour never changes)", {}, {}},
        {XDriver::Scene::Pattern, "Patterned desktop (a new colour under the pointer every frame)", {}, {}},
    };
    for (SceneResult &scene : scenes)
        measureScene(scene, options, x, window, program, home);

    const Totals unfocused = measure(program.pid, options.seconds, [&] { return long(program.frames); });
    resumeSampling(x, window, program);
    mover.stop();
    x.warpInto(window);
    pause(0.3);
    const Totals inside = measure(program.pid, options.seconds, [&] { return long(program.frames); });
    const long peakKb = statusKb(program.pid, "VmHWM");

    std::printf("Vikaro benchmark: Xvfb %dx%d, pointer moving beside the window, %d x %.0f s per measure\n",
                x.width(), x.height(), options.rounds, options.seconds);
    std::printf("CPU per frame (all threads), frames per second:\n");
    for (const SceneResult &scene : scenes)
        printScene(scene);
    printPaused("paused, window not focused", unfocused);
    printPaused("paused, pointer over the window", inside);
    std::printf("%-34s %9.1f MiB\n", "peak RSS (VmHWM)", double(peakKb) / 1024);
    std::printf("%-34s %9.0f ms%s\n", "first frame after start", program.firstFrame * 1000,
                focusGiven ? " (the bench had to give the focus)" : "");
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    std::string home;
    int status = 1;
    try {
        const Options options = parse(argc, argv);
        home = makeHome();
        status = run(options, home);
    } catch (const Failure &failure) {
        std::fprintf(stderr, "vikaro_bench: %s\n", failure.why);
    }
    if (!home.empty() && std::system(("rm -rf '" + home + "'").c_str()) != 0)
        status = 1;
    return status;
}
