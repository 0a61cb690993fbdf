#pragma once

#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

class QObject;
class QScreen;

// What a desktop can lack for the magnifier to work, each told once while it lasts (texts in
// desktop/desktopproblems.h).
enum class DesktopProblem {
    NoPortal,         // no screen-cast portal on the session bus
    Refused,          // the user refused to share the screen
    PortalFailed,     // the portal failed a request, answered nonsense, or went away before sharing began
    StreamEnded,      // sharing ended (the session was closed, the portal, compositor or PipeWire went away)
    NoCursorMetadata, // the pointer's position is not given with the screen's pictures
    NoPointerMoves,   // the pointer cannot be moved (no remote-desktop portal, or no pointer granted)
    NoPictures,       // the screen is shared, but a monitor's pictures do not come or cannot be used
    PortalSlow,       // the portal is there but did not answer in time
    NoPortalSupport,  // a Wayland session, and this build has no portal code
    PointerUnknown,   // pictures come, but never the pointer's position on any of them
};

// What the magnifier sees of the desktop and how it moves the pointer, all in global device
// pixels. The window talks only to this, so tests can hand it a synthetic desktop.
class Desktop
{
public:
    // What the window wants of the desktop from now on: nothing (it is not focused, so no key
    // can come), the pointer alone (paused over the window or frozen: the arrows still move it),
    // or the pointer and the pictures (sampling).
    enum class Need { Nothing, Pointer, Pictures };

    Desktop();
    virtual ~Desktop();

    virtual QPoint cursorPos() = 0;
    virtual void setCursorPos(const QPoint &globalPos) = 0;
    // Moves the pointer by `step` device pixels from where it really is now.
    virtual void movePointerBy(const QPoint &step) { setCursorPos(cursorPos() + step); }

    // The square `rect` of the whole desktop, always exactly rect.size(): pixels that lie on
    // no monitor are opaque black, so the centre of the picture stays the pixel asked for.
    // A null image when the desktop has no picture to give (not yet, or no longer): black is
    // never passed off as the screen.
    virtual QImage grab(const QRect &rect) = 0;
    // The picture a grab returns, of `size`: opaque black where no monitor is, unless the caller
    // fills every pixel itself (`black` false).
    static QImage newSquare(const QSize &size, bool black = true);

    // The pointer's position and grab(squareAround(pointer, span)), the square null while the
    // desktop is not ready. A desktop may ask for both at once.
    struct PointerSquare
    {
        QPoint pointer;
        QImage square;
    };
    virtual PointerSquare pointerAndSquare(int span);

    // The monitors in global device pixels, in monitor-number order (the toolkit's screens
    // unless the desktop knows better). When they change, layoutVersion() does: a desktop that
    // takes the toolkit's calls followToolkitScreens().
    virtual QList<QRect> monitors();
    int layoutVersion() const { return layoutCount; }

    // False while the desktop cannot yet tell the pointer's position and give pictures (a
    // portal waiting for consent and the first frames); the window then shows nothing.
    virtual bool isReady() const { return true; }

    // Called at every tick that changes it, so cheap when nothing changes.
    virtual void setNeed(Need need) { (void)need; }

    // The problems met so far, in the order met; one that went away is no longer listed.
    const std::vector<DesktopProblem> &problems() const { return met; }
    // `listener` is called with each problem as it is met (true) and as it goes away (false), at
    // once with those met before that no earlier listener was told. Null stops it.
    using ProblemListener = std::function<void(DesktopProblem, bool met)>;
    void setProblemListener(ProblemListener listener);

protected:
    // Writes the problem's line to standard error, keeps it and tells the listener; a problem
    // that is already there is left alone.
    void report(DesktopProblem problem);
    // The problem is over (pictures came after all): the listener is told, the line stays said.
    void resolve(DesktopProblem problem);
    void layoutChanged() { ++layoutCount; }
    // For a desktop whose monitors are the toolkit's: the layout changes whenever a screen is
    // added, removed or resized.
    void followToolkitScreens();

private:
    void tellListener();
    void followScreen(const QScreen *screen);

    std::vector<DesktopProblem> met;
    std::size_t told = 0; // how many of `met` a listener was told
    ProblemListener listener;
    int layoutCount = 0;
    std::unique_ptr<QObject> screenWatch; // ends the connections of followToolkitScreens()
};

// The `span`-sided square centred on `pointer` (global device pixels): the pointer's pixel is
// at (span / 2, span / 2) in it.
inline QRect squareAround(const QPoint &pointer, int span)
{
    return QRect(pointer.x() - span / 2, pointer.y() - span / 2, span, span);
}

// The portable implementation on the toolkit's cursor and screen grab.
std::unique_ptr<Desktop> createToolkitDesktop();
// The X11 implementation, on an xcb connection of its own to the display the toolkit shows on
// ($DISPLAY): one round trip for the pointer, one MIT-SHM get-image for a grab (a plain
// get-image where shared memory cannot be had), one round trip for both at most ticks. Null
// when this build has no xcb, the display cannot be reached or is not the toolkit's, or its
// pixels are not 32-bit xRGB.
std::unique_ptr<Desktop> createX11Desktop();
// The Wayland implementation, on the desktop portals of the session bus
// ($DBUS_SESSION_BUS_ADDRESS): one ScreenCast session of every monitor with the pointer as
// metadata, joined to a RemoteDesktop session for pointer moves where there is one, so the
// user consents once; pictures over PipeWire. `restoreToken` is offered to the portal so it may
// skip the consent dialog; `keepToken` is handed the token to offer next time (empty: none).
// Returns at once: it is not ready until the user consented and the first pictures came
// (isReady()), and it reports what it cannot have through problems(). Needs the toolkit's
// event loop running. Null in a build without PipeWire or Qt DBus.
std::unique_ptr<Desktop> createPortalDesktop(const QString &restoreToken = QString(),
                                             std::function<void(const QString &)> keepToken = nullptr);
// The portal implementation, or in a build without it one that says so and shows nothing.
std::unique_ptr<Desktop> createWaylandDesktop(const QString &restoreToken = QString(),
                                              std::function<void(const QString &)> keepToken = nullptr);
// The implementation this session calls for: in a Wayland session the portal one (or, in a
// build without it, one that says so and shows nothing); else the X11 one while the toolkit
// runs on xcb; else (or when that one cannot be had) the portable one. The token arguments go
// to the portal one.
std::unique_ptr<Desktop> createPlatformDesktop(const QString &restoreToken = QString(),
                                               std::function<void(const QString &)> keepToken = nullptr);

// True in a Wayland session ($WAYLAND_DISPLAY set, or $XDG_SESSION_TYPE "wayland"), where the
// screen and the pointer are only had through the portals.
bool isWaylandSession();
