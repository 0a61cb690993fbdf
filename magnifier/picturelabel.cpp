#include "picturelabel.h"

#include <QPixmap>

PictureLabel::PictureLabel(QWidget *parent)
    : QLabel(parent)
{
}

void PictureLabel::setPicture(const QPixmap &picture)
{
    pictureSize = picture.size() / picture.devicePixelRatio();
    pictureOpaque = !picture.isNull() && !picture.hasAlphaChannel();
    setPixmap(picture);
    updateOpacity();
    update();
}

void PictureLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    updateOpacity();
}

void PictureLabel::updateOpacity()
{
    setAttribute(Qt::WA_OpaquePaintEvent, pictureOpaque && pictureSize == size());
}
