#pragma once

#include <QLabel>
#include <QRect>

// A window without frame or window-manager decoration that covers the whole X screen with
// patternPicture(), so every desktop pixel has a known colour. Extra patches can be painted
// over it. Global coordinates equal picture coordinates.
class ScreenPattern : public QLabel
{
public:
    ScreenPattern();
    // Paints `rect` in `rgb` and shows it at once.
    void paintPatch(const QRect &rect, QRgb rgb);
    // The colour shown at global `p` (black off the screen).
    QRgb pixelAt(const QPoint &p) const;

private:
    QImage picture;
};

// Where the magnifier window is put on the display tests' 1280 x 1024 screen: away from the
// corners the tests point at.
extern const QPoint magnifierSpot;

// Reads the X clipboard through another client, as any other program would see it.
QString systemClipboardText();
