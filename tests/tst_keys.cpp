#include <QApplication>
#include <QClipboard>
#include <QtTest>

#include "settings/cdata.h"
#include "support/fakedesktop.h"
#include "support/testsupport.h"
#include "support/vikaroprobe.h"

namespace {

const QPoint start(100, 80);

} // namespace

class TestKeys : public QObject
{
    Q_OBJECT

private:
    FakeDesktop *fake = nullptr;
    std::unique_ptr<DebugCapture> traces;

    std::unique_ptr<Vikaro> makeWindow()
    {
        auto window = std::make_unique<Vikaro>();
        fake->pointerMoves.clear();
        return window;
    }

private slots:
    void init()
    {
        sandbox::reset();
        resetProcessState();
        fake = useFakeDesktop(QSize(300, 200));
        fake->cursor = start;
        traces = std::make_unique<DebugCapture>();
    }
    void cleanup() { traces.reset(); }

    void pointerKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QPoint>("offset");
        const int none = Qt::NoModifier, keypad = Qt::KeypadModifier;
        QTest::newRow("up") << int(Qt::Key_Up) << none << QPoint(0, -1);
        QTest::newRow("keypad 8") << int(Qt::Key_8) << keypad << QPoint(0, -1);
        QTest::newRow("down") << int(Qt::Key_Down) << none << QPoint(0, 1);
        QTest::newRow("keypad 2") << int(Qt::Key_2) << keypad << QPoint(0, 1);
        QTest::newRow("left") << int(Qt::Key_Left) << none << QPoint(-1, 0);
        QTest::newRow("keypad 4") << int(Qt::Key_4) << keypad << QPoint(-1, 0);
        QTest::newRow("main keyboard 4") << int(Qt::Key_4) << none << QPoint(-1, 0);
        QTest::newRow("right") << int(Qt::Key_Right) << none << QPoint(1, 0);
        QTest::newRow("keypad 6") << int(Qt::Key_6) << keypad << QPoint(1, 0);
        QTest::newRow("home") << int(Qt::Key_Home) << none << QPoint(-1, -1);
        QTest::newRow("keypad 7") << int(Qt::Key_7) << keypad << QPoint(-1, -1);
        QTest::newRow("page up") << int(Qt::Key_PageUp) << none << QPoint(1, -1);
        QTest::newRow("keypad 9") << int(Qt::Key_9) << keypad << QPoint(1, -1);
        QTest::newRow("end") << int(Qt::Key_End) << none << QPoint(-1, 1);
        QTest::newRow("keypad 1") << int(Qt::Key_1) << keypad << QPoint(-1, 1);
        QTest::newRow("page down") << int(Qt::Key_PageDown) << none << QPoint(1, 1);
        QTest::newRow("keypad 3") << int(Qt::Key_3) << keypad << QPoint(1, 1);
        QTest::newRow("shift right moves like right") << int(Qt::Key_Right) << int(Qt::ShiftModifier) << QPoint(1, 0);
        QTest::newRow("D puts the pointer back") << int(Qt::Key_D) << none << QPoint();
        QTest::newRow("X puts the pointer back") << int(Qt::Key_X) << none << QPoint();
        QTest::newRow("G puts the pointer back") << int(Qt::Key_G) << none << QPoint();
        QTest::newRow("star puts the pointer back") << int(Qt::Key_Asterisk) << none << QPoint();
        QTest::newRow("F5 puts the pointer back") << int(Qt::Key_F5) << none << QPoint();
    }
    void pointerKeys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QPoint, offset);
        auto window = makeWindow();
        QTest::keyClick(window.get(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(fake->pointerMoves, QList<QPoint>{start + offset});
    }

    void heldArrowRepeats()
    {
        auto window = makeWindow();
        for (int i = 0; i < 3; ++i) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier, QString(), i > 0);
            QApplication::sendEvent(window.get(), &press);
        }
        QCOMPARE(fake->cursor, start - QPoint(3, 0));
    }

    void keysThatNeverSetThePointer_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("anchored");
        QTest::newRow("insert sets the anchor") << int(Qt::Key_Insert) << true;
        QTest::newRow("0 sets the anchor") << int(Qt::Key_0) << true;
        QTest::newRow("delete clears the anchor") << int(Qt::Key_Delete) << false;
        QTest::newRow("period clears the anchor") << int(Qt::Key_Period) << false;
    }
    void keysThatNeverSetThePointer()
    {
        QFETCH(int, key);
        QFETCH(bool, anchored);
        auto window = makeWindow();
        VikaroProbe probe(*window);
        QTest::keyClick(window.get(), Qt::Key_Insert);
        sandbox::setRaw("Zoom factor", "junk");
        QTest::keyClick(window.get(), Qt::Key(key));
        QVERIFY(fake->pointerMoves.isEmpty());
        QCOMPARE(probe.anchorSet(), anchored);
        QCOMPARE(probe.anchor(), anchored ? start : QPoint());
        QCOMPARE(sandbox::raw("Zoom factor"), QString("0"));
    }

    void zoomSteps_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("after");
        QTest::newRow("star zooms in") << 2 << int(Qt::Key_Asterisk) << 3;
        QTest::newRow("slash zooms out") << 2 << int(Qt::Key_Slash) << 1;
        QTest::newRow("star stays at 8") << 8 << int(Qt::Key_Asterisk) << 8;
        QTest::newRow("slash stays at 0") << 0 << int(Qt::Key_Slash) << 0;
    }
    void zoomSteps()
    {
        QFETCH(int, before);
        QFETCH(int, key);
        QFETCH(int, after);
        CData().setInt("Preferences", "Zoom factor", before);
        auto window = makeWindow();
        sandbox::setRaw("Zoom factor", "junk");
        sandbox::setRaw("Show FX", "junk");
        QTest::keyClick(window.get(), Qt::Key(key));
        QCOMPARE(zoomIndex, after);
        QCOMPARE(sandbox::raw("Zoom factor"), QString::number(after));
        QCOMPARE(sandbox::raw("Show FX"), QString("0"));
        QCOMPARE(window->windowTitle(), QString("Vikaro */%1").arg(zoomLevels[after].factor));
    }

    void sightCycles()
    {
        auto window = makeWindow();
        QStringList written;
        for (int i = 0; i < 6; ++i) {
            QTest::keyClick(window.get(), Qt::Key_G);
            written.append(sandbox::raw("Grid type"));
        }
        QCOMPARE(written, (QStringList{"1", "2", "3", "4", "0", "1"}));
    }

    void sightOutOfRangeWrapsToZero()
    {
        CData().setInt("Preferences", "Grid type", 17);
        auto window = makeWindow();
        QTest::keyClick(window.get(), Qt::Key_G);
        QCOMPARE(gridType, 0);
    }

    void freezeAndUnfreeze()
    {
        auto window = makeWindow();
        QTest::keyClick(window.get(), Qt::Key_F);
        QVERIFY(frozen);
        QVERIFY(window->windowTitle().endsWith(QString::fromUtf8(" gelé ! (U pour dégeler)")));
        QTest::keyClick(window.get(), Qt::Key_U);
        QVERIFY(!frozen);
        QCOMPARE(window->windowTitle(), QString("Vikaro */3"));
    }

    void functionKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("inside");
        QTest::addColumn<QString>("written");
        QTest::addColumn<quint32>("slot");
        QTest::newRow("F5 stores opaque") << int(Qt::Key_F5) << false << "-15720400" << 0xFF102030u;
        QTest::newRow("F5 over the window clears") << int(Qt::Key_F5) << true << "0" << 0u;
        QTest::newRow("F1 first slot") << int(Qt::Key_F1) << false << "-15720400" << 0xFF102030u;
        QTest::newRow("F12 last slot") << int(Qt::Key_F12) << false << "-15720400" << 0xFF102030u;
    }
    void functionKeys()
    {
        QFETCH(int, key);
        QFETCH(bool, inside);
        QFETCH(QString, written);
        QFETCH(quint32, slot);
        const int index = key - Qt::Key_F1;
        const QString name = QString("Color F%1").arg(index + 1);
        CData().setInt("Preferences", name, 0x7F123456);
        auto window = makeWindow();
        VikaroProbe probe(*window);
        probe.currentColor() = 0x00102030;
        pointerInside = inside;
        QTest::keyClick(window.get(), Qt::Key(key));
        QCOMPARE(storedColors[index], slot);
        QCOMPARE(sandbox::raw(name), written);
        CData store;
        QCOMPARE(store.keysOf("Preferences").filter("Color").size(), 1);
    }

    void functionKeyUsesFrozenColour()
    {
        fake->cursor = QPoint(20, 30);
        auto window = makeWindow();
        VikaroProbe probe(*window);
        probe.tick();
        QTest::keyClick(window.get(), Qt::Key_F);
        fake->cursor = QPoint(200, 100);
        probe.tick();
        QTest::keyClick(window.get(), Qt::Key_F2);
        QCOMPARE(storedColors[1], patternPixel(20, 30) | 0xFF000000u);
    }

    void clipboardKeys()
    {
        auto window = makeWindow();
        VikaroProbe probe(*window);
        probe.currentColor() = 0x0000A0FF;
        QTest::keyClick(window.get(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("0,160,255"));
        QVERIFY(traces->lines.contains("--- clipboard =  \"0,160,255\""));
        QTest::keyClick(window.get(), Qt::Key_X);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("#00A0FF"));
        QVERIFY(traces->lines.contains("--- clipboard =  \"#00A0FF\""));
    }

    void unhandledKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("trace");
        QTest::newRow("escape") << int(Qt::Key_Escape) << "---key =  \"0X01000000\"";
        QTest::newRow("return") << int(Qt::Key_Return) << "---key =  \"0X01000004\"";
        QTest::newRow("enter") << int(Qt::Key_Enter) << "---key =  \"0X01000005\"";
        QTest::newRow("letter A") << int(Qt::Key_A) << "---key =  \"0X00000041\"";
        QTest::newRow("keypad 5 is no command") << int(Qt::Key_5) << "---key =  \"0X00000035\"";
    }
    void unhandledKeys()
    {
        QFETCH(int, key);
        QFETCH(QString, trace);
        auto window = makeWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTest::keyClick(window.get(), Qt::Key(key));
        QVERIFY(window->isVisible());
        QCOMPARE(window->result(), 0);
        QVERIFY(fake->pointerMoves.isEmpty());
        QCOMPARE(traces->lines.last(), trace);
    }

    void wheel_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("delta");
        QTest::addColumn<bool>("inside");
        QTest::addColumn<int>("after");
        QTest::addColumn<bool>("writes");
        QTest::newRow("forward at 2 gives 3") << 2 << 120 << false << 3 << true;
        QTest::newRow("backward at 2 gives 1") << 2 << -120 << false << 1 << true;
        QTest::newRow("big delta moves one level") << 2 << 960 << false << 3 << true;
        QTest::newRow("forward at 8 stays") << 8 << 120 << false << 8 << true;
        QTest::newRow("zero delta does nothing") << 2 << 0 << false << 2 << false;
        QTest::newRow("pointer inside changes nothing") << 2 << 120 << true << 2 << false;
    }
    void wheel()
    {
        QFETCH(int, before);
        QFETCH(int, delta);
        QFETCH(bool, inside);
        QFETCH(int, after);
        QFETCH(bool, writes);
        CData().setInt("Preferences", "Zoom factor", before);
        auto window = makeWindow();
        sandbox::setRaw("Zoom factor", "junk");
        pointerInside = inside;
        QWheelEvent event(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(window.get(), &event);
        QCOMPARE(zoomIndex, after);
        QCOMPARE(sandbox::raw("Zoom factor"), writes ? QString::number(after) : QString("junk"));
    }
};

VIKARO_TEST_MAIN(TestKeys)
#include "tst_keys.moc"
