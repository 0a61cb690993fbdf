#pragma once

#include <QLabel>

// A label for one line of plain text that changes every sampling tick (colour values, pointer
// position), left-aligned and centred vertically, without frame or border. It paints the same
// pixels as a QLabel but skips the label's frame pass and the line-breaking layout a label
// runs at every paint, which a single line never needs.
class TextLabel : public QLabel
{
public:
    explicit TextLabel(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointF baselineStart() const;
};
