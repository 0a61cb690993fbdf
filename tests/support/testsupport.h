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
#include "desktop/desktop.h"
#include "magnifier/state.h"
#include "resources/resourcepaths.h"
#include "settings/cdata.h"
#include "vikaroprobe.h"

// The test process's private settings store: the store's user-scope folder is moved into a
// temporary folder before anything reads it, so tests never see the user's real preferences.
namespace sandbox {
QString folder();
inline QString filePath() { return CData().fileName(); }
inline void reset() { CData().clear(); }
// The text a key of "Preferences" holds, or a null string when it is absent.
QString raw(const QString &key);
void setRaw(const QString &key, const QString &text);
} // namespace sandbox
void storeSettingsUnder(const QString &folder);

// A desktop made of one picture at (0, 0), black around it, with a pointer that only moves
// when told to.
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

// Empties the sandbox and brings every process-wide value back to what a fresh process has.
// The desktop becomes a fake one of `fakeSize` over the pattern (returned), or the real one
// when `fakeSize` is empty.
FakeDesktop *startFresh(const QSize &fakeSize = QSize(64, 64));

// Collects the debug lines written while it lives.
struct DebugCapture
{
    DebugCapture();
    ~DebugCapture();
    QStringList lines;
};

// Runs the start-up loop over the sandbox store, handing every pass's window to `script` with
// the pass number (from 0). The window's result then decides as exec()'s would: non-zero
// rebuilds it. A failed check ends the loop. Returns how many passes ran.
int runScripted(const std::function<void(VikaroProbe &, int)> &script);

// Once a modal window shows up, hands it to `inspect` and closes it: lets a test call code
// that runs a box with exec() without blocking.
void whenModalShows(const std::function<void(QWidget *)> &inspect);
// In the options dialog: clicks the flag of `language` (0..4), then presses Ok or Cancel.
void answerOptions(COptionsDlg &options, int language, bool ok);
// Clicks the options icon of `window`, picks `language` and presses Ok, as a user switches
// language: the window ends with 1, to be rebuilt.
void chooseLanguage(Vikaro &window, int language);

// The texts of a dialog's labels, in creation order.
QStringList labelTexts(QWidget &dialog);

// --- On a real X server ---

// A frameless window over the whole X screen showing patternPicture(), so every desktop pixel
// has a known colour; patches can be painted over it. Global coordinates equal its own.
class ScreenPattern : public QLabel
{
public:
    ScreenPattern();
    void paintPatch(const QRect &rect, QRgb rgb);
    // The colour shown at global `p`, black off the screen.
    QRgb pixelAt(const QPoint &p) const;
    // What the magnifier must show around `pointer`: the square of the screen enlarged block by
    // block, the sight on top.
    QImage magnifiedAround(const QPoint &pointer, int factor, int span, int sight) const;

private:
    QImage picture;
};

// Where display tests put the magnifier: away from the corners they point at.
extern const QPoint magnifierSpot;

// The X clipboard as another client reads it.
QString systemClipboardText();

// Readies the process as the program does, with the identity and a settings sandbox, before
// `TestClass` runs; the platform comes from QT_QPA_PLATFORM (offscreen, or xcb under Xvfb).
#define VIKARO_TEST_MAIN(TestClass)                                                          \
    int main(int argc, char *argv[])                                                         \
    {                                                                                        \
        prepareTestProcess();                                                                \
        QApplication app(argc, argv);                                                        \
        appInstance = &app;                                                                  \
        TestClass test;                                                                      \
        return QTest::qExec(&test, argc, argv);                                              \
    }

void prepareTestProcess();
