#include <QApplication>
#include <QTranslator>
#include <QtTest>

#include "resources/resourcepaths.h"
#include "settings/cdata.h"
#include "support/fakedesktop.h"
#include "support/testsupport.h"
#include "support/vikaroprobe.h"

class TestWindow : public QObject
{
    Q_OBJECT

    FakeDesktop *fake = nullptr;

private slots:
    void init()
    {
        sandbox::reset();
        resetProcessState();
        fake = useFakeDesktop(QSize(400, 300));
    }

    void chrome()
    {
        Vikaro window;
        QVERIFY(!(window.windowFlags() & Qt::WindowContextHelpButtonHint));
        QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(window.cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(!window.windowIcon().isNull());
        QCOMPARE(window.windowTitle(), QString("Vikaro */3"));
        QCOMPARE(window.size(), QSize(205, 362));
        VikaroProbe probe(window);
        QCOMPARE(probe.timer()->interval(), 30);
        QVERIFY(probe.timer()->isActive());
        QCOMPARE(probe.currentColor(), 0u);
    }

    // A paused tick does nothing and lets the timer rest; what ends the pause starts it again.
    void pauseAndResume_data()
    {
        QTest::addColumn<int>("guard");
        QTest::newRow("pointer inside, then it leaves") << 0;
        QTest::newRow("frozen, then U") << 1;
        QTest::newRow("another window focused, then ours again") << 2;
    }
    void pauseAndResume()
    {
        QFETCH(int, guard);
        fake->cursor = QPoint(10, 10);
        Vikaro window;
        VikaroProbe probe(window);
        window.winId();
        probe.focusChanged(window.windowHandle());
        probe.tick();
        const QString before = probe.hexLabel()->text();
        pointerInside = guard == 0;
        frozen = guard == 1;
        if (guard == 2)
            probe.focusChanged(nullptr);
        fake->cursor = QPoint(300, 200);
        const int grabs = fake->grabs;
        probe.tick();
        QCOMPARE(fake->grabs, grabs);
        QCOMPARE(probe.hexLabel()->text(), before);
        QVERIFY(!probe.timer()->isActive());
        if (guard == 0) {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(&window, &leave);
        } else if (guard == 1) {
            QTest::keyClick(&window, Qt::Key_U);
        } else {
            probe.focusChanged(window.windowHandle());
        }
        QVERIFY(probe.timer()->isActive());
        QCOMPARE(probe.timer()->interval(), 30);
        probe.tick();
        QCOMPARE(probe.currentColor(), patternPixel(300, 200) & 0xFFFFFF);
    }

    void namesForScreenReaders_data()
    {
        QTest::addColumn<QString>("catalog");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("French source texts") << QString() << QStringList{
            QString::fromUtf8("Couleur du pixel actif en hexadécimal"), QString::fromUtf8("Couleur du pixel actif en décimal"),
            QString::fromUtf8("Échantillon de la couleur du pixel actif (8 bits)"),
            QString::fromUtf8("Échantillon de la couleur du pixel actif (4 bits)"),
            QString::fromUtf8("Image agrandie autour du pointeur"), QString::fromUtf8("Position du pixel actif")};
        QTest::newRow("through the English catalog") << "en" << QStringList{
            "Current pixel color in hexadecimal", "Current pixel color in decimal",
            "Swatch of the current pixel color (8 bits)", "Swatch of the current pixel color (4 bits)",
            "Magnified picture around the pointer", "Current pixel position"};
    }
    void namesForScreenReaders()
    {
        QFETCH(QString, catalog);
        QFETCH(QStringList, names);
        QTranslator translator;
        if (!catalog.isEmpty()) {
            QVERIFY(translator.load(resources::catalogPrefix + catalog));
            QCoreApplication::installTranslator(&translator);
        }
        Vikaro window;
        VikaroProbe probe(window);
        const QList<QLabel *> labels{probe.hexLabel(), probe.decLabel(), probe.swatch8(),
                                     probe.swatch4(), probe.zoomLabel(), probe.positionLabel()};
        QStringList seen;
        for (QLabel *label : labels)
            seen.append(label->accessibleName());
        QCOMPARE(seen, names);
    }

    // A monitor unplugged while the window runs: its screen object is gone and the table of
    // rectangles no longer matches. The tick must neither crash nor read past a table.
    void monitorGoneMeanwhile_data()
    {
        QTest::addColumn<bool>("emptyTable");
        QTest::newRow("screen object gone") << false;
        QTest::newRow("no monitor left in the table") << true;
    }
    void monitorGoneMeanwhile()
    {
        QFETCH(bool, emptyTable);
        fake->cursor = QPoint(30, 40);
        Vikaro window;
        VikaroProbe probe(window);
        probe.screens() = {QPointer<QScreen>()};
        if (emptyTable) {
            probe.screens().clear();
            probe.screenRects().clear();
        }
        probe.tick();
        QCOMPARE(probe.currentColor(), patternPixel(30, 40) & 0xFFFFFF);
        QCOMPARE(probe.positionLabel()->text(), QString("[1]    30     40"));
    }

    void enterAndLeave()
    {
        Vikaro window;
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(&window, &enter);
        QVERIFY(pointerInside);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&window, &leave);
        QVERIFY(!pointerInside);
    }

    // The first notification naming our own window adopts it; from then on only that window
    // having the focus lets the picture run.
    void focusFollowsOwnWindow()
    {
        Vikaro window;
        window.winId();
        VikaroProbe probe(window);
        QWindow other;
        probe.focusChanged(nullptr);
        QVERIFY(appActive);
        probe.focusChanged(window.windowHandle());
        QVERIFY(appActive);
        probe.focusChanged(&other);
        QVERIFY(!appActive);
        probe.focusChanged(nullptr);
        QVERIFY(!appActive);
        probe.focusChanged(window.windowHandle());
        QVERIFY(appActive);
    }

    void anchorPositionText()
    {
        fake->cursor = QPoint(50, 60);
        Vikaro window;
        VikaroProbe probe(window);
        QTest::keyClick(&window, Qt::Key_Insert);
        fake->cursor = QPoint(47, 70);
        probe.tick();
        QCOMPARE(probe.positionLabel()->text(), QString("Rel.     -3     10"));
        QCOMPARE(probe.positionLabel()->geometry(), QRect(23, 332, 162, 20));
        QTest::keyClick(&window, Qt::Key_Delete);
        probe.tick();
        QCOMPARE(probe.positionLabel()->text(), QString("[1]    47     70"));
        QCOMPARE(probe.positionLabel()->geometry(), QRect(30, 332, 149, 20));
    }
};

VIKARO_TEST_MAIN(TestWindow)
#include "tst_window.moc"
