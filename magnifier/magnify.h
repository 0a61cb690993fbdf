#pragma once

class QImage;

// `source` enlarged `factor` times without smoothing: every source pixel becomes a
// `factor` x `factor` block. The result has the same format as `source` (RGB32 or ARGB32).
QImage magnified(const QImage &source, int factor);
