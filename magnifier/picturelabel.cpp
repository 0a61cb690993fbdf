#include "picturelabel.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

PictureLabel::PictureLabel(QWidget *parent)
    : QLabel(parent)
{
}

void PictureLabel::setPicture(const QImage &shown)
{
    shownPicture = shown;
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

void PictureLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (testAttribute(Qt::WA_OpaquePaintEvent)) {
        painter.drawImage(0, 0, shownPicture);
        return;
    }
    drawFrame(&painter);
    if (shownPicture.isNull())
        return;
    QPixmap shown = QPixmap::fromImage(shownPicture);
    if (!isEnabled()) {
        QStyleOption option;
        option.initFrom(this);
        shown = style()->generatedIconPixmap(QIcon::Disabled, shown, &option);
    }
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    style()->drawItemPixmap(&painter, area, QStyle::visualAlignment(layoutDirection(), alignment()), shown);
}

void PictureLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    updateOpacity();
}

// Setting the attribute, even to the value it has, makes the window work out again which of
// its parts are opaque; so only a change sets it.
void PictureLabel::updateOpacity()
{
    const bool fits = shownPicture.size() / shownPicture.devicePixelRatio() == size() && frameWidth() == 0;
    const bool opaque = fits && !shownPicture.isNull() && !shownPicture.hasAlphaChannel();
    if (opaque != testAttribute(Qt::WA_OpaquePaintEvent))
        setAttribute(Qt::WA_OpaquePaintEvent, opaque);
}
