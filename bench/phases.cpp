// vikaro_phases [TICKS] [--count]: where a sampling tick goes, on the X display in $DISPLAY (a
// private Xvfb server: it paints the desktop and moves the pointer). It starts as the program
// does; then on the server's black root and on a pattern, TICKS times each (200 by default),
// 30 ms apart, it moves the pointer beside the window and times the window's own tick steps one
// by one in process CPU time, then whole ticks; it prints mean microseconds per tick.
// With --count, only whole ticks with their repaint, for callgrind (bench/run.sh --count):
// collection is on during those alone, and each desktop's ticks are dumped as a part of their
// own, named after the desktop.

#include <QApplication>
#include <QEventLoop>
#include <QScreen> // complete for the window's QPointer<QScreen> list
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <ctime>
#include <functional>
#include <vector>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_TOGGLE_COLLECT
#define CALLGRIND_DUMP_STATS_AT(name)
#endif

#include "app/languages.h"
#include "app/platform.h"
#include "app/startup.h"
#include "magnifier/state.h"
#include "magnifier/vikaro.h"
#include "settings/cdata.h"
#include "xdriver.h"

namespace {

struct Phase
{
    const char *name;
    std::function<void()> run;
};
using Phases = std::vector<Phase>;

double processCpuUs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

// What the event loop does after a tick: the repaint and flush, and whatever else it posted.
void repaintAndFlush()
{
    QCoreApplication::sendPostedEvents();
}

// Runs `steps` once per tick at pointer positions in `area`, 30 ms apart, the display's events
// handled meanwhile; returns the mean microseconds of each.
std::vector<double> timeTicks(const Phases &steps, XDriver &x, const xcb_rectangle_t &area, int ticks)
{
    std::vector<double> means(steps.size());
    for (int tick = 0; tick < ticks; ++tick) {
        x.warp(area.x + (tick * 37) % area.width, area.y + (tick * 23) % area.height);
        QEventLoop idle;
        QTimer::singleShot(Vikaro::tickInterval, &idle, &QEventLoop::quit);
        idle.exec();
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const double start = processCpuUs();
            steps[i].run();
            means[i] += (processCpuUs() - start) / ticks;
        }
    }
    return means;
}

void printRows(const Phases &steps, const std::vector<double> (&times)[2], const char *sumName)
{
    double sums[2] = {0, 0};
    for (std::size_t i = 0; i < steps.size(); ++i) {
        std::printf("  %-30s %9.1f %9.1f\n", steps[i].name, times[0][i], times[1][i]);
        sums[0] += times[0][i];
        sums[1] += times[1][i];
    }
    std::printf("  %-30s %9.1f %9.1f\n", sumName, sums[0], sums[1]);
}

} // namespace

// The steps of a tick, as the window's own code runs them (the window lets us call them).
class TickPhases
{
public:
    explicit TickPhases(Vikaro &window) : w(window) {}

    Phases steps()
    {
        return {
            {"pointer position", [this] { pointer = w.desk.cursorPos(); }},
            {"grab the square", [this] { grabbed = w.grabAround(pointer); monitor = w.screenIndexAt(pointer); }},
            {"enlarge, sight, show (if new)", [this] { w.showPicture(grabbed); }},
            {"centre colour", [this] { w.readCentreColor(); }},
            {"colour and position texts", [this] { w.showColorTexts(pointer, monitor); }},
            {"swatches and debug line", [this] { w.showSwatches(); }},
            {"repaint and flush", repaintAndFlush},
        };
    }
    Phases wholeTick() { return {{"whole tick", [this] { tick(); }}, {"repaint and flush", repaintAndFlush}}; }
    Phases countedTick()
    {
        return {{"counted tick", [this] {
                     CALLGRIND_TOGGLE_COLLECT;
                     tick();
                     repaintAndFlush();
                     CALLGRIND_TOGGLE_COLLECT;
                 }}};
    }

    // Shows the two desktops in turn and times `steps`, then `whole`, on each; prints them.
    int run(XDriver &x, int ticks, bool count)
    {
        w.show();
        w.activateWindow();
        if (!QTest::qWaitForWindowActive(&w))
            return 1;
        const xcb_rectangle_t area = x.areaBeside(w.frameGeometry().x(), w.frameGeometry().width());
        frozen = true;
        const Phases parts = count ? Phases() : steps(), whole = count ? countedTick() : wholeTick();
        std::vector<double> partTimes[2], wholeTimes[2];
        for (int scene = 0; scene < 2; ++scene) {
            x.show(scene == 1);
            partTimes[scene] = timeTicks(parts, x, area, ticks);
            wholeTimes[scene] = timeTicks(whole, x, area, ticks);
            CALLGRIND_DUMP_STATS_AT(scene == 0 ? "blank" : "pattern");
        }
        std::printf("Phases of one tick: process CPU microseconds, mean of %d ticks, Xvfb %dx%d\n", ticks, x.width(),
                    x.height());
        std::printf("  %-30s %9s %9s\n", "", "blank", "pattern");
        printRows(parts, partTimes, "sum of the phases");
        std::printf("Whole ticks, timed the same way:\n");
        printRows(whole, wholeTimes, "tick with its repaint");
        return 0;
    }

private:
    // The window's own timer stays away while it is frozen: one tick, as the timer runs it.
    void tick()
    {
        frozen = false;
        w.manageTimouts();
        frozen = true;
    }

    Vikaro &w;
    QPoint pointer;
    int monitor = 0;
    QImage grabbed;
};

int main(int argc, char *argv[])
{
    const int ticks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const bool count = argc > 2 && std::strcmp(argv[2], "--count") == 0;
    if (!prepareSession())
        return 1;
    setApplicationIdentity();
    QApplication app(argc, argv);
    appInstance = &app;
    XDriver x;
    x.warp(20, 20);
    const std::unique_ptr<Desktop> desktop = createSessionDesktop();
    CData store;
    int status = 1;
    runPasses(store, *desktop, [&](Vikaro &window) {
        status = TickPhases(window).run(x, ticks, count);
        return 0;
    });
    return status;
}
