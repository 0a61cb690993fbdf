#include <malloc.h>
#include <sys/fsuid.h>
#include <thread>
#include <unistd.h>

#include "dialogs/version.h"
#include "magnifier/colortext.h"
#include "magnifier/magnify.h"
#include "magnifier/monitors.h"
#include "settings/preferences.h"
#include "support/testsupport.h"

// The main window on a fake desktop: layout, ticks, keys, colour memory, dialogs, restarts; over
// settings files of every kind and a store it may not write, where stored colours are kept.

// The toolkit's object hooks (exported; declared in a private header): called as QObjects come and go.
extern Q_CORE_EXPORT quintptr qtHookData[];

namespace {

// Runs the start-up loop, handing each pass's window to `script` with the pass number; the
// window's result then decides as exec()'s would, a failed check ends it. Returns the passes.
int runScripted(const std::function<void(VikaroProbe &, int)> &script)
{
    CData store;
    int passes = 0;
    runPasses(store, desktop(), [&](Vikaro &window) {
        VikaroProbe probe(window);
        script(probe, passes++);
        return QTest::currentTestFailed() ? 0 : window.result();
    });
    return passes;
}

// Once a modal window shows, hands it to `inspect` and closes it: code that runs exec() won't block.
void whenModalShows(const std::function<void(QWidget *)> &inspect)
{
    QTimer::singleShot(10, [inspect] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return whenModalShows(inspect); // not yet: look again
        inspect(modal);
        modal->close();
    });
}

// In the options dialog: the flag of `language` (0..4), then Ok or Cancel.
void answerOptions(COptionsDlg &options, int language, bool ok)
{
    QTest::mouseClick(options.findChildren<CLabel *>().at(language), Qt::LeftButton);
    for (QPushButton *button : options.findChildren<QPushButton *>())
        if ((button->text() == QLatin1String("Ok")) == ok)
            QTest::mousePress(button, Qt::LeftButton);
}

// The options icon, `language`, Ok: the window ends with 1, to be rebuilt.
void chooseLanguage(Vikaro &window, int language)
{
    whenModalShows([language](QWidget *modal) { answerOptions(*qobject_cast<COptionsDlg *>(modal), language, true); });
    QTest::mouseClick(VikaroProbe(window).optionsIcon(), Qt::LeftButton);
}

// Data rows of one struct column, each named by the struct's `name`.
template <typename Row, std::size_t N>
void addRows(const Row (&rows)[N])
{
    QTest::addColumn<Row>("row");
    for (const Row &row : rows)
        QTest::newRow(row.name) << row;
}

// Whether the sight of `type` paints (x, y): a, b just outside the centre block, c its middle.
bool onSight(int type, int x, int y, int a, int b, int c)
{
    const bool frame = ((x == a || x == b) && y >= a && y <= b) || ((y == a || y == b) && x >= a && x <= b);
    const bool openCross = (y == c && (x <= a || x >= b)) || (x == c && (y <= a || y >= b));
    return type == 1 ? x == c || y == c : type == 2 ? openCross : type == 3 ? frame : type == 4 && (openCross || frame);
}

const QPoint start(100, 80);

struct Level
{
    const char *name;
    QString stored; // "Zoom factor", null when absent
    int factor, side;
};
struct Tick
{
    const char *name;
    quint32 rgb;
    QStringList texts; // hexadecimal, decimal, D's copy, position
    quint32 colour4;
    QPoint pointer;
    QList<QRect> monitors = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
};
struct Keys
{
    const char *name;
    QString stored;        // "key=value;..." of Preferences before the window is built
    QList<int> keys;       // a key pressed again right after itself is held down
    QString written = {};  // what they write; no other key changes
    QPoint moved = {};     // the pointer, from where it started
    QString title = {};    // empty to leave it
    QString position = {}; // after a tick, null to leave it
    int wheel = 0;         // angle delta turned before the keys
    bool inside = false;   // the pointer over the window
    QString exported = {}; // the clipboard after the colour memory's export, "-" when it copies nothing
};

// The main thread's live QObjects, counted exactly through the hooks (3 adds, 4 removes).
int liveObjects = 0;
std::thread::id mainThread;
void countObjects()
{
    mainThread = std::this_thread::get_id();
    qtHookData[3] = reinterpret_cast<quintptr>(+[](QObject *) { liveObjects += std::this_thread::get_id() == mainThread; });
    qtHookData[4] = reinterpret_cast<quintptr>(+[](QObject *) { liveObjects -= std::this_thread::get_id() == mainThread; });
}

