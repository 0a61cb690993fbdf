#include "vikaro.h"

#include <QClipboard>
#include <QDebug>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QWheelEvent>

#include "colortext.h"
#include "desktop/desktop.h"
#include "settings/cdata.h"
#include "settings/preferences.h"

namespace {

struct PointerStep
{
    int key;
    QPoint offset;
};

// Main-keyboard digits and keypad digits send the same codes, so both move alike.
const PointerStep pointerSteps[] = {
    {Qt::Key_Up, {0, -1}},       {Qt::Key_8, {0, -1}},
    {Qt::Key_Down, {0, 1}},      {Qt::Key_2, {0, 1}},
    {Qt::Key_Left, {-1, 0}},     {Qt::Key_4, {-1, 0}},
    {Qt::Key_Right, {1, 0}},     {Qt::Key_6, {1, 0}},
    {Qt::Key_Home, {-1, -1}},    {Qt::Key_7, {-1, -1}},
    {Qt::Key_PageUp, {1, -1}},   {Qt::Key_9, {1, -1}},
    {Qt::Key_End, {-1, 1}},      {Qt::Key_1, {-1, 1}},
    {Qt::Key_PageDown, {1, 1}},  {Qt::Key_3, {1, 1}},
};

void copyToClipboard(const QString &text)
{
    qDebug() << "--- clipboard = " << text;
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

} // namespace

// Modifiers and auto-repeat are not looked at: Ctrl+D copies like D, a held arrow repeats.
void Vikaro::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (key == Qt::Key_Insert || key == Qt::Key_0 || key == Qt::Key_Delete || key == Qt::Key_Period) {
        placeAnchor(key == Qt::Key_Insert || key == Qt::Key_0);
        event->accept();
        return;
    }
    if (!applyKey(key)) {
        qDebug() << "---key = " << QStringLiteral("0x%1").arg(key, 8, 16, QLatin1Char('0')).toUpper();
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

// Sets the anchor on the pointer, or clears it; the pointer itself stays where it is.
void Vikaro::placeAnchor(bool set)
{
    anchor = set ? desk.cursorPos() : QPoint();
    anchorSet = set;
    refreshLayout();
}

// Only the arrows move the pointer, by one pixel from where it really is: setting it back to
// where it was when the key came would throw it back wherever that position was stale (a
// desktop that tells the pointer only with its pictures, while paused). False for keys we leave.
bool Vikaro::applyKey(int key)
{
    for (const PointerStep &step : pointerSteps) {
        if (step.key == key) {
            desk.movePointerBy(step.offset);
            return true;
        }
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        storeColor(key - Qt::Key_F1);
        return true;
    }
    switch (key) {
    case Qt::Key_D:
        onClipRgbDec();
        return true;
    case Qt::Key_X:
        onClipRgbHex();
        return true;
    case Qt::Key_F:
    case Qt::Key_U:
        frozen = (key == Qt::Key_F);
        refreshLayout();
        resumeSampling();
        return true;
    case Qt::Key_G: {
        gridType = gridType + 1 > 4 ? 0 : gridType + 1;
        CData store;
        store.setInt(prefs::group, prefs::gridType, gridType);
        return true;
    }
    case Qt::Key_Asterisk:
        stepZoom(1);
        return true;
    case Qt::Key_Slash:
        stepZoom(-1);
        return true;
    default:
        return false;
    }
}

// Over the window the key empties the slot; elsewhere it stores the sampled colour, opaque. With
// no picture (a desktop not ready, or gone) there is no colour, and the slot keeps its own.
void Vikaro::storeColor(int slot)
{
    if (!pointerInside && !hasSample())
        return;
    quint32 &stored = storedColors[std::size_t(slot)];
    stored = pointerInside ? 0 : (currentColor | 0xFF000000u);
    refreshStoredColors();
    CData store;
    store.setInt(prefs::group, prefs::colorKey(slot), int(stored));
}

void Vikaro::stepZoom(int delta)
{
    zoomIndex = clampZoomIndex(zoomIndex + delta);
    refreshLayout();
}

// One level per event, whatever its size; a horizontal wheel counts like a vertical one.
void Vikaro::wheelEvent(QWheelEvent *event)
{
    if (pointerInside) {
        event->ignore();
        return;
    }
    const QPoint angle = event->angleDelta();
    const int delta = qAbs(angle.x()) > qAbs(angle.y()) ? angle.x() : angle.y();
    if (delta != 0)
        stepZoom(delta > 0 ? 1 : -1);
    event->accept();
}

void Vikaro::onClipRgbDec()
{
    if (hasSample())
        copyToClipboard(clipDecText(currentColor));
}

void Vikaro::onClipRgbHex()
{
    if (hasSample())
        copyToClipboard(clipHexText(currentColor));
}
