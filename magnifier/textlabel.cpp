#include "textlabel.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

TextLabel::TextLabel(QWidget *parent)
    : QLabel(parent)
{
}

void TextLabel::paintEvent(QPaintEvent *)
{
    if (text().isEmpty())
        return;
    QPainter painter(this);
    painter.setPen(QPen(palette().brush(foregroundRole()), painter.pen().widthF()));
    painter.drawText(baselineStart(), text());
}

// Where a label's layout starts its line (window coordinates of this label, pixels): at the
// left edge, and at the line's ascent below a top that centres the line's height, the top
// kept in the layout's 1/64 pixel steps.
QPointF TextLabel::baselineStart() const
{
    const QFontMetricsF metrics(font());
    const qreal top = (height() - (metrics.ascent() + metrics.descent())) / 2;
    return QPointF(0, std::trunc(top * 64) / 64 + metrics.ascent());
}