const QStringList startKeys{"Preferences/Zoom factor", "Preferences/Show FX"}; // written at every start
QMap<QString, QVariant> storedKeys()
{
    QSettings file(CData().fileName(), QSettings::IniFormat);
    QMap<QString, QVariant> keys;
    for (const QString &name : file.allKeys())
        keys.insert(name, name.isEmpty() ? QVariant() : file.value(name));
    return keys;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Root may write any file: the files go to "nobody", and file access is checked as nobody.
constexpr uint nobody = 65534;
const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther, readWrite = readOnly | QFile::WriteOwner;
const QFile::Permissions closedFolder = readOnly | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther, openFolder = closedFolder | QFile::WriteOwner;

bool accessAs(uint user)
{
    setfsgid(user);
    setfsuid(user);
    return geteuid() != 0 || uint(setfsuid(uid_t(-1))) == user;
}

struct Unwritable
{
    const char *name;
    QByteArray content; // null: no file yet
    QFile::Permissions fileMode, folderMode;
    int reports;
};

} // namespace
Q_DECLARE_METATYPE(Unwritable)
Q_DECLARE_METATYPE(Level)
Q_DECLARE_METATYPE(Tick)
Q_DECLARE_METATYPE(Keys)

class TestWindow : public QObject
{
    Q_OBJECT

    FakeDesktop *fake = nullptr;
    std::unique_ptr<QTemporaryDir> root;

private slots:
    void init()
    {
        fake = startFresh(QSize(300, 200));
        fake->cursor = start;
    }
    void cleanup()
    {
        accessAs(geteuid());
        if (root)
            QFile::setPermissions(root->filePath("Morvelle"), openFolder);
        root.reset();
        storeSettingsUnder(sandbox::folder());
    }

    void layoutPerZoomLevel_data()
    {
        addRows<Level>({{"level 0, factor 3", "0", 3, 171},     {"level 1, factor 5", "1", 5, 175},   {"level 2, factor 7", "2", 7, 175},
                        {"level 3, factor 9", "3", 9, 171},     {"level 4, factor 11", "4", 11, 187}, {"level 5, factor 13", "5", 13, 169},
                        {"level 6, factor 15", "6", 15, 165},   {"level 7, factor 19", "7", 19, 171}, {"level 8, factor 25", "8", 25, 175},
                        {"first start is level 0", {}, 3, 171}, {"1000 clamped to 8", "1000", 25, 175}, {"-3 clamped to 0", "-3", 3, 171}});
    }
    // In both display modes, with the zoom level and display mode written at every layout.
    void layoutPerZoomLevel()
    {
        QFETCH(Level, row);
        for (const bool extended : {false, true}) {
            startFresh();
            if (!row.stored.isNull())
                sandbox::setRaw("Zoom factor", row.stored);
            sandbox::setRaw("Show FX", extended ? "7" : "0");
            VikaroProbe w;
            sandbox::setRaw("Zoom factor", "junk");
            w.window()->refreshLayout();
            QCOMPARE(sandbox::raw("Zoom factor") + sandbox::raw("Show FX"), QString::number(zoomIndex) + (extended ? "1" : "0"));
            QCOMPARE(w.window()->windowTitle(), QString("Vikaro */%1").arg(row.factor));
            QCOMPARE(w.zoomLabel()->size(), QSize(row.side, row.side));
            QVERIFY(w.window()->minimumSize() == QSize(extended ? 405 : 205, 362) && w.window()->maximumSize() == w.window()->minimumSize());
        }
    }

