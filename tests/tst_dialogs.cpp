#include <QLoggingCategory>

#include <malloc.h>
#include <thread>
#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes(); // the sanitizer runtime's; no header
#endif

#include "support/testsupport.h"

// The colour memory panel, the side menu, the dialogs it opens, and the restart in another
// language: once, through every catalog, and hundreds of times without leaving anything behind.

// The toolkit's object hooks (exported, declared only in a private header): called at every
// QObject's construction and destruction.
extern Q_CORE_EXPORT quintptr qtHookData[];

namespace {

struct Memory
{
    const char *name;
    QStringList stored; // "slot=text"; the first slot's row is looked at
    bool inHex;
    QString value, rgba;
    QString clipboard; // after the export, which leaves it alone if nothing is stored
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

// Bytes the program holds on the heap. Under AddressSanitizer freed blocks wait in
// quarantine, so its allocator's own count is the one to read.
qint64 heapInUse()
{
#if defined(__SANITIZE_ADDRESS__)
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    return qint64(mallinfo2().uordblks);
#endif
}

bool highlighted(CLabel *flag)
{
    const auto layers = flag->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
    return !layers.isEmpty() && layers.first()->isVisibleTo(flag);
}

QString shown(const char *source)
{
    return QCoreApplication::translate("Vikaro", source);
}

} // namespace
Q_DECLARE_METATYPE(Memory)

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init() { startFresh(); }

