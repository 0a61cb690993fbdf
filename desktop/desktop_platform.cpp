#include "desktop.h"

#include <QGuiApplication>

// The one place that knows which platforms have a faster desktop than the toolkit's.

#ifdef VIKARO_X11_DESKTOP

std::unique_ptr<Desktop> createPlatformDesktop()
{
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        if (std::unique_ptr<Desktop> x11 = createX11Desktop())
            return x11;
    return createToolkitDesktop();
}

#else

std::unique_ptr<Desktop> createX11Desktop()
{
    return nullptr;
}

std::unique_ptr<Desktop> createPlatformDesktop()
{
    return createToolkitDesktop();
}

#endif
