#include <QRandomGenerator>

#include <sys/fsuid.h>
#include <unistd.h>

#include "settings/preferences.h"
#include "support/testsupport.h"

// The main window over settings files of every kind a disk may hold (hand-edited, half-written,
// from another program, noise) and over a store it may not write. The stored colours are the
// user's data: whatever else the file holds, they are shown and kept.

namespace {

const QStringList startKeys{"Preferences/Zoom factor", "Preferences/Show FX"}; // written at every start
const QList<QByteArray> keys = {"Position%20X", "Position Y", "Zoom%20factor", "Grid%20type", "Show%20FX", "FX%20in%20Hexa", "Language"};
const QList<QByteArray> oddLines = {"-1", "5", "9", "2147483647", "0x1F", " 6 ", "\xef\xbc\x93", "12abc", "", "true", "1,2", "\"3\"",
    "3 ; a comment", "@Variant(", "@Invalid()", "@Rect(1 2 3 4)", "@Variant(\\0\\0\\0\\x2\\xff\\x10\\x20\\x30)", "\\", "%41",
    "[Other]", "[]", "[General]", "[%General]", "[Preferences/Sub]", "[Broken", "=5", "Color F4 -16777216"};

// A settings file of up to 30 lines drawn from `random`: colours of any alpha, other keys out
// of range, numbers beyond 32 bits, odd texts and headers, the variant syntax, noise, long lines.
QByteArray makeFile(QRandomGenerator &random)
{
    const auto below = [&random](int n) { return int(random.bounded(quint32(n))); };
    const auto noise = [&below](int size) {
        QByteArray bytes(size, '\0');
        for (char &byte : bytes)
            byte = char(below(256));
        return bytes;
    };
    const auto key = [&] { return (below(3) ? "Color%20F" + QByteArray::number(1 + below(12)) : keys.at(below(keys.size()))) + '='; };
    const std::function<QByteArray()> lines[] = {
        [&] { return key() + QByteArray::number(qint32(random.generate())); },
        [&] { return key() + QByteArray::number(qint64(random.generate64())); },
        [&] { return (below(2) ? key() : QByteArray()) + oddLines.at(below(oddLines.size())); },
        [&] { return noise(1 + below(120)); },
        [&] { return key() + QByteArray(20000 + below(150000), '7'); },
    };
    if (below(25) == 0)
        return noise(below(4096));
    const QByteArray end = below(3) ? "\n" : "\r\n";
    QByteArray file = below(8) ? "[Preferences]" + end : QByteArray();
    for (int count = below(30); count > 0; --count)
        file += lines[below(3) ? 0 : below(std::size(lines))]() + end;
    if (below(3) == 0) // holding what a start writes already: the file must stay as it is
        file += "[Preferences]" + end + "Zoom%20factor=" + QByteArray::number(below(9)) + end + "Show%20FX=" + QByteArray::number(below(2));
    return file;
}

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

class TestStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> root;

private slots:
    void init() { startFresh(); }
    void cleanup()
    {
        accessAs(geteuid());
        if (root)
            QFile::setPermissions(root->filePath("Morvelle"), openFolder);
        root.reset();
        storeSettingsUnder(sandbox::folder());
    }

    void preferencesFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("colours between lines the store cannot parse, hexadecimal") << QByteArray(
            "[Preferences]\n; mine\nColor%20F1=-16777216\nno key\n[Broken\n[Preferences]\nColor%20F2=-1\nFX%20in%20Hexa=1\nShow%20FX=0\n");
        QTest::newRow("language one past the last") << QByteArray("[Preferences]\nLanguage=5\nZoom%20factor=9\n");
        bool given = false; // VIKARO_FUZZ_SEED draws other files
        const uint seed = qEnvironmentVariable("VIKARO_FUZZ_SEED").toUInt(&given);
        QRandomGenerator random(given ? seed : 20240611);
        for (int file = 0; file < 240; ++file) {
            const QByteArray bytes = makeFile(random);
            QTest::addRow("file %d: %s", file, bytes.left(60).toPercentEncoding(" =[]/;@").constData()) << bytes;
        }
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
        DebugCapture traces;
        runScripted([&shown](VikaroProbe &w, int) {
            w.tick();
            for (int slot = 0; slot < storedColorCount; ++slot)
                shown << w.memValue(slot)->text().remove(' ') + w.memSwatch(slot)->styleSheet().remove(' ');
        });
        for (int slot = 0; slot < storedColorCount; ++slot) {
            const QColor c = QColor::fromRgba(QRgb(before.value("Preferences/" + prefs::colorKey(slot)).toInt()));
            const QString rgb = QString("%1,%2,%3").arg(c.red()).arg(c.green()).arg(c.blue());
            const QString value = before.value("Preferences/FX in Hexa").toInt() ? c.name().toUpper() : rgb;
            expected << (c.alpha() ? value : QString()) + QString("QLabel{background:rgba(%1,%2);}").arg(rgb).arg(c.alpha());
        }
        QCOMPARE(shown, expected);
        const QMap<QString, QVariant> after = storedKeys();
        QVERIFY(zoomIndex >= 0 && zoomIndex < zoomLevelCount && languageIndex >= 0 && languageIndex < languageCount);
        QCOMPARE(after.value(startKeys[0]).toString() + after.value(startKeys[1]).toString(), QString("%1%2").arg(zoomIndex).arg(showFx));
        for (const QString &key : before.keys() + after.keys())
            QVERIFY2(startKeys.contains(key) || after.value(key) == before.value(key), qPrintable("changed " + key));
        if (before.value(startKeys[0]) == after.value(startKeys[0]) && before.value(startKeys[1]) == after.value(startKeys[1]))
            QVERIFY2(contentOf(CData().fileName()) == bytes, "rewritten though nothing changed");
        QVERIFY2(traces.lines.filter("Settings not saved").isEmpty(), "false alarm");
    }

    void unwritableStore_data()
    {
        const QByteArray stored = "[Preferences]\nColor%20F1=-16777216\nLanguage=0\nShow%20FX=1\nZoom%20factor=2\n";
        addRows<Unwritable>({{"read-only file", stored, readOnly, openFolder, 1},
                             {"read-only file with a header the store cannot parse", stored + "[Unfinished\n", readOnly, openFolder, 1},
                             {"read-only folder", stored, readWrite, closedFolder, 1},
                             {"read-only folder without a file yet", QByteArray(), readWrite, closedFolder, 1},
                             {"writable store says nothing", stored, readWrite, openFolder, 0}});
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
        DebugCapture traces;
        QStringList rows; // F1 and F5 of each pass
        runScripted([&rows](VikaroProbe &w, int pass) {
            rows << w.memValue(0)->text() + "/" + w.memValue(4)->text();
            if (pass == 0)
                w.currentColor() = 0x102030, QTest::keyClick(w.window(), Qt::Key_F5), chooseLanguage(*w.window(), 1);
        });
        const QString f1 = row.content.isNull() ? QString() : QString("  0,  0,  0");
        QCOMPARE(rows, (QStringList{f1 + "/", f1 + "/ 16, 32, 48"}));
        QCOMPARE(languageIndex, 1);
        QCOMPARE(traces.lines.filter("Settings not saved").size(), row.reports);
        QCOMPARE(contentOf(file).contains("Color%20F5=-15720400"), row.reports == 0);
    }
};

VIKARO_TEST_MAIN(TestStore)
#include "tst_store.moc"
