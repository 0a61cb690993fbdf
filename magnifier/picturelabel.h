#pragma once

#include <QLabel>

// The label showing the magnified picture. While its picture is opaque and exactly its size,
// every pixel of it comes from the picture, so the window does not paint the background and
// the translucent panel beneath it first (per tick, on a changing desktop, that cost more
// than drawing the picture itself). Otherwise, as after a change of zoom while frozen, it
// paints like any label.
class PictureLabel : public QLabel
{
public:
    explicit PictureLabel(QWidget *parent = nullptr);

    void setPicture(const QPixmap &picture);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateOpacity();

    QSize pictureSize;
    bool pictureOpaque = false;
};
