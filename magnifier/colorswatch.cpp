#include "colorswatch.h"

#include <QPainter>

ColorSwatch::ColorSwatch(QWidget *parent)
    : QLabel(parent)
{
    // Every pixel is painted here: the style sheet background beneath need not be drawn first.
    setAttribute(Qt::WA_OpaquePaintEvent);
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
