#include <QApplication>
#include <QPainter>
#include <QSet>
#include <QtTest>

#include "magnifier/sightgeometry.h"
#include "magnifier/state.h"
#include "support/testsupport.h"

namespace {

using PixelSet = QSet<QPair<int, int>>;

const QRgb background = qRgb(120, 60, 30);

PixelSet paintedPixels(int type, int factor, int span)
{
    QImage picture(factor * span, factor * span, QImage::Format_RGB32);
    picture.fill(background);
    {
        QPainter painter(&picture);
        paintSight(painter, type, factor, span);
    }
    PixelSet painted;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixel(x, y) != background)
                painted.insert({x, y});
    return painted;
}

void addRow(PixelSet &set, int y, int x1, int x2)
{
    for (int x = x1; x <= x2; ++x)
        set.insert({x, y});
}

void addColumn(PixelSet &set, int x, int y1, int y2)
{
    for (int y = y1; y <= y2; ++y)
        set.insert({x, y});
}

// The pixels each figure must cover, from the centre block's edges.
PixelSet expectedPixels(int type, int factor, int span)
{
    const int a = (span / 2) * factor - 1, b = a + factor + 1, c = a + factor / 2 + 1, e = factor * span - 1;
    PixelSet set;
    if (type == 1) {
        addRow(set, c, 0, e);
        addColumn(set, c, 0, e);
    }
    if (type == 2 || type == 4) {
        addRow(set, c, 0, a);
        addRow(set, c, b, e);
        addColumn(set, c, 0, a);
        addColumn(set, c, b, e);
    }
    if (type == 3 || type == 4) {
        addRow(set, a, a, b);
        addRow(set, b, a, b);
        addColumn(set, a, a, b);
        addColumn(set, b, a, b);
    }
    return set;
}

} // namespace

class TestSight : public QObject
{
    Q_OBJECT

private slots:
    void paintedPixelsPerLevelAndType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("factor");
        QTest::addColumn<int>("span");
        for (const ZoomLevel &level : zoomLevels)
            for (int type = -1; type <= 5; ++type)
                QTest::addRow("sight %d at %dx%d", type, level.factor, level.span) << type << level.factor << level.span;
    }
    void paintedPixelsPerLevelAndType()
    {
        QFETCH(int, type);
        QFETCH(int, factor);
        QFETCH(int, span);
        const PixelSet painted = paintedPixels(type, factor, span);
        QCOMPARE(painted, expectedPixels(type, factor, span));
        const int centre = (span / 2) * factor;
        QVERIFY(!painted.contains({centre, centre}));
    }

    void geometry_data()
    {
        QTest::addColumn<int>("factor");
        QTest::addColumn<int>("span");
        QTest::addColumn<QList<int>>("abce");
        QTest::newRow("3 x 57") << 3 << 57 << QList<int>{83, 87, 85, 170};
        QTest::newRow("9 x 19") << 9 << 19 << QList<int>{80, 90, 85, 170};
        QTest::newRow("25 x 7") << 25 << 7 << QList<int>{74, 100, 87, 174};
    }
    void geometry()
    {
        QFETCH(int, factor);
        QFETCH(int, span);
        QFETCH(QList<int>, abce);
        const SightGeometry g = sightGeometry(factor, span);
        QCOMPARE((QList<int>{g.a, g.b, g.c, g.e}), abce);
        QCOMPARE(g.w, factor * span);
    }

    void bothPassesShowOnLightAndDark()
    {
        for (QRgb base : {qRgb(255, 255, 255), qRgb(0, 0, 0)}) {
            QImage picture(171, 171, QImage::Format_RGB32);
            picture.fill(base);
            QPainter painter(&picture);
            paintSight(painter, 1, 9, 19);
            painter.end();
            QVERIFY(picture.pixel(0, 85) != base);
        }
    }
};

VIKARO_TEST_MAIN(TestSight)
#include "tst_sight.moc"
