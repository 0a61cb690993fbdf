#include "vikaro.h"

#include <QDebug>
#include <QLabel>
#include <QTimer>
#include <QWindow>

#include "colortext.h"
#include "desktop.h"
#include "magnify.h"
#include "monitors.h"

void Vikaro::manageTimouts()
{
    if (!appActive || pointerInside || frozen)
        return;
    if (timer && timer->isActive())
        timer->stop();
    if (!placed)
        placeExactly();
    const QPoint pointer = desktop().cursorPos();
    const int monitor = screenIndexAt(pointer);
    const int half = zoomSpan / 2;
    const QRect square(pointer.x() - half, pointer.y() - half, zoomSpan, zoomSpan);
    showPicture(desktop().grab(screenFor(monitor), square));
    readCentreColor();
    showColorTexts(pointer, monitor);
    showSwatches();
    timer->start(tickInterval);
}

// The same square under the same sight and zoom makes the same picture: the one shown stays,
// without enlarging and repainting it again (most ticks while the pointer rests).
void Vikaro::showPicture(const QImage &grabbed)
{
    if (grabbed == zoomSource && gridType == zoomSourceSight && zoomPixmap.width() == grabbed.width() * zoomFactor)
        return;
    zoomSource = grabbed;
    zoomSourceSight = gridType;
    magnify(grabbed);
    drawSight();
    zoomLabel->setPixmap(zoomPixmap);
    zoomLabel->update();
}

void Vikaro::magnify(const QImage &grabbed)
{
    zoomPixmap = QPixmap::fromImage(magnified(grabbed, zoomFactor));
}

void Vikaro::drawSight()
{
    drawSightOn(zoomPixmap, gridType, zoomFactor, zoomSpan);
}

// The top-left pixel of the centre block shows the screen pixel under the pointer; the sight
// never paints it.
void Vikaro::readCentreColor()
{
    const int centre = (zoomSpan / 2) * zoomFactor;
    currentColor = zoomPixmap.toImage().pixel(centre, centre) & 0x00FFFFFFu;
}

void Vikaro::showColorTexts(const QPoint &pointer, int monitor)
{
    hexLabel->setText(hexText(currentColor));
    decLabel->setText(decText(currentColor));
    positionLabel->setText(anchorSet ? anchorPositionText(pointer, anchor)
                                     : monitorPositionText(pointer, monitor, monitorRect(monitor)));
}

void Vikaro::showSwatches()
{
    const QString style8 = swatchStyle(currentColor);
    const QString style4 = swatchStyle(colour4(currentColor));
    setStyleSheetIfChanged(swatch8, style8);
    setStyleSheetIfChanged(swatch4, style4);
    qDebug() << style8 << "   " << style4;
}

void Vikaro::onFocusChanged(QWindow *focusWindow)
{
    if (!ownFocusWindow && focusWindow && focusWindow == windowHandle())
        ownFocusWindow = focusWindow;
    appActive = (ownFocusWindow == focusWindow);
}
