#include "colorswatch.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>

ColorSwatch::ColorSwatch(QWidget *parent)
    : QLabel(parent)
    , StraightPainted(this)
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
    changed(rect());
}

bool ColorSwatch::canPaintStraight(QImage::Format format)
{
    return testAttribute(Qt::WA_OpaquePaintEvent)
        && (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied);
}

void ColorSwatch::paintStraight(QImage &target, const QPoint &at)
{
    const QRect part = heldRepaint().translated(at);
    uchar *bits = target.bits();
    for (int y = part.top(); y <= part.bottom(); ++y)
        std::fill_n(reinterpret_cast<QRgb *>(bits + y * target.bytesPerLine()) + part.left(), part.width(), 0xFF000000u | shown);
}

void ColorSwatch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(QRgb(0xFF000000u | shown)));
}
