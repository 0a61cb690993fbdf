#include "magnify.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

#include "sightgeometry.h"

QImage magnified(const QImage &source, int factor)
{
    const QImage rgb = (source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32)
        ? source
        : source.convertToFormat(QImage::Format_RGB32);
    const int width = rgb.width();
    const int height = rgb.height();
    const int outWidth = width * factor;
    QImage out(outWidth, height * factor, rgb.format());
    for (int y = 0; y < height; ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        auto *first = reinterpret_cast<QRgb *>(out.scanLine(y * factor));
        for (int x = 0; x < width; ++x)
            std::fill_n(first + x * factor, factor, in[x]);
        for (int row = 1; row < factor; ++row)
            std::copy_n(first, outWidth, reinterpret_cast<QRgb *>(out.scanLine(y * factor + row)));
    }
    return out;
}

void drawSightOn(QPaintDevice &picture, int type, int factor, int span)
{
    const SightFigure figure = sightFigure(type, factor, span);
    if (!figure.hasFrame && figure.lines.isEmpty())
        return;
    QPainter painter(&picture);
    paintSight(painter, type, factor, span);
}
