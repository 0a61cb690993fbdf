// vikaro_phases [TICKS] [--count]: where a sampling tick goes, as the README's "Benchmarks" tells,
// on the X display in $DISPLAY (a private Xvfb server whose desktop and pointer it drives); TICKS
// is 200 by default. With --count, whole ticks alone, for callgrind (bench/run.sh --count): it
// counts only during them, and dumps each desktop's ticks as a part named after the desktop.

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <functional>
#include <vector>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_TOGGLE_COLLECT
#define CALLGRIND_DUMP_STATS_AT(name)
#endif

#include "app/startup.h"
#include "magnifier/state.h"
#include "magnifier/vikaro.h"
#include "xdriver.h"

namespace {

// A step's name and what it runs.
using Phases = std::vector<std::pair<const char *, std::function<void()>>>;

// Runs `phases` once per tick at pointer positions in `area`, 30 ms apart (the pointer moving as
// in vikaro_bench, 21 and 15 pixels a tick, to and fro), the display's events handled meanwhile;
// returns the mean microseconds of each.
std::vector<double> timeTicks(const Phases &phases, XDriver &x, const xcb_rectangle_t &area, int ticks)
{
    std::vector<double> means(phases.size());
    for (int tick = 0; tick < ticks; ++tick) {
        x.warp(area.x + toAndFro(tick * 21L, area.width), area.y + toAndFro(tick * 15L, area.height));
        QEventLoop idle;
        QTimer::singleShot(Vikaro::tickInterval, &idle, &QEventLoop::quit);
        idle.exec();
        for (std::size_t i = 0; i < phases.size(); ++i) {
            const double start = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
            phases[i].second();
            means[i] += (cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - start) * 1e6 / ticks;
        }
    }
    return means;
}

void printRow(const char *name, double blank, double pattern)
{
    std::printf("  %-30s %9.1f %9.1f\n", name, blank, pattern);
}

} // namespace

// The steps of a tick, as the window's own code runs them (the window lets us call them).
class TickPhases
{
public:
    explicit TickPhases(Vikaro &window) : w(window) {}

    // Shows the two desktops in turn and times the steps, then whole ticks, on each; prints them.
    int run(XDriver &x, int ticks, bool count)
    {
        w.show();
        w.activateWindow();
        if (!QTest::qWaitForWindowActive(&w))
            return 1;
        const xcb_rectangle_t area = x.areaBeside(w.frameGeometry().x(), w.frameGeometry().width());
        frozen = true;
        const Phases parts = count ? Phases() : steps(), whole = {{"whole tick with its repaint", [this] { tick(); }}};
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
        for (std::size_t i = 0; i < parts.size(); ++i)
            printRow(parts[i].first, partTimes[0][i], partTimes[1][i]);
        printRow(whole[0].first, wholeTimes[0][0], wholeTimes[1][0]);
        return 0;
    }

private:
    Phases steps()
    {
        return {
            {"pointer and square", [this] {
                 w.holdTickRepaints();
                 sample = w.desk.pointerAndSquare(w.zoomSpan);
                 monitor = w.screenIndexAt(sample.pointer);
             }},
            {"enlarge, sight, show (if new)", [this] { w.showPicture(sample.square); }},
            {"centre colour", [this] { w.readCentreColor(); }},
            {"colour and position texts", [this] { w.showColorTexts(sample.pointer, monitor); }},
            {"swatches and debug line", [this] { w.showSwatches(); }},
            {"paint changes straight, flush", [this] { w.paintTickChanges(); }},
            {"rest of the event loop's pass", [] { QCoreApplication::sendPostedEvents(); }},
        };
    }

    // One tick as the window's timer runs it (the timer stays away while frozen), with its
    // repaint; callgrind counts these alone.
    void tick()
    {
        CALLGRIND_TOGGLE_COLLECT;
        frozen = false;
        w.manageTimouts();
        frozen = true;
        QCoreApplication::sendPostedEvents(); // what the event loop does after a tick
        CALLGRIND_TOGGLE_COLLECT;
    }

    Vikaro &w;
    Desktop::PointerSquare sample;
    int monitor = 0;
};

int main(int argc, char *argv[])
{
    const int ticks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const bool count = argc > 2 && std::strcmp(argv[2], "--count") == 0;
    XDriver x;
    x.warp(20, 20);
    int status = 1;
    runProgram(argc, argv, [&](Vikaro &window) {
        status = TickPhases(window).run(x, ticks, count);
        return 0;
    });
    return status;
}
