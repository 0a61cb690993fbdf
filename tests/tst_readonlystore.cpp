#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/fsuid.h>
#include <unistd.h>

#include "app/languages.h"
#include "app/startup.h"
#include "dialogs/clabel.h"
#include "dialogs/coptionsdlg.h"
#include "magnifier/state.h"
#include "magnifier/vikaro.h"
#include "settings/cdata.h"
#include "support/fakedesktop.h"
#include "support/testsupport.h"
#include "support/vikaroprobe.h"

// A settings file or folder the program may not write: it must go on as usual with its
// preferences in memory and say so once, not fail silently at every write.

namespace {

constexpr uint nobody = 65534;
const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
const QFile::Permissions readWrite = readOnly | QFile::WriteOwner;
const QFile::Permissions readOnlyFolder = readOnly | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
const QFile::Permissions openFolder = readOnlyFolder | QFile::WriteOwner;

const QByteArray storedFile = "[Preferences]\nColor%20F1=-16777216\nLanguage=0\nShow%20FX=1\nZoom%20factor=2\n";

bool isRoot()
{
    return geteuid() == 0;
}

// Root may write any file whatever its permissions: while this lives, the thread checks file
// access as "nobody" (to whom the test files are given), like an ordinary user.
class AsOrdinaryUser
{
public:
    AsOrdinaryUser()
    {
        if (!isRoot())
            return;
        setfsgid(nobody);
        setfsuid(nobody);
        dropped = setfsuid(uid_t(-1)) == nobody;
    }
    ~AsOrdinaryUser()
    {
        if (!isRoot())
            return;
        setfsuid(0);
        setfsgid(0);
    }
    bool works() const { return !isRoot() || dropped; }

private:
    bool dropped = false;
};

void giveAway(const QString &path)
{
    if (isRoot())
        QVERIFY(::chown(QFile::encodeName(path).constData(), nobody, nobody) == 0);
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Picks the English flag in the options and presses Ok, as the user would.
int chooseEnglish(Vikaro &window)
{
    QTimer::singleShot(0, &window, [] {
        auto *options = qobject_cast<COptionsDlg *>(QApplication::activeModalWidget());
        QVERIFY(options);
        QTest::mouseClick(options->findChildren<CLabel *>().at(1), Qt::LeftButton);
        for (QPushButton *button : options->findChildren<QPushButton *>())
            if (button->text() == QLatin1String("Ok"))
                QTest::mousePress(button, Qt::LeftButton);
    });
    VikaroProbe(window).menuOptions();
    return window.result();
}

} // namespace

class TestReadOnlyStore : public QObject
{
    Q_OBJECT

    QString sandboxRoot;
    std::unique_ptr<QTemporaryDir> root;

    QString folderPath() const { return root->filePath(QStringLiteral("Morvelle")); }
    QString filePath() const { return root->filePath(QStringLiteral("Morvelle/Vikaro.conf")); }

    static void storeUnder(const QString &path)
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path);
    }

    void prepareStore(const QByteArray &content, QFile::Permissions fileMode, QFile::Permissions folderMode)
    {
        QVERIFY(QDir(root->path()).mkdir(QStringLiteral("Morvelle")));
        QVERIFY(QFile::setPermissions(root->path(), openFolder));
        giveAway(folderPath());
        if (!content.isNull()) {
            QFile file(filePath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
            file.close();
            giveAway(filePath());
            QVERIFY(QFile::setPermissions(filePath(), fileMode));
        }
        QVERIFY(QFile::setPermissions(folderPath(), folderMode));
    }

    // The program as a user drives it: the first pass stores a colour on F5 and picks English
    // in the options, the second ends. The rows F1 and F5 of each pass are returned.
    static QList<QStringList> runTwoPasses()
    {
        QList<QStringList> rows;
        CData store;
        runPasses(store, [&rows](Vikaro &window) {
            VikaroProbe probe(window);
            rows.append({probe.memValue(0)->text(), probe.memValue(4)->text()});
            if (rows.size() > 1)
                return 0;
            probe.currentColor() = 0x102030;
            QTest::keyClick(&window, Qt::Key_F5);
            return chooseEnglish(window);
        });
        return rows;
    }

private slots:
    void initTestCase()
    {
        QDir sandbox = QFileInfo(sandbox::filePath()).absoluteDir();
        QVERIFY(sandbox.cdUp());
        sandboxRoot = sandbox.path();
    }

    void init()
    {
        resetProcessState();
        useFakeDesktop(QSize(32, 32));
        root = std::make_unique<QTemporaryDir>();
        storeUnder(root->path());
    }

    void cleanup()
    {
        QFile::setPermissions(folderPath(), openFolder);
        root.reset();
        storeUnder(sandboxRoot);
    }

    void unwritableStore_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<int>("reports");
        const QByteArray unparsed = storedFile + "[Unfinished header\n";
        QTest::newRow("read-only file") << storedFile << int(readOnly) << int(openFolder) << 1;
        QTest::newRow("read-only file with a header the store cannot parse") << unparsed << int(readOnly) << int(openFolder) << 1;
        QTest::newRow("read-only folder") << storedFile << int(readWrite) << int(readOnlyFolder) << 1;
        QTest::newRow("read-only folder without a file yet") << QByteArray() << int(readWrite) << int(readOnlyFolder) << 1;
        QTest::newRow("writable store says nothing") << storedFile << int(readWrite) << int(openFolder) << 0;
    }
    // Two passes of the program: a colour stored on F5, English chosen in the options; the
    // second pass is English and shows F5 even though none of it could be saved.
    void unwritableStore()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, fileMode);
        QFETCH(int, folderMode);
        QFETCH(int, reports);
        prepareStore(content, QFile::Permissions(fileMode), QFile::Permissions(folderMode));
        const QByteArray before = contentOf(filePath());
        AsOrdinaryUser user;
        if (QTest::currentTestFailed())
            return;
        if (!user.works())
            QSKIP("cannot check file access as an ordinary user here");
        DebugCapture traces;
        const QList<QStringList> rows = runTwoPasses();
        QCOMPARE(languageIndex, 1);
        const QString f1 = content.isNull() ? QString() : QStringLiteral("  0,  0,  0");
        QCOMPARE(rows, (QList<QStringList>{{f1, QString()}, {f1, QStringLiteral(" 16, 32, 48")}}));
        QCOMPARE(traces.lines.filter(QStringLiteral("Settings not saved")).size(), reports);
        if (reports > 0)
            QCOMPARE(contentOf(filePath()), before);
        else
            QVERIFY(contentOf(filePath()).contains("Color%20F5=-15720400"));
    }

    // The write that fails may come from the very store that has just read the file and found
    // lines it could not parse (the user edited it meanwhile): still said, once.
    void reportedWhenTheWriterReadTheFile()
    {
        prepareStore(storedFile + "[Unfinished header\n", readOnly, openFolder);
        AsOrdinaryUser user;
        if (QTest::currentTestFailed())
            return;
        if (!user.works())
            QSKIP("cannot check file access as an ordinary user here");
        DebugCapture traces;
        CData().setInt(QStringLiteral("Preferences"), QStringLiteral("Grid type"), 3);
        QCOMPARE(traces.lines.filter(QStringLiteral("Settings not saved")).size(), 1);
    }
};

VIKARO_TEST_MAIN(TestReadOnlyStore)
#include "tst_readonlystore.moc"
