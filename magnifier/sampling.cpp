#include "vikaro.h"

#include <QDebug>
#include <QLabel>
#include <QLoggingCategory>
#include <QTimer>
#include <QWindow>

#include <cstring>

#include "colorswatch.h"
#include "colortext.h"
#include "desktop/desktop.h"
#include "desktop/desktopproblems.h"
#include "dialogs/mymessagebox.h"
#include "magnify.h"
#include "monitors.h"
#include "picturelabel.h"
#include "textlabel.h"

namespace {

// Compared row by row, so the bytes padding a row never count.
bool samePixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.format() != b.format())
        return false;
    const std::size_t rowBytes = std::size_t(a.width()) * std::size_t(a.depth()) / 8;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), rowBytes) != 0)
            return false;
    return true;
}

// The line the debug stream would make of the two quoted swatch styles (ASCII), built again only
// when the colour changes.
const QByteArray &swatchLine(quint32 colour)
{
    static quint32 lineColour = 0;
    static QByteArray line;
    if (line.isEmpty() || colour != lineColour) {
        line = (QLatin1Char('"') + swatchStyle(colour) + QLatin1String("\"     \"") + swatchStyle(colour4(colour))
                + QLatin1Char('"'))
                   .toLatin1();
        lineColour = colour;
    }
    return line;
}

} // namespace

// While paused the timer rests instead of waking the program 33 times a second for nothing;
// whatever ends the pause (leaving the window, getting the focus back, U) starts it again.
void Vikaro::manageTimouts()
{
    lastTick.start();
    if (timer && timer->isActive())
        timer->stop();
    const bool paused = !appActive || pointerInside || frozen;
    desk.setNeed(!appActive ? Desktop::Need::Nothing : paused ? Desktop::Need::Pointer : Desktop::Need::Pictures);
    if (paused)
        return;
    if (!placed)
        placeExactly();
    followMonitors();
    holdTickRepaints();
    const Desktop::PointerSquare sample = desk.pointerAndSquare(zoomSpan);
    const int monitor = screenIndexAt(sample.pointer);
    if (sample.square.isNull()) {
        showNothing();
    } else {
        showPicture(sample.square);
        readCentreColor();
        showColorTexts(sample.pointer, monitor);
        showSwatches();
    }
    paintTickChanges();
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

// Without a picture of the screen the window shows none, and no colour or position that
// would pass for one.
void Vikaro::showNothing()
{
    if (!zoomSource.isNull() || zoomLabel->hasPicture()) {
        zoomSource = QImage();
        zoomLabel->setPicture(QImage(), zoomFactor, gridType);
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
    if (gridType == zoomSourceSight && zoomLabel->factor() == zoomFactor && samePixels(grabbed, zoomSource))
        return;
    zoomSource = grabbed;
    zoomSourceSight = gridType;
    zoomLabel->setPicture(grabbed, zoomFactor, gridType);
}

// The top-left pixel of the centre block shows the screen pixel under the pointer and the
// sight never paints it: it is the grabbed square's centre pixel.
void Vikaro::readCentreColor()
{
    const int centre = zoomSpan / 2;
    currentColor = zoomSource.pixel(centre, centre) & 0x00FFFFFFu;
}

// The swatch still shows the colour of the texts shown: while it stays (most ticks on a
// plain area), they are not written again.
void Vikaro::showColorTexts(const QPoint &pointer, int monitor)
{
    if (!swatch8->isVisible() || swatch8->color() != currentColor || hexLabel->text().isEmpty()) {
        hexLabel->showLine(hexText(currentColor));
        decLabel->showLine(decText(currentColor));
    }
    positionLabel->showLine(anchorSet ? anchorPositionText(pointer, anchor)
                                      : monitorPositionText(pointer, monitor, monitorRect(monitor)));
}

void Vikaro::showSwatches()
{
    swatch8->setVisible(true);
    swatch4->setVisible(true);
    swatch8->setColor(currentColor);
    swatch4->setColor(colour4(currentColor));
    if (QLoggingCategory::defaultCategory()->isDebugEnabled())
        qDebug("%s", swatchLine(currentColor).constData()); // formatted without a text stream
}

void Vikaro::onFocusChanged(QWindow *focusWindow)
{
    if (!ownFocusWindow && focusWindow && focusWindow == windowHandle())
        ownFocusWindow = focusWindow;
    appActive = (ownFocusWindow == focusWindow);
    resumeSampling();
}

// The next tick comes when the timer would have fired had it not rested, on the beat of the last
// tick: never sooner than an interval after it, and without waiting a whole interval from now
// (the first picture after the window gets the focus at start).
void Vikaro::resumeSampling()
{
    if (!timer || timer->isActive())
        return;
    const qint64 sinceBeat = lastTick.isValid() ? lastTick.elapsed() % tickInterval : 0;
    timer->start(int(tickInterval - sinceBeat));
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
