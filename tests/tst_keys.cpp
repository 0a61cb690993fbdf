#include "support/testsupport.h"

// The keyboard and the wheel on the main window, on a fake desktop whose pointer only moves
// when the window sets it.

namespace {

const QPoint start(100, 80);

} // namespace

class TestKeys : public QObject
{
    Q_OBJECT

    FakeDesktop *fake = nullptr;

private slots:
    void init()
    {
        fake = startFresh(QSize(300, 200));
        fake->cursor = start;
    }

    void pointerKeys_data()
    {
        QTest::addColumn<QList<int>>("keys"); // a key pressed again right after itself is held down
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QPoint>("step");     // of the pointer, at each key
        const auto row = [](const char *name, QList<int> keys, QPoint step, int modifiers = Qt::KeypadModifier) {
            QTest::newRow(name) << keys << modifiers << step;
        };
        row("up, keypad 8", {Qt::Key_Up, Qt::Key_8}, {0, -1});
        row("down, keypad 2", {Qt::Key_Down, Qt::Key_2}, {0, 1});
        row("left, keypad 4", {Qt::Key_Left, Qt::Key_4}, {-1, 0});
        row("right, keypad 6", {Qt::Key_Right, Qt::Key_6}, {1, 0});
        row("home, keypad 7", {Qt::Key_Home, Qt::Key_7}, {-1, -1});
        row("page up, keypad 9", {Qt::Key_PageUp, Qt::Key_9}, {1, -1});
        row("end, keypad 1", {Qt::Key_End, Qt::Key_1}, {-1, 1});
        row("page down, keypad 3", {Qt::Key_PageDown, Qt::Key_3}, {1, 1});
        row("Shift and Ctrl ignored, main keyboard 4 too", {Qt::Key_Left, Qt::Key_4}, {-1, 0},
            Qt::ShiftModifier | Qt::ControlModifier);
        row("held left repeats", {Qt::Key_Left, Qt::Key_Left, Qt::Key_Left}, {-1, 0});
        row("D, X, G, *, F5 put the pointer back", {Qt::Key_D, Qt::Key_X, Qt::Key_G, Qt::Key_Asterisk, Qt::Key_F5}, {});
    }
    void pointerKeys()
    {
        QFETCH(QList<int>, keys);
        QFETCH(int, modifiers);
        QFETCH(QPoint, step);
        VikaroProbe w;
        QList<QPoint> expected;
        for (int i = 0; i < keys.size(); ++i) {
            QKeyEvent press(QEvent::KeyPress, keys[i], Qt::KeyboardModifiers(modifiers), QString(), i > 0 && keys[i] == keys[i - 1]);
            QApplication::sendEvent(w.window(), &press);
            expected << start + step * (i + 1);
        }
        QCOMPARE(fake->pointerMoves, expected);
    }

