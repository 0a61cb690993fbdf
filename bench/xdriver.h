#pragma once

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

// What the benchmarks do to the X display in $DISPLAY (a private Xvfb server), on a connection of
// their own: paint the desktop, move the pointer and the focus. All in root window pixels.
class XDriver
{
public:
    XDriver()
    {
        int number = 0;
        connection = xcb_connect(nullptr, &number);
        if (xcb_connection_has_error(connection))
            return;
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
        for (; number > 0 && screens.rem; --number)
            xcb_screen_next(&screens);
        screen = screens.rem ? screens.data : nullptr;
    }
    ~XDriver() { xcb_disconnect(connection); }

    bool connected() const { return screen != nullptr; }
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
        xcb_get_input_focus_reply_t *focus = xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
        const xcb_window_t window = focus ? focus->focus : XCB_NONE;
        std::free(focus);
        xcb_get_geometry_reply_t *geometry = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
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

    xcb_connection_t *connection = nullptr;
    xcb_screen_t *screen = nullptr;

private:
    // Drawn into a pixmap in strips, each put-image request within the core protocol's size.
    xcb_pixmap_t paintPattern()
    {
        const xcb_pixmap_t pixmap = xcb_generate_id(connection);
        xcb_create_pixmap(connection, screen->root_depth, pixmap, screen->root, width(), height());
        const xcb_gcontext_t gc = xcb_generate_id(connection);
        xcb_create_gc(connection, gc, pixmap, 0, nullptr);
        const int rows = std::max(1, 200000 / (width() * 4));
        std::vector<std::uint32_t> strip(std::size_t(width() * rows));
        for (int top = 0; top < height(); top += rows) {
            const int count = std::min(rows, height() - top);
            for (int i = 0; i < width() * count; ++i) {
                const int x = i % width(), y = top + i / width();
                strip[std::size_t(i)] = std::uint32_t(x * 7 + y * 3) % 256 << 16 |
                                        std::uint32_t(x * 13 + y * 29) % 256 << 8 | std::uint32_t(x * 5 + y * 17 + 91) % 256;
            }
            xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, width(), std::uint16_t(count), 0,
                          std::int16_t(top), 0, screen->root_depth, std::uint32_t(width() * count * 4),
                          reinterpret_cast<const std::uint8_t *>(strip.data()));
        }
        xcb_free_gc(connection, gc);
        return pixmap;
    }

    void sync() { std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr)); }
};
