#pragma once

#include <QImage>
#include <QLabel>

// The label showing the magnified picture, painted as a QLabel showing it as its pixmap would
// be, without a label's bookkeeping at every new picture. While the picture is opaque and
// exactly the label's size, every pixel comes from it, so neither the window paints the
// background and the translucent panel beneath first (per tick, on a changing desktop, that
// cost more than drawing the picture itself) nor the label its frame pass. Otherwise, as
// after a change of zoom while frozen, it paints like any label.
class PictureLabel : public QLabel
{
public:
    explicit PictureLabel(QWidget *parent = nullptr);

    void setPicture(const QImage &shown);
    QImage picture() const { return shownPicture; }

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateOpacity();

    QImage shownPicture;
};
