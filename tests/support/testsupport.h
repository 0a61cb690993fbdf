#pragma once

#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

class QWidget;

// The test process's private settings store: the store's user-scope folder is moved into a
// temporary folder before anything reads it, so tests never see the user's real preferences.
namespace sandbox {
// Empties the store.
void reset();
// The file the store lives in.
QString filePath();
// The text a key of "Preferences" holds, or a null string when it is absent.
QString raw(const QString &key);
// Writes the text of a key of "Preferences" as it is.
void setRaw(const QString &key, const QString &text);
} // namespace sandbox

// Brings every process-wide value back to what a fresh process has.
void resetProcessState();

// Collects the debug lines written while it lives.
class DebugCapture
{
public:
    DebugCapture();
    ~DebugCapture();
    QStringList lines;
};

// Arms a watcher that, once a modal window shows up, hands it to `inspect` and closes it.
// Lets a test call code that runs a box with exec() without blocking.
void whenModalShows(const std::function<void(QWidget *)> &inspect);

// Sets the identity, the application object and a settings sandbox up before `TestClass`
// runs; the platform comes from QT_QPA_PLATFORM (offscreen, or xcb under Xvfb).
#define VIKARO_TEST_MAIN(TestClass)                                                          \
    int main(int argc, char *argv[])                                                         \
    {                                                                                        \
        prepareTestProcess();                                                                \
        QApplication app(argc, argv);                                                        \
        attachApplication(&app);                                                             \
        TestClass test;                                                                      \
        return QTest::qExec(&test, argc, argv);                                              \
    }

void prepareTestProcess();
void attachApplication(QApplication *app);
