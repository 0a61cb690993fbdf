#include <QColor>
#include <QRandomGenerator>
#include <QSettings>

#include "settings/preferences.h"
#include "support/testsupport.h"

// Builds the main window over settings files of every kind a user's disk may hold: hand-edited,
// half-written, from another program or plain noise. The stored colours are the user's data:
// whatever else the file holds, they must be shown and kept.

namespace {

using KeyMap = QMap<QString, QVariant>;

// The same files at every run unless VIKARO_FUZZ_SEED asks for others; a failing row names its
// file number and what it was made of.
constexpr quint32 defaultSeed = 20240611;
constexpr int generatedFiles = 240;

const QString zoomKey = QStringLiteral("Preferences/Zoom factor");
const QString showFxKey = QStringLiteral("Preferences/Show FX");

// Our other keys, as the store writes them and as a person would type them.
const QList<QByteArray> otherKeys = {"Position%20X", "Position Y", "Zoom%20factor", "Zoom factor", "Grid%20type",
                                     "Show%20FX", "FX%20in%20Hexa", "FX in Hexa", "Language"};
const QList<QByteArray> oddTexts = {
    "-1", "9", "2147483647", "-2147483648", "0x1F", "1e3", "+4", " 6 ", "\xef\xbc\x93", "12abc", "abc", "", "true",
    "1,2", "\"3\"", "3 ; a comment", "@Variant(garbage)", "@Variant(", "@Invalid()", "@ByteArray(7)", "@Rect(1 2 3 4)",
    "@Point(-5 7)", "@String(2)", "\\x41", "\\", "\"unclosed", "%41", "\t",
};
const QList<QByteArray> groupHeaders = {"[Preferences]", "[Other]", "[General]", "[%General]", "[Preferences/Sub]",
                                        "[preferences]", "[]", "[Broken", "Preferences]", "[Pref\xe9rences]"};

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
    const auto kind = [&kinds](const char *name, const QByteArray &line) {
        kinds << name;
        return line;
    };
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

// Every key of every group, as the store parses the file now.
KeyMap storedKeys()
{
    QSettings file(sandbox::filePath(), QSettings::IniFormat);
    KeyMap keys;
    for (const QString &name : file.allKeys())
        keys.insert(name, file.value(name));
    return keys;
}

QByteArray fileBytes()
{
    QFile file(sandbox::filePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestFuzzPrefs : public QObject
{
    Q_OBJECT

    QByteArray current;

private slots:
    void init() { startFresh(); }
    void cleanup()
    {
        if (QTest::currentTestFailed())
            qInfo("file:\n%s", current.left(600).toPercentEncoding(" =[]/\n;@()\\\"-,").constData());
    }

    void preferencesFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("colours between lines the store cannot parse")
            << QByteArray("[Preferences]\n; mine\nColor%20F1=-16777216\nno key here\n[Broken\n"
                          "[Preferences]\nColor%20F2=-1\nZoom%20factor=3\nShow%20FX=0\n");
        QTest::newRow("colour in the store's variant syntax")
            << QByteArray("[Preferences]\nColor%20F5=" + variantInt(qint32(0xFF102030u)) + "\n");
        QTest::newRow("colour in another group is not one of ours")
            << QByteArray("[Other]\nColor%20F1=-16777216\n[Preferences]\nColor%20F2=-65536\n");
        QTest::newRow("duplicated colour key, one of them shown")
            << QByteArray("[Preferences]\nColor%20F3=-16777216\nColor%20F3=-256\n");
        QTest::newRow("keys before any group") << QByteArray("Color%20F1=-1\nZoom%20factor=99\n");
        QTest::newRow("numbers beyond 32 bits are empty slots")
            << QByteArray("[Preferences]\nColor%20F1=4294967295\nColor%20F2=-2147483649\nLanguage=4294967297\n");
        QTest::newRow("window place at the ends of the int range")
            << QByteArray("[Preferences]\nPosition%20X=2147483647\nPosition%20Y=-2147483648\nColor%20F12=-2\n");
        QTest::newRow("empty file") << QByteArray();
        bool given = false;
        const uint seed = qEnvironmentVariable("VIKARO_FUZZ_SEED").toUInt(&given);
        QRandomGenerator random(given ? seed : defaultSeed);
        for (int file = 0; file < generatedFiles; ++file) {
            QStringList kinds;
            const QByteArray bytes = makeFile(random, kinds);
            QTest::addRow("file %d: %s", file, qPrintable(kinds.join(", "))) << bytes;
        }
    }
    void preferencesFile()
    {
        QFETCH(QByteArray, bytes);
        current = bytes;
        QVERIFY(QDir().mkpath(QFileInfo(sandbox::filePath()).path()));
        QFile file(sandbox::filePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
        file.close();
        const KeyMap before = storedKeys();
        QList<QStringList> rows; // value text and swatch style of every slot
        DebugCapture traces;
        runScripted([&rows](VikaroProbe &w, int) {
            for (int tick = 0; tick < 3; ++tick)
                w.tick();
            for (int slot = 0; slot < storedColorCount; ++slot)
                rows << QStringList{w.memValue(slot)->text().remove(' '), w.memSwatch(slot)->styleSheet().remove(' ')};
        });
        const KeyMap after = storedKeys();
        QVERIFY(zoomIndex >= 0 && zoomIndex < zoomLevelCount);
        QVERIFY(languageIndex >= 0 && languageIndex < languageCount);
        QCOMPARE(after.value(zoomKey).toString(), QString::number(zoomIndex));
        QCOMPARE(after.value(showFxKey).toString(), QString::number(showFx ? 1 : 0));
        // Every colour with a non-zero alpha shown as its components say, worked out here
        // rather than by the program's own formatting.
        const bool inHex = before.value("Preferences/FX in Hexa").toInt() != 0;
        for (int slot = 0; slot < storedColorCount; ++slot) {
            const QColor c = QColor::fromRgba(QRgb(before.value("Preferences/" + prefs::colorKey(slot)).toInt()));
            const QString value = c.alpha() == 0 ? QString()
                : inHex                          ? c.name().toUpper()
                                                 : QString("%1,%2,%3").arg(c.red()).arg(c.green()).arg(c.blue());
            QCOMPARE(rows[slot][0], value);
            if (c.alpha() != 0)
                QVERIFY2(rows[slot][1].contains(QString("rgba(%1,%2,%3,%4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha())),
                         qPrintable(rows[slot][1]));
        }
        // Only the two keys written at every start may change; nothing is lost or added.
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QVERIFY2(it.key() == zoomKey || it.key() == showFxKey || after.value(it.key()) == it.value(),
                     qPrintable("lost or rewrote " + it.key()));
        for (auto it = after.cbegin(); it != after.cend(); ++it)
            QVERIFY2(before.contains(it.key()) || it.key() == zoomKey || it.key() == showFxKey, qPrintable("added " + it.key()));
        // A file that already holds what the window writes is not rewritten at all.
        const QVariant zoom = before.value(zoomKey), fx = before.value(showFxKey);
        if (zoom.userType() == QMetaType::QString && zoom == after.value(zoomKey) && fx.userType() == QMetaType::QString
            && fx == after.value(showFxKey))
            QVERIFY2(fileBytes() == bytes, "rewritten though nothing changed");
        QVERIFY2(traces.lines.filter("Settings not saved").isEmpty(), "false alarm");
    }
};

VIKARO_TEST_MAIN(TestFuzzPrefs)
#include "tst_fuzzprefs.moc"
