#include "desktop.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cstdio>

#include "desktopproblems.h"
#include "monitorlayout.h"

Desktop::Desktop() = default;
Desktop::~Desktop() = default;

QList<QRect> Desktop::monitors()
{
    const QList<QScreen *> all = QGuiApplication::screens();
    QList<ScreenDesc> described;
    for (const QScreen *screen : all)
        described.append({screen->name(), screen->geometry()});
    QList<QRect> ordered;
    for (int index : monitorOrder(described))
        ordered.append(described.at(index).geometry);
    return ordered;
}

QImage Desktop::newSquare(const QSize &size, bool black)
{
    QImage square(size, QImage::Format_RGB32);
    if (black)
        square.fill(Qt::black);
    return square;
}

Desktop::PointerSquare Desktop::pointerAndSquare(int span)
{
    const QPoint pointer = cursorPos();
    return {pointer, isReady() ? grab(squareAround(pointer, span)) : QImage()};
}

void Desktop::followToolkitScreens()
{
    if (!qGuiApp || screenWatch)
        return;
    screenWatch = std::make_unique<QObject>();
    for (const QScreen *screen : QGuiApplication::screens())
        followScreen(screen);
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, screenWatch.get(), [this](const QScreen *screen) {
        followScreen(screen);
        layoutChanged();
    });
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, screenWatch.get(), [this] { layoutChanged(); });
}

void Desktop::followScreen(const QScreen *screen)
{
    QObject::connect(screen, &QScreen::geometryChanged, screenWatch.get(), [this] { layoutChanged(); });
}

void Desktop::setProblemListener(ProblemListener newListener)
{
    listener = std::move(newListener);
    tellListener();
}

void Desktop::report(DesktopProblem problem)
{
    if (std::find(met.begin(), met.end(), problem) != met.end())
        return;
    met.push_back(problem);
    std::fprintf(stderr, "vikaro: %s\n", problemLine(problem));
    std::fflush(stderr);
    tellListener();
}

void Desktop::resolve(DesktopProblem problem)
{
    const auto at = std::find(met.begin(), met.end(), problem);
    if (at == met.end())
        return;
    const bool wasTold = std::size_t(at - met.begin()) < told;
    met.erase(at);
    if (!wasTold)
        return;
    --told;
    if (const auto call = listener)
        call(problem, false);
}

// One at a time, counted before the call, so a listener that reports or replaces itself
// meanwhile tells nothing twice.
void Desktop::tellListener()
{
    while (listener && told < met.size()) {
        const DesktopProblem next = met[told++];
        const auto call = listener;
        call(next, true);
    }
}