    void tick_data()
    {
        addRows<Tick>({{"pure red on monitor 1 right edge", 0xFF0000u, {"#FF0000   #F00", "255,  0,  0", "255,0,0", "[1]  1919     10"}, 0xFF0000u, {1919, 10}},
                       {"0x123456 on monitor 2 left edge", 0x123456u, {"#123456   #135", " 18, 52, 86", "18,52,86", "[2]     0     10"}, 0x113355u, {1920, 10}},
                       {"component 15 gives digit 0, offsets from monitor 2", 0x0F0F0Fu, {"#0F0F0F   #000", " 15, 15, 15", "15,15,15", "[2]   100    200"}, 0u, {2020, 200}},
                       {"component 16 gives digit 1, point in no monitor", 0x101010u, {"#101010   #111", " 16, 16, 16", "16,16,16", "[1]  2000   1050"}, 0x111111u, {2000, 1050}},
                       {"0 160 255, no monitor left after an unplug", 0x00A0FFu, {"#00A0FF   #0AF", "  0,160,255", "0,160,255", "[1]    30     40"}, 0x00AAFFu, {30, 40}, {}}});
    }
    // The texts and swatches a tick shows, and what Ctrl+D (modifiers being ignored) and X copy.
    // The monitors are the desktop's.
    void tick()
    {
        QFETCH(Tick, row);
        fake->picture = QImage(row.pointer.x() + 40, row.pointer.y() + 40, QImage::Format_RGB32);
        fake->picture.fill(row.rgb);
        fake->setMonitors(row.monitors);
        VikaroProbe w;
        fake->cursor = row.pointer;
        w.tick();
        QCOMPARE((QStringList{w.hexLabel()->text(), w.decLabel()->text(), w.positionLabel()->text()}),
                 (QStringList{row.texts[0], row.texts[1], row.texts[3]}));
        QCOMPARE(qMakePair(w.swatch8()->color(), w.swatch4()->color()), qMakePair(row.rgb, row.colour4));
        QTest::keyClick(w.window(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), row.texts[2]);
        QTest::keyClick(w.window(), Qt::Key_X);
        QCOMPARE(QGuiApplication::clipboard()->text(), row.texts[0].left(7));
    }

