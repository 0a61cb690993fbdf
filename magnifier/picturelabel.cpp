#include "picturelabel.h"

#include <QEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include "magnify.h"
#include "sightgeometry.h"

PictureLabel::PictureLabel(QWidget *parent)
    : QLabel(parent)
    , StraightPainted(this)
{
}

void PictureLabel::setPicture(const QImage &square, int factor, int sightType)
{
    source = square;
    enlargement = factor;
    sight = sightType;
    updateOpacity();
    changed(rect());
}

QImage PictureLabel::picture() const
{
    if (source.isNull())
        return QImage();
    QImage shown = magnified(source, enlargement);
    drawSightOn(shown, sight, enlargement, source.width());
    return shown;
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
    QPainter painter(this);
    if (testAttribute(Qt::WA_OpaquePaintEvent)) {
        if (!paintInPlace(painter, *event))
            painter.drawImage(0, 0, picture());
        return;
    }
    drawFrame(&painter);
    if (source.isNull())
        return;
    QPixmap shown = QPixmap::fromImage(picture());
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

// Enlarges the picture straight into the image the painter writes to (the window's backing
// store, as a rule), saving a copy of all its pixels, when the whole label is to be painted
// there one to one. A painter that scales, a clipped label or another kind of device takes
// the drawn image instead.
bool PictureLabel::paintInPlace(QPainter &painter, const QPaintEvent &event)
{
    QPaintDevice *device = painter.paintEngine() ? painter.paintEngine()->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image || event.region() != QRegion(rect()))
        return false;
    const auto &target = *static_cast<QImage *>(device);
    const QTransform toTarget = painter.deviceTransform();
    const QPoint at(int(toTarget.dx()), int(toTarget.dy()));
    const bool oneToOne = toTarget.type() <= QTransform::TxTranslate && QPointF(at) == QPointF(toTarget.dx(), toTarget.dy())
        && target.devicePixelRatio() == 1 && target.rect().contains(QRect(at, size()));
    if (!oneToOne || (target.format() != QImage::Format_RGB32 && target.format() != QImage::Format_ARGB32_Premultiplied))
        return false;
    // The painter's engine writes into these very bytes; asking for writable ones could copy them.
    auto *bits = const_cast<uchar *>(target.constBits());
    paintInto(bits + at.y() * target.bytesPerLine() + at.x() * qsizetype(sizeof(QRgb)), target.bytesPerLine(), painter);
    return true;
}

// `painter` paints on the same pixels as `topLeft`, from the label's top-left.
void PictureLabel::paintInto(uchar *topLeft, qsizetype stride, QPainter &painter)
{
    magnifyInto(topLeft, stride, source, enlargement);
    paintSight(painter, sight, enlargement, source.width());
}

bool PictureLabel::canPaintStraight(QImage::Format format)
{
    return testAttribute(Qt::WA_OpaquePaintEvent) && heldRepaint() == rect()
        && (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied);
}

// A sight with a figure needs a painter; most have none, and the picture is then all there is.
void PictureLabel::paintStraight(QImage &target, const QPoint &at)
{
    uchar *topLeft = target.bits() + at.y() * target.bytesPerLine() + at.x() * qsizetype(sizeof(QRgb));
    const SightFigure figure = sightFigure(sight, enlargement, source.width());
    if (!figure.hasFrame && figure.lines.isEmpty())
        return magnifyInto(topLeft, target.bytesPerLine(), source, enlargement);
    QPainter painter(&target);
    painter.translate(at);
    paintInto(topLeft, target.bytesPerLine(), painter);
}

// Setting the attribute, even to the value it has, makes the window work out again which of
// its parts are opaque; so only a change sets it.
void PictureLabel::updateOpacity()
{
    const bool fits = source.size() * enlargement == size() && frameWidth() == 0;
    const bool opaque = fits && !source.isNull() && !source.hasAlphaChannel();
    if (opaque != testAttribute(Qt::WA_OpaquePaintEvent))
        setAttribute(Qt::WA_OpaquePaintEvent, opaque);
}
