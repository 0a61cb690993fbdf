#pragma once

#include <QLabel>
#include <QMetaObject>
#include <QTimer>

#include "magnifier/colorswatch.h"
#include "magnifier/vikaro.h"

// Lets tests read and drive the main window's private state.
class VikaroProbe
{
public:
    explicit VikaroProbe(Vikaro &window) : w(window) {}

    void tick() { QMetaObject::invokeMethod(&w, "manageTimouts", Qt::DirectConnection); }
    void focusChanged(QWindow *focus) { w.onFocusChanged(focus); }
    void saveColors() { w.onSaveColors(); }
    void menuMore() { w.onMenuMore(); }
    void menuNormal() { w.onMenuNormal(); }
    void menuOptions() { w.onMenuOptions(); }
    void menuHelp() { w.onMenuHelp(); }
    void menuAbout() { w.onMenuAbout(); }

    quint32 &currentColor() { return w.currentColor; }
    bool &placed() { return w.placed; }
    bool anchorSet() const { return w.anchorSet; }
    QPoint anchor() const { return w.anchor; }
    int zoomFactor() const { return w.zoomFactor; }
    int zoomSpan() const { return w.zoomSpan; }
    QSize zoomSize() const { return w.zoomSize; }
    const QPixmap &zoomPixmap() const { return w.zoomPixmap; }
    QTimer *timer() const { return w.timer; }
    QList<QRect> &screenRects() { return w.screenRects; }
    QList<QPointer<QScreen>> &screens() { return w.screens; }
    int screenIndexAt(const QPoint &p) { return w.screenIndexAt(p); }

    QLabel *hexLabel() const { return w.hexLabel; }
    QLabel *decLabel() const { return w.decLabel; }
    QLabel *positionLabel() const { return w.positionLabel; }
    ColorSwatch *swatch8() const { return w.swatch8; }
    ColorSwatch *swatch4() const { return w.swatch4; }
    QLabel *swatchPanel() const { return w.swatchPanel; }
    QLabel *zoomPanel() const { return w.zoomPanel; }
    QLabel *zoomLabel() const { return w.zoomLabel; }
    QLabel *memPanel() const { return w.memPanel; }
    QLabel *memKey(int i) const { return w.memKeys[std::size_t(i)]; }
    QLabel *memSwatch(int i) const { return w.memSwatches[std::size_t(i)]; }
    QLabel *memFrame(int i) const { return w.memFrames[std::size_t(i)]; }
    QLabel *memValue(int i) const { return w.memValues[std::size_t(i)]; }
    CLabel *saveColorsButton() const { return w.saveColorsButton; }
    CLabel *optionsIcon() const { return w.optionsIcon; }
    CLabel *helpIcon() const { return w.helpIcon; }
    CLabel *aboutIcon() const { return w.aboutIcon; }
    CLabel *moreIcon() const { return w.moreIcon; }
    CLabel *normalIcon() const { return w.normalIcon; }
    CHelpDlg *helpDlg() const { return w.helpDlg; }
    CAboutDlg *aboutDlg() const { return w.aboutDlg; }
    COptionsDlg *optionsDlg() const { return w.optionsDlg; }

private:
    Vikaro &w;
};