    void tickTexts_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("expected");
        QTest::newRow("offsets right-aligned in 6 on monitor 12") << monitorPositionText({1930, 5}, 11, {1920, 0, 800, 600}) << "[12]    10      5";
        QTest::newRow("negative offsets from an anchor") << anchorPositionText({0, 0}, {123, 45678}) << "Rel.   -123 -45678";
        QTest::newRow("offsets wider than their column") << anchorPositionText({-3000000, 1234567}, {0, 0}) << "Rel. -3000000 1234567";
        QTest::newRow("the smallest and largest components") << decText(0x00FF09u) << "  0,255,  9";
        QTest::newRow("codes with every letter digit") << hexText(0xABCDEFu) << "#ABCDEF   #ACE";
        QTest::newRow("a swatch's style in lower case") << swatchStyle(0x1A2B3Cu) << "QLabel{background:#1a2b3c;}";
    }
    void tickTexts()
    {
        QFETCH(QString, shown);
        QTEST(shown, "expected");
    }

    void textsPaintAsLabels_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("colour codes") << "#1A2B3C   #123";
        QTest::newRow("code characters a font may kern") << "F, A, 7,A 1 AC";
        QTest::newRow("padded decimals, after the codes") << "  0,160,255";
        QTest::newRow("letters a font may kern") << "AVATAR Type WAVE";
        QTest::newRow("letters that may join in ligatures") << "office fi ffl";
        QTest::newRow("accents and a mark that combines") << QString::fromUtf8("Écran à côté e\u0301");
        QTest::newRow("a lone character from another font") << QString::fromUtf8("⤀");
        QTest::newRow("characters from other fonts") << QString::fromUtf8("→ ⠿ ☃ 漢字 \U0001F600");
    }
    // A changing text draws the pixels a label of that text draws in its place, whether its glyphs
    // can be placed one by one or need the full layout.
    void textsPaintAsLabels()
    {
        QFETCH(QString, text);
        VikaroProbe w;
        TextLabel *fast = w.hexLabel();
        fast->setCharacters(text); // its pairs checked at once
        fast->show();
        fast->setText(text);
        const QImage drawn = w.window()->grab(fast->geometry()).toImage();
        fast->hide();
        QLabel plain(text, w.window());
        plain.setGeometry(fast->geometry());
        QCOMPARE(w.window()->grab(fast->geometry()).toImage(), drawn);
    }

    void linesRepaintWhereChanged_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("last digit of a position") << "[1]  1919     10" << "[1]  1919     11";
        QTest::newRow("every digit of a code") << "#1A2B3C   #123" << "#A1B2C3   #ABC";
        QTest::newRow("a shorter line, glyphs of other widths") << "[1]  1919     10" << "Rel.   -5 WA";
        QTest::newRow("a kerned line, then one placed glyph by glyph") << "AVATAR" << "AV 0";
        QTest::newRow("a wider first glyph moves the same ones after it") << "i0000" << "W0000";
        QTest::newRow("to nothing") << "#1A2B3C" << "";
    }
    // A line repainted where it changed shows on screen as the new line painted whole.
    void linesRepaintWhereChanged()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QWidget window;
        window.setStyleSheet("QWidget { background: #0f1e33; } QLabel { color: #F7D61E; font: 15px; }");
        TextLabel label(&window);
        label.setGeometry(10, 10, 170, 20);
        label.setCharacters(QString::fromLatin1(colorTextCharacters) + positionTextCharacters);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto onScreen = [&] { return window.screen()->grabWindow(window.winId(), 10, 10, 170, 20).toImage(); };
        const QImage blank = onScreen();
        label.showLine(before);
        QTRY_VERIFY(onScreen() != blank);
        const QImage first = onScreen();
        label.showLine(after);
        QTRY_VERIFY(onScreen() != first);
        const QImage changed = onScreen();
        label.repaint();
        QCOMPARE(changed, onScreen());
    }

    void ticksPaintAsWidgets_data()
    {
        QTest::addColumn<int>("sight");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<bool>("covered");
        QTest::newRow("a new colour and position every tick") << 0 << 0 << false;
        QTest::newRow("full cross sight over the picture") << 1 << 0 << false;
        QTest::newRow("open cross and frame, largest zoom") << 4 << 8 << false;
        QTest::newRow("a text covered by another label: left to the widgets") << 0 << 0 << true;
    }
    // What a tick paints straight into the window is what its widgets paint: the window repainted
    // whole shows the same pixels. Uncovered, the tick leaves nothing for them to repaint.
    void ticksPaintAsWidgets()
    {
        QFETCH(int, sight);
        QFETCH(int, zoom);
        QFETCH(bool, covered);
        gridType = sight;
        zoomIndex = zoom;
        VikaroProbe w;
        QLabel cover("~", w.window());
        cover.setGeometry(w.hexLabel()->geometry().adjusted(30, 4, -60, -4));
        cover.setVisible(covered);
        TickPaints painted(w);
        w.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window()));
        const auto onScreen = [&w] { return w.window()->screen()->grabWindow(w.window()->winId()).toImage(); };
        for (int i = 0; i < 6; ++i) {
            fake->cursor = start + QPoint(i * 7, i * 3);
            painted.paints = 0;
            w.tick();
            QCoreApplication::processEvents();
            QCOMPARE(painted.paints > 0, covered);
            const QImage ticked = onScreen();
            w.window()->repaint();
            QCOMPARE(onScreen(), ticked);
        }
    }

    // At every zoom level, types outside 1..4 draw nothing; none paints the pixel that is read.
    void sightPixels()
    {
        for (const ZoomLevel &level : zoomLevels)
            for (int type = -1; type <= 5; ++type) {
                QImage picture(level.factor * level.span, level.factor * level.span, QImage::Format_RGB32);
                picture.fill(Qt::black);
                drawSightOn(picture, type, level.factor, level.span);
                const int a = (level.span / 2) * level.factor - 1, b = a + level.factor + 1, c = a + level.factor / 2 + 1;
                for (int y = 0; y < picture.height(); ++y)
                    for (int x = 0; x < picture.width(); ++x)
                        QVERIFY2((picture.pixel(x, y) != qRgb(0, 0, 0)) == onSight(type, x, y, a, b, c),
                                 qPrintable(QString("sight %1, factor %2: %3,%4").arg(type).arg(level.factor).arg(x).arg(y)));
            }
    }

    void keys_data()
    {
        const QString frozen = "Vikaro */3 gelé ! (U pour dégeler)", br = "<br/>";
        // Each key of a row pressed a different number of times, held: one moving wrongly shows.
        addRows<Keys>({{"up, down, keypad 8 and 2", "", {Qt::Key_Up, Qt::Key_Down, Qt::Key_Down, Qt::Key_8, Qt::Key_2, Qt::Key_2, Qt::Key_2}, "", {0, 3}, "", "[1]   100     83"},
                       {"left, right, keypad 4 and 6", "", {Qt::Key_Left, Qt::Key_Right, Qt::Key_Right, Qt::Key_4, Qt::Key_6, Qt::Key_6, Qt::Key_6}, "", {3, 0}},
                       {"home, page up, keypad 7 and 9", "", {Qt::Key_Home, Qt::Key_PageUp, Qt::Key_PageUp, Qt::Key_7, Qt::Key_9, Qt::Key_9, Qt::Key_9}, "", {3, -7}},
                       {"end, page down, keypad 1 and 3", "", {Qt::Key_End, Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_1, Qt::Key_3, Qt::Key_3, Qt::Key_3}, "", {3, 7}},
                       {"Insert sets the anchor", "", {Qt::Key_Insert, Qt::Key_Right}, "", {1, 0}, "", "Rel.      1      0"},
                       {"0 sets the anchor", "", {Qt::Key_Right, Qt::Key_0, Qt::Key_Down}, "", {1, 1}, "", "Rel.      0      1"},
                       {"Delete clears the anchor", "", {Qt::Key_Insert, Qt::Key_Delete, Qt::Key_Right}, "", {1, 0}, "", "[1]   101     80"},
                       {". clears the anchor", "", {Qt::Key_Insert, Qt::Key_Period}, "", {}, "", "[1]   100     80"},
                       {"* * from 7 stops at 8", "Zoom factor=7", {Qt::Key_Asterisk, Qt::Key_Asterisk}, "Zoom factor=8", {}, "Vikaro */25"},
                       {"/ / from 1 stops at 0", "Zoom factor=1", {Qt::Key_Slash, Qt::Key_Slash}, "Zoom factor=0", {}, "Vikaro */3"},
                       {"wheel backward at 2 gives 1", "Zoom factor=2", {}, "Zoom factor=1", {}, "Vikaro */5", {}, -120},
                       {"big wheel turn forward: one level", "Zoom factor=2", {}, "Zoom factor=3", {}, "Vikaro */9", {}, 960},
                       {"wheel with the pointer inside does nothing", "Zoom factor=2", {}, "Zoom factor=2", {}, "Vikaro */7", {}, 120, true},
                       {"G steps the sight, 4 wraps to 0", "Grid type=3", {Qt::Key_G, Qt::Key_G}, "Grid type=0"},
                       {"G from out of range gives 0", "Grid type=17", {Qt::Key_G}, "Grid type=0"},
                       {"F1 first slot", "", {Qt::Key_F1}, "Color F1=-15720400"},
                       {"F12 last slot, others left alone", "Color F5=5", {Qt::Key_F12}, "Color F12=-15720400"},
                       {"F5 with the pointer inside empties the slot", "Color F5=5", {Qt::Key_F5}, "Color F5=0", {}, "", {}, 0, true},
                       {"F holds the colour", "", {Qt::Key_F, Qt::Key_Right, Qt::Key_F2}, "Color F2=-15720400", {1, 0}, frozen},
                       {"U unfreezes, and leaves a running picture running", "", {Qt::Key_F, Qt::Key_U, Qt::Key_U, Qt::Key_Right, Qt::Key_F3}, "Color F3=-12562336", {1, 0}, "Vikaro */3"},
                       {"Escape, Enter and F13 leave the window open", "", {Qt::Key_Escape, Qt::Key_Enter, Qt::Key_F13}, ""},
                       {"export: nothing stored", "", {}, "", {}, "", {}, 0, false, "-"},
                       {"export: F1 of alpha 0x80 and F12, F4 of alpha 0 empty", "Color F12=-1;Color F4=16777215;Color F1=-2146260172",
                        {}, "", {}, "", {}, 0, false, "#12AB34<BR/>" + br.repeated(10) + "#FFFFFF<BR/>"}});
    }
    // With Shift and Ctrl held (they are ignored), a tick after every key, on a desktop whose
    // pixels right of the start differ.
    void keys()
    {
        QFETCH(Keys, row);
        fake->picture.fill(0x102030);
        QPainter(&fake->picture).fillRect(start.x() + 1, 0, 100, 200, QColor(0x405060));
        QMap<QString, QString> expected, now; // every key of Preferences: as stored, the start's and the keys' writes on top
        for (const QString &pair : ("Show FX=0;Zoom factor=0;" + row.stored + ";" + row.written).split(';', Qt::SkipEmptyParts))
            expected.insert(pair.section('=', 0, 0), pair.section('=', 1));
        for (const QString &pair : row.stored.split(';', Qt::SkipEmptyParts))
            sandbox::setRaw(pair.section('=', 0, 0), pair.section('=', 1));
        VikaroProbe w;
        w.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window()));
        w.tick();
        QWheelEvent turn({10, 10}, {10, 10}, {}, {0, row.wheel}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        pointerInside = row.inside;
        QApplication::sendEvent(w.window(), &turn);
        w.tick();
        for (int i = 0; i < row.keys.size(); ++i) {
            QKeyEvent press(QEvent::KeyPress, row.keys[i], Qt::ShiftModifier | Qt::ControlModifier | Qt::KeypadModifier,
                            QString(), i > 0 && row.keys[i] == row.keys[i - 1]);
            QApplication::sendEvent(w.window(), &press);
            w.tick();
        }
        QCOMPARE(fake->cursor, start + row.moved);
        for (const QString &key : CData().keysOf("Preferences"))
            now.insert(key, sandbox::raw(key));
        QCOMPARE(now.keys(), expected.keys());
        QCOMPARE(now.values(), expected.values());
        if (!row.title.isEmpty())
            QCOMPARE(w.window()->windowTitle(), row.title);
        if (!row.position.isNull())
            QCOMPARE(w.positionLabel()->text(), row.position);
        QVERIFY(w.window()->isVisible() && w.window()->result() == 0);
        QCOMPARE(w.timer()->isActive(), !frozen && !pointerInside); // a held picture costs nothing
        if (!frozen && !pointerInside) { // the picture kept or made anew is the one a fresh window shows
            VikaroProbe fresh;
            fresh.tick();
            QCOMPARE(w.picture(), fresh.picture());
        }
        QGuiApplication::clipboard()->setText("-");
        whenModalShows([](QWidget *) {});
        QTest::mouseClick(w.saveColorsButton(), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), row.exported.isNull() ? QGuiApplication::clipboard()->text() : row.exported);
    }

    void aboutNamesTheVersion()
    {
        QString text;
        whenModalShows([&](QWidget *modal) { text = modal->findChildren<QLabel *>().at(3)->text(); });
        QTest::mouseClick(VikaroProbe().aboutIcon(), Qt::LeftButton);
        QCOMPARE(text, QString("Vikaro Version 1.0.0.3"));
        QCOMPARE(versionText(1020300, 4), QString("1.2.3.4")); // each number of a later version too
    }

    void optionsOkAndCancel_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::newRow("English, hexadecimal unchecked, then Cancel: nothing written, the window goes on") << false;
        QTest::newRow("English, hexadecimal unchecked, then Ok: both written, the window rebuilt") << true;
    }
    // Through the options icon; the dialog ends with 2 for Cancel, 0 for Ok.
    void optionsOkAndCancel()
    {
        QFETCH(bool, ok);
        sandbox::setRaw("FX in Hexa", "1");
        VikaroProbe w;
        int optionsResult = -1;
        whenModalShows([&](QWidget *modal) {
            modal->findChild<QCheckBox *>()->setChecked(false);
            answerOptions(*qobject_cast<COptionsDlg *>(modal), 1, ok);
            optionsResult = qobject_cast<QDialog *>(modal)->result();
        });
        QTest::mouseClick(w.optionsIcon(), Qt::LeftButton);
        QCOMPARE((QVariantList{optionsResult, w.window()->result(), languageIndex, sandbox::raw("Language"), sandbox::raw("FX in Hexa")}),
                 (QVariantList{ok ? 0 : 2, int(ok), int(ok), ok ? "1" : QString(), ok ? "0" : "1"}));
    }

    void preferencesFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("colours between lines the store cannot parse, hexadecimal") << QByteArray(
            "[Preferences]\n; mine\nColor%20F1=-16777216\nno key\n[Broken\n[Preferences]\nColor%20F2=-1\nFX%20in%20Hexa=1\nShow%20FX=0\n");
        QTest::newRow("language one past the last") << QByteArray("[Preferences]\nLanguage=5\nZoom%20factor=9\n");
        QTest::newRow("numbers beyond 32 bits") << QByteArray("[Preferences]\nColor%20F1=4294967296\nColor%20F2=-9223372036854775809\n"
                                                           "Zoom%20factor=2147483648\nLanguage=-1\nGrid%20type=-2147483648\nPosition%20X=1e9\n");
        QTest::newRow("the store's variant syntax, whole and broken") << QByteArray(
            "[Preferences]\nColor%20F3=@Variant(\\0\\0\\0\\x2\\xff\\x10\\x20\\x30)\nColor%20F4=@Invalid()\nShow%20FX=@Rect(1 2 3 4)\n"
            "Zoom%20factor=@Variant(\nColor%20F5=\"-1\"\n");
        QTest::newRow("text where numbers go") << QByteArray("[Preferences]\nZoom%20factor= 6 \nLanguage=\xef\xbc\x93\nGrid%20type=12abc\n"
                                                          "FX%20in%20Hexa=true\nColor%20F6=0x1F\nShow%20FX=1,2\nColor%20F7=\n");
        QTest::newRow("odd groups, empty and repeated keys") << QByteArray("[]\n=5\n[%General]\nColor%20F7=-1\n[Preferences/Sub]\nColor%20F8=5\n"
                                                                        "[Preferences]\nColor%20F8=-16711936\nColor%20F8=-65536\n[Broken\nColor%20F9=-256\n");
        QTest::newRow("random bytes") << QByteArray::fromHex("5b50726566c3a9729c0a00ff0d0a3d3d5b5d0a80436f6c6f722046313dff00fe0a");
        QTest::newRow("what a start writes already there: left as it is") << QByteArray(
            "[Preferences]\r\nZoom%20factor=3\r\nShow%20FX=0\r\nColor%20F12=-1\r\n");
    }
    // Every colour with a non-zero alpha shown as its components say, worked out here. Only the
    // keys a start writes may change, nothing is lost or added, and a file that already holds
    // them is not rewritten.
    void preferencesFile()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(writeFile(CData().fileName(), bytes));
        const QMap<QString, QVariant> before = storedKeys();
        QStringList shown, expected;
        runScripted([&shown](VikaroProbe &w, int) {
            w.tick();
            for (int slot = 0; slot < storedColorCount; ++slot)
                shown << w.memKey(slot)->text() + w.memValue(slot)->text().remove(' ') + w.memSwatch(slot)->styleSheet().remove(' ');
        });
        for (int slot = 0; slot < storedColorCount; ++slot) {
            const QColor c = QColor::fromRgba(QRgb(before.value("Preferences/" + prefs::colorKey(slot)).toInt()));
            const QString rgb = QString("%1,%2,%3").arg(c.red()).arg(c.green()).arg(c.blue());
            const QString value = before.value("Preferences/FX in Hexa").toInt() ? c.name().toUpper() : rgb;
            expected << QString("F%1:").arg(slot + 1, 2) + (c.alpha() ? value : QString()) + QString("QLabel{background:rgba(%1,%2);}").arg(rgb).arg(c.alpha());
        }
        QCOMPARE(shown, expected);
        const QMap<QString, QVariant> after = storedKeys();
        QVERIFY(zoomIndex >= 0 && zoomIndex < zoomLevelCount && languageIndex >= 0 && languageIndex < languageCount);
        QCOMPARE(after.value(startKeys[0]).toString() + after.value(startKeys[1]).toString(), QString("%1%2").arg(zoomIndex).arg(showFx));
        for (const QString &key : before.keys() + after.keys())
            QVERIFY2(startKeys.contains(key) || after.value(key) == before.value(key), qPrintable("changed " + key));
        if (before.value(startKeys[0]) == after.value(startKeys[0]) && before.value(startKeys[1]) == after.value(startKeys[1]))
            QVERIFY2(contentOf(CData().fileName()) == bytes, "rewritten though nothing changed");
    }

    void unwritableStore_data()
    {
        const QByteArray stored = "[Preferences]\nColor%20F1=-16777216\nLanguage=0\nShow%20FX=1\nZoom%20factor=2\n";
        const QByteArray unparsed = stored + "[Unfinished\n"; // a header the store cannot parse
        addRows<Unwritable>({{"read-only file with a header the store cannot parse", unparsed, readOnly, openFolder, 1},
                             {"read-only folder", stored, readWrite, closedFolder, 1},
                             {"read-only folder without a file yet", QByteArray(), readWrite, closedFolder, 1},
                             {"writable, a header it cannot parse: says nothing", unparsed, readWrite, openFolder, 0}});
    }
    // A colour stored on F5 and English chosen, none of it savable: the program goes on with
    // them in memory and says so once.
    void unwritableStore()
    {
        QFETCH(Unwritable, row);
        root = std::make_unique<QTemporaryDir>();
        const QString folder = root->filePath("Morvelle"), file = folder + "/Vikaro.conf";
        storeSettingsUnder(root->path());
        QVERIFY(QFile::setPermissions(root->path(), openFolder) && QDir(root->path()).mkdir("Morvelle"));
        QVERIFY(row.content.isNull() || (writeFile(file, row.content) && QFile::setPermissions(file, row.fileMode)));
        for (const QString &path : {folder, file})
            QVERIFY(geteuid() != 0 || ::chown(QFile::encodeName(path).constData(), nobody, nobody) == 0 || !QFile::exists(path));
        QVERIFY(QFile::setPermissions(folder, row.folderMode) && accessAs(nobody));
        static QStringList said; // while the passes run
        said.clear();
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &line) { said << line; });
        QStringList rows; // F1 and F5 of each pass
        runScripted([&rows](VikaroProbe &w, int pass) {
            rows << w.memValue(0)->text() + "/" + w.memValue(4)->text();
            if (pass == 0)
                w.tick(), w.currentColor() = 0x102030, QTest::keyClick(w.window(), Qt::Key_F5), chooseLanguage(*w.window(), 1);
        });
        qInstallMessageHandler(nullptr);
        const QString f1 = row.content.isNull() ? QString() : QString("  0,  0,  0");
        QCOMPARE(rows, (QStringList{f1 + "/", f1 + "/ 16, 32, 48"}));
        QCOMPARE(languageIndex, 1);
        QCOMPARE(said.filter("Settings not saved").size(), row.reports);
        QCOMPARE(contentOf(file).contains("Color%20F5=-15720400"), row.reports == 0);
    }

    // French, English, Portuguese... by the options' flags, 220 times: each pass shows its catalog's
    // texts alone and its flag alone lit. After every pass as many objects live as after the first
    // twenty (which fill the toolkit's caches). A window costs about 250 KB of the C library's heap
    // (a sanitized build allocates elsewhere, and checks leaks itself): one leaked per pass would
    // add 50 MB, one per tenth pass 5 MB; noise stays within a quarter of a megabyte.
    void soak()
    {
        QLoggingCategory::setFilterRules("default.debug=false"); // a line per tick only slows it down
        const int restarts = 220, warmUp = 20;
        countObjects();
        int warmObjects = 0;
        qint64 warmHeap = 0;
        QStringList faults;
        const int passes = runScripted([&](VikaroProbe &w, int pass) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            if (pass == warmUp)
                std::tie(warmObjects, warmHeap) = std::make_pair(liveObjects, qint64(mallinfo2().uordblks));
            if (pass > warmUp && liveObjects != warmObjects)
                faults << QString("pass %1: %2 objects more").arg(pass).arg(liveObjects - warmObjects);
            const QStringList texts{"Sauver ces couleurs", "Save those colors", "Sauver ces couleurs zzzzzz"}, flags{"x----", "-x---", "--x--"};
            QString lit;
            COptionsDlg options;
            for (CLabel *flag : options.findChildren<CLabel *>()) // lit: its first layer shows
                lit += flag->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly).value(0, flag)->isVisibleTo(flag) ? "x" : "-";
            if (w.saveColorsButton()->text().section("\r\n", 0, 0) != texts[pass % 3] || lit != flags[pass % 3])
                faults << QString("pass %1: texts or flags of another language").arg(pass);
            if (pass == restarts)
                return;
            QTimer::singleShot(0, w.window(), [&w, pass] { chooseLanguage(*w.window(), (pass + 1) % 3); });
            w.window()->exec();
        });
        const qint64 growth = qint64(mallinfo2().uordblks) - warmHeap;
        QCOMPARE(passes, restarts + 1);
        QCOMPARE(faults, QStringList());
        QVERIFY2(growth < (1 << 20), qPrintable(QString("%1 bytes more").arg(growth)));
    }
};

VIKARO_TEST_MAIN(TestWindow)
#include "tst_window.moc"
