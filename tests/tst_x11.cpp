#include "magnifier/colortext.h"
#include "support/testsupport.h"

#ifdef VIKARO_X11_DESKTOP
#include <xcb/xcb.h>
#endif

// The magnifier on a real X server over a known picture: the pixels it shows and reads are
// those under the real pointer, it holds still exactly when it should, its two ways of reading
// the desktop agree, other programs read its clipboard, and its window keeps its place from
// run to run. ctest runs parts of it again with a scaled interface, without MIT-SHM, and with
// a window manager.

namespace {

// A patch filled through the core protocol on another connection, as other programs draw:
// the server keeps such pixels with a top byte of 0, where the toolkit's own have 0xFF.
const QRect serverPatch(700, 300, 40, 30);

void fillFromServer(WId window, const QRect &rect, QRgb rgb)
{
#ifdef VIKARO_X11_DESKTOP
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const xcb_gcontext_t gc = xcb_generate_id(connection);
    const uint32_t pixel = rgb & 0xFFFFFFu;
    xcb_create_gc(connection, gc, xcb_drawable_t(window), XCB_GC_FOREGROUND, &pixel);
    const xcb_rectangle_t area{int16_t(rect.x()), int16_t(rect.y()), uint16_t(rect.width()), uint16_t(rect.height())};
    xcb_poly_fill_rectangle(connection, xcb_drawable_t(window), gc, 1, &area);
    xcb_free_gc(connection, gc);
    free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
#endif
}

// RGB32 images compare without their top byte; as ARGB32 with it, which must be 0xFF.
QImage withTopByte(QImage image)
{
    image.reinterpretAsFormat(QImage::Format_ARGB32);
    return image;
}

// What the X server shows where `widget` is.
QImage onScreen(QWidget *widget, const QSize &size)
{
    const QPoint at = widget->mapToGlobal(QPoint(0, 0));
    return QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), size.width(), size.height()).toImage().convertToFormat(QImage::Format_RGB32);
}

quint32 middleOnScreen(QWidget *widget)
{
    return onScreen(widget, widget->size()).pixel(widget->rect().center()) & 0xFFFFFF;
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QPoint saved()
{
    return QPoint(sandbox::raw("Position X").toInt(), sandbox::raw("Position Y").toInt());
}

} // namespace

class TestX11 : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScreenPattern> pattern;
    std::unique_ptr<VikaroProbe> w;

    quint32 expectedAt(const QPoint &p) const { return pattern->pixelAt(p) & 0xFFFFFF; }

    // Builds the window as a start does, shows it at `spot` (null: where it places itself),
    // focused, and waits until it has placed itself.
    void open(const QPoint &spot = QPoint())
    {
        w = std::make_unique<VikaroProbe>();
        if (!spot.isNull())
            w->window()->move(spot);
        w->window()->show();
        w->window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(w->window()));
        QTRY_COMPARE(QGuiApplication::focusWindow(), w->window()->windowHandle());
        QTRY_VERIFY(appActive && w->placed());
    }

    // Puts the real pointer on `p` and waits until a tick has sampled it.
    void sampleAt(const QPoint &p)
    {
        QCursor::setPos(p);
        QTRY_COMPARE(QCursor::pos(), p);
        QTRY_COMPARE(w->positionLabel()->text(), QString("[1]%1 %2").arg(p.x(), 6).arg(p.y(), 6));
        QTRY_COMPARE(w->currentColor(), expectedAt(p));
    }

    QPoint clientCorner() const { return w->window()->geometry().topLeft(); }

