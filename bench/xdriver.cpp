#include "xdriver.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

// Keeps a grabbed 57 x 57 square around the pointer on the screen.
constexpr int edgeMargin = 40;
// Bytes of pixels per put-image request, within the core protocol's request size.
constexpr int bytesPerRequest = 200000;

template <typename Reply>
std::unique_ptr<Reply, decltype(&std::free)> owned(Reply *reply)
{
    return {reply, &std::free};
}

std::uint32_t patternPixel(int x, int y)
{
    const std::uint32_t red = std::uint32_t(x * 7 + y * 3) & 0xFF;
    const std::uint32_t green = std::uint32_t(x * 13 + y * 29) & 0xFF;
    const std::uint32_t blue = std::uint32_t(x * 5 + y * 17 + 91) & 0xFF;
    return red << 16 | green << 8 | blue;
}

// Position `step` of a walk to and fro over 0..length-1.
int toAndFro(long step, int length)
{
    if (length < 2)
        return 0;
    const long period = 2L * (length - 1);
    const long at = step % period;
    return int(at < length ? at : period - at);
}

} // namespace

xcb_screen_t *XDriver::screenOf(xcb_connection_t *connection, int number)
{
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < number && screens.rem; ++i)
        xcb_screen_next(&screens);
    return screens.rem ? screens.data : nullptr;
}

XDriver::XDriver()
{
    int number = 0;
    connection = xcb_connect(nullptr, &number);
    if (!xcb_connection_has_error(connection))
        screen = screenOf(connection, number);
}

XDriver::~XDriver()
{
    xcb_disconnect(connection);
}

void XDriver::show(Scene scene)
{
    if (scene == Scene::Pattern) {
        paintPattern();
        return;
    }
    xcb_change_window_attributes(connection, screen->root, XCB_CW_BACK_PIXEL, &screen->black_pixel);
    xcb_clear_area(connection, 0, screen->root, 0, 0, 0, 0);
    sync();
}

void XDriver::paintPattern()
{
    const xcb_pixmap_t pixmap = xcb_generate_id(connection);
    xcb_create_pixmap(connection, screen->root_depth, pixmap, screen->root, width(), height());
    const xcb_gcontext_t gc = xcb_generate_id(connection);
    xcb_create_gc(connection, gc, pixmap, 0, nullptr);
    const int rows = std::max(1, bytesPerRequest / (width() * 4));
    std::vector<std::uint32_t> strip(std::size_t(width() * rows));
    for (int top = 0; top < height(); top += rows) {
        const int count = std::min(rows, height() - top);
        for (int y = 0; y < count; ++y)
            for (int x = 0; x < width(); ++x)
                strip[std::size_t(y * width() + x)] = patternPixel(x, top + y);
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

void XDriver::warp(int x, int y)
{
    xcb_warp_pointer(connection, XCB_NONE, screen->root, 0, 0, 0, 0, std::int16_t(x), std::int16_t(y));
    sync();
}

void XDriver::warpInto(const XWindow &window)
{
    warp(window.x + window.width / 2, window.y + window.height / 2);
}

XWindow XDriver::largestWindow()
{
    XWindow largest;
    auto tree = owned(xcb_query_tree_reply(connection, xcb_query_tree(connection, screen->root), nullptr));
    if (!tree)
        return largest;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        if (children[i] == ownWindow)
            continue;
        auto attributes = owned(xcb_get_window_attributes_reply(
            connection, xcb_get_window_attributes(connection, children[i]), nullptr));
        auto geometry = owned(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, children[i]), nullptr));
        if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        if (geometry->width * geometry->height > largest.width * largest.height)
            largest = {children[i], geometry->x, geometry->y, geometry->width, geometry->height};
    }
    return largest;
}

void XDriver::focus(const XWindow &window)
{
    xcb_set_input_focus(connection, XCB_INPUT_FOCUS_POINTER_ROOT, window.id, XCB_CURRENT_TIME);
    sync();
}

void XDriver::focusAway()
{
    if (!ownWindow) {
        ownWindow = xcb_generate_id(connection);
        const std::uint32_t overrideRedirect = 1;
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, ownWindow, screen->root, 0, 0, 16, 16, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_OVERRIDE_REDIRECT,
                          &overrideRedirect);
        xcb_map_window(connection, ownWindow);
    }
    xcb_set_input_focus(connection, XCB_INPUT_FOCUS_POINTER_ROOT, ownWindow, XCB_CURRENT_TIME);
    sync();
}

Area XDriver::areaBeside(const XWindow &window) const
{
    const int left = window.x - 2 * edgeMargin;
    const int right = width() - (window.x + window.width) - 2 * edgeMargin;
    Area area;
    area.y = edgeMargin;
    area.height = std::max(1, height() - 2 * edgeMargin);
    area.x = left >= right ? edgeMargin : window.x + window.width + edgeMargin;
    area.width = std::max(1, std::max(left, right));
    return area;
}

void XDriver::sync()
{
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

PointerMover::PointerMover(const Area &area)
    : thread([this, area] { run(area); })
{
}

PointerMover::~PointerMover()
{
    stop();
}

void PointerMover::stop()
{
    running = false;
    if (thread.joinable())
        thread.join();
}

void PointerMover::run(Area area)
{
    int number = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &number);
    const xcb_screen_t *screen = XDriver::screenOf(connection, number);
    auto next = std::chrono::steady_clock::now();
    for (long step = 0; running && screen; ++step) {
        const int x = area.x + toAndFro(step * 7, area.width);
        const int y = area.y + toAndFro(step * 5, area.height);
        xcb_warp_pointer(connection, XCB_NONE, screen->root, 0, 0, 0, 0, std::int16_t(x), std::int16_t(y));
        xcb_flush(connection);
        next += std::chrono::milliseconds(10);
        std::this_thread::sleep_until(next);
    }
    xcb_disconnect(connection);
}
