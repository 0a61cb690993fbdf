#include <QApplication>
#include <QColor>
#include <QFile>
#include <QLabel>
#include <QRandomGenerator>
#include <QSettings>
#include <QtTest>

#include "app/languages.h"
#include "app/startup.h"
#include "magnifier/state.h"
#include "magnifier/vikaro.h"
#include "settings/cdata.h"
#include "settings/preferences.h"
#include "support/fakedesktop.h"
#include "support/testsupport.h"
#include "support/vikaroprobe.h"

// Builds the main window over settings files of every kind a user's disk may hold: hand-edited,
// half-written, from another program or plain noise. The stored colours and the window place
// are the user's data: whatever else the file holds, they must be shown and kept.

namespace {

using KeyMap = QMap<QString, QVariant>;

// The files differ from one run to the next only when VIKARO_FUZZ_SEED asks for it; a failing
// row names its file number and what it was made of.
constexpr quint32 defaultSeed = 20240611;
constexpr int generatedFiles = 240;

// Spelled out: the program's key names are not initialised yet when these are.
const QString zoomKey = QStringLiteral("Preferences/Zoom factor");
const QString showFxKey = QStringLiteral("Preferences/Show FX");
const QString hexaKey = QStringLiteral("Preferences/FX in Hexa");

// The keys as the store writes them and as a person would type them.
const QList<QByteArray> preferenceKeys = {
    "Position%20X", "Position X", "Position%20Y", "Position Y", "Zoom%20factor", "Zoom factor",
    "Grid%20type", "Show%20FX", "Show FX", "FX%20in%20Hexa", "FX in Hexa", "Language",
};

// Texts that are not what the program writes, in the store's syntax or not.
const QList<QByteArray> oddValues = {
    "0", "1", "2", "4", "5", "8", "9", "-1", "-9", "2147483647", "-2147483648", "2147483648",
    "-2147483649", "4294967295", "4294967296", "18446744073709551616", "99999999999999999999999999",
    "0x1F", "1e3", "+4", " 6 ", "007", "\xef\xbc\x93", "12abc", "abc", "", "true", "1,2", "\"3\"",
    "3 ; a comment", "@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)", "@Variant(garbage)", "@Variant(",
    "@Invalid()", "@ByteArray(7)", "@Rect(1 2 3 4)", "@Point(-5 7)", "@Size(3 4)", "@String(2)",
    "\\x41", "\\", "\"unclosed", "%41", "\t", "\\n",
};

const QList<QByteArray> groupHeaders = {
    "[Preferences]", "[Other]", "[General]", "[%General]", "[Preferences/Sub]", "[preferences]",
    "[]", "[Broken", "Preferences]", "[Pref\xe9rences]",
};

QByteArray colourKey(int slot, bool escaped)
{
    return (escaped ? "Color%20F" : "Color F") + QByteArray::number(slot + 1);
}

// The text of an int in the store's variant syntax: the type (2, int), then the value's four
// bytes, most significant first, each escaped.
QByteArray variantInt(qint32 value)
{
    QByteArray text = "@Variant(\\0\\0\\0\\x2";
    for (int shift = 24; shift >= 0; shift -= 8)
        text += "\\x" + QByteArray::number((quint32(value) >> shift) & 0xFF, 16);
    return text + ')';
}

class FileMaker
{
public:
    explicit FileMaker(quint32 seed) : random(seed) {}

    // One settings file and the names of what went into it.
    QByteArray next(QStringList *kinds);

private:
    int below(int bound) { return int(random.bounded(quint32(bound))); }
    bool oneIn(int n) { return below(n) == 0; }
    template<typename T> const T &pick(const QList<T> &list) { return list.at(below(list.size())); }
    void note(const char *kind) { used << QString::fromLatin1(kind); }

    QByteArray randomBytes(int size);
    QByteArray randomNumber();
    QByteArray colourValue();
    QByteArray keyLine();
    QByteArray strayLine();
    QByteArray longLine();
    QByteArray duplicateLine();
    QByteArray linesFile();

