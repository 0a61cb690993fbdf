#include <QApplication>
#include <QtTest>

#include "magnifier/monitors.h"
#include "support/testsupport.h"

Q_DECLARE_METATYPE(QList<QRect>)

class TestMonitors : public QObject
{
    Q_OBJECT

private slots:
    void numbering_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<int>>("order");
        QTest::newRow("names ending 1 and 2") << QStringList{"\\\\.\\DISPLAY1", "\\\\.\\DISPLAY2"} << QList<int>{0, 1};
        QTest::newRow("names ending 2 and 1") << QStringList{"\\\\.\\DISPLAY2", "\\\\.\\DISPLAY1"} << QList<int>{1, 0};
        QTest::newRow("three in reverse") << QStringList{"C3", "B2", "A1"} << QList<int>{2, 1, 0};
        QTest::newRow("a gap falls back to toolkit order") << QStringList{"D1", "D3"} << QList<int>{0, 1};
        QTest::newRow("no digit, as Xvfb's screen") << QStringList{"screen"} << QList<int>{0};
        QTest::newRow("all ending in 1") << QStringList{"HDMI-1", "DP-1", "eDP-1"} << QList<int>{0, 1, 2};
        QTest::newRow("digit above the count") << QStringList{"HDMI-1", "DP-5"} << QList<int>{0, 1};
        QTest::newRow("no screen at all") << QStringList() << QList<int>();
    }
    void numbering()
    {
        QFETCH(QStringList, names);
        QFETCH(QList<int>, order);
        QList<ScreenDesc> screens;
        for (int i = 0; i < names.size(); ++i)
            screens.append({names.at(i), QRect(i * 100, 0, 100, 100)});
        QCOMPARE(monitorOrder(screens), order);
    }

    void screenIndex_data()
    {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<int>("index");
        QTest::newRow("last pixel of monitor 1") << QPoint(1919, 10) << 0;
        QTest::newRow("first pixel of monitor 2") << QPoint(1920, 10) << 1;
        QTest::newRow("bottom-right of monitor 2") << QPoint(3199, 1023) << 1;
        QTest::newRow("gap below the shorter monitor") << QPoint(2000, 1050) << 0;
        QTest::newRow("left of everything") << QPoint(-1, 0) << 0;
    }
    void screenIndex()
    {
        QFETCH(QPoint, point);
        QFETCH(int, index);
        const QList<QRect> rects{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
        QCOMPARE(screenIndexIn(rects, point), index);
        QCOMPARE(screenIndexIn(QList<QRect>(), point), 0);
    }

    void positionTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QRect second(1920, 0, 1280, 1024);
        QTest::newRow("monitor 1 offsets") << monitorPositionText({640, 512}, 0, QRect(0, 0, 1920, 1080))
                                           << "[1]   640    512";
        QTest::newRow("monitor 2 left edge") << monitorPositionText({1920, 10}, 1, second) << "[2]     0     10";
        QTest::newRow("offsets from monitor 2 corner") << monitorPositionText({2020, 200}, 1, second)
                                                       << "[2]   100    200";
        QTest::newRow("point on no monitor goes negative") << monitorPositionText({-5, -7}, 0, QRect(0, 0, 10, 10))
                                                           << "[1]    -5     -7";
        QTest::newRow("anchor right and below") << anchorPositionText({100, 100}, {110, 105}) << "Rel.    -10     -5";
        QTest::newRow("on the anchor") << anchorPositionText({7, 7}, {7, 7}) << "Rel.      0      0";
        QTest::newRow("three left of the anchor") << anchorPositionText({4, 7}, {7, 7}) << "Rel.     -3      0";
    }
    void positionTexts()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }

    void reachable_data()
    {
        QTest::addColumn<QPoint>("topLeft");
        QTest::addColumn<bool>("reachable");
        QTest::newRow("well inside") << QPoint(100, 100) << true;
        QTest::newRow("on the second monitor") << QPoint(2500, 300) << true;
        QTest::newRow("beyond the right edge") << QPoint(3500, 100) << false;
        QTest::newRow("only a sliver left on screen") << QPoint(3180, 100) << false;
        QTest::newRow("above the desktop") << QPoint(100, -400) << false;
        QTest::newRow("partly off but graspable") << QPoint(-100, 50) << true;
    }
    void reachable()
    {
        QFETCH(QPoint, topLeft);
        QFETCH(bool, reachable);
        const QList<QRect> rects{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
        QCOMPARE(positionReachable(topLeft, QSize(205, 362), rects), reachable);
    }
};

VIKARO_TEST_MAIN(TestMonitors)
#include "tst_monitors.moc"
