#include <QCryptographicHash>
#include <QImageReader>

#include "magnifier/layoutgeometry.h"
#include "support/testsupport.h"

// What the program sets up before and while it shows its window: the settings store, the
// resources, the restart loop with its catalogs, and the window's fixed layout.

namespace {

// Per zoom level: the factor, the picture side and its margin, the two swatch widths.
struct LevelGeometry
{
    int factor, side, margin, w8, w4;
};
const LevelGeometry levelGeometry[] = {
    {3, 171, 17, 114, 57},  {5, 175, 15, 116, 58},  {7, 175, 15, 116, 58},
    {9, 171, 17, 114, 57},  {11, 187, 9, 124, 62},  {13, 169, 18, 112, 56},
    {15, 165, 20, 110, 55}, {19, 171, 17, 114, 57}, {25, 175, 15, 116, 58},
};

QString shown(const char *source)
{
    return QCoreApplication::translate("Vikaro", source);
}

// Whether a visible sibling painted before `widget`, so beneath it, covers part of `area`.
bool siblingBeneath(QWidget *widget, const QRect &area)
{
    for (QObject *child : widget->parentWidget()->children()) {
        if (child == widget)
            return false;
        auto *sibling = qobject_cast<QWidget *>(child);
        if (sibling && !sibling->isWindow() && !sibling->isHidden() && sibling->geometry().intersects(area))
            return true;
    }
    return false;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void init() { startFresh(); }

    void integers_data()
    {
        QTest::addColumn<QString>("text"); // as stored, null when absent
        QTest::addColumn<int>("value");
        QTest::newRow("missing key reads 0") << QString() << 0;
        QTest::newRow("letters read 0") << "abc" << 0;
        QTest::newRow("number with trailing letters reads 0") << "12abc" << 0;
        QTest::newRow("-1 round trip") << "-1" << -1;
        QTest::newRow("opaque black stored as negative decimal text") << "-16777216" << int(0xFF000000u);
    }
    void integers()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        if (!text.isNull())
            sandbox::setRaw("Grid type", text);
        QCOMPARE(CData().getInt("Preferences", "Grid type"), value);
        if (value == 0)
            return;
        sandbox::reset();
        CData().setInt("Preferences", "Grid type", value);
        QCOMPARE(sandbox::raw("Grid type"), text);
    }

    void lists_data()
    {
        QTest::addColumn<QString>("before"); // null when absent
        QTest::addColumn<QString>("item");   // "+" adds it, "-" removes it
        QTest::addColumn<QString>("after");
        QTest::newRow("added to an absent list") << QString() << "+red" << "red";
        QTest::newRow("added after a comma") << "red" << "+blue" << "red,blue";
        QTest::newRow("duplicate not added") << "red,blue" << "+red" << "red,blue";
        QTest::newRow("removed from the middle") << "a,b,c" << "-b" << "a,c";
        QTest::newRow("absent item leaves the list") << "a,b" << "-z" << "a,b";
    }
    void lists()
    {
        QFETCH(QString, before);
        QFETCH(QString, item);
        QFETCH(QString, after);
        CData store;
        if (!before.isNull())
            store.setValue("Recent", before);
        if (item.startsWith('+'))
            store.setString("Recent", QString(), item.mid(1));
        else
            QVERIFY(store.removeFromList("Recent", item.mid(1)));
        QCOMPARE(store.getString("Recent", QString()), after);
    }

    void dumpText()
    {
        CData store;
        store.setValue("Loose", 1); // top-level keys are not listed
        store.setValue("Preferences/Grid type", 2);
        store.setValue("Preferences/Zoom factor", 4);
        QCOMPARE(store.dumpText(), QString("\r\n[Preferences]\r\nGrid type=2\r\nZoom factor=4\r\n"));
    }

