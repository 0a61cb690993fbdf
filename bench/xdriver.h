#pragma once

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

// What the benchmarks do to the X display in $DISPLAY, on a connection of their own: paint the
// desktop, move the pointer, move the focus. All in root window pixels.

// A rectangle of the root window; a window's when `id` is set.
struct Area
{
    int x = 0;
    int y = 0;
    int width = 1;
    int height = 1;
    xcb_window_t id = 0;
};

class XDriver
{
public:
    enum class Scene
    {
        Blank,  // the server's own black root window: the colour under the pointer never changes
        Pattern // every pixel differs from its neighbours: a new colour every frame
    };

    XDriver()
    {
        int number = 0;
        connection = xcb_connect(nullptr, &number);
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
        for (; number > 0 && screens.rem; --number)
            xcb_screen_next(&screens);
        if (!xcb_connection_has_error(connection) && screens.rem)
            screen = screens.data;
    }
    ~XDriver() { xcb_disconnect(connection); }
    XDriver(const XDriver &) = delete;
    XDriver &operator=(const XDriver &) = delete;

    bool connected() const { return screen != nullptr; }
    int width() const { return screen->width_in_pixels; }
    int height() const { return screen->height_in_pixels; }

    // Shows `scene` as the root window's background.
    void show(Scene scene)
    {
        if (scene == Scene::Pattern) {
            paintPattern();
            return;
        }
        xcb_change_window_attributes(connection, screen->root, XCB_CW_BACK_PIXEL, &screen->black_pixel);
        xcb_clear_area(connection, 0, screen->root, 0, 0, 0, 0);
        sync();
    }

    void warp(int x, int y)
    {
        xcb_warp_pointer(connection, XCB_NONE, screen->root, 0, 0, 0, 0, std::int16_t(x), std::int16_t(y));
        sync();
    }

    // The largest window shown on the desktop (the magnifier's: the bench shows none).
    Area largestWindow()
    {
        Area largest;
        auto tree = owned(xcb_query_tree_reply(connection, xcb_query_tree(connection, screen->root), nullptr));
        const xcb_window_t *children = tree ? xcb_query_tree_children(tree.get()) : nullptr;
        for (int i = 0; tree && i < xcb_query_tree_children_length(tree.get()); ++i) {
            auto attributes = owned(xcb_get_window_attributes_reply(
                connection, xcb_get_window_attributes(connection, children[i]), nullptr));
            auto geometry = owned(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, children[i]), nullptr));
            if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
                continue;
            if (geometry->width * geometry->height > largest.width * largest.height)
                largest = {geometry->x, geometry->y, geometry->width, geometry->height, children[i]};
        }
        return largest;
    }

    // Gives the keyboard focus to `window`, or to no window at all.
    void focus(xcb_window_t window)
    {
        xcb_set_input_focus(connection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
        sync();
    }

    // The widest band of the screen left or right of `window`, kept clear of the edges so that
    // a 57 x 57 square grabbed around any point of it lies on the screen.
    Area areaBeside(const Area &window) const
    {
        constexpr int margin = 40;
        const int left = window.x - 2 * margin;
        const int right = width() - (window.x + window.width) - 2 * margin;
        const int x = left >= right ? margin : window.x + window.width + margin;
        return {x, margin, std::max(1, std::max(left, right)), std::max(1, height() - 2 * margin)};
    }

    xcb_connection_t *connection = nullptr;
    xcb_screen_t *screen = nullptr;

private:
    template <typename Reply>
    static std::unique_ptr<Reply, decltype(&std::free)> owned(Reply *reply)
    {
        return {reply, &std::free};
    }

    static std::uint32_t patternPixel(int x, int y)
    {
        const std::uint32_t red = std::uint32_t(x * 7 + y * 3) & 0xFF;
        const std::uint32_t green = std::uint32_t(x * 13 + y * 29) & 0xFF;
        const std::uint32_t blue = std::uint32_t(x * 5 + y * 17 + 91) & 0xFF;
        return red << 16 | green << 8 | blue;
    }

    // Into a pixmap in strips, each put-image request within the core protocol's request size.
    void paintPattern()
    {
        const xcb_pixmap_t pixmap = xcb_generate_id(connection);
        xcb_create_pixmap(connection, screen->root_depth, pixmap, screen->root, width(), height());
        const xcb_gcontext_t gc = xcb_generate_id(connection);
        xcb_create_gc(connection, gc, pixmap, 0, nullptr);
        const int rows = std::max(1, 200000 / (width() * 4));
        std::vector<std::uint32_t> strip(std::size_t(width() * rows));
        for (int top = 0; top < height(); top += rows) {
            const int count = std::min(rows, height() - top);
            for (int i = 0; i < width() * count; ++i)
                strip[std::size_t(i)] = patternPixel(i % width(), top + i / width());
            xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, width(), std::uint16_t(count), 0,
                          std::int16_t(top), 0, screen->root_depth, std::uint32_t(width() * count * 4),
                          reinterpret_cast<const std::uint8_t *>(strip.data()));
        }
        xcb_change_window_attributes(connection, screen->root, XCB_CW_BACK_PIXMAP, &pixmap);
        xcb_clear_area(connection, 0, screen->root, 0, 0, 0, 0);
        xcb_free_gc(connection, gc);
        xcb_free_pixmap(connection, pixmap);
        sync();
    }

    void sync() { std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr)); }
};
