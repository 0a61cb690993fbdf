#include "sightgeometry.h"

#include <QBrush>
#include <QColor>
#include <QPainter>
#include <QPen>

namespace {

const QColor lightPass(200, 200, 200, 111);
const QColor darkPass(55, 55, 55, 111);

QVector<QLine> fullCross(const SightGeometry &g)
{
    return {QLine(0, g.c, g.e, g.c), QLine(g.c, 0, g.c, g.e)};
}

QVector<QLine> openCross(const SightGeometry &g)
{
    return {QLine(g.b, g.c, g.w, g.c), QLine(0, g.c, g.a, g.c), QLine(g.c, 0, g.c, g.a),
            QLine(g.c, g.b, g.c, g.w)};
}

void drawFigure(QPainter &painter, const SightFigure &figure)
{
    if (figure.hasFrame)
        painter.drawRect(figure.frame);
    for (const QLine &line : figure.lines)
        painter.drawLine(line);
}

} // namespace

SightGeometry sightGeometry(int factor, int span)
{
    SightGeometry g;
    const int half = span / 2;
    g.a = half * factor - 1;
    g.b = g.a + factor + 1;
    g.c = g.a + factor / 2 + 1;
    g.w = factor * span;
    g.e = g.w - 1;
    return g;
}

SightFigure sightFigure(int type, int factor, int span)
{
    const SightGeometry g = sightGeometry(factor, span);
    SightFigure figure;
    if (type == 3 || type == 4) {
        figure.hasFrame = true;
        figure.frame = QRect(g.a, g.a, factor + 1, factor + 1);
    }
    if (type == 1)
        figure.lines = fullCross(g);
    else if (type == 2 || type == 4)
        figure.lines = openCross(g);
    return figure;
}

void paintSight(QPainter &painter, int type, int factor, int span)
{
    const SightFigure figure = sightFigure(type, factor, span);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(lightPass));
    drawFigure(painter, figure);
    painter.setPen(QPen(QBrush(darkPass), 1, Qt::DotLine));
    drawFigure(painter, figure);
}
