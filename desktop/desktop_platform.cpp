#include "desktop.h"

#include <QGuiApplication>

// The one place that knows which desktop each session and build calls for.

bool isWaylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || qgetenv("XDG_SESSION_TYPE") == QByteArrayLiteral("wayland");
}

#ifndef VIKARO_X11_DESKTOP
std::unique_ptr<Desktop> createX11Desktop()
{
    return nullptr;
}
#endif

#ifndef VIKARO_PORTAL_DESKTOP
std::unique_ptr<Desktop> createPortalDesktop()
{
    return nullptr;
}
#endif

namespace {

// The windowing platforms on a real display; on the offscreen one (tests of the window
// alone) the session does not matter.
bool onRealDisplay()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform == QLatin1String("wayland");
}

} // namespace

// In a Wayland session the X server (XWayland) shows no other client's pixels and moves only
// its own idea of the pointer: only the portals give the real ones.
std::unique_ptr<Desktop> createPlatformDesktop()
{
    if (isWaylandSession() && onRealDisplay())
        if (std::unique_ptr<Desktop> portal = createPortalDesktop())
            return portal;
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        if (std::unique_ptr<Desktop> x11 = createX11Desktop())
            return x11;
    return createToolkitDesktop();
}
