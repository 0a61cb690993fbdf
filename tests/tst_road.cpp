#include <QApplication>
#include <QCursor>
#include <QPushButton>
#include <QtTest>

#include "app/languages.h"
#include "app/startup.h"
#include "dialogs/clabel.h"
#include "dialogs/coptionsdlg.h"
#include "magnifier/desktop.h"
#include "settings/cdata.h"
#include "support/screenpattern.h"
#include "support/testsupport.h"
#include "support/vikaroprobe.h"

// The whole road a user takes to switch the language, on a real X server with a window
// manager: the options icon, the English flag, Ok, and the window comes back in English where
// it was, with the same zoom, sight and stored colours.
class TestRoad : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScreenPattern> pattern;
    const QPoint userPlace{400, 260};
    const QPoint sampled{90, 800};
    QPoint savedPlace;

    static void showAndPlace(Vikaro &window)
    {
        window.show();
        window.activateWindow();
        VikaroProbe probe(window);
        QTRY_VERIFY(appActive);
        QTRY_VERIFY(probe.placed());
    }

    void prepareFirstPass(Vikaro &window)
    {
        VikaroProbe probe(window);
        showAndPlace(window);
        window.move(userPlace);
        QTRY_COMPARE(sandbox::raw("Position X").toInt(), window.geometry().x());
        savedPlace = window.geometry().topLeft();
        QTest::keyClick(&window, Qt::Key_Asterisk);
        QTest::keyClick(&window, Qt::Key_Asterisk);
        QTest::keyClick(&window, Qt::Key_G);
        QCursor::setPos(sampled);
        QTRY_COMPARE(probe.currentColor(), pattern->pixelAt(sampled) & 0xFFFFFF);
        QTest::keyClick(&window, Qt::Key_F2);
        whenModalShows([](QWidget *modal) {
            auto *options = qobject_cast<COptionsDlg *>(modal);
            QVERIFY(options);
            QTest::mouseClick(options->findChildren<CLabel *>().at(1), Qt::LeftButton);
            for (QPushButton *button : options->findChildren<QPushButton *>())
                if (button->text() == "Ok")
                    QTest::mousePress(button, Qt::LeftButton);
        });
        QTimer::singleShot(0, &window, [probe]() mutable { QTest::mouseClick(probe.optionsIcon(), Qt::LeftButton); });
    }

    void verifySecondPass(Vikaro &window)
    {
        VikaroProbe probe(window);
        showAndPlace(window);
        QTRY_COMPARE(window.geometry().topLeft(), savedPlace);
        QCOMPARE(window.windowTitle(), QString("Vikaro */7"));
        QCOMPARE(gridType, 1);
        QCOMPARE(storedColors[1], pattern->pixelAt(sampled) | 0xFF000000u);
        QCOMPARE(probe.memValue(1)->text().isEmpty(), false);
        QCOMPARE(probe.helpIcon()->toolTip(), QString("Help, keyboard shortcuts..."));
        QCOMPARE(probe.saveColorsButton()->text(), QString("Save those colors\r\ninto the clipboard"));
    }

private slots:
    void initTestCase()
    {
        sandbox::reset();
        resetProcessState();
        setDesktop(nullptr);
        pattern = std::make_unique<ScreenPattern>();
        QVERIFY(QTest::qWaitForWindowExposed(pattern.get()));
    }

    void languageSwitchKeepsEverything()
    {
        CData store;
        int pass = 0;
        runPasses(store, [&](Vikaro &window) {
            if (pass++ == 0) {
                prepareFirstPass(window);
                return QTest::currentTestFailed() ? 0 : window.exec();
            }
            verifySecondPass(window);
            return 0;
        });
        QCOMPARE(pass, 2);
        QCOMPARE(languageIndex, 1);
        QCOMPARE(sandbox::raw("Language"), QString("1"));
    }
};

VIKARO_TEST_MAIN(TestRoad)
#include "tst_road.moc"
