#include <QLoggingCategory>

#include <malloc.h>
#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime; GCC ships no header for it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

#include "support/testsupport.h"

// The options' Ok rebuilds the main window in the language chosen, any number of times in a
// session: hundreds of rebuilds must leave no window, no catalog and no memory behind.

namespace {

constexpr int restarts = 220;
// The first passes fill the toolkit's caches (fonts, style sheet rules, icons); growth is
// counted from here on.
constexpr int warmUpPasses = 20;

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

// A leaked window or catalog costs far more over 200 passes. glibc's per-thread cache counts
// the blocks it keeps for reuse as in use, blurring the figure by up to a hundred kilobytes:
// ctest turns it off; run by hand with it, only gross growth shows.
qint64 allowedGrowth()
{
#if !defined(__SANITIZE_ADDRESS__)
    if (!qEnvironmentVariable("GLIBC_TUNABLES").contains("tcache_count=0"))
        return 256 * 1024;
#endif
    return 32 * 1024;
}

// French, English, Portuguese, French... by the flags of the options dialog.
int languageAfter(int pass)
{
    return (pass + 1) % 3;
}

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void optionsOkRestarts()
    {
        // A line per sampling tick for hundreds of windows would only slow the run down.
        QLoggingCategory::setFilterRules("default.debug=false");
        startFresh();
        const QString source = "Sauver ces couleurs";
        QPair<int, int> warmWindows;
        qint64 warmHeap = 0, lastHeap = 0;
        QList<int> windowsLeft, wrongLanguage, catalogLeft; // the passes that saw it
        const int passes = runScripted([&](VikaroProbe &w, int pass) {
            const QPair<int, int> windows(QApplication::topLevelWidgets().size(), QGuiApplication::allWindows().size());
            if (pass == warmUpPasses) {
                warmWindows = windows;
                warmHeap = heapInUse();
            }
            if (pass > warmUpPasses && windows != warmWindows)
                windowsLeft << pass;
            if (pass > 0 && languageIndex != languageAfter(pass - 1))
                wrongLanguage << pass;
            if (languageIndex == 0 && QCoreApplication::translate("Vikaro", "Sauver ces couleurs") != source)
                catalogLeft << pass;
            if (pass == restarts) {
                lastHeap = heapInUse();
                return;
            }
            QTimer::singleShot(0, w.window(), [&w, pass] { chooseLanguage(*w.window(), languageAfter(pass)); });
            w.window()->exec();
        });
        qInfo("%d restarts; heap in use after %d: %lld bytes, after the last: %lld bytes", restarts, warmUpPasses, warmHeap, lastHeap);
        QCOMPARE(passes, restarts + 1);
        QCOMPARE(windowsLeft, QList<int>());
        QCOMPARE(wrongLanguage, QList<int>());
        QCOMPARE(catalogLeft, QList<int>());
        QVERIFY2(lastHeap - warmHeap < allowedGrowth(), qPrintable(QString("%1 bytes more").arg(lastHeap - warmHeap)));
        QCOMPARE(QCoreApplication::translate("Vikaro", "Sauver ces couleurs"), source);
    }
};

VIKARO_TEST_MAIN(TestSoak)
#include "tst_soak.moc"
