#pragma once

#include <QImage>
#include <QList>

#include "magnifier/desktop.h"

// A desktop made of one picture whose top-left pixel sits at `origin` in global coordinates,
// with a pointer that only moves when told to.
class FakeDesktop : public Desktop
{
public:
    explicit FakeDesktop(const QImage &picture, const QPoint &origin = QPoint());

    QPoint cursorPos() override;
    void setCursorPos(const QPoint &globalPos) override;
    QImage grab(QScreen *screen, const QRect &rect) override;

    QPoint cursor;
    QList<QPoint> pointerMoves; // every setCursorPos, in order
    int grabs = 0;

private:
    QImage picture;
    QPoint origin;
};

// Installs a FakeDesktop over a pattern picture of `size` at (0, 0) and returns it.
FakeDesktop *useFakeDesktop(const QSize &size);

// A picture whose colours follow from the position, every pixel unlike its neighbours.
QImage patternPicture(const QSize &size);
QRgb patternPixel(int x, int y);
