#include "support/testsupport.h"

// The whole road a user takes to switch the language, on a real X server with a window
// manager: the options icon, the English flag, Ok, and the window comes back in English where
// it was, with the same zoom, sight and stored colours.
class TestRoad : public QObject
{
    Q_OBJECT

private slots:
    void languageSwitchKeepsEverything()
    {
        startFresh(QSize());
        ScreenPattern pattern;
        QVERIFY(QTest::qWaitForWindowExposed(&pattern));
        const QPoint sampled(90, 800);
        QPoint place;
        const int passes = runScripted([&](VikaroProbe &w, int pass) {
            Vikaro &window = *w.window();
            window.show();
            window.activateWindow();
            QTRY_VERIFY(appActive);
            QTRY_VERIFY(w.placed());
            if (pass == 1) {
                QTRY_COMPARE(window.geometry().topLeft(), place);
                QCOMPARE(window.windowTitle(), QString("Vikaro */7"));
                QCOMPARE(gridType, 1);
                QCOMPARE(storedColors[1], pattern.pixelAt(sampled) | 0xFF000000u);
                QVERIFY(!w.memValue(1)->text().isEmpty());
                QCOMPARE(w.helpIcon()->toolTip(), QString("Help, keyboard shortcuts..."));
                QCOMPARE(w.saveColorsButton()->text(), QString("Save those colors\r\ninto the clipboard"));
                return;
            }
            window.move(400, 260);
            QTRY_COMPARE(sandbox::raw("Position X").toInt(), window.geometry().x());
            place = window.geometry().topLeft();
            for (const Qt::Key key : {Qt::Key_Asterisk, Qt::Key_Asterisk, Qt::Key_G})
                QTest::keyClick(&window, key);
            QCursor::setPos(sampled);
            QTRY_COMPARE(w.currentColor(), pattern.pixelAt(sampled) & 0xFFFFFF);
            QTest::keyClick(&window, Qt::Key_F2);
            QTimer::singleShot(0, &window, [&window] { chooseLanguage(window, 1); });
            window.exec();
        });
        QCOMPARE(passes, 2);
        QCOMPARE(languageIndex, 1);
        QCOMPARE(sandbox::raw("Language"), QString("1"));
    }
};

VIKARO_TEST_MAIN(TestRoad)
#include "tst_road.moc"
