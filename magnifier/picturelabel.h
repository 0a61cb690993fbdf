#pragma once

#include <QLabel>

// The label showing the magnified picture, without frame or border. While its picture is
// opaque and exactly its size, every pixel of it comes from the picture, so neither the window
// paints the background and the translucent panel beneath it first (per tick, on a changing
// desktop, that cost more than drawing the picture itself) nor the label its frame pass.
// Otherwise, as after a change of zoom while frozen, it paints like any label.
class PictureLabel : public QLabel
{
public:
    explicit PictureLabel(QWidget *parent = nullptr);

    void setPicture(const QPixmap &picture);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateOpacity();

    QSize pictureSize;
    bool pictureOpaque = false;
};
