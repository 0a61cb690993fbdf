#include "desktop.h"

#include <algorithm>
#include <cstdio>

#include "desktopproblems.h"

namespace {

std::unique_ptr<Desktop> &current()
{
    static std::unique_ptr<Desktop> instance;
    return instance;
}

} // namespace

Desktop &desktop()
{
    if (!current())
        current() = createPlatformDesktop();
    return *current();
}

void setDesktop(std::unique_ptr<Desktop> replacement)
{
    current() = std::move(replacement);
}

void Desktop::setProblemListener(std::function<void(DesktopProblem)> newListener)
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

// One at a time, counted before the call, so a listener that reports or replaces itself
// meanwhile tells nothing twice.
void Desktop::tellListener()
{
    while (listener && told < met.size()) {
        const DesktopProblem next = met[told++];
        const auto call = listener;
        call(next);
    }
}
