#pragma once

#include <xcb/xcb.h>

#include <atomic>
#include <thread>

// What the bench does to the X display, on connections of its own. All in root window pixels.

struct XWindow
{
    xcb_window_t id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    explicit operator bool() const { return id != 0; }
};

struct Area
{
    int x = 0;
    int y = 0;
    int width = 1;
    int height = 1;
};

class XDriver
{
public:
    XDriver();
    ~XDriver();

    // Screen `number` of the display `connection` reaches, or null.
    static xcb_screen_t *screenOf(xcb_connection_t *connection, int number);

    bool connected() const { return screen != nullptr; }
    int width() const { return screen->width_in_pixels; }
    int height() const { return screen->height_in_pixels; }

    enum class Scene
    {
        Blank,  // the server's own black root window: the colour under the pointer never changes
        Pattern // every pixel differs from its neighbours: a new colour every frame
    };
    // Shows `scene` as the root window's background.
    void show(Scene scene);
    void warp(int x, int y);
    void warpInto(const XWindow &window);
    // The largest window shown on the desktop that is not the bench's own.
    XWindow largestWindow();
    void focus(const XWindow &window);
    // Gives the keyboard focus to a small window of the bench's own.
    void focusAway();
    // The widest band of the screen left or right of `window`, kept clear of the edges so that
    // a square grabbed around any point of it lies on the screen.
    Area areaBeside(const XWindow &window) const;

private:
    void paintPattern();
    void sync();

    xcb_connection_t *connection = nullptr;
    xcb_screen_t *screen = nullptr;
    xcb_window_t ownWindow = 0;
};

// Moves the pointer to and fro across `area` every 10 ms, as a hand moving the mouse would,
// from a thread and a connection of its own, until stopped.
class PointerMover
{
public:
    explicit PointerMover(const Area &area);
    ~PointerMover();

    void stop();

private:
    void run(Area area);

    std::atomic<bool> running{true};
    std::thread thread;
};
