#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

class QScreen;

// What a desktop can lack for the magnifier to work, each told once (texts in
// desktop/desktopproblems.h).
enum class DesktopProblem {
    NoPortal,         // no screen-cast portal on the session bus
    Refused,          // the user refused to share the screen
    PortalFailed,     // the portal failed a request, or the session could not start
    StreamEnded,      // the screen stream ended (the compositor went away, the session was closed)
    NoCursorMetadata, // the pointer's position is not given with the screen's pictures
    NoPointerMoves,   // the pointer cannot be moved (no remote-desktop portal, or no pointer granted)
    NoPictures,       // the screen is shared, but a monitor's pictures never come
};

// What the magnifier sees of the desktop and how it moves the pointer, all in global desktop
// pixels. The window talks only to this, so tests can hand it a synthetic desktop.
class Desktop
{
public:
    virtual ~Desktop() = default;

    virtual QPoint cursorPos() = 0;
    virtual void setCursorPos(const QPoint &globalPos) = 0;

    // The square `rect` of the whole desktop, always exactly rect.size(): pixels that lie on
    // no screen are opaque black, so the centre of the picture stays the pixel asked for.
    // `screen` is the screen the pointer is on, for toolkits that grab per screen; may be null.
    // A null image when the desktop has no picture to give (not yet, or no longer): black is
    // never passed off as the screen.
    virtual QImage grab(QScreen *screen, const QRect &rect) = 0;

    // False while the desktop cannot yet tell the pointer's position and give pictures (a
    // portal waiting for consent and the first frames); the window then shows nothing.
    virtual bool isReady() const { return true; }

    // The window stops sampling (not focused, pointer over it, frozen) or starts again. A
    // desktop whose pictures stream in stops the stream meanwhile. Called at every tick, so
    // cheap when nothing changes.
    virtual void setSamplingPaused(bool paused) { (void)paused; }

    // The problems met so far, in the order met, each once.
    const std::vector<DesktopProblem> &problems() const { return met; }
    // `listener` is called with each problem as it is met, at once with those met before that
    // no earlier listener was told. Null stops it.
    void setProblemListener(std::function<void(DesktopProblem)> listener);

protected:
    // Writes the problem's line to standard error, keeps it and tells the listener; a problem
    // already met is left alone.
    void report(DesktopProblem problem);

private:
    void tellListener();

    std::vector<DesktopProblem> met;
    std::size_t told = 0; // how many of `met` a listener was told
    std::function<void(DesktopProblem)> listener;
};

// The desktop the magnifier uses; the platform's own unless replaced.
Desktop &desktop();
// Replaces it (tests); null goes back to the platform's own.
void setDesktop(std::unique_ptr<Desktop> replacement);

// The portable implementation on the toolkit's cursor and screen grab.
std::unique_ptr<Desktop> createToolkitDesktop();
// The X11 implementation, on an xcb connection of its own to the display the toolkit shows on
// ($DISPLAY): one round trip for the pointer, one MIT-SHM get-image for a grab (a plain
// get-image where shared memory cannot be had). Null when this build has no xcb, the display
// cannot be reached or is not the toolkit's, or its pixels are not 32-bit xRGB.
std::unique_ptr<Desktop> createX11Desktop();
// The Wayland implementation, on the desktop portals of the session bus
// ($DBUS_SESSION_BUS_ADDRESS): one ScreenCast session of every monitor with the pointer as
// metadata, joined to a RemoteDesktop session for pointer moves where there is one, so the
// user consents once; pictures over PipeWire. Returns at once: it is not ready until the user
// consented and the first pictures came (isReady()), and it reports what it cannot have
// through problems(). Needs the toolkit's event loop running. Null in a build without
// PipeWire or Qt DBus.
std::unique_ptr<Desktop> createPortalDesktop();
// The implementation this session calls for: in a Wayland session the portal one; else the
// X11 one while the toolkit runs on xcb; else (or when that one cannot be had) the portable one.
std::unique_ptr<Desktop> createPlatformDesktop();

// True in a Wayland session ($WAYLAND_DISPLAY set, or $XDG_SESSION_TYPE "wayland"), where the
// screen and the pointer are only had through the portals.
bool isWaylandSession();
