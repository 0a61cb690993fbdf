#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCursor>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

#include "app/languages.h"
#include "app/platform.h"
#include "app/startup.h"
#include "dialogs/caboutdlg.h"
#include "dialogs/chelpdlg.h"
#include "dialogs/clabel.h"
#include "dialogs/coptionsdlg.h"
#include "magnifier/desktop.h"
#include "magnifier/state.h"
#include "resources/resourcepaths.h"
#include "settings/cdata.h"
#include "vikaroprobe.h"

// The test process's settings store lives in a temporary folder, so tests never see the
// user's real preferences. raw() is the text a key of "Preferences" holds, null when absent.
namespace sandbox {
QString folder();
inline QString filePath() { return CData().fileName(); }
QString raw(const QString &key);
void setRaw(const QString &key, const QString &text);
} // namespace sandbox
void storeSettingsUnder(const QString &folder);

// A desktop made of one picture at (0, 0), black around it, whose pointer only moves when told.
class FakeDesktop : public Desktop
{
public:
    explicit FakeDesktop(const QImage &picture) : picture(picture.convertToFormat(QImage::Format_RGB32)) {}
    QPoint cursorPos() override { return cursor; }
    void setCursorPos(const QPoint &p) override { pointerMoves.append(cursor = p); }
    QImage grab(QScreen *screen, const QRect &rect) override;

    QImage picture;
    QPoint cursor;
    QList<QPoint> pointerMoves;
    int grabs = 0;
};

// A picture whose colours follow from the position, every pixel unlike its neighbours.
QRgb patternPixel(int x, int y);
QImage patternPicture(const QSize &size);

// Empties the sandbox and brings every process-wide value back to a fresh process's. The
// desktop becomes a fake one of `fakeSize` over the pattern (returned), or the real one when
// `fakeSize` is empty.
FakeDesktop *startFresh(const QSize &fakeSize = QSize(64, 64));

// Collects the debug lines written while it lives.
struct DebugCapture
{
    DebugCapture();
    ~DebugCapture();
    QStringList lines;
};

// Runs the start-up loop over the sandbox store, handing each pass's window to `script` with
// the pass number; the window's result then decides as exec()'s would. A failed check ends
// the loop. Returns how many passes ran.
int runScripted(const std::function<void(VikaroProbe &, int)> &script);

// Once a modal window shows, hands it to `inspect` and closes it: code that runs a box with
// exec() can be called without blocking.
void whenModalShows(const std::function<void(QWidget *)> &inspect);
// In the options dialog: clicks the flag of `language` (0..4), then Ok or Cancel.
void answerOptions(COptionsDlg &options, int language, bool ok);
// The options icon, `language`, Ok: the window ends with 1, to be rebuilt.
void chooseLanguage(Vikaro &window, int language);
QStringList labelTexts(QWidget &dialog);

// Data rows of one struct column: each row named by its `name` member.
template <typename Row, std::size_t N>
void addRows(const Row (&rows)[N])
{
    QTest::addColumn<Row>("row");
    for (const Row &row : rows)
        QTest::newRow(row.name) << row;
}

// --- On a real X server ---

// A frameless window over the whole X screen showing patternPicture(), patches painted over
// it. Global coordinates equal its own.
class ScreenPattern : public QLabel
{
public:
    ScreenPattern();
    void paintPatch(const QRect &rect, QRgb rgb);
    // The colour shown at global `p`, black off the screen.
    QRgb pixelAt(const QPoint &p) const;
    // What the magnifier must show around `pointer`: the square enlarged block by block, the
    // sight on top.
    QImage magnifiedAround(const QPoint &pointer, int factor, int span, int sight) const;

private:
    QImage picture;
};

// The X clipboard as another client reads it.
QString systemClipboardText();

// Readies the process as the program does, with a settings sandbox and a private runtime
// folder; the platform comes from QT_QPA_PLATFORM (offscreen, or xcb under Xvfb).
void prepareTestProcess();
#define VIKARO_TEST_MAIN(TestClass)                                                          \
    int main(int argc, char *argv[])                                                         \
    {                                                                                        \
        prepareTestProcess();                                                                \
        QApplication app(argc, argv);                                                        \
        appInstance = &app;                                                                  \
        TestClass test;                                                                      \
        return QTest::qExec(&test, argc, argv);                                              \
    }
