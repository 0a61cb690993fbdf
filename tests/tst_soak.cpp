#include <QApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QPushButton>
#include <QWindow>
#include <QtTest>

#include <malloc.h>
#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime; GCC ships no header for it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

#include "app/languages.h"
#include "app/startup.h"
#include "dialogs/clabel.h"
#include "dialogs/coptionsdlg.h"
#include "magnifier/vikaro.h"
#include "settings/cdata.h"
#include "support/fakedesktop.h"
#include "support/testsupport.h"
#include "support/vikaroprobe.h"

// The options' Ok rebuilds the main window in the language chosen; a user may do it any number
// of times in one session. Hundreds of rebuilds must leave no window, no catalog and no memory
// behind.

namespace {

constexpr int restarts = 220;
// The first passes fill the toolkit's caches (fonts, style sheet rules, icons); growth is
// counted from here on.
constexpr int warmUpPasses = 20;
// Heap that may come and go between two passes without anything being kept per pass: a
// leaked window or catalog costs far more than this over 200 passes.
constexpr qint64 heapSlack = 32 * 1024;
// glibc's per-thread cache counts the blocks it keeps for reuse as in use, which blurs the
// figure by up to a hundred kilobytes: ctest runs this test with that cache off; run by hand
// without it, only gross growth shows.
constexpr qint64 cachedHeapSlack = 256 * 1024;

const QString sourceText = QStringLiteral("Sauver ces couleurs");

// Bytes the program holds on the heap now. Under AddressSanitizer its own allocator keeps the
// count, and freed blocks wait in quarantine, so the process size would mislead.
qint64 heapInUse()
{
#if defined(__SANITIZE_ADDRESS__)
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    return qint64(mallinfo2().uordblks);
#endif
}

qint64 allowedGrowth()
{
#if defined(__SANITIZE_ADDRESS__)
    return heapSlack;
#else
    return qEnvironmentVariable("GLIBC_TUNABLES").contains(QLatin1String("tcache_count=0")) ? heapSlack : cachedHeapSlack;
#endif
}

qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines)
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

// French, English, Portuguese, French... by the flags of the options dialog.
int languageAfter(int pass)
{
    return (pass + 1) % 3;
}

// Presses the options icon once the window runs, then the flag of `language` and Ok.
void pressOptionsOk(Vikaro &window, int language)
{
    QTimer::singleShot(0, &window, [&window, language] {
        QTimer::singleShot(0, &window, [language] {
            auto *options = qobject_cast<COptionsDlg *>(QApplication::activeModalWidget());
            QVERIFY(options);
            QTest::mouseClick(options->findChildren<CLabel *>().at(language), Qt::LeftButton);
            for (QPushButton *button : options->findChildren<QPushButton *>())
                if (button->text() == QLatin1String("Ok"))
                    QTest::mousePress(button, Qt::LeftButton);
        });
        QTest::mouseClick(VikaroProbe(window).optionsIcon(), Qt::LeftButton);
    });
}

struct PassCounts
{
    int widgets = 0;
    int windows = 0;
    qint64 heap = 0;
    qint64 residentKb = 0;
};

PassCounts countNow()
{
    return {QApplication::topLevelWidgets().size(), QGuiApplication::allWindows().size(), heapInUse(), residentKb()};
}

// What the passes found at their start: the counts after warm-up and at the end, and the
// numbers of the passes that saw something wrong.
struct SoakLog
{
    PassCounts warm;
    PassCounts last;
    QList<int> extraWidgets;
    QList<int> extraWindows;
    QList<int> wrongLanguage;
    QList<int> translatedInFrench;

    void record(int pass);
};

void SoakLog::record(int pass)
{
    const PassCounts now = countNow();
    if (pass == warmUpPasses)
        warm = now;
    if (pass == restarts)
        last = now;
    if (pass > warmUpPasses && now.widgets != warm.widgets)
        extraWidgets << pass;
    if (pass > warmUpPasses && now.windows != warm.windows)
        extraWindows << pass;
    if (pass > 0 && languageIndex != languageAfter(pass - 1))
        wrongLanguage << pass;
    // A catalog of an earlier pass still installed would translate this.
    if (languageIndex == 0 && QCoreApplication::translate("Vikaro", "Sauver ces couleurs") != sourceText)
        translatedInFrench << pass;
}

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A line per sampling tick for hundreds of windows would only slow the run down.
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        sandbox::reset();
        resetProcessState();
        useFakeDesktop(QSize(64, 64));
    }

    void optionsOkRestarts()
    {
        CData store;
        SoakLog log;
        int pass = 0;
        runPasses(store, [&](Vikaro &window) {
            log.record(pass);
            if (pass++ == restarts)
                return 0;
            pressOptionsOk(window, languageAfter(pass - 1));
            return window.exec();
        });
        qInfo("%d restarts; heap in use after %d: %lld bytes, after the last: %lld bytes; resident %lld kB, then %lld kB",
              restarts, warmUpPasses, log.warm.heap, log.last.heap, log.warm.residentKb, log.last.residentKb);
        QCOMPARE(pass, restarts + 1);
        QCOMPARE(log.extraWidgets, QList<int>());
        QCOMPARE(log.extraWindows, QList<int>());
        QCOMPARE(log.wrongLanguage, QList<int>());
        QCOMPARE(log.translatedInFrench, QList<int>());
        const qint64 growth = log.last.heap - log.warm.heap;
        QVERIFY2(growth < allowedGrowth(), qPrintable(QStringLiteral("%1 bytes more").arg(growth)));
        QCOMPARE(QCoreApplication::translate("Vikaro", "Sauver ces couleurs"), sourceText);
    }
};

VIKARO_TEST_MAIN(TestSoak)
#include "tst_soak.moc"
