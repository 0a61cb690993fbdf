#include "desktop.h"

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
