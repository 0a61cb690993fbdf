#include "magnifier/colortext.h"
#include "support/testsupport.h"

// The magnifier on a real X server: the pixels it shows and reads are those under the real
// pointer, and it holds still exactly when it should. Run a second time as tst_scaled, with the
// toolkit asked to scale the interface twice: all of it must still be in device pixels.
class TestDisplay : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScreenPattern> pattern;
    std::unique_ptr<VikaroProbe> w;

    quint32 expectedAt(const QPoint &p) const { return pattern->pixelAt(p) & 0xFFFFFF; }

    // Puts the real pointer on `p` and waits until a tick has sampled it.
    void sampleAt(const QPoint &p)
    {
        QCursor::setPos(p);
        QTRY_COMPARE(QCursor::pos(), p);
        QTRY_COMPARE(w->positionLabel()->text(), QString("[1]%1 %2").arg(p.x(), 6).arg(p.y(), 6));
        QTRY_COMPARE(w->currentColor(), expectedAt(p));
    }

    // Moves the pointer and checks that the timer has come to rest and that a tick, forced all
    // the same, changes nothing.
    void verifyHeld(const QPoint &movedTo)
    {
        const QString hex = w->hexLabel()->text();
        const QImage picture = w->picture();
        QCursor::setPos(movedTo);
        QTRY_COMPARE(QCursor::pos(), movedTo);
        QTRY_VERIFY(!w->timer()->isActive());
        w->tick();
        QCOMPARE(w->hexLabel()->text(), hex);
        QCOMPARE(w->picture(), picture);
    }

    // The colour the X server shows at the middle of `widget`.
    static quint32 shownOnScreen(QWidget *widget)
    {
        const QPoint middle = widget->mapToGlobal(widget->rect().center());
        return QGuiApplication::primaryScreen()->grabWindow(0, middle.x(), middle.y(), 1, 1).toImage().pixel(0, 0) & 0xFFFFFF;
    }

    // What the X server shows where `widget` is.
    static QImage shownOnScreen(QWidget *widget, const QSize &size)
    {
        const QPoint topLeft = widget->mapToGlobal(QPoint(0, 0));
        const QPixmap shown = QGuiApplication::primaryScreen()->grabWindow(0, topLeft.x(), topLeft.y(), size.width(), size.height());
        return shown.toImage().convertToFormat(QImage::Format_RGB32);
    }

    void focusMagnifier()
    {
        w->window()->activateWindow();
        QTRY_COMPARE(QGuiApplication::focusWindow(), w->window()->windowHandle());
        QTRY_VERIFY(appActive);
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(qApp->devicePixelRatio(), 1.0);
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1280, 1024));
        startFresh(QSize());
        pattern = std::make_unique<ScreenPattern>();
        QVERIFY(QTest::qWaitForWindowExposed(pattern.get()));
    }

    void init()
    {
        startFresh(QSize());
        QCursor::setPos(20, 20);
        w = std::make_unique<VikaroProbe>();
        w->window()->move(magnifierSpot);
        w->window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(w->window()));
        focusMagnifier();
    }
    void cleanup() { w.reset(); }

    void picture_data()
    {
        QTest::addColumn<int>("keyPresses"); // "*" presses from the smallest zoom
        QTest::addColumn<int>("sight");
        QTest::addColumn<QPoint>("pointer");
        QTest::newRow("middle, smallest zoom, no sight") << 0 << 0 << QPoint(333, 777);
        QTest::newRow("desktop top-left pixel, smallest zoom, open cross") << 0 << 2 << QPoint(0, 0);
        QTest::newRow("desktop top-left pixel, largest zoom, frame") << 8 << 3 << QPoint(0, 0);
        QTest::newRow("desktop bottom-right pixel, smallest zoom, frame and cross") << 0 << 4 << QPoint(1279, 1023);
        QTest::newRow("desktop bottom-right pixel, largest zoom, cross") << 8 << 1 << QPoint(1279, 1023);
    }
    // Every block of the picture, the texts, the debug line and the swatches' pixels on screen.
    void picture()
    {
        QFETCH(int, keyPresses);
        QFETCH(int, sight);
        QFETCH(QPoint, pointer);
        gridType = sight;
        for (int i = 0; i < keyPresses; ++i)
            QTest::keyClick(w->window(), Qt::Key_Asterisk);
        DebugCapture traces;
        sampleAt(pointer);
        const quint32 rgb = expectedAt(pointer);
        QTRY_COMPARE(w->hexLabel()->text(), hexText(rgb));
        QCOMPARE(traces.lines.last(), QString("\"%1\"     \"%2\"").arg(swatchStyle(rgb), swatchStyle(colour4(rgb))));
        QCOMPARE(w->decLabel()->text(), decText(rgb));
        QTRY_COMPARE(shownOnScreen(w->swatch8()), rgb);
        QTRY_COMPARE(shownOnScreen(w->swatch4()), colour4(rgb));
        const QImage expected = pattern->magnifiedAround(pointer, w->zoomFactor(), w->zoomSpan(), sight);
        QCOMPARE(w->picture().convertToFormat(QImage::Format_RGB32), expected);
        QTRY_COMPARE(shownOnScreen(w->zoomLabel(), expected.size()), expected);
    }

    void holdsAndResumes_data()
    {
        QTest::addColumn<int>("pause");
        QTest::newRow("pointer over the window, then out") << 0;
        QTest::newRow("frozen, then U") << 1;
        QTest::newRow("another window focused, then ours") << 2;
    }
    void holdsAndResumes()
    {
        QFETCH(int, pause);
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
        verifyHeld(pause == 0 ? inside + QPoint(30, 40) : QPoint(700, 50));
        const QPoint resumedAt = pause == 0 ? QPoint(200, 950) : QPoint(700, 50);
        if (pause == 0)
            QCursor::setPos(resumedAt);
        else if (pause == 1)
            QTest::keyClick(w->window(), Qt::Key_U);
        else
            focusMagnifier();
        QTRY_COMPARE(w->currentColor(), expectedAt(resumedAt));
    }

    void arrowsMoveTheRealPointer()
    {
        sampleAt({300, 400});
        QTest::keyClick(w->window(), Qt::Key_Right);
        QTRY_COMPARE(QCursor::pos(), QPoint(301, 400));
        QTest::keyClick(w->window(), Qt::Key_7);
        QTRY_COMPARE(QCursor::pos(), QPoint(300, 399));
        QTRY_COMPARE(w->currentColor(), expectedAt({300, 399}));
    }

    // D, X and the colour memory's export, as another program reads the clipboard.
    void systemClipboard()
    {
        pattern->paintPatch(QRect(100, 700, 20, 20), qRgb(0x12, 0xAB, 0x34));
        sampleAt({110, 710});
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
};

VIKARO_TEST_MAIN(TestDisplay)
#include "tst_display.moc"
