#include <QColor>
#include <QRandomGenerator>
#include <QSettings>

#include <sys/fsuid.h>
#include <unistd.h>

#include "settings/preferences.h"
#include "support/testsupport.h"

// The settings store: numbers as the user's file holds them, files of every kind a disk may
// hold (hand-edited, half-written, from another program, noise), and a store it may not write.
// The stored colours are the user's data: whatever else the file holds, they are shown and kept.

namespace {

using KeyMap = QMap<QString, QVariant>;
const QString zoomKey = QStringLiteral("Preferences/Zoom factor");
const QString showFxKey = QStringLiteral("Preferences/Show FX");

const QList<QByteArray> otherKeys = {"Position%20X", "Position Y", "Zoom%20factor", "Grid%20type", "Show%20FX",
                                     "FX%20in%20Hexa", "FX in Hexa", "Language"};
const QList<QByteArray> oddTexts = {"-1", "9", "2147483647", "0x1F", "+4", " 6 ", "\xef\xbc\x93", "12abc", "", "true", "1,2",
                                    "\"3\"", "3 ; a comment", "@Variant(", "@Invalid()", "@Rect(1 2 3 4)", "\\", "%41"};
const QList<QByteArray> groupHeaders = {"[Other]", "[General]", "[%General]", "[Preferences/Sub]", "[preferences]", "[]",
                                        "[Broken", "[Pref\xe9rences]"};

// An int in the store's variant syntax: the type (2, int), then its four bytes escaped.
QByteArray variantInt(qint32 value)
{
    QByteArray text = "@Variant(\\0\\0\\0\\x2";
    for (int shift = 24; shift >= 0; shift -= 8)
        text += "\\x" + QByteArray::number((quint32(value) >> shift) & 0xFF, 16);
    return text + ')';
}

// One settings file of up to 30 lines from `random`; `kinds` gets what went into it.
QByteArray makeFile(QRandomGenerator &random, QStringList &kinds)
{
    const auto below = [&random](int n) { return int(random.bounded(quint32(n))); };
    const auto pick = [&below](const QList<QByteArray> &list) { return list.at(below(list.size())); };
    const auto noise = [&below](int size) {
        QByteArray bytes(size, '\0');
        for (char &byte : bytes)
            byte = char(below(256));
        return bytes;
    };
    const auto number = [&random] { return QByteArray::number(qint32(random.generate())); };
    QList<QByteArray> keys;
    const auto key = [&]() -> QByteArray {
        const QByteArray name = below(3) ? "Color%20F" + QByteArray::number(1 + below(12)) : pick(otherKeys);
        if (keys.contains(name))
            kinds << "duplicated keys";
        keys << name;
        return name + '=';
    };
    const auto kind = [&kinds](const char *name, const QByteArray &line) { return kinds << name, line; };
    const std::function<QByteArray()> lineMakers[] = {
        [&] { return key() + number(); }, // a colour of any alpha, or another preference out of range
        [&] { return kind("empty slots", key() + QByteArray::number(qint32(random.generate() & 0xFFFFFFu))); },
        [&] { return kind("numbers beyond 32 bits", key() + QByteArray::number(qint64(random.generate64()))); },
        [&] { return kind("text", key() + pick(oddTexts)); },
        [&] { return kind("variant syntax", key() + variantInt(qint32(random.generate()))); },
        [&] { return kind("random bytes", noise(1 + below(120))); },
        [&] { return kind("other groups", pick(groupHeaders)); },
        [&] { return kind("empty keys", "=" + number()); },
        [&] { return kind("lines without a key", below(2) ? "; a comment = 3" : "Color F4 -16777216"); },
        [&] { return below(6) ? key() + number() : kind("very long lines", key() + QByteArray(20000 + below(150000), '7')); },
    };
    if (below(25) == 0)
        return kind("only random bytes", noise(below(4096)));
    const QByteArray end = below(3) ? "\n" : "\r\n";
    QByteArray file = below(8) ? "[Preferences]" + end : kind("no group", QByteArray());
    for (int count = below(30); count > 0; --count)
        file += lineMakers[below(3) ? 0 : below(std::size(lineMakers))]() + end;
    // Holding already what the window writes at its start: the file must stay as it is.
    if (below(3) == 0)
        file += kind("start keys already written", "[Preferences]" + end + "Zoom%20factor=" + QByteArray::number(below(zoomLevelCount))
                                                       + end + "Show%20FX=" + QByteArray::number(below(2)) + end);
    kinds.removeDuplicates();
    kinds.sort();
    return file;
}

KeyMap storedKeys()
{
    QSettings file(sandbox::filePath(), QSettings::IniFormat);
    KeyMap keys;
    for (const QString &name : file.allKeys())
        keys.insert(name, file.value(name));
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
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size();
}

// What every slot shows: value text and swatch style sheet, spaces dropped.
QList<QStringList> memoryRows(VikaroProbe &w)
{
    QList<QStringList> rows;
    for (int slot = 0; slot < storedColorCount; ++slot)
        rows << QStringList{w.memValue(slot)->text().remove(' '), w.memSwatch(slot)->styleSheet().remove(' ')};
    return rows;
}

// Every colour with a non-zero alpha shown as its components say, worked out here rather than
// by the program's own formatting.
void verifyColoursShown(const KeyMap &stored, const QList<QStringList> &rows)
{
    const bool inHex = stored.value("Preferences/FX in Hexa").toInt() != 0;
    for (int slot = 0; slot < storedColorCount; ++slot) {
        const QColor c = QColor::fromRgba(QRgb(stored.value("Preferences/" + prefs::colorKey(slot)).toInt()));
        const QString rgb = QString("%1,%2,%3").arg(c.red()).arg(c.green()).arg(c.blue());
        QCOMPARE(rows[slot][0], c.alpha() == 0 ? QString() : inHex ? c.name().toUpper() : rgb);
        if (c.alpha() != 0)
            QVERIFY2(rows[slot][1].contains(QString("rgba(%1,%2)").arg(rgb).arg(c.alpha())), qPrintable(rows[slot][1]));
    }
}

// Root may write any file: the files go to "nobody", and file access is checked as nobody.
constexpr uint nobody = 65534;
const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
const QFile::Permissions readWrite = readOnly | QFile::WriteOwner;
const QFile::Permissions closedFolder = readOnly | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
const QFile::Permissions openFolder = closedFolder | QFile::WriteOwner;
const QByteArray storedFile = "[Preferences]\nColor%20F1=-16777216\nLanguage=0\nShow%20FX=1\nZoom%20factor=2\n";

bool accessAsNobody(bool on)
{
    if (geteuid() != 0)
        return true;
    setfsgid(on ? nobody : 0);
    setfsuid(on ? nobody : 0);
    return setfsuid(uid_t(-1)) == (on ? nobody : 0);
}

bool prepareStore(const QString &root, const QByteArray &content, QFile::Permissions fileMode, QFile::Permissions folderMode)
{
    const QString folder = root + "/Morvelle", file = folder + "/Vikaro.conf";
    bool ok = QFile::setPermissions(root, openFolder) && QDir(root).mkdir("Morvelle") && (content.isNull() || (writeFile(file, content) && QFile::setPermissions(file, fileMode)));
    for (const QString &path : content.isNull() ? QStringList{folder} : QStringList{folder, file})
        ok = ok && (geteuid() != 0 || ::chown(QFile::encodeName(path).constData(), nobody, nobody) == 0);
    return ok && QFile::setPermissions(folder, folderMode) && accessAsNobody(true);
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

class TestStore : public QObject
{
    Q_OBJECT

    QByteArray current;
    std::unique_ptr<QTemporaryDir> root;

private slots:
    void init() { startFresh(); }
    void cleanup()
    {
        accessAsNobody(false);
        if (QTest::currentTestFailed() && !current.isNull())
            qInfo("file:\n%s", current.left(600).toPercentEncoding(" =[]/\n;@()\\\"-,").constData());
        current = QByteArray();
        storeSettingsUnder(sandbox::folder());
        if (root)
            QFile::setPermissions(root->filePath("Morvelle"), openFolder);
        root.reset();
    }

    void preferencesFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("colours between lines the store cannot parse")
            << QByteArray("[Preferences]\n; mine\nColor%20F1=-16777216\nno key here\n[Broken\n"
                          "[Preferences]\nColor%20F2=-1\nZoom%20factor=3\nShow%20FX=0\n");
        QTest::newRow("colour in variant syntax, hexadecimal")
            << QByteArray("[Preferences]\nFX%20in%20Hexa=1\nColor%20F5=" + variantInt(qint32(0xFF102030u)) + "\n");
        QTest::newRow("colour in another group is not one of ours")
            << QByteArray("[Other]\nColor%20F1=-16777216\n[Preferences]\nColor%20F2=-65536\n");
        QTest::newRow("keys before any group") << QByteArray("Color%20F1=-1\nZoom%20factor=99\n");
        QTest::newRow("numbers beyond 32 bits are empty slots")
            << QByteArray("[Preferences]\nColor%20F1=4294967295\nColor%20F2=-2147483649\nLanguage=4294967297\n");
        QTest::newRow("window place at the ends of the int range")
            << QByteArray("[Preferences]\nPosition%20X=2147483647\nPosition%20Y=-2147483648\nColor%20F12=-2\n");
        QTest::newRow("empty file") << QByteArray();
        bool given = false; // VIKARO_FUZZ_SEED draws other files
        const uint seed = qEnvironmentVariable("VIKARO_FUZZ_SEED").toUInt(&given);
        QRandomGenerator random(given ? seed : 20240611);
        for (int file = 0; file < 240; ++file) {
            QStringList kinds;
            const QByteArray bytes = makeFile(random, kinds);
            QTest::addRow("file %d: %s", file, qPrintable(kinds.join(", "))) << bytes;
        }
    }
    // Only the two keys written at every start may change; nothing is lost or added, and a
    // file that already holds them is not rewritten at all.
    void preferencesFile()
    {
        QFETCH(QByteArray, bytes);
        current = bytes;
        QVERIFY(writeFile(sandbox::filePath(), bytes));
        const KeyMap before = storedKeys();
        QList<QStringList> rows;
        DebugCapture traces;
        runScripted([&rows](VikaroProbe &w, int) {
            for (int tick = 0; tick < 3; ++tick)
                w.tick();
            rows = memoryRows(w);
        });
        const KeyMap after = storedKeys();
        QVERIFY(zoomIndex >= 0 && zoomIndex < zoomLevelCount && languageIndex >= 0 && languageIndex < languageCount);
        QCOMPARE(after.value(zoomKey).toString(), QString::number(zoomIndex));
        QCOMPARE(after.value(showFxKey).toString(), QString::number(showFx ? 1 : 0));
        verifyColoursShown(before, rows);
        for (const QString &key : before.keys() + after.keys())
            QVERIFY2(key == zoomKey || key == showFxKey || after.value(key) == before.value(key), qPrintable("changed " + key));
        const QVariant zoom = before.value(zoomKey), fx = before.value(showFxKey);
        if (zoom.userType() == QMetaType::QString && zoom == after.value(zoomKey) && fx.userType() == QMetaType::QString
            && fx == after.value(showFxKey))
            QVERIFY2(contentOf(sandbox::filePath()) == bytes, "rewritten though nothing changed");
        QVERIFY2(traces.lines.filter("Settings not saved").isEmpty(), "false alarm");
    }

    void unwritableStore_data()
    {
        const QByteArray unparsed = storedFile + "[Unfinished header\n";
        addRows<Unwritable>({{"read-only file", storedFile, readOnly, openFolder, 1},
                             {"read-only file with a header the store cannot parse", unparsed, readOnly, openFolder, 1},
                             {"read-only folder", storedFile, readWrite, closedFolder, 1},
                             {"read-only folder without a file yet", QByteArray(), readWrite, closedFolder, 1},
                             {"writable store says nothing", storedFile, readWrite, openFolder, 0}});
    }
    // A colour stored on F5 and English chosen, none of it savable: the program goes on with
    // them in memory and says so once.
    void unwritableStore()
    {
        QFETCH(Unwritable, row);
        root = std::make_unique<QTemporaryDir>();
        storeSettingsUnder(root->path());
        QVERIFY(prepareStore(root->path(), row.content, row.fileMode, row.folderMode));
        DebugCapture traces;
        QList<QStringList> rows; // F1 and F5 of each pass
        runScripted([&rows](VikaroProbe &w, int pass) {
            rows << QStringList{w.memValue(0)->text(), w.memValue(4)->text()};
            if (pass > 0)
                return;
            w.currentColor() = 0x102030;
            QTest::keyClick(w.window(), Qt::Key_F5);
            chooseLanguage(*w.window(), 1);
        });
        QCOMPARE(languageIndex, 1);
        const QString f1 = row.content.isNull() ? QString() : QString("  0,  0,  0");
        QCOMPARE(rows, (QList<QStringList>{{f1, QString()}, {f1, " 16, 32, 48"}}));
        QCOMPARE(traces.lines.filter("Settings not saved").size(), row.reports);
        QCOMPARE(contentOf(root->filePath("Morvelle/Vikaro.conf")).contains("Color%20F5=-15720400"), row.reports == 0);
    }
};

VIKARO_TEST_MAIN(TestStore)
#include "tst_store.moc"
