#pragma once

#include <QLabel>

#include "straightpainted.h"

// A label filled with one opaque colour. It shows what the style sheet
// "QLabel{background:#rrggbb;}" would, without re-polishing the widget at every change of
// colour, which costs more than the rest of a sampling tick. Its window may paint a new colour
// straight (see StraightPainted).
class ColorSwatch : public QLabel, public StraightPainted
{
public:
    explicit ColorSwatch(QWidget *parent = nullptr);

    // 0x00RRGGBB; repaints only when it differs from the colour shown.
    void setColor(quint32 rgb);
    quint32 color() const { return shown; }

    bool canPaintStraight(QImage::Format format) override;
    void paintStraight(QImage &target, const QPoint &at) override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    quint32 shown = 0;
};
