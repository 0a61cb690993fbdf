// vikaro_phases [TICKS]: what one sampling tick with its repaint costs, as the README's
// "Benchmarks" tells, on the X display in $DISPLAY (a private Xvfb server whose desktop and
// pointer it drives): the window's own tick, TICKS times (200 by default) on each desktop, in
// process CPU time. Under callgrind (bench/run.sh --count) started with collection off, it counts
// only during the ticks and dumps each desktop's as a part named after it, where the steps the
// tick calls are the window's own functions.

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QtTest>

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

// Runs the window's tick as its timer does (the timer stays away while frozen).
class TickPhases
{
public:
    explicit TickPhases(Vikaro &window) : w(window) {}

    int run(XDriver &x, int ticks)
    {
        w.show();
        w.activateWindow();
        if (!QTest::qWaitForWindowActive(&w))
            return 1;
        const xcb_rectangle_t area = x.areaBeside(w.frameGeometry().x(), w.frameGeometry().width());
        frozen = true;
        std::printf("One tick with its repaint: process CPU microseconds, mean of %d ticks, Xvfb %dx%d\n", ticks,
                    x.width(), x.height());
        for (const bool patterned : {false, true}) {
            x.show(patterned);
            std::printf("  %-8s %9.1f\n", patterned ? "pattern" : "blank", timeTicks(x, area, ticks));
            CALLGRIND_DUMP_STATS_AT(patterned ? "pattern" : "blank");
        }
        return 0;
    }

private:
    // The ticks 30 ms apart, the display's events handled meanwhile, the pointer moving in `area`
    // as in vikaro_bench (21 and 15 pixels a tick, to and fro); their mean microseconds.
    double timeTicks(XDriver &x, const xcb_rectangle_t &area, int ticks)
    {
        double total = 0;
        for (int i = 0; i < ticks; ++i) {
            x.warp(area.x + toAndFro(i * 21L, area.width), area.y + toAndFro(i * 15L, area.height));
            QEventLoop idle;
            QTimer::singleShot(Vikaro::tickInterval, &idle, &QEventLoop::quit);
            idle.exec();
            const double start = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
            tick();
            total += cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - start;
        }
        return total * 1e6 / ticks;
    }

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
};

int main(int argc, char *argv[])
{
    const int ticks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    XDriver x;
    x.warp(20, 20);
    int status = 1;
    runProgram(argc, argv, [&](Vikaro &window) {
        status = TickPhases(window).run(x, ticks);
        return 0;
    });
    return status;
}
