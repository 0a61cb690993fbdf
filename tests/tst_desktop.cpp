#include "support/testsupport.h"

#ifdef VIKARO_X11_DESKTOP
#include <xcb/xcb.h>
#endif

namespace {

// A patch filled through the core protocol on another connection, as other programs draw:
// the server keeps such pixels with a top byte of 0, where the toolkit's own have 0xFF.
const QRect serverPatch(700, 300, 40, 30);
const QRgb serverPatchColour = qRgb(0xA0, 0xB0, 0xC0);

#ifdef VIKARO_X11_DESKTOP
void fillFromServer(WId window, const QRect &rect, QRgb rgb)
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const xcb_gcontext_t gc = xcb_generate_id(connection);
    const uint32_t pixel = rgb & 0xFFFFFFu;
    xcb_create_gc(connection, gc, xcb_drawable_t(window), XCB_GC_FOREGROUND, &pixel);
    const xcb_rectangle_t area{int16_t(rect.x()), int16_t(rect.y()), uint16_t(rect.width()), uint16_t(rect.height())};
    xcb_poly_fill_rectangle(connection, xcb_drawable_t(window), gc, 1, &area);
    xcb_free_gc(connection, gc);
    free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
}
#endif

// RGB32 images compare without their top byte; seen as ARGB32 they compare with it, and the
// contract wants it 0xFF.
QImage withTopByte(QImage image)
{
    image.reinterpretAsFormat(QImage::Format_ARGB32);
    return image;
}

} // namespace

// The two ways the magnifier reads the desktop on X11, the toolkit's and its own xcb one, see
// the same pixels of a known picture on a real X server, off its edges too, and move and read
// the pointer alike.
class TestDesktop : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScreenPattern> pattern;
    std::unique_ptr<Desktop> toolkit;
    std::unique_ptr<Desktop> x11;

    // What a grab of `rect` must give: the picture's pixels, opaque black off the screen.
    QImage expectedGrab(const QRect &rect) const
    {
        QImage expected(rect.size(), QImage::Format_RGB32);
        for (int y = 0; y < rect.height(); ++y)
            for (int x = 0; x < rect.width(); ++x)
                expected.setPixel(x, y, pattern->pixelAt(rect.topLeft() + QPoint(x, y)));
        return expected;
    }

private slots:
    void initTestCase()
    {
        pattern = std::make_unique<ScreenPattern>();
        QVERIFY(QTest::qWaitForWindowExposed(pattern.get()));
        toolkit = createToolkitDesktop();
        x11 = createX11Desktop();
#ifdef VIKARO_X11_DESKTOP
        QVERIFY(x11);
        pattern->paintPatch(serverPatch, serverPatchColour);
        QTRY_COMPARE(toolkit->grab(nullptr, serverPatch), expectedGrab(serverPatch));
        fillFromServer(pattern->winId(), serverPatch, serverPatchColour);
#else
        QSKIP("this build has no X11 desktop");
#endif
    }

    void init()
    {
        QCursor::setPos(640, 512);
        QTRY_COMPARE(QCursor::pos(), QPoint(640, 512));
    }

    void grabsTheSamePixels_data()
    {
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<bool>("withScreen");
        QTest::newRow("square inside the screen") << QRect(300, 200, 57, 57) << true;
        QTest::newRow("no screen given") << QRect(301, 201, 57, 57) << false;
        QTest::newRow("beyond the top-left corner") << QRect(-28, -28, 57, 57) << true;
        QTest::newRow("beyond the bottom-right corner") << QRect(1279 - 28, 1023 - 28, 57, 57) << true;
        QTest::newRow("wholly off the desktop") << QRect(-100, -100, 9, 9) << true;
        QTest::newRow("pixels drawn by the server") << serverPatch.adjusted(-5, -5, 5, 5) << true;
    }
    void grabsTheSamePixels()
    {
        QFETCH(QRect, rect);
        QFETCH(bool, withScreen);
        QScreen *screen = withScreen ? QGuiApplication::primaryScreen() : nullptr;
        const QImage expected = expectedGrab(rect);
        const QImage viaX11 = x11->grab(screen, rect);
        QCOMPARE(viaX11.format(), QImage::Format_RGB32);
        QCOMPARE(withTopByte(viaX11), withTopByte(expected));
        QCOMPARE(toolkit->grab(screen, rect), expected);
    }

    void pointerMovesAlike_data()
    {
        QTest::addColumn<bool>("movedByX11");
        QTest::addColumn<QPoint>("to");
        QTest::newRow("top-left pixel, moved by the X11 desktop") << true << QPoint(0, 0);
        QTest::newRow("bottom-right pixel, moved by the X11 desktop") << true << QPoint(1279, 1023);
        QTest::newRow("bottom-right pixel, moved by the toolkit") << false << QPoint(1279, 1023);
    }
    // The X11 desktop waits for its move to be done, so any client reads it at once; after
    // the toolkit's own move it may take a moment.
    void pointerMovesAlike()
    {
        QFETCH(bool, movedByX11);
        QFETCH(QPoint, to);
        if (movedByX11) {
            x11->setCursorPos(to);
            QCOMPARE(QCursor::pos(), to);
        } else {
            toolkit->setCursorPos(to);
            QTRY_COMPARE(x11->cursorPos(), to);
        }
        QCOMPARE(x11->cursorPos(), to);
        QCOMPARE(toolkit->cursorPos(), to);
    }
};

VIKARO_TEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
