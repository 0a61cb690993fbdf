#pragma once

#include <QLabel>

// A label filled with one opaque colour. It shows what the style sheet
// "QLabel{background:#rrggbb;}" would, without re-polishing the widget at every change of
// colour, which costs more than the rest of a sampling tick.
class ColorSwatch : public QLabel
{
public:
    explicit ColorSwatch(QWidget *parent = nullptr);

    // 0x00RRGGBB; repaints only when it differs from the colour shown.
    void setColor(quint32 rgb);
    quint32 color() const { return shown; }

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    quint32 shown = 0;
};
