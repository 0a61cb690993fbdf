#pragma once

#include <QLine>
#include <QRect>
#include <QVector>

class QPainter;

// The sight marks the centre block of a magnified picture of `span` x `span` screen pixels,
// each shown as a `factor` x `factor` block. All coordinates are pixels of that picture.
struct SightGeometry
{
    int a = 0; // row and column just before the centre block
    int b = 0; // row and column just after it
    int c = 0; // middle row and column of the centre block
    int e = 0; // last row and column of the picture
    int w = 0; // picture side
};

SightGeometry sightGeometry(int factor, int span);

// The figure of one sight type: an optional frame (drawn first), then lines. Types outside
// 1..4 have no figure. No shape ever touches (a + 1, a + 1), the pixel whose colour is read.
struct SightFigure
{
    bool hasFrame = false;
    QRect frame;
    QVector<QLine> lines;
};

SightFigure sightFigure(int type, int factor, int span);

// Paints the figure twice on `painter`'s device, light and solid, then dark and dotted, both
// half transparent, so it shows on light and dark content alike.
void paintSight(QPainter &painter, int type, int factor, int span);
