#pragma once

#include <QImage>
#include <QLabel>

#include "straightpainted.h"

class QPainter;

// The label showing the magnified picture, painted as a QLabel showing it as its pixmap would
// be, without a label's bookkeeping at every new picture. While the picture is opaque and
// exactly the label's size, every pixel comes from it, so neither the window paints the
// background and the translucent panel beneath first (per tick, on a changing desktop, that
// cost more than drawing the picture itself) nor the label its frame pass; and the picture is
// enlarged straight into the image the label paints on. Otherwise, as after a change of zoom
// while frozen, it paints like any label. Its window may paint a new picture straight (see
// StraightPainted) while it is opaque.
class PictureLabel : public QLabel, public StraightPainted
{
public:
    explicit PictureLabel(QWidget *parent = nullptr);

    // Shows `square` (grabbed screen pixels) enlarged `factor` times with the sight of
    // `sightType` over it (see magnify.h); a null square shows nothing.
    void setPicture(const QImage &square, int factor, int sightType);
    bool hasPicture() const { return !source.isNull(); }
    int factor() const { return enlargement; }
    // The picture as shown, enlarged and with its sight; null when there is none.
    QImage picture() const;

    bool canPaintStraight(QImage::Format format) override;
    void paintStraight(QImage &target, const QPoint &at) override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool paintInPlace(QPainter &painter, const QPaintEvent &event);
    void paintInto(uchar *topLeft, qsizetype stride, QPainter &painter);
    void updateOpacity();

    QImage source;
    int enlargement = 1;
    int sight = 0;
};
