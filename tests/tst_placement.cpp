#include "support/testsupport.h"

// Where the magnifier window lands from one run to the next, on an X server with or without a
// window manager (the same tests run under both).
class TestPlacement : public QObject
{
    Q_OBJECT

    std::unique_ptr<VikaroProbe> w;

    // Builds the window as a restart does, shows it and waits until it has placed itself.
    void open()
    {
        w = std::make_unique<VikaroProbe>();
        w->window()->show();
        w->window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(w->window()));
        QTRY_VERIFY(w->placed());
    }

    QPoint clientCorner() const { return w->window()->geometry().topLeft(); }

    static QPoint saved() { return QPoint(sandbox::raw("Position X").toInt(), sandbox::raw("Position Y").toInt()); }

    bool onScreen() const { return QGuiApplication::primaryScreen()->geometry().contains(w->window()->frameGeometry()); }

private slots:
    void init()
    {
        startFresh(QSize());
        QCursor::setPos(5, 1000);
    }
    void cleanup() { w.reset(); }

    void firstStartSavesOnlyAfterAMove()
    {
        open();
        QVERIFY(onScreen());
        QVERIFY(sandbox::raw("Position X").isNull());
        w->window()->move(300, 200);
        QTRY_COMPARE(saved(), clientCorner());
        QVERIFY(saved() != QPoint());
    }

    void restore_data()
    {
        QTest::addColumn<QPoint>("place");
        QTest::addColumn<bool>("restored");
        QTest::newRow("middle of the screen") << QPoint(300, 200) << true;
        QTest::newRow("x 0 is restored") << QPoint(0, 5) << true;
        QTest::newRow("y 0 is restored") << QPoint(40, 0) << true;
        QTest::newRow("far right, a monitor since unplugged: ignored") << QPoint(3000, 100) << false;
        QTest::newRow("only a sliver on screen: ignored") << QPoint(1270, 1015) << false;
    }
    // The client area goes exactly where it was saved, unless too little of it would show.
    void restore()
    {
        QFETCH(QPoint, place);
        QFETCH(bool, restored);
        sandbox::setRaw("Position X", QString::number(place.x()));
        sandbox::setRaw("Position Y", QString::number(place.y()));
        open();
        if (restored) {
            QTRY_COMPARE(clientCorner(), place);
            QCOMPARE(saved(), place);
        } else {
            QVERIFY(clientCorner() != place);
            QVERIFY2(onScreen(), qPrintable(QString("frame at %1,%2").arg(w->window()->x()).arg(w->window()->y())));
        }
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
        QProcess check;
        check.start("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"});
        check.waitForFinished();
        if (byWindowManager && !check.readAllStandardOutput().contains("window id"))
            QSKIP("no window manager on this display");
        open();
        if (byWindowManager) {
            const QString id = QString::number(w->window()->winId());
            QCOMPARE(QProcess::execute("wmctrl", {"-i", "-r", id, "-e", "0,444,333,-1,-1"}), 0);
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
};

VIKARO_TEST_MAIN(TestPlacement)
#include "tst_placement.moc"
