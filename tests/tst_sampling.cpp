#include "magnifier/magnify.h"
#include "magnifier/monitors.h"
#include "magnifier/picturelabel.h"
#include "magnifier/textlabel.h"
#include "support/testsupport.h"

// What a sampling tick shows, on a fake desktop: the picture with its sight, the colour as
// texts and swatches, the position per monitor or from the anchor, and when it holds still.

namespace {

// Whether the sight of `type` paints (x, y): a and b are the rows and columns just outside
// the centre block, c its middle.
bool onSight(int type, int x, int y, int a, int b, int c)
{
    const bool frame = ((x == a || x == b) && y >= a && y <= b) || ((y == a || y == b) && x >= a && x <= b);
    const bool openCross = (y == c && (x <= a || x >= b)) || (x == c && (y <= a || y >= b));
    switch (type) {
    case 1:
        return x == c || y == c;
    case 2:
        return openCross;
    case 3:
        return frame;
    case 4:
        return openCross || frame;
    default:
        return false;
    }
}

// Names the widgets of a window that get a paint event, from watch() on.
struct PaintLog : QObject
{
    QStringList painted;
    void watch(QWidget &window)
    {
        window.installEventFilter(this);
        for (QWidget *part : window.findChildren<QWidget *>())
            part->installEventFilter(this);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            const QString name = static_cast<QWidget *>(watched)->accessibleName();
            painted.append(name.isEmpty() ? QString(watched->metaObject()->className()) : name);
        }
        return false;
    }
};

const QList<QRect> twoMonitors{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};

} // namespace

