#pragma once

#include <QLabel>

#include <memory>

#include "magnifier/colorswatch.h"
#include "magnifier/picturelabel.h"
#include "magnifier/textlabel.h"
#include "desktop/desktop.h"
#include "magnifier/vikaro.h"

Desktop &desktop(); // support/testsupport.h

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
    QList<QRect> &screenRects() { return w.screenRects; }

    QLabel *hexLabel() const { return w.hexLabel; }
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
