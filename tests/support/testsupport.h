#pragma once

#include <QtTest>
#include <QtWidgets>

#include <functional>

#include "app/languages.h"
#include "app/startup.h"
#include "dialogs/clabel.h"
#include "dialogs/coptionsdlg.h"
#include "desktop/desktop.h"
#include "magnifier/colorswatch.h"
#include "magnifier/picturelabel.h"
#include "magnifier/state.h"
#include "magnifier/textlabel.h"
#include "magnifier/vikaro.h"
#include "settings/cdata.h"

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

// Lets tests read and drive the main window's insides. Built without a window, it owns a fresh one.
class VikaroProbe
{
public:
    VikaroProbe() : own(std::make_unique<Vikaro>(desktop())), w(*own) {}
    explicit VikaroProbe(Vikaro &window) : w(window) {}
    Vikaro *window() const { return &w; }

    void tick() { w.manageTimouts(); }
    void focusChanged(QWindow *focus) { w.onFocusChanged(focus); }
    quint32 &currentColor() { return w.currentColor; }
    bool placed() const { return w.placed; }
    int zoomFactor() const { return w.zoomFactor; }
    int zoomSpan() const { return w.zoomSpan; }
    QImage picture() const { return w.zoomLabel->picture(); }
    QTimer *timer() const { return w.timer; }

    TextLabel *hexLabel() const { return w.hexLabel; }
    QLabel *decLabel() const { return w.decLabel; }
    QLabel *positionLabel() const { return w.positionLabel; }
    ColorSwatch *swatch8() const { return w.swatch8; }
    ColorSwatch *swatch4() const { return w.swatch4; }
    PictureLabel *zoomLabel() const { return w.zoomLabel; }
    QLabel *memKey(int i) const { return w.memKeys[std::size_t(i)]; }
    QLabel *memSwatch(int i) const { return w.memSwatches[std::size_t(i)]; }
    QLabel *memValue(int i) const { return w.memValues[std::size_t(i)]; }
    CLabel *saveColorsButton() const { return w.saveColorsButton; }
    CLabel *optionsIcon() const { return w.optionsIcon; }
    CLabel *aboutIcon() const { return w.aboutIcon; }

private:
    std::unique_ptr<Vikaro> own;
    Vikaro &w;
};

// Counts the paint events of the parts of a window that a sampling tick changes.
struct TickPaints : QObject
{
    explicit TickPaints(const VikaroProbe &w)
    {
        for (QWidget *part : std::initializer_list<QWidget *>{w.zoomLabel(), w.swatch8(), w.swatch4(), w.hexLabel(),
                                                              w.decLabel(), w.positionLabel()})
            part->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};

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
