#pragma once

#include <QRect>
#include <QSize>
#include <QString>

// Where the zoom-dependent widgets of the main window go, in window pixels. The picture is
// `side` x `side` (factor x span of the zoom level), centred on the widest picture of all levels.
struct LayoutGeometry
{
    int side = 0;
    int margin = 0;
    QRect swatchPanel;   // in the window
    QRect swatch8;       // in swatchPanel
    QRect swatch4;       // in swatchPanel
    QRect zoomPanel;     // in the window
    QRect zoomLabel;     // in zoomPanel
    QRect positionLabel; // in the window
    QSize window;        // fixed size of the whole window
};

// `zoomIndex` must already be within 0..8.
LayoutGeometry layoutFor(int zoomIndex, bool showFx, bool anchorSet);

// "Vikaro */9" followed by `frozenSuffix` (already translated, or empty when not frozen).
QString magnifierTitle(int zoomFactor, const QString &frozenSuffix);
