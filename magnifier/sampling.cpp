#include "vikaro.h"

#include <QDebug>
#include <QLabel>
#include <QTimer>
#include <QWindow>

#include "colorswatch.h"
#include "colortext.h"
#include "desktop/desktop.h"
#include "desktop/desktopproblems.h"
#include "dialogs/mymessagebox.h"
#include "magnify.h"
#include "monitors.h"
#include "picturelabel.h"
#include "textlabel.h"

// While paused the timer rests instead of waking the program 33 times a second for nothing;
// whatever ends the pause (leaving the window, getting the focus back, U) starts it again.
void Vikaro::manageTimouts()
{
    if (timer && timer->isActive())
        timer->stop();
    const bool paused = !appActive || pointerInside || frozen;
    desk.setNeed(!appActive ? Desktop::Need::Nothing : paused ? Desktop::Need::Pointer : Desktop::Need::Pictures);
    if (paused)
        return;
    if (!placed)
        placeExactly();
    followMonitors();
    const QPoint pointer = desk.cursorPos();
    const int monitor = screenIndexAt(pointer);
    const QImage grabbed = grabAround(pointer);
    if (grabbed.isNull()) {
        showNothing();
    } else {
        showPicture(grabbed);
        readCentreColor();
        showColorTexts(pointer, monitor);
        showSwatches();
    }
    timer->start(tickInterval);
}

// The monitors numbered and measured are those whose pixels are shown; a desktop whose layout
// comes later or changes (a portal's, after consent or a new resolution) says so.
void Vikaro::followMonitors()
{
    if (screenRectsVersion == desk.layoutVersion())
        return;
    screenRects = desk.monitors();
    screenRectsVersion = desk.layoutVersion();
}

// The zoomSpan-sided square centred on `pointer` (global device pixels); null while the
// desktop has no picture to give.
QImage Vikaro::grabAround(const QPoint &pointer)
{
    if (!desk.isReady())
        return QImage();
    const int half = zoomSpan / 2;
    return desk.grab(QRect(pointer.x() - half, pointer.y() - half, zoomSpan, zoomSpan));
}

// Without a picture of the screen the window shows none, and no colour or position that
// would pass for one.
void Vikaro::showNothing()
{
    if (!zoomSource.isNull() || !zoomLabel->picture().isNull()) {
        zoomSource = QImage();
        zoomLabel->setPicture(QPixmap());
    }
    hexLabel->setText(QString());
    decLabel->setText(QString());
    positionLabel->setText(QString());
    swatch8->setVisible(false);
    swatch4->setVisible(false);
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
    zoomLabel->setPicture(zoomPixmap);
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
    const quint32 reduced = colour4(currentColor);
    swatch8->setVisible(true);
    swatch4->setVisible(true);
    swatch8->setColor(currentColor);
    swatch4->setColor(reduced);
    qDebug() << swatchStyle(currentColor) << "   " << swatchStyle(reduced);
}

void Vikaro::onFocusChanged(QWindow *focusWindow)
{
    if (!ownFocusWindow && focusWindow && focusWindow == windowHandle())
        ownFocusWindow = focusWindow;
    appActive = (ownFocusWindow == focusWindow);
    resumeSampling();
}

// The next tick comes one interval from now, as after any tick.
void Vikaro::resumeSampling()
{
    if (timer && !timer->isActive())
        timer->start(tickInterval);
}

// Said once, beside the window and without holding anything up: the keys that still make
// sense keep working. A problem that goes away takes its box along.
void Vikaro::showDesktopProblem(DesktopProblem problem, bool met)
{
    const QString name = QStringLiteral("desktopProblem");
    if (!met) {
        for (QMessageBox *shown : findChildren<QMessageBox *>(name))
            if (shown->property("problem").toInt() == int(problem))
                shown->close();
        return;
    }
    auto *box = new MyMessageBox(QMessageBox::Warning, tr("Vikaro"), problemText(problem), QMessageBox::Ok, this,
                                 Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box->setObjectName(name);
    box->setProperty("problem", int(problem));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    box->show();
}
