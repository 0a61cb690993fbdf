#pragma once

// The steps of a sampling tick that need nothing of the window but what they are handed.

#include <QtGlobal>

class QImage;
class QPaintDevice;

// `source` enlarged `factor` times without smoothing: every source pixel becomes a
// `factor` x `factor` block. The result has the same format as `source` (RGB32 or ARGB32).
QImage magnified(const QImage &source, int factor);

// The same pixels written at `target`, the top-left of the enlarged picture in 32-bit pixels
// rows `stride` bytes apart, with room for all of it.
void magnifyInto(uchar *target, qsizetype stride, const QImage &source, int factor);

// Paints the sight of `type` (see sightgeometry.h) on `picture`, a picture of `span` x `span`
// screen pixels enlarged `factor` times. A type without a figure leaves the picture alone
// without opening a painter on it.
void drawSightOn(QPaintDevice &picture, int type, int factor, int span);
