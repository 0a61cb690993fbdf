#include "magnify.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstring>

#include "sightgeometry.h"

namespace {

// One source row becomes the first of its `factor` rows: each pixel written `factor` times.
// With the factor known to the compiler the inner loop unrolls; the smallest zooms, whose rows
// hold the most pixels, take that path.
template <int Factor>
void widenRowBy(const QRgb *in, int width, QRgb *out)
{
    for (int x = 0; x < width; ++x, out += Factor)
        std::fill_n(out, Factor, in[x]);
}

void widenRow(const QRgb *in, int width, int factor, QRgb *out)
{
    if (factor == 3)
        return widenRowBy<3>(in, width, out);
    if (factor == 5)
        return widenRowBy<5>(in, width, out);
    for (int x = 0; x < width; ++x)
        out = std::fill_n(out, factor, in[x]);
}

} // namespace

QImage magnified(const QImage &source, int factor)
{
    const QImage rgb = (source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32)
        ? source
        : source.convertToFormat(QImage::Format_RGB32);
    const int width = rgb.width();
    const std::size_t rowBytes = std::size_t(width) * std::size_t(factor) * sizeof(QRgb);
    QImage out(width * factor, rgb.height() * factor, rgb.format());
    uchar *const bits = out.bits(); // one detach, not one per row
    const qsizetype stride = out.bytesPerLine();
    for (int y = 0; y < rgb.height(); ++y) {
        uchar *first = bits + qsizetype(y) * factor * stride;
        widenRow(reinterpret_cast<const QRgb *>(rgb.constScanLine(y)), width, factor, reinterpret_cast<QRgb *>(first));
        for (int row = 1; row < factor; ++row)
            std::memcpy(first + row * stride, first, rowBytes);
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
