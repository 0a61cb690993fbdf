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
    QImage out(source.width() * factor, source.height() * factor,
               source.format() == QImage::Format_ARGB32 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    magnifyInto(out.bits(), out.bytesPerLine(), source, factor); // one detach, not one per row
    return out;
}

void magnifyInto(uchar *target, qsizetype stride, const QImage &source, int factor)
{
    const QImage rgb = (source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32)
        ? source
        : source.convertToFormat(QImage::Format_RGB32);
    const int width = rgb.width();
    const std::size_t rowBytes = std::size_t(width) * std::size_t(factor) * sizeof(QRgb);
    for (int y = 0; y < rgb.height(); ++y) {
        uchar *first = target + qsizetype(y) * factor * stride;
        widenRow(reinterpret_cast<const QRgb *>(rgb.constScanLine(y)), width, factor, reinterpret_cast<QRgb *>(first));
        for (int row = 1; row < factor; ++row)
            std::memcpy(first + row * stride, first, rowBytes);
    }
}

void drawSightOn(QPaintDevice &picture, int type, int factor, int span)
{
    const SightFigure figure = sightFigure(type, factor, span);
    if (!figure.hasFrame && figure.lines.isEmpty())
        return;
    QPainter painter(&picture);
    paintSight(painter, type, factor, span);
}
