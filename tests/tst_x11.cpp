#include "magnifier/colortext.h"
#include "magnifier/magnify.h"
#include "support/testsupport.h"

// The magnifier on a real X server over a known picture: the pixels it shows and reads are
// those under the real pointer, it holds still exactly when it should, other programs read its
// clipboard, and its window keeps its place from run to run.

namespace {

// What the X server shows at `rect` of `widget`.
QImage onScreen(QWidget *widget, const QRect &rect)
{
    const QPoint at = widget->mapToGlobal(rect.topLeft());
    return QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), rect.width(), rect.height()).toImage().convertToFormat(QImage::Format_RGB32);
}

// Standard output of another X client; events are served meanwhile, so our clipboard can answer.
QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    while (!process.waitForFinished(10) && process.state() != QProcess::NotRunning)
        QCoreApplication::processEvents();
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestX11 : public QObject
{
    Q_OBJECT

    QLabel screen{nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint}; // over the whole X screen
    QImage pattern = patternPicture({1280, 1024});                                      // what it shows; black beyond
    std::unique_ptr<VikaroProbe> w;
    bool shrunk = false; // the root, by rootShrinks

    quint32 colourAt(const QPoint &p) const { return pattern.copy(QRect(p, QSize(1, 1))).pixel(0, 0) & 0xFFFFFF; }

    // Builds the window as a start does, at `spot` unless null; waits until it is focused and placed.
    void open(const QPoint &spot = QPoint())
    {
        w.reset();
        w = std::make_unique<VikaroProbe>();
        if (!spot.isNull())
            w->window()->move(spot);
        w->window()->show();
        w->window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(w->window()));
        QTRY_VERIFY(appActive && w->placed());
    }

    // Puts the real pointer on `p` and waits until a tick has sampled it.
    void sampleAt(const QPoint &p)
    {
        QCursor::setPos(p);
        QTRY_COMPARE(w->positionLabel()->text(), QString("[1]%1 %2").arg(p.x(), 6).arg(p.y(), 6));
        QTRY_COMPARE(w->currentColor(), colourAt(p));
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1280, 1024));
        screen.setGeometry(0, 0, 1280, 1024);
        screen.setPixmap(QPixmap::fromImage(pattern));
        screen.show();
        QTRY_COMPARE(onScreen(&screen, {0, 0, 64, 64}), pattern.copy(0, 0, 64, 64));
    }
    void init()
    {
        startFresh(QSize());
        QCursor::setPos(5, 1000);
        QTRY_COMPARE(QCursor::pos(), QPoint(5, 1000));
    }
    void cleanup()
    {
        w.reset();
        if (std::exchange(shrunk, false)) {
            QCOMPARE(QProcess::execute("xrandr", {"-s", "1280x1024"}), 0);
            QTRY_COMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1280, 1024));
        }
    }

    void picture_data()
    {
        QTest::addColumn<int>("zoom"); // "*" presses from the smallest zoom
        QTest::addColumn<int>("sight");
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QPoint>("then"); // a few pixels on: cut from the wider square the tick asks for
        QTest::addColumn<bool>("toolkit"); // the toolkit's desktop instead of the X11 one
        QTest::newRow("middle, second zoom, no sight") << 1 << 0 << QPoint(333, 777) << QPoint(350, 765) << false;
        QTest::newRow("top-left pixel, largest zoom, frame") << 8 << 3 << QPoint(0, 0) << QPoint(3, 1) << false;
        QTest::newRow("bottom-right pixel, smallest zoom, frame and cross")
            << 0 << 4 << QPoint(1279, 1023) << QPoint(1250, 1001) << false;
        QTest::newRow("top-left pixel through the toolkit's desktop") << 0 << 3 << QPoint(0, 0) << QPoint(2, 2) << true;
    }
    // Every block of the picture (black off the screen), and the swatches' pixels, on screen; the
    // window the same once its widgets repaint it all.
    void picture()
    {
        QFETCH(int, zoom);
        QFETCH(int, sight);
        QFETCH(QPoint, pointer);
        QFETCH(QPoint, then);
        QFETCH(bool, toolkit);
        setDesktop(toolkit ? createToolkitDesktop() : nullptr);
        open({520, 300});
        gridType = sight;
        for (int i = 0; i < zoom; ++i)
            QTest::keyClick(w->window(), Qt::Key_Asterisk);
        TickPaints painted(*w);
        for (const QPoint &p : {pointer, then}) {
            painted.paints = 0;
            sampleAt(p);
            // Not scaled, what a tick changed went straight to the window, none to the widgets.
            QVERIFY(p == pointer || (painted.paints == 0) == (w->window()->devicePixelRatioF() == 1));
            QTRY_COMPARE(onScreen(w->swatch8(), {30, 10, 1, 1}).pixel(0, 0), 0xFF000000 | colourAt(p));
            QTRY_COMPARE(onScreen(w->swatch4(), {30, 10, 1, 1}).pixel(0, 0), 0xFF000000 | colour4(colourAt(p)));
            const int span = w->zoomSpan(), factor = w->zoomFactor();
            QImage expected = pattern.copy(squareAround(p, span)).scaled(span * factor, span * factor);
            drawSightOn(expected, sight, factor, span);
            QTRY_COMPARE(onScreen(w->zoomLabel(), expected.rect()), expected);
            const QImage ticked = onScreen(w->window(), w->window()->rect()); // the texts too, painted straight
            w->window()->repaint();
            QCOMPARE(onScreen(w->window(), w->window()->rect()), ticked);
        }
    }

    void pointerAndSquare_data()
    {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<int>("spanBefore");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<int>("span");
        QTest::newRow("a few pixels on") << QPoint(333, 777) << 57 << QPoint(350, 765) << 57;
        QTest::newRow("far away") << QPoint(333, 777) << 57 << QPoint(700, 300) << 57;
        QTest::newRow("just beyond the wider square") << QPoint(333, 777) << 57 << QPoint(366, 777) << 57;
        QTest::newRow("into the bottom-right corner") << QPoint(1260, 1010) << 57 << QPoint(1279, 1023) << 57;
        QTest::newRow("into the top-left corner, largest zoom") << QPoint(30, 30) << 7 << QPoint(0, 0) << 7;
        QTest::newRow("zoomed out, still within") << QPoint(333, 777) << 7 << QPoint(340, 780) << 57;
        QTest::newRow("zoomed out, beyond") << QPoint(333, 777) << 7 << QPoint(353, 777) << 57;
    }
    // The square comes whole and exact whether it is cut from the wider one or grabbed anew.
    void pointerAndSquare()
    {
        QFETCH(QPoint, from);
        QFETCH(int, spanBefore);
        QFETCH(QPoint, to);
        QFETCH(int, span);
        QTRY_COMPARE(onScreen(&screen, screen.rect()), pattern); // repainted where a window was
        Desktop &desk = desktop();
        for (const auto &[p, side] : {std::pair(from, spanBefore), std::pair(to, span)}) {
            QCursor::setPos(p);
            QTRY_COMPARE(desk.cursorPos(), p);
            const Desktop::PointerSquare got = desk.pointerAndSquare(side);
            QCOMPARE(got.pointer, p);
            QCOMPARE(got.square.convertToFormat(QImage::Format_RGB32),
                     pattern.copy(squareAround(p, side)).convertToFormat(QImage::Format_RGB32));
        }
    }

    void rootShrinks_data()
    {
        QTest::addColumn<bool>("toolkit"); // the toolkit's desktop instead of the X11 one
        QTest::newRow("X11 desktop") << false;
        QTest::newRow("toolkit's desktop") << true;
    }
    // The root shrinks (a monitor unplugged, a lower resolution). Until the toolkit hears of it,
    // the server refuses squares past the new edge: they come null, never black as if that were
    // the screen. Then the monitors follow, and the squares come again, black past the edge.
    void rootShrinks()
    {
        QFETCH(bool, toolkit);
        setDesktop(toolkit ? createToolkitDesktop() : nullptr);
        Desktop &desk = desktop();
        const QPoint p(1000, 740);
        QCursor::setPos(p);
        QTRY_COMPARE(desk.cursorPos(), p);
        QVERIFY(!desk.pointerAndSquare(57).square.isNull());
        const int layout = desk.layoutVersion();
        if (QProcess::execute("xrandr", {"-s", "1024x768"}) != 0)
            QSKIP("this X server's root cannot be resized (run under xvfb-run.sh --resizable)");
        shrunk = true;
        const Desktop::PointerSquare refused = desk.pointerAndSquare(57); // no event served since
        QCOMPARE(refused.pointer, p);
        // The toolkit copies the root into a pixmap of its own, and past the edge gives whatever
        // that held: only our own grab hears the refusal.
        QVERIFY(toolkit || refused.square.isNull());
        QVERIFY(toolkit || desk.grab(squareAround(p, 57)).isNull());
        QTRY_COMPARE(desk.monitors(), QList<QRect>{QRect(0, 0, 1024, 768)});
        QVERIFY(desk.layoutVersion() != layout);
        QImage expected = Desktop::newSquare({57, 57});
        QPainter(&expected).drawImage(0, 0, pattern.copy(squareAround(p, 57).intersected({0, 0, 1024, 768})));
        QTRY_COMPARE(desk.pointerAndSquare(57).square.convertToFormat(QImage::Format_RGB32), expected);
    }

    void holdsAndResumes_data()
    {
        QTest::addColumn<bool>("otherFocused"); // else the pointer goes over the window
        QTest::newRow("pointer over the window, then out") << false;
        QTest::newRow("another window focused, then ours") << true;
    }
    // While paused the timer rests; sampling resumes when the pause ends.
    void holdsAndResumes()
    {
        QFETCH(bool, otherFocused);
        open({520, 300});
        sampleAt({100, 900});
        QWidget other;
        const QPoint inside = w->window()->geometry().center(), movedTo = otherFocused ? QPoint(700, 50) : inside + QPoint(30, 40);
        if (otherFocused)
            other.setGeometry(900, 700, 200, 100), other.show(), other.activateWindow();
        else
            QCursor::setPos(inside);
        QTRY_VERIFY(otherFocused ? !appActive : pointerInside);
        QCursor::setPos(movedTo);
        QTRY_VERIFY(QCursor::pos() == movedTo && !w->timer()->isActive());
        if (!otherFocused)
            QCursor::setPos(200, 950);
        w->window()->activateWindow();
        QTRY_COMPARE(w->currentColor(), colourAt(QCursor::pos()));
    }

    // A desktop's problem is said in a box that leaves the focus, and so the sampling, to the window.
    void problemBoxLeavesFocus()
    {
        struct Troubled : FakeDesktop
        {
            QPoint cursorPos() override { return QCursor::pos(); }
            void trouble() { report(DesktopProblem::NoPointerMoves); }
        };
        auto *troubled = new Troubled;
        troubled->picture = pattern;
        setDesktop(std::unique_ptr<Desktop>(troubled));
        open({520, 300});
        troubled->trouble();
        auto *box = w->window()->findChild<QMessageBox *>("desktopProblem");
        QVERIFY(box && QTest::qWaitForWindowExposed(box));
        sampleAt({30, 20}); // a focus taken late stops the second
        sampleAt({31, 20});
    }

    // Arrows move the real pointer; D copies what another program reads.
    void keysAndClipboard()
    {
        open({520, 300});
        sampleAt({109, 711});
        QTest::keyClick(w->window(), Qt::Key_Right);
        QTRY_COMPARE(QCursor::pos(), QPoint(110, 711));
        QTRY_COMPARE(w->currentColor(), colourAt({110, 711}));
        QTest::keyClick(w->window(), Qt::Key_D);
        QCOMPARE(run("xclip", {"-o", "-selection", "clipboard"}), clipDecText(colourAt({110, 711})));
    }

    void placement_data()
    {
        QTest::addColumn<QPoint>("place"); // saved before the start, null for none
        QTest::addColumn<int>("move");     // then: 0 none, 1 by the program, 2 by the window manager as a drag does
        QTest::addColumn<bool>("restored");
        QTest::newRow("first start: saved only after a move") << QPoint() << 0 << false;
        QTest::newRow("middle of the screen") << QPoint(300, 200) << 0 << true;
        QTest::newRow("x 0 is restored") << QPoint(0, 5) << 0 << true;
        QTest::newRow("far right, a monitor since unplugged: ignored") << QPoint(3000, 100) << 0 << false;
        QTest::newRow("a strip 10 pixels wide on screen: ignored") << QPoint(1270, 300) << 0 << false;
        QTest::newRow("moved by the program, no drift over restarts") << QPoint() << 1 << false;
        QTest::newRow("moved by the window manager, no drift over restarts") << QPoint() << 2 << false;
    }
    // The client area goes exactly where it was saved, unless too little of it would show.
    void placement()
    {
        QFETCH(QPoint, place);
        QFETCH(int, move);
        QFETCH(bool, restored);
        const bool managed = run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id");
        if (move == 2 && !managed)
            QSKIP("no window manager on this display");
        if (!place.isNull())
            sandbox::setRaw("Position X", QString::number(place.x())), sandbox::setRaw("Position Y", QString::number(place.y()));
        open();
        QVERIFY(restored || QRect(0, 0, 1280, 1024).contains(w->window()->frameGeometry()));
        QTRY_COMPARE(w->window()->geometry().topLeft() == place, restored);
        QVERIFY(managed || sandbox::raw("Position X").isNull() == place.isNull()); // a manager may place it meanwhile
        if (move == 2)
            QCOMPARE(QProcess::execute("wmctrl", {"-i", "-r", QString::number(w->window()->winId()), "-e", "0,444,333,-1,-1"}), 0);
        else if (move == 1)
            w->window()->move(333, 222);
        QTRY_VERIFY(!move || (sandbox::raw("Position X").toInt() >= 333 && sandbox::raw("Position Y").toInt() == w->window()->geometry().y()));
        for (int restart = 0; move && restart < 4; ++restart) {
            const QPoint first = w->window()->geometry().topLeft();
            open();
            QTRY_COMPARE(w->window()->geometry().topLeft(), first);
        }
    }
};

VIKARO_TEST_MAIN(TestX11)
#include "tst_x11.moc"
