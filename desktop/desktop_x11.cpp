#include "desktop.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QGuiApplication>
#include <QScreen>
#include <QSysInfo>

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdint>
#include <cstdlib>

// The toolkit asks the server for the pointer through several calls, and grabs a square of the
// screen with about nine requests and three round trips. Here each costs one round trip on a
// connection of our own, and the grabbed pixels arrive in shared memory; at a tick the pointer
// and the square around it mostly come in one.

namespace {

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
// Replies and errors from xcb are allocated with malloc.
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// How far (device pixels) the pointer may move between two ticks for the square around it to be
// cut from the one asked for together with the pointer: the last square, this much wider on
// every side. A hand moving slower than about a thousand pixels a second stays within it.
constexpr int reach = 32;
// The largest square the magnifier asks for, in bytes; larger grabs get a larger segment.
constexpr std::size_t usualGrabBytes = (57 + 2 * reach) * (57 + 2 * reach) * 4;

xcb_screen_t *screenNumbered(xcb_connection_t *connection, int number)
{
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < number && screens.rem; ++i)
        xcb_screen_next(&screens);
    return screens.rem ? screens.data : nullptr;
}

const xcb_visualtype_t *rootVisual(const xcb_screen_t *screen)
{
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem; xcb_depth_next(&depths))
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals))
            if (visuals.data->visual_id == screen->root_visual)
                return visuals.data;
    return nullptr;
}

// Scanline padding in bits of the root window's images when they are 32-bit xRGB in this
// machine's byte order (what QImage::Format_RGB32 holds), else 0.
int xrgb32Padding(const xcb_setup_t *setup, const xcb_screen_t *screen)
{
    const bool littleEndian = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    const xcb_visualtype_t *visual = rootVisual(screen);
    if (!visual || visual->red_mask != 0xFF0000u || visual->green_mask != 0xFF00u || visual->blue_mask != 0xFFu
        || (setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) != littleEndian)
        return 0;
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem; xcb_format_next(&formats))
        if (formats.data->depth == screen->root_depth)
            return formats.data->bits_per_pixel == 32 ? formats.data->scanline_pad : 0;
    return 0;
}

// The server's pixels have an undefined top byte: made opaque on the way into `target`.
void copyOpaque(QImage &target, const QPoint &at, const std::uint8_t *source, int width, int rows, int stride)
{
    for (int y = 0; y < rows; ++y) {
        const auto *in = reinterpret_cast<const std::uint32_t *>(source + std::size_t(y) * std::size_t(stride));
        auto *out = reinterpret_cast<QRgb *>(target.scanLine(at.y() + y)) + at.x();
        for (int x = 0; x < width; ++x)
            out[x] = in[x] | 0xFF000000u;
    }
}

// A shared memory segment the server writes get-image replies into; not valid when the server
// cannot attach it (one on another machine, say).
class SharedSegment
{
public:
    SharedSegment(xcb_connection_t *connection, std::size_t bytes)
        : connection(connection)
    {
        const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        if (id < 0)
            return;
        void *address = shmat(id, nullptr, SHM_RDONLY);
        if (address != reinterpret_cast<void *>(-1)) {
            segment = xcb_generate_id(connection);
            const Reply<xcb_generic_error_t> error(
                xcb_request_check(connection, xcb_shm_attach_checked(connection, segment, std::uint32_t(id), 0)));
            if (error)
                shmdt(address);
            else
                attached(address, bytes);
        }
        shmctl(id, IPC_RMID, nullptr); // goes once both sides have let go of it
    }
    ~SharedSegment()
    {
        if (!pixels)
            return;
        xcb_shm_detach(connection, segment);
        xcb_flush(connection);
        shmdt(pixels);
    }
    SharedSegment(const SharedSegment &) = delete;
    SharedSegment &operator=(const SharedSegment &) = delete;

    bool isValid() const { return pixels != nullptr; }
    xcb_shm_seg_t id() const { return segment; }
    const std::uint8_t *data() const { return pixels; }
    std::size_t size() const { return capacity; }

private:
    void attached(void *address, std::size_t bytes)
    {
        pixels = static_cast<const std::uint8_t *>(address);
        capacity = bytes;
    }

    xcb_connection_t *connection;
    xcb_shm_seg_t segment = 0;
    const std::uint8_t *pixels = nullptr;
    std::size_t capacity = 0;
};

class X11Desktop : public Desktop
{
public:
    X11Desktop(xcb_connection_t *connection, const xcb_screen_t *screen, int padding)
        : connection(connection)
        , root(screen->root)
        , padding(padding)
    {
        // Without shared memory where the toolkit is told to do without it (a server that
        // cannot reach this machine's memory, say).
        const xcb_query_extension_reply_t *shm = xcb_get_extension_data(connection, &xcb_shm_id);
        if (shm && shm->present && qEnvironmentVariableIsEmpty("QT_XCB_NO_MITSHM"))
            useSegment(usualGrabBytes);
        followToolkitScreens();
    }
    ~X11Desktop() override
    {
        segment.reset();
        xcb_disconnect(connection);
    }

    QPoint cursorPos() override { return readPointer(xcb_query_pointer(connection, root)); }

    // Waits for the server to have moved it, so that every client, the toolkit included,
    // reads the new position from then on.
    void setCursorPos(const QPoint &globalPos) override
    {
        xcb_warp_pointer(connection, XCB_NONE, root, 0, 0, 0, 0, std::int16_t(globalPos.x()),
                         std::int16_t(globalPos.y()));
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }

