#include "vikaro.h"

#include <QDebug>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QWindow>

#include "colortext.h"
#include "desktop.h"
#include "magnify.h"
#include "monitors.h"
#include "sightgeometry.h"

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
    magnify(desktop().grab(screenFor(monitor), square));
    drawSight();
    zoomLabel->setPixmap(zoomPixmap);
    readCentreColor();
    showColorTexts(pointer, monitor);
    showSwatches();
    zoomLabel->update();
    timer->start(tickInterval);
}

void Vikaro::magnify(const QImage &grabbed)
{
    zoomPixmap = QPixmap::fromImage(magnified(grabbed, zoomFactor));
}

void Vikaro::drawSight()
{
    QPainter painter(&zoomPixmap);
    paintSight(painter, gridType, zoomFactor, zoomSpan);
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
    swatch8->setStyleSheet(style8);
    swatch8->update();
    swatch4->setStyleSheet(style4);
    swatch4->update();
    qDebug() << style8 << "   " << style4;
}

void Vikaro::onFocusChanged(QWindow *focusWindow)
{
    if (!ownFocusWindow && focusWindow && focusWindow == windowHandle())
        ownFocusWindow = focusWindow;
    appActive = (ownFocusWindow == focusWindow);
}
