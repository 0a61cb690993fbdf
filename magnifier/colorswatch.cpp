#include "colorswatch.h"

#include <QEvent>
#include <QPainter>

ColorSwatch::ColorSwatch(QWidget *parent)
    : QLabel(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// Every pixel is painted here, so nothing beneath need be drawn first. A translucent style
// sheet background (the panel's, inherited) clears that when the style polishes the swatch.
bool ColorSwatch::event(QEvent *event)
{
    const bool handled = QLabel::event(event);
    if (event->type() == QEvent::Polish || event->type() == QEvent::StyleChange)
        setAttribute(Qt::WA_OpaquePaintEvent);
    return handled;
}

void ColorSwatch::setColor(quint32 rgb)
{
    rgb &= 0xFFFFFFu;
    if (rgb == shown)
        return;
    shown = rgb;
    update();
}

void ColorSwatch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(QRgb(0xFF000000u | shown)));
}
