#include <QApplication>
#include <QCursor>
#include <QProcess>
#include <QScreen>
#include <QtTest>

#include "settings/cdata.h"
#include "support/testsupport.h"
#include "support/vikaroprobe.h"

// Where the magnifier window lands from one run to the next, on an X server with or without a
// window manager (the same tests run under both).
class TestPlacement : public QObject
{
    Q_OBJECT

    std::unique_ptr<Vikaro> window;

    // Builds the window as a restart does, shows it and waits for its exact placement.
    VikaroProbe open()
    {
        window = std::make_unique<Vikaro>();
        window->show();
        window->activateWindow();
        VikaroProbe probe(*window);
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
        return probe;
    }

    static void savePosition(const QPoint &p)
    {
        CData store;
        store.setInt("Preferences", "Position X", p.x());
        store.setInt("Preferences", "Position Y", p.y());
    }

    static QPoint savedPosition()
    {
        return QPoint(sandbox::raw("Position X").toInt(), sandbox::raw("Position Y").toInt());
    }

    bool windowOnScreen() const
    {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        return screen.intersected(window->frameGeometry()).size() == window->frameGeometry().size();
    }

private slots:
    void init()
    {
        sandbox::reset();
        resetProcessState();
        QCursor::setPos(5, 1000);
    }
    void cleanup() { window.reset(); }

    void firstStartSavesOnlyAfterAMove()
    {
        VikaroProbe probe = open();
        QTRY_VERIFY(probe.placed());
        QVERIFY(sandbox::raw("Position X").isNull());
        window->move(300, 200);
        QTRY_COMPARE(savedPosition(), window->geometry().topLeft());
        QVERIFY(savedPosition() != QPoint());
    }

    void restoresClientAreaExactly_data()
    {
        QTest::addColumn<QPoint>("saved");
        QTest::newRow("middle of the screen") << QPoint(300, 200);
        QTest::newRow("x 0 is restored") << QPoint(0, 5);
        QTest::newRow("y 0 is restored") << QPoint(40, 0);
        QTest::newRow("near the bottom-right") << QPoint(1000, 600);
    }
    void restoresClientAreaExactly()
    {
        QFETCH(QPoint, saved);
        savePosition(saved);
        VikaroProbe probe = open();
        QTRY_VERIFY(probe.placed());
        QTRY_COMPARE(window->geometry().topLeft(), saved);
        QCOMPARE(savedPosition(), saved);
    }

    void nothingSavedRestoresNothing()
    {
        VikaroProbe probe = open();
        QTRY_VERIFY(probe.placed());
        QVERIFY(windowOnScreen());
        QVERIFY(sandbox::raw("Position X").isNull());
    }

    void repeatedRestartsDoNotDrift()
    {
        {
            VikaroProbe probe = open();
            QTRY_VERIFY(probe.placed());
            window->move(333, 222);
            QTRY_COMPARE(savedPosition(), window->geometry().topLeft());
        }
        const QPoint first = savedPosition();
        for (int restart = 0; restart < 5; ++restart) {
            window.reset();
            VikaroProbe probe = open();
            QTRY_VERIFY(probe.placed());
            QTRY_COMPARE(window->geometry().topLeft(), first);
            QCOMPARE(savedPosition(), first);
        }
    }

    // A move made by the window manager, as when the user drags the title bar.
    void movedByTheWindowManager()
    {
        QProcess check;
        check.start("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"});
        check.waitForFinished();
        if (!check.readAllStandardOutput().contains("window id"))
            QSKIP("no window manager on this display");
        {
            VikaroProbe probe = open();
            QTRY_VERIFY(probe.placed());
            const QString id = QString::number(window->winId());
            QCOMPARE(QProcess::execute("wmctrl", {"-i", "-r", id, "-e", "0,444,333,-1,-1"}), 0);
            QTRY_VERIFY(window->frameGeometry().topLeft() != QPoint());
            QTRY_VERIFY(qAbs(window->frameGeometry().x() - 444) <= 2);
            QTRY_COMPARE(savedPosition(), window->geometry().topLeft());
        }
        const QPoint saved = savedPosition();
        window.reset();
        VikaroProbe probe = open();
        QTRY_VERIFY(probe.placed());
        QTRY_COMPARE(window->geometry().topLeft(), saved);
    }

    void positionOffEveryMonitorIgnored_data()
    {
        QTest::addColumn<QPoint>("saved");
        QTest::newRow("far right, a monitor since unplugged") << QPoint(3000, 100);
        QTest::newRow("far left") << QPoint(-2500, 300);
        QTest::newRow("only a sliver on screen") << QPoint(1270, 1015);
    }
    void positionOffEveryMonitorIgnored()
    {
        QFETCH(QPoint, saved);
        savePosition(saved);
        VikaroProbe probe = open();
        QTRY_VERIFY(probe.placed());
        QVERIFY(window->geometry().topLeft() != saved);
        QVERIFY2(windowOnScreen(), qPrintable(QString("frame at %1,%2").arg(window->frameGeometry().x()).arg(window->frameGeometry().y())));
    }
};

VIKARO_TEST_MAIN(TestPlacement)
#include "tst_placement.moc"
