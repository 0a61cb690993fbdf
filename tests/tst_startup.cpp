#include <QApplication>
#include <QFile>
#include <QtTest>

#include "app/languages.h"
#include "app/startup.h"
#include "magnifier/vikaro.h"
#include "resources/resourcepaths.h"
#include "settings/cdata.h"
#include "support/fakedesktop.h"
#include "support/testsupport.h"

namespace {

QString shown(const char *context, const char *source)
{
    return QCoreApplication::translate(context, source);
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

    std::unique_ptr<DebugCapture> traces;

    QStringList languageLines() const { return traces->lines.filter(QRegularExpression("^=== Langue")); }

private slots:
    void init()
    {
        sandbox::reset();
        resetProcessState();
        useFakeDesktop(QSize(32, 32));
        traces = std::make_unique<DebugCapture>();
    }
    void cleanup() { traces.reset(); }

    void languagePerPass_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("debugLine");
        QTest::addColumn<QString>("saveButton");
        const QString french = "Sauver ces couleurs";
        QTest::newRow("first start is French") << QString() << 0 << "=== Langue =  \"fr\"" << french;
        QTest::newRow("English catalog") << "1" << 1 << "=== Langue =  \"en\"   installed ok1= true   ok2= true"
                                         << "Save those colors";
        QTest::newRow("Portuguese catalog") << "2" << 2 << "=== Langue =  \"pt\"   installed ok1= true   ok2= true"
                                            << "Sauver ces couleurs zzzzzz";
        // An empty translator is installed all the same; the toolkit reports that as false.
        QTest::newRow("German has no catalog") << "3" << 3
                                               << "=== Langue =  \"de\"   installed ok1= false   ok2= false" << french;
        QTest::newRow("Spanish has no catalog") << "4" << 4
                                                << "=== Langue =  \"es\"   installed ok1= false   ok2= false" << french;
        QTest::newRow("5 past the table counts as French") << "5" << 0 << "=== Langue =  \"fr\"" << french;
        QTest::newRow("negative counts as French") << "-1" << 0 << "=== Langue =  \"fr\"" << french;
        QTest::newRow("huge counts as French") << "2147483647" << 0 << "=== Langue =  \"fr\"" << french;
    }
    void languagePerPass()
    {
        QFETCH(QString, stored);
        QFETCH(int, index);
        QFETCH(QString, debugLine);
        QFETCH(QString, saveButton);
        if (!stored.isNull())
            sandbox::setRaw("Language", stored);
        CData store;
        QString seen;
        runPasses(store, [&](Vikaro &) {
            seen = shown("Vikaro", "Sauver ces couleurs");
            return 0;
        });
        QCOMPARE(languageIndex, index);
        QCOMPARE(languageLines(), QStringList{debugLine});
        QCOMPARE(seen, saveButton);
        QCOMPARE(shown("Vikaro", "Sauver ces couleurs"), QString("Sauver ces couleurs"));
    }

    // A non-zero result rebuilds the window under the language stored meanwhile; the old
    // translator is gone before the new one comes, and 0 ends the loop.
    void restartContract()
    {
        CData store;
        QList<Vikaro *> windows;
        QStringList seen;
        const QList<int> results{1, 7, 1, 0};
        const QList<int> nextLanguage{1, 2, 0, 0};
        runPasses(store, [&](Vikaro &window) {
            const int pass = windows.size();
            windows.append(&window);
            seen.append(shown("Vikaro", "Sauver ces couleurs") + " / " + shown("Vikaro", "Montrer les couleurs mémorisées."));
            CData().setInt("Preferences", "Language", nextLanguage.at(pass));
            return results.at(pass);
        });
        QCOMPARE(windows.size(), 4);
        QCOMPARE(seen, (QStringList{
                           "Sauver ces couleurs / Montrer les couleurs mémorisées.",
                           "Save those colors / Show the memorized colors.",
                           "Sauver ces couleurs zzzzzz / Montrer les couleurs mémorisées.",
                           "Sauver ces couleurs / Montrer les couleurs mémorisées.",
                       }));
        QCOMPARE(languageLines().size(), 4);
    }

    void processValuesSurviveRestart()
    {
        CData store;
        int pass = 0;
        bool frozenSeen = false;
        runPasses(store, [&](Vikaro &window) {
            if (pass++ == 0) {
                frozen = true;
                return 1;
            }
            frozenSeen = window.windowTitle().contains("gelé");
            return 0;
        });
        QVERIFY(frozenSeen);
        frozen = false;
    }

    void styleSheetApplied()
    {
        qApp->setStyleSheet(QString());
        CData store;
        runPasses(store, [](Vikaro &) { return 0; });
        QFile file(resources::styleSheet);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(qApp->styleSheet(), QString::fromLatin1(file.readAll()));
    }

    void identity()
    {
        QCOMPARE(QCoreApplication::organizationName(), QString("Morvelle"));
        QCOMPARE(QCoreApplication::applicationName(), QString("Vikaro"));
        QVERIFY(!QCoreApplication::organizationDomain().isEmpty());
        QVERIFY(sandbox::filePath().endsWith("Morvelle/Vikaro.conf"));
    }
};

VIKARO_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
