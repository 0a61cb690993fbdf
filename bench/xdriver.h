#pragma once

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <stdexcept>
#include <vector>

// Position `step` of a walk to and fro over 0..length-1.
inline int toAndFro(long step, int length)
{
    if (length < 2)
        return 0;
    const long period = 2L * (length - 1);
    return int(std::min(step % period, period - step % period));
}

inline double cpuSeconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// What the benchmarks do to the X display in $DISPLAY (a private Xvfb server, one screen), on a
// connection of their own: paint the desktop, move the pointer and the focus. In root pixels.
class XDriver
{
public:
    XDriver() : connection(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(connection)) {
            xcb_disconnect(connection);
            throw std::runtime_error("no X display (set DISPLAY to a private Xvfb server)");
        }
        screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    }
    ~XDriver() { xcb_disconnect(connection); }
    int width() const { return screen->width_in_pixels; }
    int height() const { return screen->height_in_pixels; }

    // Shows the server's own black root, where the colour under the pointer never changes, or
    // a pattern whose every pixel differs from its neighbours: a new colour every frame.
    void show(bool patterned)
    {
        if (patterned) {
            const xcb_pixmap_t pixmap = paintPattern();
            xcb_change_window_attributes(connection, screen->root, XCB_CW_BACK_PIXMAP, &pixmap);
            xcb_free_pixmap(connection, pixmap);
        } else {
            xcb_change_window_attributes(connection, screen->root, XCB_CW_BACK_PIXEL, &screen->black_pixel);
        }
        xcb_clear_area(connection, 0, screen->root, 0, 0, 0, 0);
        sync();
    }

    void warp(int x, int y)
    {
        xcb_warp_pointer(connection, XCB_NONE, screen->root, 0, 0, 0, 0, std::int16_t(x), std::int16_t(y));
        sync();
    }

    // The window with the keyboard focus (the magnifier's, once it has taken it), where it lies.
    xcb_window_t focusedWindow(xcb_rectangle_t &place)
    {
        auto *focus = xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
        const xcb_window_t window = focus ? focus->focus : XCB_NONE;
        std::free(focus);
        auto *geometry = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
        if (geometry)
            place = {geometry->x, geometry->y, geometry->width, geometry->height};
        std::free(geometry);
        return geometry ? window : XCB_NONE;
    }

    // Gives the keyboard focus to `window`, or to none at all.
    void focus(xcb_window_t window)
    {
        xcb_set_input_focus(connection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
        sync();
    }

    // The widest band of the screen left or right of a window, kept clear of the edges so that
    // a 57 x 57 square grabbed around any point of it lies on the screen.
    xcb_rectangle_t areaBeside(int windowX, int windowWidth) const
    {
        constexpr int margin = 40;
        const int left = windowX - 2 * margin;
        const int right = width() - (windowX + windowWidth) - 2 * margin;
        const int x = left >= right ? margin : windowX + windowWidth + margin;
        return {std::int16_t(x), margin, std::uint16_t(std::max({1, left, right})),
                std::uint16_t(std::max(1, height() - 2 * margin))};
    }

    xcb_connection_t *connection;
    xcb_screen_t *screen = nullptr;

private:
    // Put a row at a time, each request well within the core protocol's size.
    xcb_pixmap_t paintPattern()
    {
        const xcb_pixmap_t pixmap = xcb_generate_id(connection);
        xcb_create_pixmap(connection, screen->root_depth, pixmap, screen->root, width(), height());
        const xcb_gcontext_t gc = xcb_generate_id(connection);
        xcb_create_gc(connection, gc, pixmap, 0, nullptr);
        std::vector<std::uint32_t> row(static_cast<std::size_t>(width()));
        for (int y = 0; y < height(); ++y) {
            for (int x = 0; x < width(); ++x)
                row[std::size_t(x)] = std::uint32_t((x * 7 + y * 3) % 256 << 16 | (x * 13 + y * 29) % 256 << 8 |
                                                    (x * 5 + y * 17 + 91) % 256);
            xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, width(), 1, 0, std::int16_t(y), 0,
                          screen->root_depth, std::uint32_t(row.size() * 4),
                          reinterpret_cast<const std::uint8_t *>(row.data()));
        }
        xcb_free_gc(connection, gc);
        return pixmap;
    }

    void sync() { std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr)); }
};