class TestSampling : public QObject
{
    Q_OBJECT

private slots:
    void monitorNumbering_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<int>>("order");
        QTest::newRow("names ending 1 and 2") << QStringList{"DISPLAY1", "DISPLAY2"} << QList<int>{0, 1};
        QTest::newRow("names ending 2 and 1") << QStringList{"DISPLAY2", "DISPLAY1"} << QList<int>{1, 0};
        QTest::newRow("a gap falls back to the toolkit's order") << QStringList{"D1", "D3"} << QList<int>{0, 1};
        QTest::newRow("no digit, as Xvfb's screen") << QStringList{"screen"} << QList<int>{0};
        QTest::newRow("all ending in 1") << QStringList{"HDMI-1", "DP-1", "eDP-1"} << QList<int>{0, 1, 2};
    }
    void monitorNumbering()
    {
        QFETCH(QStringList, names);
        QFETCH(QList<int>, order);
        QList<ScreenDesc> screens;
        for (const QString &name : names)
            screens.append({name, QRect()});
        QCOMPARE(monitorOrder(screens), order);
    }

    void reachablePlaces_data()
    {
        QTest::addColumn<QPoint>("topLeft");
        QTest::addColumn<bool>("reachable");
        QTest::newRow("on the second monitor") << QPoint(2500, 300) << true;
        QTest::newRow("partly off but graspable") << QPoint(-100, 50) << true;
        QTest::newRow("only a sliver on screen") << QPoint(3180, 100) << false;
        QTest::newRow("corner beyond the int range") << QPoint(2147483600, 0) << false;
    }
    void reachablePlaces()
    {
        QFETCH(QPoint, topLeft);
        QFETCH(bool, reachable);
        QCOMPARE(positionReachable(topLeft, QSize(205, 362), twoMonitors), reachable);
    }

    void colourTexts_data()
    {
        QTest::addColumn<quint32>("rgb");
        QTest::addColumn<QStringList>("texts"); // hexadecimal label, decimal label, D's copy
        QTest::addColumn<quint32>("colour4");
        QTest::newRow("pure red") << 0xFF0000u << QStringList{"#FF0000   #F00", "255,  0,  0", "255,0,0"} << 0xFF0000u;
        QTest::newRow("0x123456, 4-bit swatch 113355")
            << 0x123456u << QStringList{"#123456   #135", " 18, 52, 86", "18,52,86"} << 0x113355u;
        QTest::newRow("component 15 gives digit 0") << 0x0F0F0Fu << QStringList{"#0F0F0F   #000", " 15, 15, 15", "15,15,15"} << 0u;
        QTest::newRow("component 16 gives digit 1")
            << 0x101010u << QStringList{"#101010   #111", " 16, 16, 16", "16,16,16"} << 0x111111u;
        QTest::newRow("0 160 255") << 0x00A0FFu << QStringList{"#00A0FF   #0AF", "  0,160,255", "0,160,255"} << 0x00AAFFu;
    }
    // The texts and swatches a tick shows, the debug line it writes, and what D (with Ctrl,
    // modifiers being ignored) and X copy.
    void colourTexts()
    {
        QFETCH(quint32, rgb);
        QFETCH(QStringList, texts);
        QFETCH(quint32, colour4);
        startFresh();
        QImage plain(64, 64, QImage::Format_RGB32);
        plain.fill(rgb);
        setDesktop(std::make_unique<FakeDesktop>(plain));
        DebugCapture traces;
        VikaroProbe w;
        w.tick();
        QCOMPARE(w.currentColor(), rgb);
        QCOMPARE(w.hexLabel()->text(), texts[0]);
        QCOMPARE(w.decLabel()->text(), texts[1]);
        QCOMPARE(w.swatch8()->color(), rgb);
        QCOMPARE(w.swatch4()->color(), colour4);
        const auto style = [](quint32 c) { return QString("\"QLabel{background:#%1;}\"").arg(c, 6, 16, QLatin1Char('0')); };
        QCOMPARE(traces.lines.last(), style(rgb) + "     " + style(colour4));
        QTest::keyClick(w.window(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), texts[2]);
        QTest::keyClick(w.window(), Qt::Key_X);
        QCOMPARE(QGuiApplication::clipboard()->text(), texts[0].left(7));
        QCOMPARE(traces.lines.filter("--- clipboard"), (QStringList{"--- clipboard =  \"" + texts[2] + "\"",
                                                                     "--- clipboard =  \"" + texts[0].left(7) + "\""}));
    }

    void positionText_data()
    {
        QTest::addColumn<QList<QRect>>("monitors");
        QTest::addColumn<QPoint>("anchor"); // where Insert was pressed; null for none
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QString>("text");
        QTest::newRow("pointer on monitor 1 right edge") << twoMonitors << QPoint() << QPoint(1919, 10) << "[1]  1919     10";
        QTest::newRow("pointer on monitor 2 left edge") << twoMonitors << QPoint() << QPoint(1920, 10) << "[2]     0     10";
        QTest::newRow("offsets from monitor 2 corner") << twoMonitors << QPoint() << QPoint(2020, 200) << "[2]   100    200";
        QTest::newRow("point in no monitor counts as monitor 1") << twoMonitors << QPoint() << QPoint(2000, 1050)
                                                                 << "[1]  2000   1050";
        QTest::newRow("no monitor left in the table") << QList<QRect>() << QPoint() << QPoint(30, 40) << "[1]    30     40";
        QTest::newRow("relative to the anchor, negative offsets") << twoMonitors << QPoint(50, 60) << QPoint(47, 70)
                                                                  << "Rel.     -3     10";
    }
    void positionText()
    {
        QFETCH(QList<QRect>, monitors);
        QFETCH(QPoint, anchor);
        QFETCH(QPoint, pointer);
        QFETCH(QString, text);
        FakeDesktop *fake = startFresh();
        VikaroProbe w;
        // As after an unplug: the screen objects are gone, the rectangles (if any) are left.
        w.screenRects() = monitors;
        w.screens().clear();
        for (int i = 0; i < monitors.size(); ++i)
            w.screens().append(nullptr);
        if (!anchor.isNull()) {
            fake->cursor = anchor;
            QTest::keyClick(w.window(), Qt::Key_Insert);
        }
        fake->cursor = pointer;
        w.tick();
        QCOMPARE(w.positionLabel()->text(), text);
        QCOMPARE(w.positionLabel()->geometry(), anchor.isNull() ? QRect(30, 332, 149, 20) : QRect(23, 332, 162, 20));
    }

    void textLabelPaintsLikeALabel_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QSize>("size");
        QTest::newRow("hexadecimal texts") << "#FF0000   #F00" << QSize(135, 20);
        QTest::newRow("hexadecimal letters") << "#ABCDEF   #ACE" << QSize(135, 20);
        QTest::newRow("decimal, padded") << "  0,160,255" << QSize(129, 20);
        QTest::newRow("position on a monitor") << "[2]  1919   1050" << QSize(149, 20);
        QTest::newRow("position from the anchor") << "Rel.     -3     10" << QSize(162, 20);
        QTest::newRow("odd height centres on a half pixel") << "#123456   #135" << QSize(135, 21);
        QTest::newRow("text wider than the label") << "[1]  1919     10 and more" << QSize(60, 20);
        QTest::newRow("empty") << "" << QSize(135, 20);
    }
    // In the styled window, the cheaper label shows the very pixels of a QLabel, the window's
    // textured background beneath included, and follows a move over another part of it (as
    // the position does when the anchor is set).
    void textLabelPaintsLikeALabel()
    {
        QFETCH(QString, text);
        QFETCH(QSize, size);
        startFresh();
        CData store;
        QImage byLabel, byTextLabel, movedByLabel, movedByTextLabel;
        runPasses(store, [&](Vikaro &window) {
            const auto shown = [&](QLabel *label, const QPoint &at) {
                label->setGeometry(QRect(at, size));
                label->setText(text);
                return window.grab(label->geometry()).toImage().convertToFormat(QImage::Format_ARGB32);
            };
            QLabel plain(&window);
            byLabel = shown(&plain, QPoint(30, 332));
            movedByLabel = shown(&plain, QPoint(23, 332));
            plain.hide();
            TextLabel cheap(&window);
            byTextLabel = shown(&cheap, QPoint(30, 332));
            movedByTextLabel = shown(&cheap, QPoint(23, 332));
            return 0;
        });
        QCOMPARE(byTextLabel, byLabel);
        QCOMPARE(movedByTextLabel, movedByLabel);
    }

    void pictureLabelPaintsLikeALabel_data()
    {
        QTest::addColumn<QSize>("pictureSize");
        QTest::addColumn<bool>("translucent");
        QTest::newRow("picture fits the label") << QSize(171, 171) << false;
        QTest::newRow("picture of a smaller zoom, shown while frozen") << QSize(165, 165) << false;
        QTest::newRow("picture of a larger zoom, shown while frozen") << QSize(187, 187) << false;
        QTest::newRow("translucent picture that fits") << QSize(171, 171) << true;
        QTest::newRow("no picture yet") << QSize() << false;
    }
    // On the window's translucent panel, the picture label shows the very pixels of a QLabel
    // showing the picture as its pixmap.
    void pictureLabelPaintsLikeALabel()
    {
        QFETCH(QSize, pictureSize);
        QFETCH(bool, translucent);
        QImage image = pictureSize.isEmpty() ? QImage() : patternPicture(pictureSize);
        if (translucent) {
            image = image.convertToFormat(QImage::Format_ARGB32);
            image.fill(qRgba(200, 10, 10, 90));
        }
        const QPixmap picture = QPixmap::fromImage(image);
        startFresh();
        CData store;
        QImage byLabel, byPictureLabel;
        runPasses(store, [&](Vikaro &window) {
            VikaroProbe w(window);
            w.zoomLabel()->hide();
            const QRect area = QRect(w.zoomPanel()->mapTo(&window, QPoint(1, 1)), QSize(171, 171));
            QLabel plain(w.zoomPanel());
            plain.setGeometry(1, 1, 171, 171);
            plain.setPixmap(picture);
            byLabel = window.grab(area).toImage().convertToFormat(QImage::Format_ARGB32);
            plain.hide();
            PictureLabel cheap(w.zoomPanel());
            cheap.setGeometry(1, 1, 171, 171);
            cheap.setPicture(picture);
            byPictureLabel = window.grab(area).toImage().convertToFormat(QImage::Format_ARGB32);
            return 0;
        });
        QCOMPARE(byPictureLabel, byLabel);
    }

    void repaintsOnlyWhatChanged_data()
    {
        QTest::addColumn<QPoint>("move");
        QTest::addColumn<QStringList>("repainted"); // accessible names, or class names
        QTest::newRow("new place and colour: the picture, texts and swatches, nothing beneath")
            << QPoint(1, 0)
            << QStringList{"Couleur du pixel actif en décimal", "Couleur du pixel actif en hexadécimal",
                           "Image agrandie autour du pointeur", "Position du pixel actif",
                           "Échantillon de la couleur du pixel actif (4 bits)",
                           "Échantillon de la couleur du pixel actif (8 bits)"};
        QTest::newRow("pointer at rest: nothing") << QPoint(0, 0) << QStringList();
    }
    // What the styled window repaints after a tick: only the parts that changed, each drawing
    // all its pixels, so that neither the window's textured background nor a panel beneath
    // is drawn again every tick.
    void repaintsOnlyWhatChanged()
    {
        QFETCH(QPoint, move);
        QFETCH(QStringList, repainted);
        FakeDesktop *fake = startFresh();
        fake->cursor = QPoint(20, 20);
        CData store;
        PaintLog log;
        runPasses(store, [&](Vikaro &window) {
            VikaroProbe w(window);
            window.show();
            if (QTest::qWaitForWindowExposed(&window)) {
                w.tick();
                QCoreApplication::sendPostedEvents(&window, QEvent::UpdateRequest);
                log.watch(window);
                fake->cursor += move;
                w.tick();
                QCoreApplication::sendPostedEvents(&window, QEvent::UpdateRequest);
            }
            return 0;
        });
        log.painted.sort();
        QCOMPARE(log.painted, repainted);
    }

    void sightPixels_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("factor");
        QTest::addColumn<int>("span");
        for (const ZoomLevel &level : zoomLevels)
            for (int type = -1; type <= 5; ++type)
                QTest::addRow("sight %d at %dx%d", type, level.factor, level.span) << type << level.factor << level.span;
    }
    // Types outside 1..4 draw nothing; none paints the centre block's first pixel, the one read.
    void sightPixels()
    {
        QFETCH(int, type);
        QFETCH(int, factor);
        QFETCH(int, span);
        const QRgb background = qRgb(120, 60, 30);
        QImage picture(factor * span, factor * span, QImage::Format_RGB32);
        picture.fill(background);
        drawSightOn(picture, type, factor, span);
        const int a = (span / 2) * factor - 1, b = a + factor + 1, c = a + factor / 2 + 1;
        QCOMPARE(picture.pixel(a + 1, a + 1), background);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                QVERIFY2((picture.pixel(x, y) != background) == onSight(type, x, y, a, b, c),
                         qPrintable(QString("pixel %1,%2").arg(x).arg(y)));
    }

    void pauseAndResume_data()
    {
        QTest::addColumn<int>("pause");
        QTest::newRow("pointer inside, then it leaves") << 0;
        QTest::newRow("frozen, then U") << 1;
        QTest::newRow("another window focused, then ours again") << 2;
    }
    // A paused tick grabs nothing and lets the timer rest; what ends the pause starts it again.
    // The first focus notification naming our window adopts it: from then on only that window
    // having the focus lets the picture run.
    void pauseAndResume()
    {
        QFETCH(int, pause);
        FakeDesktop *fake = startFresh();
        fake->cursor = QPoint(10, 10);
        VikaroProbe w;
        w.window()->winId();
        w.focusChanged(nullptr);
        QVERIFY(appActive);
        w.focusChanged(w.window()->windowHandle());
        w.tick();
        const QString before = w.hexLabel()->text();
        QEvent enter(QEvent::Enter), leave(QEvent::Leave);
        QWindow otherWindow;
        if (pause == 0)
            QApplication::sendEvent(w.window(), &enter);
        else if (pause == 1)
            QTest::keyClick(w.window(), Qt::Key_F);
        else
            for (QWindow *other : {&otherWindow, static_cast<QWindow *>(nullptr)})
                w.focusChanged(other);
        fake->cursor = QPoint(40, 50);
        const int grabs = fake->grabs;
        w.tick();
        QCOMPARE(fake->grabs, grabs);
        QCOMPARE(w.hexLabel()->text(), before);
        QVERIFY(!w.timer()->isActive());
        QCOMPARE(appActive, pause != 2);
        if (pause == 0)
            QApplication::sendEvent(w.window(), &leave);
        else if (pause == 1)
            QTest::keyClick(w.window(), Qt::Key_U);
        else
            w.focusChanged(w.window()->windowHandle());
        QVERIFY(w.timer()->isActive());
        QCOMPARE(w.timer()->interval(), 30);
        w.tick();
        QCOMPARE(w.currentColor(), patternPixel(40, 50) & 0xFFFFFF);
    }

    void pictureFollowsEveryChange_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("newPicture");
        QTest::newRow("nothing changed: the same picture stays") << "nothing" << false;
        QTest::newRow("next sight (G) on the same square") << "sight" << true;
        QTest::newRow("zoom in (*) around the same pointer") << "zoom in" << true;
        QTest::newRow("pointer moved one pixel") << "pointer" << true;
        QTest::newRow("desktop changed under the resting pointer") << "desktop" << true;
    }
    // The picture kept or made anew is always the one a window that never saw the earlier state
    // would show.
    void pictureFollowsEveryChange()
    {
        QFETCH(QString, change);
        QFETCH(bool, newPicture);
        FakeDesktop *fake = startFresh(QSize(400, 300));
        fake->cursor = QPoint(200, 150);
        VikaroProbe w;
        w.tick();
        const qint64 before = w.zoomLabel()->picture().cacheKey();
        if (change == "sight")
            QTest::keyClick(w.window(), Qt::Key_G);
        else if (change == "zoom in")
            QTest::keyClick(w.window(), Qt::Key_Asterisk);
        else if (change == "pointer")
            fake->cursor += QPoint(1, 0);
        else if (change == "desktop")
            fake->picture.setPixel(fake->cursor, qRgb(1, 2, 3));
        w.tick();
        QCOMPARE(w.zoomLabel()->picture().cacheKey() != before, newPicture);
        VikaroProbe fresh;
        fresh.tick();
        QCOMPARE(w.picture(), fresh.picture());
    }
};

VIKARO_TEST_MAIN(TestSampling)
#include "tst_sampling.moc"
