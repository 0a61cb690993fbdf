#include "picturelabel.h"

#include <QEvent>
#include <QPainter>
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

// The style clears the attribute when it polishes the label (the panel's translucent
// background is inherited).
bool PictureLabel::event(QEvent *event)
{
    const bool handled = QLabel::event(event);
    if (event->type() == QEvent::Polish || event->type() == QEvent::StyleChange)
        updateOpacity();
    return handled;
}

void PictureLabel::paintEvent(QPaintEvent *event)
{
    if (!testAttribute(Qt::WA_OpaquePaintEvent)) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, pixmap(Qt::ReturnByValue));
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
