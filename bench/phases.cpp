// vikaro_phases [TICKS]: where the CPU time of one sampling tick goes, on the X display in
// $DISPLAY (a private Xvfb server: it paints the desktop and moves the pointer).
//
// It shows the real main window, with the program's style sheet and the keyboard focus, on
// the server's black root and then on a pattern (a new picture and colour every tick). On
// each, TICKS times (200 by default), 30 ms apart, it moves the pointer to a new place beside
// the window and calls the steps of Vikaro::manageTimouts one by one, each timed in process
// CPU time; then the repaint and flush that follow. Then it times whole ticks the same way, to
// check that the steps add up. Prints mean microseconds per tick.

#include <QApplication>
#include <QDebug>
#include <QEventLoop>
#include <QFile>
#include <QScreen> // complete for the window's QPointer<QScreen> list
#include <QTimer>
#include <QtTest>

#include <ctime>
#include <functional>
#include <vector>

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

void repaintAndFlush(Vikaro &window)
{
    QCoreApplication::sendPostedEvents(&window, QEvent::UpdateRequest);
}

// Runs `steps` once per tick at pointer positions beside the window, 30 ms apart; returns
// the mean microseconds of each.
std::vector<double> timeTicks(std::vector<Phase> &steps, XDriver &x, const Area &area, int ticks)
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

double sum(const std::vector<double> &values)
{
    double total = 0;
    for (double value : values)
        total += value;
    return total;
}

void printRows(const std::vector<Phase> &steps, const std::vector<double> &blank, const std::vector<double> &pattern)
{
    for (std::size_t i = 0; i < steps.size(); ++i)
        std::printf("  %-30s %9.1f %9.1f\n", steps[i].name, blank[i], pattern[i]);
}

} // namespace

// The steps of a tick, as the window's own code runs them (the window lets us call them).
class TickPhases
{
public:
    explicit TickPhases(Vikaro &window) : w(window) {}

    std::vector<Phase> steps()
    {
        return {
            {"pointer position", [this] { pointer = w.desk.cursorPos(); }},
            {"grab the square", [this] {
                 monitor = w.screenIndexAt(pointer);
                 const int half = w.zoomSpan / 2; // the square the tick grabs
                 grabbed = w.desk.grab(QRect(pointer.x() - half, pointer.y() - half, w.zoomSpan, w.zoomSpan));
             }},
            {"enlarge, sight, show (if new)", [this] { w.showPicture(grabbed); }},
            {"centre colour", [this] { w.readCentreColor(); }},
            {"colour and position texts", [this] { w.showColorTexts(pointer, monitor); }},
            {"swatches and debug line", [this] { w.showSwatches(); }},
            {"repaint and flush", [this] { repaintAndFlush(w); }},
        };
    }
    std::vector<Phase> wholeTick()
    {
        return {{"whole tick", [this] {
                     frozen = false;
                     w.manageTimouts();
                     frozen = true;
                 }},
                {"repaint and flush", [this] { repaintAndFlush(w); }}};
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
    frozen = true; // the window's own timer keeps away while the steps are timed one by one

    TickPhases phases(window);
    std::vector<Phase> steps = phases.steps(), whole = phases.wholeTick();
    std::vector<double> stepTimes[2], wholeTimes[2];
    for (int scene = 0; scene < 2; ++scene) {
        x.show(scene == 0 ? XDriver::Scene::Blank : XDriver::Scene::Pattern);
        stepTimes[scene] = timeTicks(steps, x, area, ticks);
        wholeTimes[scene] = timeTicks(whole, x, area, ticks);
    }

    std::printf("Phases of one tick: process CPU microseconds, mean of %d ticks, Xvfb %dx%d\n", ticks, x.width(),
                x.height());
    std::printf("  %-30s %9s %9s\n", "", "blank", "pattern");
    printRows(steps, stepTimes[0], stepTimes[1]);
    std::printf("  %-30s %9.1f %9.1f\n", "sum of the phases", sum(stepTimes[0]), sum(stepTimes[1]));
    std::printf("Whole ticks, timed the same way:\n");
    printRows(whole, wholeTimes[0], wholeTimes[1]);
    std::printf("  %-30s %9.1f %9.1f\n", "tick with its repaint", sum(wholeTimes[0]), sum(wholeTimes[1]));
    return 0;
}