private slots:
    void initTestCase()
    {
        QCOMPARE(qApp->devicePixelRatio(), 1.0);
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1280, 1024));
        pattern = std::make_unique<ScreenPattern>();
        QVERIFY(QTest::qWaitForWindowExposed(pattern.get()));
        pattern->paintPatch(serverPatch, qRgb(0xA0, 0xB0, 0xC0));
        QTRY_COMPARE(onScreen(pattern.get(), QSize(1280, 1024)).pixel(serverPatch.topLeft()), qRgb(0xA0, 0xB0, 0xC0));
        fillFromServer(pattern->winId(), serverPatch, qRgb(0xA0, 0xB0, 0xC0));
    }
    void init()
    {
        startFresh(QSize());
        QCursor::setPos(5, 1000);
        QTRY_COMPARE(QCursor::pos(), QPoint(5, 1000));
    }
    void cleanup() { w.reset(); }

    void desktopsAgree_data()
    {
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QPoint>("pointer");
        QTest::newRow("square inside the screen, pointer to the top-left pixel") << QRect(300, 200, 57, 57) << QPoint(0, 0);
        QTest::newRow("beyond the top-left corner") << QRect(-28, -28, 57, 57) << QPoint(1, 1);
        QTest::newRow("beyond the bottom-right corner, pointer there") << QRect(1251, 995, 57, 57) << QPoint(1279, 1023);
        QTest::newRow("wholly off the desktop") << QRect(-100, -100, 9, 9) << QPoint(640, 512);
        QTest::newRow("pixels drawn by the server") << serverPatch.adjusted(-5, -5, 5, 5) << QPoint(640, 511);
    }
    // The toolkit's desktop and the X11 one grab the very pixels shown, opaque black off the
    // screen, and move and read the pointer alike. The X11 desktop waits for its move to be done.
    // First, before any window has covered the pixels the server drew.
    void desktopsAgree()
    {
        QFETCH(QRect, rect);
        QFETCH(QPoint, pointer);
        const std::unique_ptr<Desktop> toolkit = createToolkitDesktop(), x11 = createX11Desktop();
#ifndef VIKARO_X11_DESKTOP
        QSKIP("this build has no X11 desktop");
#endif
        QImage expected(rect.size(), QImage::Format_RGB32);
        for (int y = 0; y < rect.height(); ++y)
            for (int x = 0; x < rect.width(); ++x)
                expected.setPixel(x, y, pattern->pixelAt(rect.topLeft() + QPoint(x, y)));
        QTRY_COMPARE(toolkit->grab(nullptr, rect), expected);
        const QImage viaX11 = x11->grab(QGuiApplication::primaryScreen(), rect);
        QCOMPARE(viaX11.format(), QImage::Format_RGB32);
        QCOMPARE(withTopByte(viaX11), withTopByte(expected));
        x11->setCursorPos(pointer);
        QCOMPARE(QCursor::pos(), pointer);
        const QPoint opposite = QPoint(1279, 1023) - pointer;
        toolkit->setCursorPos(opposite);
        QTRY_COMPARE(x11->cursorPos(), opposite);
        QCOMPARE(toolkit->cursorPos(), opposite);
    }

    void picture_data()
    {
        QTest::addColumn<int>("keyPresses"); // "*" presses from the smallest zoom
        QTest::addColumn<int>("sight");
        QTest::addColumn<QPoint>("pointer");
        QTest::newRow("middle, smallest zoom, no sight") << 0 << 0 << QPoint(333, 777);
        QTest::newRow("top-left pixel, smallest zoom, open cross") << 0 << 2 << QPoint(0, 0);
        QTest::newRow("top-left pixel, largest zoom, frame") << 8 << 3 << QPoint(0, 0);
        QTest::newRow("bottom-right pixel, smallest zoom, frame and cross") << 0 << 4 << QPoint(1279, 1023);
        QTest::newRow("bottom-right pixel, largest zoom, cross") << 8 << 1 << QPoint(1279, 1023);
    }
    // Every block of the picture, the texts and the swatches' pixels on screen.
    void picture()
    {
        QFETCH(int, keyPresses);
        QFETCH(int, sight);
        QFETCH(QPoint, pointer);
        open({520, 300});
        gridType = sight;
        for (int i = 0; i < keyPresses; ++i)
            QTest::keyClick(w->window(), Qt::Key_Asterisk);
        sampleAt(pointer);
        const quint32 rgb = expectedAt(pointer);
        QTRY_COMPARE(w->hexLabel()->text(), hexText(rgb));
        QCOMPARE(w->decLabel()->text(), decText(rgb));
        QTRY_COMPARE(middleOnScreen(w->swatch8()), rgb);
        QTRY_COMPARE(middleOnScreen(w->swatch4()), colour4(rgb));
        const QImage expected = pattern->magnifiedAround(pointer, w->zoomFactor(), w->zoomSpan(), sight);
        QCOMPARE(w->picture().convertToFormat(QImage::Format_RGB32), expected);
        QTRY_COMPARE(onScreen(w->zoomLabel(), expected.size()), expected);
    }

    void holdsAndResumes_data()
    {
        QTest::addColumn<int>("pause");
        QTest::newRow("pointer over the window, then out") << 0;
        QTest::newRow("frozen, then U") << 1;
        QTest::newRow("another window focused, then ours") << 2;
    }
    // While paused the timer rests, and a tick forced all the same changes nothing.
    void holdsAndResumes()
    {
        QFETCH(int, pause);
        open({520, 300});
        sampleAt({100, 900});
        QWidget other;
        const QPoint inside = w->window()->geometry().center();
        if (pause == 0) {
            QCursor::setPos(inside);
            QTRY_VERIFY(pointerInside);
        } else if (pause == 1) {
            QTest::keyClick(w->window(), Qt::Key_F);
        } else {
            other.setGeometry(900, 700, 200, 100);
            other.show();
            QVERIFY(QTest::qWaitForWindowExposed(&other));
            other.activateWindow();
            QTRY_VERIFY(!appActive);
        }
        const QString hex = w->hexLabel()->text();
        const QImage picture = w->picture();
        const QPoint movedTo = pause == 0 ? inside + QPoint(30, 40) : QPoint(700, 50);
        QCursor::setPos(movedTo);
        QTRY_COMPARE(QCursor::pos(), movedTo);
        QTRY_VERIFY(!w->timer()->isActive());
        w->tick();
        QCOMPARE(w->hexLabel()->text(), hex);
        QCOMPARE(w->picture(), picture);
        const QPoint resumedAt = pause == 0 ? QPoint(200, 950) : movedTo;
        if (pause == 0)
            QCursor::setPos(resumedAt);
        else if (pause == 1)
            QTest::keyClick(w->window(), Qt::Key_U);
        else
            w->window()->activateWindow();
        QTRY_COMPARE(w->currentColor(), expectedAt(resumedAt));
    }

    // Arrows move the real pointer; D, X and the colour memory's export as another program reads them.
    void keysAndClipboard()
    {
        open({520, 300});
        pattern->paintPatch(QRect(100, 700, 20, 20), qRgb(0x12, 0xAB, 0x34));
        sampleAt({109, 711});
        QTest::keyClick(w->window(), Qt::Key_Right);
        QTRY_COMPARE(QCursor::pos(), QPoint(110, 711));
        QTest::keyClick(w->window(), Qt::Key_7);
        QTRY_COMPARE(QCursor::pos(), QPoint(109, 710));
        QTRY_COMPARE(w->currentColor(), expectedAt({109, 710}));
        QTest::keyClick(w->window(), Qt::Key_D);
        QCOMPARE(systemClipboardText(), QString("18,171,52"));
        QTest::keyClick(w->window(), Qt::Key_X);
        QCOMPARE(systemClipboardText(), QString("#12AB34"));
        QTest::keyClick(w->window(), Qt::Key_F1);
        pattern->paintPatch(QRect(100, 700, 20, 20), qRgb(255, 255, 255));
        sampleAt({111, 711});
        QTest::keyClick(w->window(), Qt::Key_F3);
        whenModalShows([](QWidget *) {});
        QTest::mouseClick(w->saveColorsButton(), Qt::LeftButton);
        QCOMPARE(systemClipboardText(), "#12AB34<BR/><br/>#FFFFFF<BR/>" + QString("<br/>").repeated(9));
    }

    void restore_data()
    {
        QTest::addColumn<QPoint>("place");
        QTest::addColumn<bool>("restored");
        QTest::newRow("first start: saved only after a move") << QPoint() << false;
        QTest::newRow("middle of the screen") << QPoint(300, 200) << true;
        QTest::newRow("x 0 is restored") << QPoint(0, 5) << true;
        QTest::newRow("far right, a monitor since unplugged: ignored") << QPoint(3000, 100) << false;
        QTest::newRow("only a sliver on screen: ignored") << QPoint(1270, 1015) << false;
    }
    // The client area goes exactly where it was saved, unless too little of it would show.
    void restore()
    {
        QFETCH(QPoint, place);
        QFETCH(bool, restored);
        if (!place.isNull()) {
            sandbox::setRaw("Position X", QString::number(place.x()));
            sandbox::setRaw("Position Y", QString::number(place.y()));
        }
        open();
        QVERIFY(restored || QGuiApplication::primaryScreen()->geometry().contains(w->window()->frameGeometry()));
        QTRY_COMPARE(clientCorner() == place, restored);
        QCOMPARE(sandbox::raw("Position X").isNull(), place.isNull());
    }

    void noDriftOverRestarts_data()
    {
        QTest::addColumn<bool>("byWindowManager");
        QTest::newRow("moved by the program") << false;
        QTest::newRow("moved by the window manager, as a drag does") << true;
    }
    void noDriftOverRestarts()
    {
        QFETCH(bool, byWindowManager);
        const bool managed = run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id");
        if (byWindowManager && !managed)
            QSKIP("no window manager on this display");
        open();
        if (byWindowManager) {
            QCOMPARE(QProcess::execute("wmctrl", {"-i", "-r", QString::number(w->window()->winId()), "-e", "0,444,333,-1,-1"}), 0);
            QTRY_VERIFY(qAbs(w->window()->frameGeometry().x() - 444) <= 2);
        } else {
            w->window()->move(333, 222);
        }
        QTRY_COMPARE(saved(), clientCorner());
        const QPoint first = saved();
        for (int restart = 0; restart < 5; ++restart) {
            w.reset();
            open();
            QTRY_COMPARE(clientCorner(), first);
            QCOMPARE(saved(), first);
        }
    }

    // The options icon, the English flag, Ok: the window comes back in English where it was,
    // with the same zoom, sight and stored colours.
    void languageSwitchKeepsEverything()
    {
        const QPoint sampled(90, 800);
        QPoint place;
        const int passes = runScripted([&](VikaroProbe &probe, int pass) {
            Vikaro &window = *probe.window();
            window.show();
            window.activateWindow();
            QTRY_VERIFY(appActive && probe.placed());
            if (pass == 1) {
                QTRY_COMPARE(window.geometry().topLeft(), place);
                QCOMPARE(window.windowTitle(), QString("Vikaro */7"));
                QCOMPARE(gridType, 1);
                QCOMPARE(storedColors[1], pattern->pixelAt(sampled) | 0xFF000000u);
                QCOMPARE(probe.saveColorsButton()->text(), QString("Save those colors\r\ninto the clipboard"));
                return;
            }
            window.move(400, 260);
            QTRY_COMPARE(saved(), window.geometry().topLeft());
            place = saved();
            for (const Qt::Key key : {Qt::Key_Asterisk, Qt::Key_Asterisk, Qt::Key_G})
                QTest::keyClick(&window, key);
            QCursor::setPos(sampled);
            QTRY_COMPARE(probe.currentColor(), pattern->pixelAt(sampled) & 0xFFFFFF);
            QTest::keyClick(&window, Qt::Key_F2);
            QTimer::singleShot(0, &window, [&window] { chooseLanguage(window, 1); });
            window.exec();
        });
        QCOMPARE(passes, 2);
        QCOMPARE(sandbox::raw("Language"), QString("1"));
    }

    void program_data()
    {
        QTest::addColumn<QStringList>("session");
        QTest::addColumn<QString>("error"); // empty: it shows its window
        QTest::newRow("X session") << QStringList() << "";
        QTest::newRow("Wayland session with DISPLAY runs on XWayland") << QStringList{"WAYLAND_DISPLAY=wayland-0"} << "";
        QTest::newRow("no display at all") << QStringList{"DISPLAY="} << "DISPLAY";
        QTest::newRow("Wayland without XWayland") << QStringList{"DISPLAY=", "WAYLAND_DISPLAY=wayland-0"} << "Wayland";
    }
    // The program as a user starts it, seen through other X clients: 205 x 362 and fixed,
    // titled, above the others, and closing it ends it with 0. Without a display: one line on
    // standard error and a non-zero status.
    void program()
    {
        QFETCH(QStringList, session);
        QFETCH(QString, error);
        QTemporaryDir config;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", config.path());
        for (const char *name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE"})
            env.remove(name);
        for (const QString &pair : session)
            pair.endsWith('=') ? env.remove(pair.chopped(1)) : env.insert(pair.section('=', 0, 0), pair.section('=', 1));
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(VIKARO_EXECUTABLE), QStringList());
        QString id;
        for (int tries = 0; tries < 400 && id.isEmpty() && error.isEmpty(); ++tries, QTest::qWait(25))
            id = run("xdotool", {"search", "--onlyvisible", "--name", "Vikaro \\*/3"}).section('\n', 0, 0);
        if (error.isEmpty()) {
            const QString props = run("xprop", {"-id", id, "WM_NORMAL_HINTS", "_NET_WM_STATE"}) + run("xwininfo", {"-id", id});
            for (const char *expected : {"minimum size: 205 by 362", "maximum size: 205 by 362", "_NET_WM_STATE_ABOVE", "Width: 205", "Height: 362"})
                QVERIFY2(props.contains(expected), qPrintable(props));
            QCOMPARE(QProcess::execute("wmctrl", {"-i", "-c", id}), 0);
        }
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode() != 0, !error.isEmpty());
        const QString said = QString::fromUtf8(program.readAllStandardError()).trimmed();
        QVERIFY2(error.isEmpty() || (said.startsWith("vikaro: ") && said.contains(error) && !said.contains('\n')), qPrintable(said));
    }
};

VIKARO_TEST_MAIN(TestX11)
#include "tst_x11.moc"
