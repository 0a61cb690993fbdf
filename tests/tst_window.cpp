#include <QApplication>
#include <QTranslator>
#include <QtTest>

#include "magnifier/colortext.h"
#include "resources/resourcepaths.h"
#include "settings/cdata.h"
#include "support/fakedesktop.h"
#include "support/picturecheck.h"
#include "support/testsupport.h"
#include "support/vikaroprobe.h"

namespace {

const QSize desktopSize(400, 300);

FakeDesktop *installDesktop()
{
    return useFakeDesktop(desktopSize);
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        sandbox::reset();
        resetProcessState();
    }

    void chrome()
    {
        installDesktop();
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

    void preferencesLoaded_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("grid type") << "Grid type" << "3";
        QTest::newRow("grid type out of range kept") << "Grid type" << "9";
        QTest::newRow("show FX any non-zero") << "Show FX" << "-5";
        QTest::newRow("unsigned colour text wraps to the same colour") << "Color F11" << "2164195328";
        QTest::newRow("FX in Hexa any non-zero") << "FX in Hexa" << "2";
        QTest::newRow("opaque colour on F3") << "Color F3" << "-15720400";
        QTest::newRow("translucent colour on F12") << "Color F12" << "-2130771968";
    }
    void preferencesLoaded()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        installDesktop();
        sandbox::setRaw(key, text);
        Vikaro window;
        if (key == "Grid type")
            QCOMPARE(gridType, text.toInt());
        if (key == "Show FX")
            QVERIFY(showFx);
        if (key == "FX in Hexa")
            QVERIFY(fxInHex);
        if (key == "Color F3")
            QCOMPARE(storedColors[2], 0xFF102030u);
        if (key == "Color F11")
            QCOMPARE(storedColors[10], 0x80FF0000u);
        if (key == "Color F12")
            QCOMPARE(storedColors[11], 0x80FF0000u);
        if (key != "Show FX") // the layout writes the mode back as 0 or 1
            QCOMPARE(sandbox::raw(key), text);
    }

    void tickShowsPointerPixel_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("sight");
        QTest::addColumn<QPoint>("pointer");
        QTest::newRow("smallest zoom, cross") << 0 << 1 << QPoint(200, 150);
        QTest::newRow("largest zoom, frame and cross") << 8 << 4 << QPoint(37, 251);
        QTest::newRow("level 4, open cross") << 4 << 2 << QPoint(100, 100);
        QTest::newRow("desktop top-left pixel") << 0 << 3 << QPoint(0, 0);
        QTest::newRow("desktop bottom-right pixel") << 8 << 1 << QPoint(399, 299);
        QTest::newRow("bottom-right at the smallest zoom") << 0 << 4 << QPoint(399, 299);
    }
    void tickShowsPointerPixel()
    {
        QFETCH(int, level);
        QFETCH(int, sight);
        QFETCH(QPoint, pointer);
        FakeDesktop *fake = installDesktop();
        fake->cursor = pointer;
        CData().setInt("Preferences", "Zoom factor", level);
        CData().setInt("Preferences", "Grid type", sight);
        Vikaro window;
        VikaroProbe probe(window);
        DebugCapture traces;
        probe.tick();
        const quint32 expected = patternPixel(pointer.x(), pointer.y()) & 0xFFFFFF;
        QCOMPARE(probe.currentColor(), expected);
        QCOMPARE(probe.hexLabel()->text(), hexText(expected));
        QCOMPARE(probe.decLabel()->text(), decText(expected));
        QCOMPARE(probe.swatch8()->styleSheet(), swatchStyle(expected));
        QCOMPARE(probe.swatch4()->styleSheet(), swatchStyle(colour4(expected)));
        QCOMPARE(traces.lines.last(), QString("\"%1\"     \"%2\"").arg(swatchStyle(expected), swatchStyle(colour4(expected))));
        QCOMPARE(probe.positionLabel()->text(), QString("[1]%1 %2").arg(pointer.x(), 6).arg(pointer.y(), 6));
        const QImage picture = probe.zoomLabel()->pixmap(Qt::ReturnByValue).toImage();
        QCOMPARE(picture.size(), probe.zoomSize());
        const QString mismatch = pictureMismatch(picture, pointer, probe.zoomFactor(), probe.zoomSpan(), gridType,
                                                 [](const QPoint &p) {
                                                     return QRect(QPoint(), desktopSize).contains(p) ? patternPixel(p.x(), p.y())
                                                                                                      : qRgb(0, 0, 0);
                                                 });
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        QVERIFY(probe.timer()->isActive());
        QCOMPARE(probe.timer()->interval(), 30);
    }

    void guardStopsTheTick_data()
    {
        QTest::addColumn<int>("guard");
        QTest::newRow("pointer inside") << 0;
        QTest::newRow("frozen") << 1;
        QTest::newRow("another window focused") << 2;
    }
    void guardStopsTheTick()
    {
        QFETCH(int, guard);
        FakeDesktop *fake = installDesktop();
        fake->cursor = QPoint(10, 10);
        Vikaro window;
        VikaroProbe probe(window);
        probe.tick();
        const QString before = probe.hexLabel()->text();
        pointerInside = guard == 0;
        frozen = guard == 1;
        appActive = guard != 2;
        fake->cursor = QPoint(300, 200);
        const int grabs = fake->grabs;
        probe.tick();
        QCOMPARE(fake->grabs, grabs);
        QCOMPARE(probe.hexLabel()->text(), before);
        QVERIFY(probe.timer()->isActive());
        pointerInside = frozen = false;
        appActive = true;
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
        installDesktop();
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
        FakeDesktop *fake = installDesktop();
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
        installDesktop();
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
        installDesktop();
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
        FakeDesktop *fake = installDesktop();
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