    void images_data()
    {
        using namespace resources;
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("program icon") << QStringList{programIcon} << QSize(32, 32) << QByteArray("ico");
        QTest::newRow("flags") << QStringList{flagFrance, flagUk, flagBrazil, flagSpain, flagGermany} << QSize(48, 34)
                               << QByteArray("png");
        QTest::newRow("menu icons and marble") << QStringList{optionsIcon, helpIcon, aboutIcon, moreIcon, normalIcon, marble}
                                               << QSize(48, 48) << QByteArray("png");
        QTest::newRow("maker logo") << QStringList{makerLogo} << QSize(150, 37) << QByteArray("gif");
        QTest::newRow("fabric") << QStringList{QString(":/Vikaro/Resources/tissus.gif")} << QSize(200, 200) << QByteArray("gif");
        QTest::newRow("frame mask") << QStringList{memoryFrameMask} << QSize(30, 22) << QByteArray("bmp");
    }
    void images()
    {
        QFETCH(QStringList, paths);
        QFETCH(QSize, size);
        QFETCH(QByteArray, format);
        for (const QString &path : paths) {
            QImageReader reader(path);
            QCOMPARE(reader.format(), format);
            QCOMPARE(reader.read().size(), size);
        }
        if (format != "ico")
            return;
        // 766 bytes: one image, 32 pixels wide, of 16 colours at 4 bits a pixel.
        QFile icon(paths.first());
        QVERIFY(icon.open(QIODevice::ReadOnly));
        const QByteArray bytes = icon.readAll();
        QCOMPARE(bytes.size(), 766);
        QCOMPARE((QList<int>{bytes.at(4), bytes.at(6), bytes.at(8), bytes.at(12)}), (QList<int>{1, 32, 16, 4}));
    }

    // Each pass applies the style sheet, reads "Language" anew, installs that catalog alone and
    // names it on the debug stream; any non-zero result rebuilds the window, 0 ends. What pass
    // k stores, pass k + 1 reads.
    void restartLoop()
    {
        qApp->setStyleSheet(QString());
        const QStringList stored{"1", "2", "0", "3", "4", "5", "-1", "2147483647"};
        DebugCapture traces;
        QStringList seen;
        const int passes = runScripted([&](VikaroProbe &w, int pass) {
            seen << shown("Sauver ces couleurs") + " / " + shown("Montrer les couleurs mémorisées.");
            if (pass < stored.size())
                sandbox::setRaw("Language", stored.at(pass));
            w.window()->setResult(pass < stored.size() ? pass + 1 : 0);
        });
        QCOMPARE(passes, 9);
        const QString fr = "Sauver ces couleurs / Montrer les couleurs mémorisées.";
        QCOMPARE(seen, (QStringList{fr, "Save those colors / Show the memorized colors.",
                                    "Sauver ces couleurs zzzzzz / Montrer les couleurs mémorisées.", fr, fr, fr, fr, fr, fr}));
        const auto line = [](const char *code, const char *loaded = nullptr) {
            const QString name = QString("=== Langue =  \"%1\"").arg(code);
            return loaded ? name + QString("   installed ok1= %1   ok2= %1").arg(loaded) : name;
        };
        QCOMPARE(traces.lines.filter(QRegularExpression("^=== Langue")),
                 (QStringList{line("fr"), line("en", "true"), line("pt", "true"), line("fr"), line("de", "false"),
                              line("es", "false"), line("fr"), line("fr"), line("fr")}));
        QCOMPARE(languageIndex, 0);
        QCOMPARE(shown("Sauver ces couleurs"), QString("Sauver ces couleurs"));
        // The sheet shipped, as it is: 719 bytes, every one pinned by the digest.
        const QByteArray applied = qApp->styleSheet().toLatin1();
        QCOMPARE(applied.size(), 719);
        QCOMPARE(QCryptographicHash::hash(applied, QCryptographicHash::Sha1).toHex(),
                 QByteArray("a71575bc368a16331f07e1c4a6e7ad88e1f82d9d"));
    }

