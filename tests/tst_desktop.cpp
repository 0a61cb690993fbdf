#include <QtTest>

#include "desktop/framerows.h"
#include "desktop/monitorlayout.h"
#include "desktop/pointertracker.h"

// The desktop's geometry as pure logic: monitors numbered and placed in device pixels, pointer
// moves as the portal takes them, a picture's rows in its buffer, the pointer's position.

using Rects = QList<QRect>;
using Motions = QVector<PointerMotion>;
Q_DECLARE_METATYPE(std::optional<FrameRows>)
Q_DECLARE_METATYPE(ScaledMonitor)
Q_DECLARE_METATYPE(PointerMotion)

namespace {

// 2x beside 1x, the second listed first as GNOME was seen to; and one at 1.5x (1704x1065).
const QList<ScaledMonitor> mixed{{{1280, 0, 1280, 800}, {2560, 0, 1280, 800}, {1280, 800}},
                                 {{0, 0, 1280, 800}, {0, 0, 2560, 1600}, {1280, 800}}};
const QList<ScaledMonitor> fractional{{{0, 0, 1704, 1065}, {0, 0, 2560, 1600}, {1704, 1065}}};
// Grown from 640x480 to 800x600 since the session started.
const QList<ScaledMonitor> grown{{{0, 0, 800, 600}, {0, 0, 800, 600}, {640, 480}}};

PointerMotion absolute(int monitor, QPointF to) { return {true, monitor, to}; }
PointerMotion relative(QPointF by) { return {false, 0, by}; }

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT

private slots:
    void monitorNumbering()
    {
        for (const auto &[names, order] : std::vector<std::pair<QStringList, QList<int>>>{
                 {{"DISPLAY2", "DISPLAY1"}, {1, 0}}, {{"D1", "D3"}, {0, 1}}, {{"HDMI-1", "DP-1", "eDP-1"}, {0, 1, 2}}}) {
            QList<ScreenDesc> screens;
            for (const QString &name : names)
                screens.append({name, QRect()});
            QCOMPARE(monitorOrder(screens), order); // by the names' last digits, else (a gap, a repeat) the toolkit's order
        }
    }

    void deviceLayout_data()
    {
        QTest::addColumn<Rects>("layout");
        QTest::addColumn<QList<QSize>>("sizes");
        QTest::addColumn<Rects>("placed");
        QTest::newRow("unscaled, as laid out") << Rects{{0, 0, 640, 480}, {640, 0, 320, 240}}
            << QList<QSize>{{640, 480}, {320, 240}} << Rects{{0, 0, 640, 480}, {640, 0, 320, 240}};
        QTest::newRow("2x listed after the 1x on its right") << Rects{{1280, 0, 1280, 800}, {0, 0, 1280, 800}}
            << QList<QSize>{{1280, 800}, {2560, 1600}} << Rects{{2560, 0, 1280, 800}, {0, 0, 2560, 1600}};
        QTest::newRow("1x left of 2x") << Rects{{0, 0, 1280, 800}, {1280, 0, 1280, 800}}
            << QList<QSize>{{1280, 800}, {2560, 1600}} << Rects{{0, 0, 1280, 800}, {1280, 0, 2560, 1600}};
        QTest::newRow("grown monitor pushes its neighbour") << Rects{{0, 0, 640, 480}, {640, 0, 320, 240}}
            << QList<QSize>{{800, 600}, {320, 240}} << Rects{{0, 0, 800, 600}, {800, 0, 320, 240}};
        QTest::newRow("2x above two 1x side by side")
            << Rects{{0, 0, 1280, 800}, {0, 800, 1920, 1080}, {1920, 800, 1920, 1080}}
            << QList<QSize>{{2560, 1600}, {1920, 1080}, {1920, 1080}}
            << Rects{{0, 0, 2560, 1600}, {0, 1600, 1920, 1080}, {1920, 1600, 1920, 1080}};
    }
    // Each monitor in its own device pixels; neighbours touch, none overlap.
    void deviceLayout()
    {
        QFETCH(Rects, layout);
        QFETCH(QList<QSize>, sizes);
        QFETCH(Rects, placed);
        QCOMPARE(::deviceLayout(layout, sizes), placed);
    }

