#pragma once

// The steps of a sampling tick that need nothing of the window but what they are handed.

class QImage;
class QPaintDevice;
class QString;
class QWidget;

// `source` enlarged `factor` times without smoothing: every source pixel becomes a
// `factor` x `factor` block. The result has the same format as `source` (RGB32 or ARGB32).
QImage magnified(const QImage &source, int factor);

// Paints the sight of `type` (see sightgeometry.h) on `picture`, a picture of `span` x `span`
// screen pixels enlarged `factor` times. A type without a figure leaves the picture alone
// without opening a painter on it.
void drawSightOn(QPaintDevice &picture, int type, int factor, int span);

// Gives `widget` the style sheet `style` unless it has that one already: setting a style sheet
// re-polishes the widget (palette, font, geometry) even when the text is the same.
void setStyleSheetIfChanged(QWidget *widget, const QString &style);
