#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QScreen>
#include <QtTest>

#include "magnifier/colortext.h"
#include "magnifier/desktop.h"
#include "support/picturecheck.h"
#include "support/screenpattern.h"
#include "support/testsupport.h"
#include "support/vikaroprobe.h"

// The magnifier on a real X server: the pixels it shows and reads are those under the real
// pointer, and it holds still exactly when it should.
class TestDisplay : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScreenPattern> pattern;
    std::unique_ptr<Vikaro> window;
    std::unique_ptr<VikaroProbe> probe;

    quint32 expectedAt(const QPoint &p) const { return pattern->pixelAt(p) & 0xFFFFFF; }

    // Puts the real pointer on `p` and waits until a tick has sampled it.
    void sampleAt(const QPoint &p)
    {
        QCursor::setPos(p);
        QTRY_COMPARE(QCursor::pos(), p);
        QTRY_COMPARE(probe->positionLabel()->text(), QString("[1]%1 %2").arg(p.x(), 6).arg(p.y(), 6));
        QTRY_COMPARE(probe->currentColor(), expectedAt(p));
    }

    // Moves the pointer and checks that the timer has come to rest and that a tick, forced all
    // the same, changes nothing.
    void verifyHeld(const QPoint &movedTo)
    {
        const QString hex = probe->hexLabel()->text();
        const quint32 color = probe->currentColor();
        const QImage picture = probe->zoomLabel()->pixmap(Qt::ReturnByValue).toImage();
        QCursor::setPos(movedTo);
        QTRY_COMPARE(QCursor::pos(), movedTo);
        QTRY_VERIFY(!probe->timer()->isActive());
        probe->tick();
        QCOMPARE(probe->currentColor(), color);
        QCOMPARE(probe->hexLabel()->text(), hex);
        QCOMPARE(probe->zoomLabel()->pixmap(Qt::ReturnByValue).toImage(), picture);
    }

    // The colour the X server shows at the middle of `widget`.
    static quint32 shownOnScreen(QWidget *widget)
    {
        const QPoint middle = widget->mapToGlobal(widget->rect().center());
        const QImage pixel = QGuiApplication::primaryScreen()->grabWindow(0, middle.x(), middle.y(), 1, 1).toImage();
        return pixel.pixel(0, 0) & 0xFFFFFF;
    }

    void focusMagnifier()
    {
        window->activateWindow();
        QTRY_COMPARE(QGuiApplication::focusWindow(), window->windowHandle());
        QTRY_VERIFY(appActive);
    }

