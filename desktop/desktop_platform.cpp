#include "desktop.h"

#include <QCursor>
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
std::unique_ptr<Desktop> createPortalDesktop(const QString &, std::function<void(const QString &)>)
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

// A Wayland session, and a build that cannot reach its portals: XWayland's screen would read
// black and its pointer moves go nowhere, so there is nothing to show, and that is said.
class NoPortalDesktop : public Desktop
{
public:
    NoPortalDesktop() { report(DesktopProblem::NoPortalSupport); }
    QPoint cursorPos() override { return QCursor::pos(); }
    void setCursorPos(const QPoint &) override {}
    QImage grab(const QRect &) override { return QImage(); }
    bool isReady() const override { return false; }
};

} // namespace

std::unique_ptr<Desktop> createWaylandDesktop(const QString &restoreToken, std::function<void(const QString &)> keepToken)
{
    if (std::unique_ptr<Desktop> portal = createPortalDesktop(restoreToken, std::move(keepToken)))
        return portal;
    return std::make_unique<NoPortalDesktop>();
}

// In a Wayland session the X server (XWayland) shows no other client's pixels and moves only
// its own idea of the pointer: only the portals give the real ones.
std::unique_ptr<Desktop> createPlatformDesktop(const QString &restoreToken, std::function<void(const QString &)> keepToken)
{
    if (isWaylandSession() && onRealDisplay())
        return createWaylandDesktop(restoreToken, std::move(keepToken));
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        if (std::unique_ptr<Desktop> x11 = createX11Desktop())
            return x11;
    return createToolkitDesktop();
}