    void anchorKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("anchored");
        QTest::newRow("Insert sets the anchor") << int(Qt::Key_Insert) << true;
        QTest::newRow("0 sets the anchor") << int(Qt::Key_0) << true;
        QTest::newRow("Delete clears the anchor") << int(Qt::Key_Delete) << false;
        QTest::newRow(". clears the anchor") << int(Qt::Key_Period) << false;
    }
    // They never set the pointer, and rewrite "Zoom factor" with the layout.
    void anchorKeys()
    {
        QFETCH(int, key);
        QFETCH(bool, anchored);
        VikaroProbe w;
        QTest::keyClick(w.window(), Qt::Key_Insert);
        sandbox::setRaw("Zoom factor", "junk");
        QTest::keyClick(w.window(), Qt::Key(key));
        QVERIFY(fake->pointerMoves.isEmpty());
        QCOMPARE(w.anchorSet(), anchored);
        QCOMPARE(w.anchor(), anchored ? start : QPoint());
        QCOMPARE(sandbox::raw("Zoom factor"), QString("0"));
        QCOMPARE(w.positionLabel()->x(), anchored ? 23 : 30);
    }

    void zoom_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("key");   // 0: the wheel turns instead
        QTest::addColumn<int>("wheel"); // angle delta
        QTest::addColumn<bool>("inside");
        QTest::addColumn<int>("after"); // -1: nothing changes nor is written
        QTest::newRow("* zooms in") << 2 << int(Qt::Key_Asterisk) << 0 << false << 3;
        QTest::newRow("/ zooms out") << 2 << int(Qt::Key_Slash) << 0 << false << 1;
        QTest::newRow("* at 8 stays and still rewrites") << 8 << int(Qt::Key_Asterisk) << 0 << false << 8;
        QTest::newRow("/ at 0 stays and still rewrites") << 0 << int(Qt::Key_Slash) << 0 << false << 0;
        QTest::newRow("wheel forward at 2 gives 3") << 2 << 0 << 120 << false << 3;
        QTest::newRow("wheel backward at 2 gives 1") << 2 << 0 << -120 << false << 1;
        QTest::newRow("big wheel delta moves one level") << 2 << 0 << 960 << false << 3;
        QTest::newRow("zero wheel delta does nothing") << 2 << 0 << 0 << false << -1;
        QTest::newRow("wheel with the pointer inside changes nothing") << 2 << 0 << 120 << true << -1;
    }
    void zoom()
    {
        QFETCH(int, before);
        QFETCH(int, key);
        QFETCH(int, wheel);
        QFETCH(bool, inside);
        QFETCH(int, after);
        sandbox::setRaw("Zoom factor", QString::number(before));
        VikaroProbe w;
        sandbox::setRaw("Zoom factor", "junk");
        sandbox::setRaw("Show FX", "junk");
        pointerInside = inside;
        QWheelEvent turn(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, wheel), Qt::NoButton, Qt::NoModifier,
                         Qt::NoScrollPhase, false);
        if (key)
            QTest::keyClick(w.window(), Qt::Key(key));
        else
            QApplication::sendEvent(w.window(), &turn);
        QCOMPARE(zoomIndex, after < 0 ? before : after);
        QCOMPARE(sandbox::raw("Zoom factor"), after < 0 ? QString("junk") : QString::number(after));
        QCOMPARE(sandbox::raw("Show FX"), QString(after < 0 ? "junk" : "0"));
        QCOMPARE(w.window()->windowTitle(), QString("Vikaro */%1").arg(zoomLevels[zoomIndex].factor));
    }

    void sightKey_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("written"); // after each G
        QTest::newRow("every step written, 4 wraps to 0") << "0" << QStringList{"1", "2", "3", "4", "0", "1"};
        QTest::newRow("out of range goes to 0") << "17" << QStringList{"0"};
    }
    void sightKey()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, written);
        sandbox::setRaw("Grid type", stored);
        VikaroProbe w;
        QStringList seen;
        for (int i = 0; i < written.size(); ++i) {
            QTest::keyClick(w.window(), Qt::Key_G);
            seen << sandbox::raw("Grid type");
        }
        QCOMPARE(seen, written);
    }

    void functionKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("inside");
        QTest::newRow("F5 stores 0x102030 opaque") << int(Qt::Key_F5) << false;
        QTest::newRow("F5 with the pointer inside empties the slot") << int(Qt::Key_F5) << true;
        QTest::newRow("F1 first slot") << int(Qt::Key_F1) << false;
        QTest::newRow("F12 last slot") << int(Qt::Key_F12) << false;
    }
    // Only that key is written, and the panel shows it at once.
    void functionKeys()
    {
        QFETCH(int, key);
        QFETCH(bool, inside);
        const int slot = key - Qt::Key_F1;
        const QString name = QString("Color F%1").arg(slot + 1);
        sandbox::setRaw(name, QString::number(0x7F123456));
        VikaroProbe w;
        w.currentColor() = 0x00102030;
        pointerInside = inside;
        QTest::keyClick(w.window(), Qt::Key(key));
        QCOMPARE(sandbox::raw(name), QString(inside ? "0" : "-15720400"));
        QCOMPARE(w.memValue(slot)->text(), QString(inside ? "" : " 16, 32, 48"));
        QCOMPARE(CData().keysOf("Preferences").filter("Color"), QStringList{name});
    }

    // F holds the picture and says so in the title; F keys then store the frozen colour.
    void frozenColourAndTitle()
    {
        fake->cursor = QPoint(20, 30);
        VikaroProbe w;
        w.tick();
        QTest::keyClick(w.window(), Qt::Key_F);
        QCOMPARE(w.window()->windowTitle(), QString("Vikaro */3 gelé ! (U pour dégeler)"));
        fake->cursor = QPoint(200, 100);
        w.tick();
        QTest::keyClick(w.window(), Qt::Key_F2);
        QCOMPARE(storedColors[1], patternPixel(20, 30) | 0xFF000000u);
        QTest::keyClick(w.window(), Qt::Key_U);
        QCOMPARE(w.window()->windowTitle(), QString("Vikaro */3"));
    }

    void unhandledKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("trace");
        QTest::newRow("Escape leaves the window open") << int(Qt::Key_Escape) << "---key =  \"0X01000000\"";
        QTest::newRow("Return leaves the window open") << int(Qt::Key_Return) << "---key =  \"0X01000004\"";
        QTest::newRow("Enter leaves the window open") << int(Qt::Key_Enter) << "---key =  \"0X01000005\"";
        QTest::newRow("F13 is no command, hex digits upper-case") << int(Qt::Key_F13) << "---key =  \"0X0100003C\"";
    }
    void unhandledKeys()
    {
        QFETCH(int, key);
        QFETCH(QString, trace);
        DebugCapture traces;
        VikaroProbe w;
        w.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window()));
        QTest::keyClick(w.window(), Qt::Key(key));
        QVERIFY(w.window()->isVisible());
        QCOMPARE(w.window()->result(), 0);
        QVERIFY(fake->pointerMoves.isEmpty());
        QCOMPARE(traces.lines.last(), trace);
    }
};

VIKARO_TEST_MAIN(TestKeys)
#include "tst_keys.moc"