    void storedColours_data()
    {
        const QString br = "<br/>";
        addRows<Memory>({{"nothing stored warns", {}, false, "", "0,0,0,0", "before"},
                         {"alpha 0 counts empty", {"4=16777215"}, true, "", "255,255,255,0", "before"},
                         {"alpha 0x80 half transparent and counts", {"1=-2130771968"}, false, "255,  0,  0", "255,0,0,128", "#FF0000<BR/>" + br.repeated(11)},
                         {"opaque black counts, hex", {"2=-16777216"}, true, "#000000", "0,0,0,255", br + "#000000<BR/>" + br.repeated(10)},
                         {"only F12 blue", {"12=-16776961"}, true, "#0000FF", "0,0,255,255", br.repeated(11) + "#0000FF<BR/>"},
                         {"F1 and F3", {"3=-1", "1=-15553740"}, true, "#FFFFFF", "255,255,255,255", "#12AB34<BR/><br/>#FFFFFF<BR/>" + br.repeated(9)}});
    }
    // The panel's rows and the export through its button: the clipboard and the box saying
    // what was done.
    void storedColours()
    {
        QFETCH(Memory, row);
        QGuiApplication::clipboard()->setText("before");
        for (const QString &pair : row.stored)
            sandbox::setRaw("Color F" + pair.section('=', 0, 0), pair.section('=', 1));
        sandbox::setRaw("FX in Hexa", row.inHex ? "1" : "0");
        VikaroProbe w;
        const int slot = row.stored.isEmpty() ? 6 : row.stored.first().section('=', 0, 0).toInt() - 1;
        QCOMPARE(w.memValue(slot)->text(), row.value);
        QCOMPARE(w.memSwatch(slot)->styleSheet(), "QLabel { background: rgba(" + row.rgba + "); }");
        QCOMPARE((QStringList{w.memKey(6)->text(), w.memKey(9)->text()}), (QStringList{"F 7:", "F10:"}));
        QString text;
        whenModalShows([&](QWidget *modal) { text = qobject_cast<QMessageBox *>(modal)->text(); });
        QTest::mouseClick(w.saveColorsButton(), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), row.clipboard);
        QCOMPARE(text, row.clipboard == "before" ? QString("!!! Aucune couleur<br/>n'a été sauvée dans le presse-papiers !!!")
                                                 : "Les couleurs suivantes<br/>ont été copiées dans le presse-papiers.<br/><br/>" + row.clipboard);
    }

    // The arrow widens the window to show the panel, also at the next start; the other narrows it.
    void sideMenuToggles()
    {
        const auto shown = [](VikaroProbe &p) {
            return p.window()->show(), QList<QVariant>{p.window()->size(), p.moreIcon()->isVisible(), p.normalIcon()->isVisible()};
        };
        const QList<QVariant> narrow{QSize(205, 362), true, false}, wide{QSize(405, 362), false, true};
        VikaroProbe w;
        QCOMPARE(shown(w), narrow);
        QTest::mouseClick(w.moreIcon(), Qt::LeftButton);
        QCOMPARE(shown(w), wide);
        VikaroProbe nextStart;
        QCOMPARE(shown(nextStart), wide);
        QTest::mouseClick(w.normalIcon(), Qt::LeftButton);
        QCOMPARE(shown(w), narrow);
    }

    // Spanish and German say so in a box and change nothing.
    void unavailableLanguage()
    {
        languageIndex = 1;
        COptionsDlg dialog;
        for (const int flag : {3, 4}) {
            QString text;
            whenModalShows([&](QWidget *modal) { text = qobject_cast<QMessageBox *>(modal)->text(); });
            QTest::mouseClick(dialog.findChildren<CLabel *>().at(flag), Qt::LeftButton);
            QCOMPARE(text, QString("Cette langue n'est pas encore disponible. "));
            QVERIFY(highlighted(dialog.findChildren<CLabel *>().at(1)));
        }
        QVERIFY(sandbox::raw("Language").isNull());
    }

    void optionsOkAndCancel_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("uncheck");
        QTest::addColumn<QString>("hexa");
        QTest::newRow("English then Cancel writes nothing, the window goes on") << false << true << "1";
        QTest::newRow("English then Ok writes both and rebuilds the window") << true << false << "1";
        QTest::newRow("unchecking hex then Ok stores 0") << true << true << "0";
    }
    // Through the options icon; the dialog ends with 2 for Cancel, 0 for Ok.
    void optionsOkAndCancel()
    {
        QFETCH(bool, ok);
        QFETCH(bool, uncheck);
        QFETCH(QString, hexa);
        sandbox::setRaw("FX in Hexa", "1");
        VikaroProbe w;
        int optionsResult = -1;
        whenModalShows([&](QWidget *modal) {
            auto *options = qobject_cast<COptionsDlg *>(modal);
            options->findChild<QCheckBox *>()->setChecked(!uncheck);
            answerOptions(*options, 1, ok);
            optionsResult = options->result();
        });
        QTest::mouseClick(w.optionsIcon(), Qt::LeftButton);
        QCOMPARE(optionsResult, ok ? 0 : 2);
        QCOMPARE(w.window()->result(), ok ? 1 : 0);
        QCOMPARE(sandbox::raw("Language") + "/" + sandbox::raw("FX in Hexa"), (ok ? "1/" : "/") + hexa);
        QCOMPARE(languageIndex, ok ? 1 : 0);
    }

    // Help opens at (0, 0), not on top; a second click leaves one, and it goes with the window.
    // The about box names the version.
    void helpAndAbout()
    {
        const auto helps = [] {
            const QWidgetList windows = QApplication::topLevelWidgets();
            return std::count_if(windows.begin(), windows.end(), [](QWidget *w) { return qobject_cast<CHelpDlg *>(w); });
        };
        {
            VikaroProbe w;
            QTest::mouseClick(w.helpIcon(), Qt::LeftButton);
            w.helpDlg()->move(300, 300);
            QTest::mouseClick(w.helpIcon(), Qt::LeftButton);
            QCOMPARE(helps(), 1);
            QCOMPARE(w.helpDlg()->pos(), QPoint(0, 0));
            QVERIFY(w.helpDlg()->isVisible() && !(w.helpDlg()->windowFlags() & Qt::WindowStaysOnTopHint));
        }
        QCOMPARE(helps(), 0);
        CAboutDlg about;
        QCOMPARE(about.findChildren<QLabel *>().at(3)->text(), QString("Vikaro Version 1.0.0.3"));
    }

    // Each pass reads "Language" anew and installs that catalog alone; any non-zero result
    // rebuilds the window, 0 ends. The options tooltip puts the user's language first, and the
    // options dialog lights its flag alone.
    void restartLoop()
    {
        const QStringList stored{"1", "2", "0", "3", "4", "5", "-1", "2147483647"};
        QStringList seen;
        const int passes = runScripted([&](VikaroProbe &w, int pass) {
            QString flags;
            COptionsDlg options;
            for (CLabel *flag : options.findChildren<CLabel *>())
                flags += highlighted(flag) ? "x" : "-";
            seen << shown("Sauver ces couleurs") + " / " + w.optionsIcon()->toolTip().section("<br/>", 0, 0) + " / " + flags;
            if (pass < stored.size())
                sandbox::setRaw("Language", stored.at(pass));
            w.window()->setResult(pass < stored.size() ? pass + 1 : 0);
        });
        QCOMPARE(passes, 9);
        const QString fr = "Sauver ces couleurs / Préférences de l'utilisateur... / x----";
        QCOMPARE(seen, (QStringList{fr, "Save those colors / User preferences... / -x---", "Sauver ces couleurs zzzzzz / Zzzzzzzzz... / --x--",
                                    fr, "Sauver ces couleurs / User preferences... / -----", "Sauver ces couleurs / User preferences... / -----",
                                    fr, fr, fr}));
        QCOMPARE(languageIndex, 0);
    }

    // French, English, Portuguese, French... by the flags of the options dialog, 220 times.
    // After every pass as many objects live as after the first twenty (which fill the toolkit's
    // caches), and the French passes translate nothing. The heap may grow by two windows: one
    // leaked at every pass would add 200, one every tenth pass 20; allocator noise stays far below.
    void soak()
    {
        QLoggingCategory::setFilterRules("default.debug=false"); // a line per tick only slows it down
        const int restarts = 220, warmUp = 20;
        countObjects();
        int warmObjects = 0;
        qint64 warmHeap = 0, windowCost = 0;
        QStringList faults;
        const int passes = runScripted([&](VikaroProbe &w, int pass) {
            if (pass == warmUp) {
                const qint64 before = heapInUse();
                VikaroProbe another;
                windowCost = heapInUse() - before;
            }
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            if (pass == warmUp)
                std::tie(warmObjects, warmHeap) = std::make_pair(liveObjects, heapInUse());
            if (pass > warmUp && liveObjects != warmObjects)
                faults << QString("pass %1: %2 objects more").arg(pass).arg(liveObjects - warmObjects);
            if (pass > 0 && languageIndex != pass % 3)
                faults << QString("pass %1: language %2").arg(pass).arg(languageIndex);
            if (languageIndex == 0 && shown("Sauver ces couleurs") != "Sauver ces couleurs")
                faults << QString("pass %1: a catalog is left").arg(pass);
            if (pass == restarts)
                return;
            QTimer::singleShot(0, w.window(), [&w, pass] { chooseLanguage(*w.window(), (pass + 1) % 3); });
            w.window()->exec();
        });
        const qint64 growth = heapInUse() - warmHeap;
        qInfo("one window: %lld bytes; heap growth after %d passes: %lld bytes", windowCost, restarts - warmUp, growth);
        QCOMPARE(passes, restarts + 1);
        QCOMPARE(faults, QStringList());
        QVERIFY2(growth < 2 * windowCost, qPrintable(QString("%1 bytes more").arg(growth)));
    }
};

VIKARO_TEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
