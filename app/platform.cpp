#include "platform.h"

#include <QCoreApplication>
#include <QtGlobal>

#include "desktop/desktop.h"

#include <cstdio>

namespace {

void useDevicePixels()
{
    for (const char *scaling : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_AUTO_SCREEN_SCALE_FACTOR",
                                "QT_ENABLE_HIGHDPI_SCALING", "QT_DEVICE_PIXEL_RATIO", "QT_SCALE_FACTOR_ROUNDING_POLICY"})
        qunsetenv(scaling);
    QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
}

#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD) || defined(Q_OS_OPENBSD) || defined(Q_OS_NETBSD)
bool chooseX11()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true; // chosen on purpose (offscreen for tests, say)
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        return true;
    }
    if (isWaylandSession())
        std::fputs("vikaro: this Wayland session has no X server (XWayland) to show the magnifier's window on: "
                   "start XWayland, or log in to an X11 session.\n",
                   stderr);
    else
        std::fputs("vikaro: no display to show the magnifier on (DISPLAY is not set).\n", stderr);
    return false;
}

// Nothing is drawn with OpenGL: not loading the GL stack saves tens of megabytes.
void skipOpenGl()
{
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
}

// The toolkit's own event loop instead of GLib's: nothing here adds GLib sources, and GLib's
// prepare, query and check passes cost about a twentieth of a sampling tick's instructions.
void skipGlibLoop()
{
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
}
#else
bool chooseX11()
{
    return true;
}

void skipOpenGl()
{
}

void skipGlibLoop()
{
}
#endif

} // namespace

bool prepareSession()
{
    if (!chooseX11())
        return false;
    skipOpenGl();
    skipGlibLoop();
    useDevicePixels();
    return true;
}