    // Null when the server refuses: the root shrank before the toolkit heard of it.
    QImage grab(const QRect &rect) override
    {
        const QRect part = onDesktop(rect);
        QImage square = newSquare(rect.size(), part != rect);
        if (!part.isEmpty() && !readPixels(askPixels(part), part, part, square, part.topLeft() - rect.topLeft()))
            return QImage();
        return square;
    }

    // The pointer, and in the same round trip the last square widened by `reach`; the new
    // square is cut from that when it lies within, else grabbed as ever. Both are read before
    // this returns, so what it gives is never older than the pointer's position.
    PointerSquare pointerAndSquare(int span) override
    {
        const QRect wide = lastSquare.isNull() ? QRect() : onDesktop(lastSquare.adjusted(-reach, -reach, reach, reach));
        const xcb_query_pointer_cookie_t pointerAsked = xcb_query_pointer(connection, root);
        const unsigned int wideAsked = wide.isEmpty() ? 0 : askPixels(wide);
        const QPoint at = readPointer(pointerAsked);
        const QRect rect = squareAround(at, span);
        lastSquare = rect;
        const QRect part = onDesktop(rect);
        if (wide.isEmpty())
            return {at, grab(rect)};
        if (part.isEmpty() || !wide.contains(part)) {
            xcb_discard_reply(connection, wideAsked);
            return {at, grab(rect)};
        }
        QImage square = newSquare(rect.size(), part != rect);
        if (!readPixels(wideAsked, wide, part, square, part.topLeft() - rect.topLeft()))
            return {at, grab(rect)};
        return {at, square};
    }

private:
    int strideOf(int width) const { return (width * 32 + padding - 1) / padding * padding / 8; }

    // Clipped to the desktop the toolkit knows, like the toolkit's own grab.
    static QRect onDesktop(const QRect &rect)
    {
        const QScreen *screen = QGuiApplication::primaryScreen();
        return screen ? rect.intersected(screen->virtualGeometry()) : QRect();
    }

    QPoint readPointer(xcb_query_pointer_cookie_t asked)
    {
        const Reply<xcb_query_pointer_reply_t> reply(xcb_query_pointer_reply(connection, asked, nullptr));
        if (reply && reply->same_screen)
            pointer = QPoint(reply->root_x, reply->root_y);
        return pointer;
    }

    void useSegment(std::size_t bytes)
    {
        segment = std::make_unique<SharedSegment>(connection, bytes);
        if (!segment->isValid())
            segment.reset();
    }

    // Asks for the pixels of `part` of the desktop (into the shared segment where there is one);
    // the answer is read by readPixels() or discarded. Returns the request's sequence number.
    unsigned int askPixels(const QRect &part)
    {
        const std::size_t bytes = std::size_t(strideOf(part.width())) * std::size_t(part.height());
        if (segment && segment->size() < bytes)
            useSegment(bytes);
        const auto x = std::int16_t(part.x()), y = std::int16_t(part.y());
        const auto width = std::uint16_t(part.width()), height = std::uint16_t(part.height());
        if (segment)
            return xcb_shm_get_image(connection, root, x, y, width, height, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP,
                                     segment->id(), 0)
                .sequence;
        return xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, root, x, y, width, height, ~0u).sequence;
    }

    // Reads the answer to askPixels(`asked`) and copies its `wanted` part (within `asked`) into
    // `square` at `at`; false, copying nothing, when the answer is missing or short.
    bool readPixels(unsigned int sequence, const QRect &asked, const QRect &wanted, QImage &square, const QPoint &at)
    {
        const int stride = strideOf(asked.width());
        const std::size_t bytes = std::size_t(stride) * std::size_t(asked.height());
        const std::size_t offset =
            std::size_t(wanted.y() - asked.y()) * std::size_t(stride) + std::size_t(wanted.x() - asked.x()) * 4;
        const std::uint8_t *pixels = nullptr;
        Reply<xcb_get_image_reply_t> plain;
        if (segment) {
            const Reply<xcb_shm_get_image_reply_t> reply(
                xcb_shm_get_image_reply(connection, xcb_shm_get_image_cookie_t{sequence}, nullptr));
            if (reply && reply->size >= bytes)
                pixels = segment->data();
        } else {
            plain.reset(xcb_get_image_reply(connection, xcb_get_image_cookie_t{sequence}, nullptr));
            if (plain && std::size_t(xcb_get_image_data_length(plain.get())) >= bytes)
                pixels = xcb_get_image_data(plain.get());
        }
        if (pixels)
            copyOpaque(square, at, pixels + offset, wanted.width(), wanted.height(), stride);
        return pixels != nullptr;
    }

    xcb_connection_t *connection;
    xcb_window_t root;
    int padding;
    std::unique_ptr<SharedSegment> segment;
    QPoint pointer;
    QRect lastSquare; // asked for at the last tick, global device pixels
};

// The toolkit's desktop window is the root window of the screen it shows on.
bool sameRootAsToolkit(xcb_window_t root)
{
    return qobject_cast<QApplication *>(QCoreApplication::instance())
        && QApplication::desktop()->winId() == WId(root);
}

} // namespace

std::unique_ptr<Desktop> createX11Desktop()
{
    int number = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &number);
    const xcb_screen_t *screen = xcb_connection_has_error(connection) ? nullptr : screenNumbered(connection, number);
    const int padding = screen ? xrgb32Padding(xcb_get_setup(connection), screen) : 0;
    if (!screen || padding == 0 || !sameRootAsToolkit(screen->root)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::make_unique<X11Desktop>(connection, screen, padding);
}
