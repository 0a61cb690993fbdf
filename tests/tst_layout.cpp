#include <QApplication>
#include <QtTest>

#include "magnifier/layoutgeometry.h"
#include "settings/cdata.h"
#include "support/fakedesktop.h"
#include "support/testsupport.h"
#include "support/vikaroprobe.h"

class TestLayout : public QObject
{
    Q_OBJECT

private slots:
    void windowFollowsLevel_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("factor");
        QTest::addColumn<QRect>("swatchPanel");
        QTest::addColumn<QRect>("swatch8");
        QTest::addColumn<QRect>("swatch4");
        QTest::addColumn<QRect>("zoomPanel");
        const struct
        {
            int factor, side, x, w8, w4;
        } table[] = {
            {3, 171, 17, 114, 57}, {5, 175, 15, 116, 58}, {7, 175, 15, 116, 58},
            {9, 171, 17, 114, 57}, {11, 187, 9, 124, 62}, {13, 169, 18, 112, 56},
            {15, 165, 20, 110, 55}, {19, 171, 17, 114, 57}, {25, 175, 15, 116, 58},
        };
        for (int level = 0; level < 9; ++level) {
            const auto &t = table[level];
            QTest::addRow("level %d, factor %d", level, t.factor)
                << level << t.factor << QRect(t.x, 77, t.side + 2, 34) << QRect(1, 1, t.w8, 32)
                << QRect(t.w8 + 1, 1, t.w4, 32) << QRect(t.x, t.x + 131, t.side + 2, t.side + 2);
        }
    }

    void init()
    {
        sandbox::reset();
        resetProcessState();
        useFakeDesktop(QSize(64, 64));
    }

    void windowFollowsLevel()
    {
        QFETCH(int, level);
        QFETCH(int, factor);
        QFETCH(QRect, swatchPanel);
        QFETCH(QRect, swatch8);
        QFETCH(QRect, swatch4);
        QFETCH(QRect, zoomPanel);
        CData().setInt("Preferences", "Zoom factor", level);
        for (bool extended : {false, true}) {
            showFx = extended;
            CData().setInt("Preferences", "Show FX", extended ? 1 : 0);
            Vikaro window;
            VikaroProbe probe(window);
            QCOMPARE(window.windowTitle(), QString("Vikaro */%1").arg(factor));
            QCOMPARE(probe.zoomFactor(), factor);
            QCOMPARE(probe.swatchPanel()->geometry(), swatchPanel);
            QCOMPARE(probe.swatch8()->geometry(), swatch8);
            QCOMPARE(probe.swatch4()->geometry(), swatch4);
            QCOMPARE(probe.zoomPanel()->geometry(), zoomPanel);
            QCOMPARE(probe.zoomLabel()->geometry(), QRect(1, 1, zoomPanel.width() - 2, zoomPanel.height() - 2));
            QCOMPARE(probe.zoomSize(), QSize(zoomPanel.width() - 2, zoomPanel.width() - 2));
            const QSize fixed(extended ? 405 : 205, 362);
            QCOMPARE(window.minimumSize(), fixed);
            QCOMPARE(window.maximumSize(), fixed);
        }
    }

    void frozenTitle_data()
    {
        QTest::addColumn<bool>("isFrozen");
        QTest::addColumn<QString>("title");
        QTest::newRow("sampling") << false << "Vikaro */9";
        QTest::newRow("frozen adds the suffix") << true << QString::fromUtf8("Vikaro */9 gelé ! (U pour dégeler)");
    }
    void frozenTitle()
    {
        QFETCH(bool, isFrozen);
        QFETCH(QString, title);
        CData().setInt("Preferences", "Zoom factor", 3);
        frozen = isFrozen;
        Vikaro window;
        QCOMPARE(window.windowTitle(), title);
        frozen = false;
        window.refreshLayout();
        QCOMPARE(window.windowTitle(), QString("Vikaro */9"));
    }

    void refreshWritesZoomAndMode_data()
    {
        QTest::addColumn<int>("storedZoom");
        QTest::addColumn<QString>("zoomAfter");
        QTest::addColumn<bool>("extended");
        QTest::addColumn<QString>("showFxAfter");
        QTest::newRow("first start writes both keys") << -1 << "0" << false << "0";
        QTest::newRow("level 4 written back as index") << 4 << "4" << false << "0";
        QTest::newRow("extended mode written as 1") << 2 << "2" << true << "1";
        QTest::newRow("zoom 9 clamped to 8") << 9 << "8" << false << "0";
        QTest::newRow("zoom 1000 clamped to 8") << 1000 << "8" << false << "0";
        QTest::newRow("zoom -3 clamped to 0") << -3 << "0" << false << "0";
    }
    void refreshWritesZoomAndMode()
    {
        QFETCH(int, storedZoom);
        QFETCH(QString, zoomAfter);
        QFETCH(bool, extended);
        QFETCH(QString, showFxAfter);
        if (storedZoom != -1)
            CData().setInt("Preferences", "Zoom factor", storedZoom);
        if (extended)
            CData().setInt("Preferences", "Show FX", 7);
        Vikaro window;
        QCOMPARE(sandbox::raw("Zoom factor"), zoomAfter);
        QCOMPARE(sandbox::raw("Show FX"), showFxAfter);
        QVERIFY(zoomIndex >= 0 && zoomIndex <= 8);
        sandbox::setRaw("Zoom factor", "junk");
        window.refreshLayout();
        QCOMPARE(sandbox::raw("Zoom factor"), zoomAfter);
    }

    void positionLabelFollowsAnchor()
    {
        QCOMPARE(layoutFor(0, false, true).positionLabel, QRect(23, 332, 162, 20));
        QCOMPARE(layoutFor(0, false, false).positionLabel, QRect(30, 332, 149, 20));
    }
};

VIKARO_TEST_MAIN(TestLayout)
#include "tst_layout.moc"
