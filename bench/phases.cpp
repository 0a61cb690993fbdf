// vikaro_phases [TICKS] [--count]: where a sampling tick goes, on the X display in $DISPLAY (a
// private Xvfb server: it paints the desktop and moves the pointer).
//
// It shows the real main window, with the program's style sheet and the keyboard focus, on the
// server's black root and then on a pattern (a new picture and colour every tick). On each,
// TICKS times (200 by default), 30 ms apart, it moves the pointer beside the window and calls
// the window's own tick steps one by one, each timed in process CPU time, then the repaint and
// flush that follow; then whole ticks the same way. Prints mean microseconds per tick.
//
// With --count it runs only whole ticks with their repaint, for callgrind (bench/run.sh
// --count): collection is on during those alone, and each desktop's ticks are dumped as a part
// of their own, named after the desktop.

#include <QApplication>
#include <QEventLoop>
#include <QFile>
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
#include "desktop/desktop.h"
#include "magnifier/state.h"
#include "magnifier/vikaro.h"
#include "resources/resourcepaths.h"
#include "xdriver.h"

namespace {

double processCpuUs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

struct Phase
{
    const char *name;
    std::function<void()> run;
};
using Phases = std::vector<Phase>;

void applyStyleSheet()
{
    QFile file(resources::styleSheet);
    if (file.open(QIODevice::ReadOnly))
        qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
}

// The idle time between two ticks, with the events of the display handled meanwhile.
void idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// What the event loop does after a tick: the repaint and flush, and whatever else it posted.
void repaintAndFlush()
{
    QCoreApplication::sendPostedEvents();
}

// Runs `steps` once per tick at pointer positions beside the window, 30 ms apart; returns the
// mean microseconds of each.
std::vector<double> timeTicks(const Phases &steps, XDriver &x, const Area &area, int ticks)
{
    std::vector<double> totals(steps.size());
    for (int tick = 0; tick < ticks; ++tick) {
        x.warp(area.x + (tick * 37) % area.width, area.y + (tick * 23) % area.height);
        idle(Vikaro::tickInterval);
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const double start = processCpuUs();
            steps[i].run();
            totals[i] += processCpuUs() - start;
        }
    }
    for (double &total : totals)
        total /= ticks;
    return totals;
}

void printRows(const Phases &steps, const std::vector<double> &blank, const std::vector<double> &pattern, const char *sumName)
{
    double sums[2] = {0, 0};
    for (std::size_t i = 0; i < steps.size(); ++i) {
        std::printf("  %-30s %9.1f %9.1f\n", steps[i].name, blank[i], pattern[i]);
        sums[0] += blank[i];
        sums[1] += pattern[i];
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
    // The window's own timer stays away while it is frozen: one tick, as the timer runs it.
    void tick()
    {
        frozen = false;
        w.manageTimouts();
        frozen = true;
    }
    Phases countedTick()
    {
        return {{"counted tick", [this] {
                     CALLGRIND_TOGGLE_COLLECT;
                     tick();
                     repaintAndFlush();
                     CALLGRIND_TOGGLE_COLLECT;
                 }}};
    }

private:
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
    applyStyleSheet();
    XDriver x;
    x.warp(20, 20);

    const std::unique_ptr<Desktop> desktop = createPlatformDesktop();
    Vikaro window(*desktop);
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window))
        return 1;
    const QRect frame = window.frameGeometry();
    const Area area = x.areaBeside({1, frame.x(), frame.y(), frame.width(), frame.height()});
    frozen = true;

    TickPhases phases(window);
    const Phases steps = count ? Phases() : phases.steps(), whole = count ? phases.countedTick() : phases.wholeTick();
    std::vector<double> stepTimes[2], wholeTimes[2];
    for (int scene = 0; scene < 2; ++scene) {
        x.show(scene == 0 ? XDriver::Scene::Blank : XDriver::Scene::Pattern);
        stepTimes[scene] = timeTicks(steps, x, area, ticks);
        wholeTimes[scene] = timeTicks(whole, x, area, ticks);
        CALLGRIND_DUMP_STATS_AT(scene == 0 ? "blank" : "pattern");
    }
    std::printf("Phases of one tick: process CPU microseconds, mean of %d ticks, Xvfb %dx%d\n", ticks, x.width(),
                x.height());
    std::printf("  %-30s %9s %9s\n", "", "blank", "pattern");
    printRows(steps, stepTimes[0], stepTimes[1], "sum of the phases");
    std::printf("Whole ticks, timed the same way:\n");
    printRows(whole, wholeTimes[0], wholeTimes[1], "tick with its repaint");
    return 0;
}
