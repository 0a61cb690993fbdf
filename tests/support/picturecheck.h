#pragma once

#include <QImage>
#include <QPoint>
#include <QString>

#include <functional>

// Checks a magnified picture block by block: every pixel the sight of type `gridType` leaves
// alone must show `screenPixel` of its screen pixel, the pointer's pixel at the centre.
// Returns an empty text when all match, else where the first mismatch is.
QString pictureMismatch(const QImage &picture, const QPoint &pointer, int factor, int span, int gridType,
                        const std::function<QRgb(const QPoint &)> &screenPixel);