private slots:
    void initTestCase()
    {
        setDesktop(nullptr);
        pattern = std::make_unique<ScreenPattern>();
        QVERIFY(QTest::qWaitForWindowExposed(pattern.get()));
    }

    void init()
    {
        sandbox::reset();
        resetProcessState();
        QCursor::setPos(20, 20);
        window = std::make_unique<Vikaro>();
        probe = std::make_unique<VikaroProbe>(*window);
        window->move(magnifierSpot);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        focusMagnifier();
    }

    void cleanup()
    {
        probe.reset();
        window.reset();
    }

    void windowChrome()
    {
        QCOMPARE(window->size(), QSize(205, 362));
        QCOMPARE(window->windowTitle(), QString("Vikaro */3"));
        QVERIFY(window->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(window->windowFlags() & Qt::WindowContextHelpButtonHint));
    }

    void picture_data()
    {
        QTest::addColumn<int>("keyPresses"); // "*" presses from the smallest zoom
        QTest::addColumn<int>("sight");
        QTest::addColumn<QPoint>("pointer");
        QTest::newRow("smallest zoom, open cross") << 0 << 2 << QPoint(333, 777);
        QTest::newRow("largest zoom, frame and cross") << 8 << 4 << QPoint(901, 123);
        QTest::newRow("desktop top-left pixel, smallest zoom") << 0 << 1 << QPoint(0, 0);
        QTest::newRow("desktop top-left pixel, largest zoom") << 8 << 3 << QPoint(0, 0);
        QTest::newRow("desktop bottom-right pixel, smallest zoom") << 0 << 4 << QPoint(1279, 1023);
        QTest::newRow("desktop bottom-right pixel, largest zoom") << 8 << 0 << QPoint(1279, 1023);
    }
    void picture()
    {
        QFETCH(int, keyPresses);
        QFETCH(int, sight);
        QFETCH(QPoint, pointer);
        gridType = sight;
        for (int i = 0; i < keyPresses; ++i)
            QTest::keyClick(window.get(), Qt::Key_Asterisk);
        DebugCapture traces;
        sampleAt(pointer);
        const quint32 rgb = expectedAt(pointer);
        QTRY_COMPARE(probe->hexLabel()->text(), hexText(rgb));
        QCOMPARE(traces.lines.last(), QString("\"%1\"     \"%2\"").arg(swatchStyle(rgb), swatchStyle(colour4(rgb))));
        QCOMPARE(probe->decLabel()->text(), decText(rgb));
        QTRY_COMPARE(shownOnScreen(probe->swatch8()), rgb);
        QTRY_COMPARE(shownOnScreen(probe->swatch4()), colour4(rgb));
        const QImage shown = probe->zoomLabel()->pixmap(Qt::ReturnByValue).toImage();
        const QString mismatch = pictureMismatch(shown, pointer, probe->zoomFactor(), probe->zoomSpan(), sight,
                                                 [this](const QPoint &p) { return pattern->pixelAt(p); });
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }

    void holdsWhilePointerInside()
    {
        sampleAt({100, 900});
        QCursor::setPos(window->geometry().center());
        QTRY_VERIFY(pointerInside);
        verifyHeld(window->geometry().center() + QPoint(30, 40));
        QCursor::setPos(200, 950);
        QTRY_VERIFY(!pointerInside);
        sampleAt({200, 950});
    }

    void holdsWhileFrozen()
    {
        sampleAt({100, 900});
        QTest::keyClick(window.get(), Qt::Key_F);
        verifyHeld({700, 50});
        QTest::keyClick(window.get(), Qt::Key_U);
        QTRY_COMPARE(probe->currentColor(), expectedAt({700, 50}));
    }

    void holdsWhileAnotherWindowHasFocus()
    {
        sampleAt({100, 900});
        QWidget other;
        other.setGeometry(900, 700, 200, 100);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        other.activateWindow();
        QTRY_VERIFY(!appActive);
        verifyHeld({40, 500});
        focusMagnifier();
        QTRY_COMPARE(probe->currentColor(), expectedAt({40, 500}));
    }

    void arrowsMoveTheRealPointer()
    {
        sampleAt({300, 400});
        QTest::keyClick(window.get(), Qt::Key_Right);
        QTRY_COMPARE(QCursor::pos(), QPoint(301, 400));
        QTest::keyClick(window.get(), Qt::Key_7);
        QTRY_COMPARE(QCursor::pos(), QPoint(300, 399));
        QTRY_COMPARE(probe->currentColor(), expectedAt({300, 399}));
    }

    void copiesToTheSystemClipboard()
    {
        pattern->paintPatch(QRect(100, 700, 20, 20), qRgb(0, 160, 255));
        sampleAt({110, 710});
        QCOMPARE(probe->currentColor(), 0x00A0FFu);
        QTest::keyClick(window.get(), Qt::Key_D);
        QCOMPARE(systemClipboardText(), QString("0,160,255"));
        QTest::keyClick(window.get(), Qt::Key_X);
        QCOMPARE(systemClipboardText(), QString("#00A0FF"));
    }

    void exportsToTheSystemClipboard()
    {
        pattern->paintPatch(QRect(100, 700, 20, 20), qRgb(0x12, 0xAB, 0x34));
        sampleAt({110, 710});
        QTest::keyClick(window.get(), Qt::Key_F1);
        pattern->paintPatch(QRect(100, 700, 20, 20), qRgb(255, 255, 255));
        sampleAt({111, 711});
        QTest::keyClick(window.get(), Qt::Key_F3);
        whenModalShows([](QWidget *) {});
        probe->saveColors();
        QCOMPARE(systemClipboardText(), "#12AB34<BR/><br/>#FFFFFF<BR/>" + QString("<br/>").repeated(9));
    }
};

VIKARO_TEST_MAIN(TestDisplay)
#include "tst_display.moc"
