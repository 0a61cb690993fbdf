#include "desktop.h"

std::unique_ptr<Desktop> createPlatformDesktop()
{
    return createToolkitDesktop();
}
