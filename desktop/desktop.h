#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

#include <memory>

class QScreen;

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
    virtual QImage grab(QScreen *screen, const QRect &rect) = 0;
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
// The fastest implementation this platform has: the X11 one while the toolkit runs on xcb,
// else (or when that one cannot be had) the portable one.
std::unique_ptr<Desktop> createPlatformDesktop();