    QRandomGenerator random;
    QStringList used;
    QList<QByteArray> keysSoFar;
};

QByteArray FileMaker::randomBytes(int size)
{
    QByteArray bytes(size, '\0');
    for (char &byte : bytes)
        byte = char(below(256));
    return bytes;
}

QByteArray FileMaker::randomNumber()
{
    if (oneIn(2))
        return QByteArray::number(qint32(random.generate()));
    note("64-bit numbers");
    return QByteArray::number(qint64(random.generate64()));
}

// Mostly a colour the program itself would write: opaque, or of any non-zero alpha.
QByteArray FileMaker::colourValue()
{
    const qint32 argb = qint32(random.generate() | (oneIn(2) ? 0xFF000000u : 0x01000000u));
    switch (below(8)) {
    case 0:
        note("variant syntax");
        return variantInt(argb);
    case 1:
        note("odd texts");
        return pick(oddValues);
    case 2:
        note("empty slots");
        return QByteArray::number(qint32(random.generate() & 0x00FFFFFFu));
    default:
        return QByteArray::number(argb);
    }
}

// A key of ours: a colour, or another preference with a value out of its range or no number.
QByteArray FileMaker::keyLine()
{
    QByteArray value;
    if (oneIn(3)) {
        keysSoFar << pick(preferenceKeys);
        note("out-of-range numbers");
        value = oneIn(3) ? randomNumber() : pick(oddValues);
    } else {
        keysSoFar << colourKey(below(12), !oneIn(4));
        value = colourValue();
    }
    return keysSoFar.last() + '=' + value;
}

// Anything but a plain key of ours.
QByteArray FileMaker::strayLine()
{
    switch (below(6)) {
    case 0:
        note("empty keys");
        return "=" + pick(oddValues);
    case 1:
        note("other groups");
        return pick(groupHeaders);
    case 2:
        note("random bytes");
        return randomBytes(1 + below(120));
    case 3:
        note("lines without a key");
        return oneIn(2) ? QByteArray("; a comment = 3") : QByteArray("Color F4 -16777216");
    case 4:
        return oneIn(4) ? longLine() : duplicateLine();
    default:
        return duplicateLine();
    }
}

QByteArray FileMaker::longLine()
{
    note("very long lines");
    const int length = 20000 + below(150000);
    return oneIn(2) ? colourKey(below(12), true) + '=' + QByteArray(length, '7') : QByteArray(length, 'x') + "=1";
}

QByteArray FileMaker::duplicateLine()
{
    if (keysSoFar.isEmpty())
        return "Language=1";
    note("duplicated keys");
    return pick(keysSoFar) + '=' + randomNumber();
}

// Lines under a group or none, sometimes ending with the keys the window writes at its start
// already holding what it will write.
QByteArray FileMaker::linesFile()
{
    const QByteArray end = oneIn(3) ? "\r\n" : "\n";
    QByteArray bytes = oneIn(20) ? QByteArray("\xef\xbb\xbf") : QByteArray();
    if (oneIn(8))
        note("no group");
    else
        bytes += (oneIn(8) ? pick(groupHeaders) : QByteArray("[Preferences]")) + end;
    for (int count = below(30); count > 0; --count)
        bytes += (oneIn(3) ? strayLine() : keyLine()) + end;
    if (oneIn(3)) {
        note("start keys already written");
        bytes += "[Preferences]" + end + "Zoom%20factor=" + QByteArray::number(below(zoomLevelCount)) + end
            + "Show%20FX=" + QByteArray::number(below(2)) + end;
    }
    return bytes;
}

QByteArray FileMaker::next(QStringList *kinds)
{
    used.clear();
    keysSoFar.clear();
    QByteArray bytes;
    if (oneIn(25)) {
        note("only random bytes");
        bytes = randomBytes(below(4096));
    } else {
        bytes = linesFile();
    }
    used.removeDuplicates();
    used.sort();
    *kinds = used;
    return bytes;
}

quint32 fuzzSeed()
{
    bool given = false;
    const uint seed = qEnvironmentVariable("VIKARO_FUZZ_SEED").toUInt(&given);
    return given ? seed : defaultSeed;
}

// Every key of every group, as the store parses the file now.
KeyMap storedKeys()
{
    QSettings file(sandbox::filePath(), QSettings::IniFormat);
    KeyMap keys;
    const QStringList names = file.allKeys();
    for (const QString &name : names)
        keys.insert(name, file.value(name));
    return keys;
}

QByteArray fileBytes()
{
    QFile file(sandbox::filePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QByteArray &bytes)
{
    QVERIFY(QFileInfo(sandbox::filePath()).absoluteDir().mkpath(QStringLiteral(".")));
    QFile file(sandbox::filePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

// How the colour memory panel writes an opaque or translucent colour, worked out here from the
// colour's components rather than from the program's own formatting.
QString expectedValue(QColor colour, bool inHex)
{
    if (inHex)
        return colour.name().toUpper();
    return QStringLiteral("%1,%2,%3").arg(colour.red()).arg(colour.green()).arg(colour.blue());
}

QString expectedSwatch(QColor colour)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)").arg(colour.red()).arg(colour.green()).arg(colour.blue()).arg(colour.alpha());
}

// The file as readable text for a failure message, cut short.
QByteArray described(const QByteArray &bytes)
{
    const QByteArray head = bytes.left(600);
    QByteArray text;
    for (char c : head)
        text += (c == '\n' || (c >= ' ' && c < 127)) ? QByteArray(1, c) : "\\x" + QByteArray::number(uchar(c), 16);
    return text + (bytes.size() > head.size() ? "..." : "");
}

struct ShownRow
{
    QString value;
    QString swatch;
};

} // namespace

class TestFuzzPrefs : public QObject
{
    Q_OBJECT