    void motionsTo_data()
    {
        QTest::addColumn<QList<ScaledMonitor>>("monitors");
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("target");
        QTest::addColumn<Motions>("motions");
        QTest::newRow("2x, within its layout size: device pixels") << mixed << QPoint(1000, 301) << QPoint(1001, 301)
            << Motions{absolute(1, {1001, 301})};
        QTest::newRow("2x, beyond its layout width: half a layout pixel a pixel") << mixed << QPoint(1501, 301)
            << QPoint(1502, 301) << Motions{relative({0.5, 0})};
        QTest::newRow("2x, down to its bottom-right pixel") << mixed << QPoint(2559, 1598) << QPoint(2559, 1599)
            << Motions{relative({0, 0.5})};
        QTest::newRow("1x neighbour's first pixel") << mixed << QPoint(2559, 10) << QPoint(2560, 10) << Motions{absolute(0, {0, 10})};
        QTest::newRow("1x onto the 2x's far edge") << mixed << QPoint(2560, 200) << QPoint(2559, 200) << Motions{relative({-0.5, -100})};
        QTest::newRow("1.5x, beyond its layout size") << fractional << QPoint(2000, 1199) << QPoint(2000, 1200)
            << Motions{relative({0, 1065 / 1600.0})};
        QTest::newRow("grown monitor, beyond its first size") << grown << QPoint(700, 500) << QPoint(701, 500) << Motions{relative({1, 0})};
        QTest::newRow("on no monitor: no move") << mixed << QPoint(2599, 900) << QPoint(2600, 900) << Motions{};
    }
    void motionsTo()
    {
        QFETCH(QList<ScaledMonitor>, monitors);
        QFETCH(QPoint, from);
        QFETCH(QPoint, target);
        QFETCH(Motions, motions);
        const Motions made = ::motionsTo(monitors, from, target);
        QCOMPARE(made.size(), motions.size());
        for (int i = 0; i < made.size(); ++i) {
            QCOMPARE(qMakePair(made[i].absolute, made[i].absolute ? made[i].monitor : 0), qMakePair(motions[i].absolute, motions[i].monitor));
            QVERIFY2((made[i].to - motions[i].to).manhattanLength() < 1e-9,
                     qPrintable(QStringLiteral("%1,%2").arg(made[i].to.x()).arg(made[i].to.y())));
        }
    }

    void frameRows_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QList<int>>("chunk"); // offset, size, stride, buffer size
        QTest::addColumn<std::optional<FrameRows>>("rows");
        const QSize s(4, 3); // rows of 16 bytes
        QTest::newRow("packed rows") << s << QList<int>{0, 48, 0, 48} << std::optional<FrameRows>({0, 16});
        QTest::newRow("padded rows") << s << QList<int>{8, 80, 32, 96} << std::optional<FrameRows>({8, 32});
        QTest::newRow("bottom-up rows") << s << QList<int>{32, 48, -16, 48} << std::optional<FrameRows>({32, -16});
        QTest::newRow("chunk shorter than the picture") << s << QList<int>{0, 47, 0, 48} << std::optional<FrameRows>();
        QTest::newRow("offset runs past the buffer") << s << QList<int>{4, 48, 0, 48} << std::optional<FrameRows>();
        QTest::newRow("rows narrower than the picture") << s << QList<int>{0, 48, 8, 48} << std::optional<FrameRows>();
        QTest::newRow("bottom-up rows before the buffer") << s << QList<int>{16, 48, -16, 48} << std::optional<FrameRows>();
        QTest::newRow("no picture size") << QSize() << QList<int>{0, 48, 0, 48} << std::optional<FrameRows>();
    }
    void frameRows()
    {
        QFETCH(QSize, size);
        QFETCH(QList<int>, chunk);
        QFETCH(std::optional<FrameRows>, rows);
        const std::optional<FrameRows> found = ::frameRows(size, uint(chunk[0]), uint(chunk[1]), chunk[2], uint(chunk[3]));
        QCOMPARE(found.has_value(), rows.has_value());
        if (rows)
            QCOMPARE(qMakePair(found->top, found->stride), qMakePair(rows->top, rows->stride));
    }

    // After a move, older pictures do not undo it; while stale, a step waits for the next
    // position seen; a move the portal refused leaves the last position seen.
    void pointerTracker()
    {
        PointerTracker tracker;
        QVERIFY(!tracker.stepNow({1, 0}) && !tracker.known());
        QCOMPARE(tracker.seen({10, 10}, 0), std::optional<QPoint>(QPoint(1, 0)));
        tracker.movedTo({11, 10}, 0);
        QCOMPARE(tracker.seen({10, 10}, PointerTracker::settleTime - 1), std::nullopt);
        QCOMPARE(tracker.position(), QPoint(11, 10));
        QCOMPARE(tracker.seen({10, 10}, PointerTracker::settleTime), std::nullopt);
        QCOMPARE(tracker.position(), QPoint(10, 10));
        tracker.movedTo({12, 10}, 0);
        tracker.moveFailed();
        QCOMPARE(tracker.position(), QPoint(10, 10));
        QVERIFY(tracker.stepNow({0, 1}));
        tracker.lose();
        QVERIFY(!tracker.stepNow({0, 1}) && !tracker.stepNow({1, 0}));
        QCOMPARE(tracker.seen({40, 40}, 1000), std::optional<QPoint>(QPoint(1, 1)));
    }
};

QTEST_GUILESS_MAIN(TestDesktop)
#include "tst_desktop.moc"
