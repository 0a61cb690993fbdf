#include "picturecheck.h"

#include <QPainter>

#include "magnifier/sightgeometry.h"

namespace {

// White where the sight leaves the picture alone.
QImage sightMask(const QSize &size, int gridType, int factor, int span)
{
    QImage mask(size, QImage::Format_RGB32);
    mask.fill(Qt::white);
    QPainter painter(&mask);
    paintSight(painter, gridType, factor, span);
    return mask;
}

} // namespace

QString pictureMismatch(const QImage &picture, const QPoint &pointer, int factor, int span, int gridType,
                        const std::function<QRgb(const QPoint &)> &screenPixel)
{
    if (picture.size() != QSize(factor * span, factor * span))
        return QString("picture is %1 x %2").arg(picture.width()).arg(picture.height());
    const QImage mask = sightMask(picture.size(), gridType, factor, span);
    const int half = span / 2;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (mask.pixel(x, y) != qRgb(255, 255, 255))
                continue;
            const QPoint screen = pointer + QPoint(x / factor - half, y / factor - half);
            const QRgb want = screenPixel(screen) & 0xFFFFFF;
            const QRgb got = picture.pixel(x, y) & 0xFFFFFF;
            if (got != want)
                return QString("pixel %1,%2 (screen %3,%4) is %5, not %6")
                    .arg(x).arg(y).arg(screen.x()).arg(screen.y()).arg(got, 6, 16, QLatin1Char('0')).arg(want, 6, 16, QLatin1Char('0'));
        }
    }
    return QString();
}
