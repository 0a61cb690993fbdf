#pragma once

#include <QLabel>
#include <QPixmap>
#include <QPointF>
#include <QRect>

// A label for one line of plain text that changes every sampling tick (colour values, pointer
// position), left-aligned and centred vertically, without frame, border or background of its
// own, on a parent whose background does not change while it lives. It paints the same pixels
// as a QLabel, for less: it keeps a copy of the parent's background beneath it instead of
// having the window repaint it (textured, in the style sheet) at every change, and it skips a
// label's frame pass and the line-breaking layout a single line never needs.
class TextLabel : public QLabel
{
public:
    explicit TextLabel(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void keepBackground();
    QPointF baselineStart() const;

    QPixmap background; // the parent's background beneath, for backgroundRect in the parent
    QRect backgroundRect;
    QSize backgroundParentSize;
    QPointF baseline;
};
