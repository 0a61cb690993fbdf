#pragma once

#include <QtTest>
#include <QtWidgets>

#include <functional>

#include "app/languages.h"
#include "app/startup.h"
#include "dialogs/caboutdlg.h"
#include "dialogs/clabel.h"
#include "dialogs/coptionsdlg.h"
#include "desktop/desktop.h"
#include "magnifier/state.h"
#include "settings/cdata.h"
#include "vikaroprobe.h"

// The settings live in a temporary folder, never the user's; raw() is a key's text, null when absent.
namespace sandbox {
QString folder();
QString raw(const QString &key);
void setRaw(const QString &key, const QString &text);
} // namespace sandbox
void storeSettingsUnder(const QString &folder);

// The desktop the tests' windows show: the platform's own unless replaced.
Desktop &desktop();
// Replaces it; null goes back to the platform's own.
void setDesktop(std::unique_ptr<Desktop> replacement);

// A desktop of one picture at (0, 0), black around it, whose pointer moves only when told.
struct FakeDesktop : Desktop
{
    QPoint cursorPos() override { return cursor; }
    void setCursorPos(const QPoint &p) override { cursor = p; }
    QImage grab(const QRect &rect) override { return picture.copy(rect); } // black beyond the picture
    QList<QRect> monitors() override { return rects; }
    // New monitors, seen by the window at its next tick.
    void setMonitors(const QList<QRect> &monitors) { rects = monitors; layoutChanged(); }
    QImage picture;
    QPoint cursor;
    QList<QRect> rects = Desktop::monitors();
};

// A picture whose every pixel differs from its neighbours.
QImage patternPicture(const QSize &size);

// Empties the sandbox, gives every process-wide value a fresh process's, and installs a fake
// desktop of `fakeSize` over the pattern (returned), or the real one when `fakeSize` is empty.
FakeDesktop *startFresh(const QSize &fakeSize = QSize(64, 64));

// Readies the process as the program does, with the sandbox and a private runtime folder.
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