    void windowChrome()
    {
        VikaroProbe w;
        QVERIFY(!(w.window()->windowFlags() & Qt::WindowContextHelpButtonHint));
        QVERIFY(w.window()->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(w.window()->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(w.timer()->isActive());
        QCOMPARE(w.timer()->interval(), 30);
        QCOMPARE(w.currentColor(), 0u);
        QStringList names; // what a screen reader says for the parts that change
        for (QWidget *part : QList<QWidget *>{w.hexLabel(), w.decLabel(), w.swatch8(), w.swatch4(), w.zoomLabel(), w.positionLabel()})
            names << part->accessibleName();
        QCOMPARE(names, (QStringList{"Couleur du pixel actif en hexadécimal", "Couleur du pixel actif en décimal",
                                     "Échantillon de la couleur du pixel actif (8 bits)",
                                     "Échantillon de la couleur du pixel actif (4 bits)", "Image agrandie autour du pointeur",
                                     "Position du pixel actif"}));
    }

    void layoutPerZoomLevel_data()
    {
        QTest::addColumn<QString>("stored"); // "Zoom factor", null when absent
        QTest::addColumn<int>("level");
        for (int level = 0; level < 9; ++level)
            QTest::addRow("level %d, factor %d", level, levelGeometry[level].factor) << QString::number(level) << level;
        QTest::newRow("first start is level 0") << QString() << 0;
        QTest::newRow("9 clamped to 8") << "9" << 8;
        QTest::newRow("1000 clamped to 8") << "1000" << 8;
        QTest::newRow("-3 clamped to 0") << "-3" << 0;
    }
    // In both display modes; "Zoom factor" and "Show FX" are written at every layout, whether
    // they changed or not.
    void layoutPerZoomLevel()
    {
        QFETCH(QString, stored);
        QFETCH(int, level);
        const LevelGeometry &g = levelGeometry[level];
        for (const bool extended : {false, true}) {
            startFresh();
            if (!stored.isNull())
                sandbox::setRaw("Zoom factor", stored);
            sandbox::setRaw("Show FX", extended ? "7" : "0");
            VikaroProbe w;
            for (int layout = 0; layout < 2; ++layout) {
                QCOMPARE(sandbox::raw("Zoom factor"), QString::number(level));
                QCOMPARE(sandbox::raw("Show FX"), QString(extended ? "1" : "0"));
                sandbox::setRaw("Zoom factor", "junk");
                sandbox::setRaw("Show FX", "junk");
                w.window()->refreshLayout();
            }
            QCOMPARE(w.window()->windowTitle(), QString("Vikaro */%1").arg(g.factor));
            QCOMPARE(w.swatchPanel()->geometry(), QRect(g.margin, 77, g.side + 2, 34));
            QCOMPARE(w.swatch8()->geometry(), QRect(1, 1, g.w8, 32));
            QCOMPARE(w.swatch4()->geometry(), QRect(g.w8 + 1, 1, g.w4, 32));
            QCOMPARE(w.zoomPanel()->geometry(), QRect(g.margin, g.margin + 131, g.side + 2, g.side + 2));
            QCOMPARE(w.zoomLabel()->geometry(), QRect(1, 1, g.side, g.side));
            QCOMPARE(w.zoomSize(), QSize(g.side, g.side));
            // The changing texts keep a copy of the window's background: nothing else lies beneath.
            const QRect anchoredPosition = layoutFor(level, extended, true).positionLabel;
            for (const auto &text : {std::make_pair(w.hexLabel(), w.hexLabel()->geometry()),
                                     std::make_pair(w.decLabel(), w.decLabel()->geometry()),
                                     std::make_pair(w.positionLabel(), w.positionLabel()->geometry()),
                                     std::make_pair(w.positionLabel(), anchoredPosition)})
                QVERIFY2(!siblingBeneath(text.first, text.second), qPrintable(text.first->accessibleName()));
            const QSize fixed(extended ? 405 : 205, 362);
            QCOMPARE(w.window()->minimumSize(), fixed);
            QCOMPARE(w.window()->maximumSize(), fixed);
        }
    }
};

VIKARO_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