    std::unique_ptr<DebugCapture> traces;

    // Builds the window the way the program does and reads what it shows.
    QList<ShownRow> buildWindow()
    {
        QList<ShownRow> shown;
        CData store;
        runPasses(store, [&shown](Vikaro &window) {
            VikaroProbe probe(window);
            for (int tick = 0; tick < 3; ++tick)
                probe.tick();
            for (int slot = 0; slot < storedColorCount; ++slot)
                shown.append({probe.memValue(slot)->text(), probe.memSwatch(slot)->styleSheet()});
            return 0;
        });
        return shown;
    }

    static void checkColours(const KeyMap &before, const KeyMap &after, const QList<ShownRow> &shown)
    {
        const bool inHex = before.value(hexaKey).toInt() != 0;
        for (int slot = 0; slot < storedColorCount; ++slot) {
            const QString key = prefs::group + QLatin1Char('/') + prefs::colorKey(slot);
            const quint32 argb = quint32(before.value(key).toInt());
            const ShownRow &row = shown.at(slot);
            if (isEmptyColor(argb)) {
                QVERIFY2(row.value.isEmpty(), qPrintable(key + " shows " + row.value));
                continue;
            }
            const QColor colour = QColor::fromRgba(argb);
            QCOMPARE(QString(row.value).remove(QLatin1Char(' ')), expectedValue(colour, inHex));
            QVERIFY2(QString(row.swatch).remove(QLatin1Char(' ')).contains(expectedSwatch(colour)), qPrintable(row.swatch));
            QCOMPARE(after.value(key), before.value(key));
        }
    }

    // Only the two keys written at every start may differ, and nothing is added.
    static void checkUntouched(const KeyMap &before, const KeyMap &after)
    {
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (it.key() == zoomKey || it.key() == showFxKey)
                continue;
            QVERIFY2(after.contains(it.key()), qPrintable("lost " + it.key()));
            QVERIFY2(after.value(it.key()) == it.value(), qPrintable("rewrote " + it.key()));
        }
        for (auto it = after.cbegin(); it != after.cend(); ++it)
            QVERIFY2(before.contains(it.key()) || it.key() == zoomKey || it.key() == showFxKey,
                     qPrintable("added " + it.key()));
    }

    static void checkWrittenState(const KeyMap &after)
    {
        QVERIFY(zoomIndex >= 0 && zoomIndex < zoomLevelCount);
        QVERIFY(languageIndex >= 0 && languageIndex < languageCount);
        QCOMPARE(after.value(zoomKey).toString(), QString::number(zoomIndex));
        QCOMPARE(after.value(showFxKey).toString(), QString::number(showFx ? 1 : 0));
    }

    // A file that already holds what the window writes at its start is not rewritten at all.
    static bool alreadyCurrent(const KeyMap &before)
    {
        const QVariant zoom = before.value(zoomKey);
        const QVariant fx = before.value(showFxKey);
        return zoom.userType() == QMetaType::QString && zoom.toString() == QString::number(zoomIndex)
            && fx.userType() == QMetaType::QString && fx.toString() == QString::number(showFx ? 1 : 0);
    }

private slots:
    void init()
    {
        sandbox::reset();
        resetProcessState();
        useFakeDesktop(QSize(64, 64));
        traces = std::make_unique<DebugCapture>();
    }
    void cleanup() { traces.reset(); }

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
        FileMaker maker(fuzzSeed());
        for (int file = 0; file < generatedFiles; ++file) {
            QStringList kinds;
            const QByteArray bytes = maker.next(&kinds);
            const QString name = QStringLiteral("file %1: %2").arg(file).arg(kinds.join(QStringLiteral(", ")));
            QTest::newRow(qPrintable(name)) << bytes;
        }
    }
    void preferencesFile()
    {
        QFETCH(QByteArray, bytes);
        writeFile(bytes);
        const KeyMap before = storedKeys();
        const QList<ShownRow> shown = buildWindow();
        const KeyMap after = storedKeys();
        checkWrittenState(after);
        if (!QTest::currentTestFailed())
            checkColours(before, after, shown);
        if (!QTest::currentTestFailed())
            checkUntouched(before, after);
        if (!QTest::currentTestFailed() && alreadyCurrent(before))
            QVERIFY2(fileBytes() == bytes, "rewritten though nothing changed");
        if (!QTest::currentTestFailed())
            QVERIFY2(traces->lines.filter(QStringLiteral("Settings not saved")).isEmpty(), "false alarm");
        if (QTest::currentTestFailed()) {
            traces.reset(); // let the file through to the log
            qInfo("file:\n%s", described(bytes).constData());
        }
    }
};

VIKARO_TEST_MAIN(TestFuzzPrefs)
#include "tst_fuzzprefs.moc"
