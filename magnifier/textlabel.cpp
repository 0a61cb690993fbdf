#include "textlabel.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "glyphprints.h"
#include "lineglyphs.h"

namespace {

// A background without a see-through pixel is kept without an alpha channel, so painting it is
// a copy instead of a blend, with the same pixels.
QPixmap opaqueIfItIs(const QPixmap &pixmap)
{
    const QImage image = pixmap.toImage();
    if (image.depth() != 32)
        return pixmap;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        if (std::any_of(line, line + image.width(), [](QRgb pixel) { return qAlpha(pixel) != 255; }))
            return pixmap;
    }
    return QPixmap::fromImage(image.convertToFormat(QImage::Format_RGB32));
}

} // namespace

TextLabel::TextLabel(QWidget *parent)
    : QLabel(parent)
    , StraightPainted(this)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setTextFormat(Qt::PlainText); // no guessing at rich text in every new text
}

TextLabel::~TextLabel() = default;

void TextLabel::setCharacters(const QString &expected)
{
    characters = expected;
    glyphs.reset();
}

void TextLabel::showLine(const QString &line)
{
    if (line == text())
        return;
    const bool shown = isVisible() && !background.isNull() && laidOut();
    std::swap(before, laid); // the storage of the line before that is laid out again
    laidText = QString();
    setAttribute(Qt::WA_UpdatesDisabled); // the label would repaint all of itself
    setText(line);
    setAttribute(Qt::WA_UpdatesDisabled, false);
    if (!shown || !laidOut())
        return changed(rect());
    const InkSpan span = LineGlyphs::changedSpan(before, laid);
    const int left = int(std::floor(baseline.x() + span.left));
    const int right = int(std::ceil(baseline.x() + span.right));
    if (right > left)
        changed(QRect(left, 0, right - left, height()) & rect());
}

// A line placed glyph by glyph over a background kept opaque, in a solid pen, once its glyphs
// blended here proved to give the toolkit's pixels in an image of the window's format.
bool TextLabel::canPaintStraight(QImage::Format format)
{
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32_Premultiplied)
        return false;
    // The toolkit places a glyph at the window's left edge unlike any other; none is there.
    if (opaqueBackground.isNull() || backgroundRect != geometry() || backgroundParentSize != parentWidget()->size()
        || mapTo(window(), QPoint()).x() <= 0 || !laidOut())
        return false;
    const QBrush &brush = palette().brush(foregroundRole());
    return brush.style() == Qt::SolidPattern && brush.color().alpha() == 255 && printsReady(format);
}

// Glyph prints for the font and pen, checked once per format on the first line there is.
bool TextLabel::printsReady(QImage::Format format)
{
    if (printsChecked == format)
        return prints != nullptr;
    if (text().isEmpty())
        return false;
    printsChecked = format;
    prints = GlyphPrints::of(glyphs->rawFont());
    if (!printsMatchToolkit(format))
        prints.reset();
    return prints != nullptr;
}

void TextLabel::paintStraight(QImage &target, const QPoint &at)
{
    const QRect part = heldRepaint();
    const std::size_t rowBytes = std::size_t(part.width()) * sizeof(QRgb);
    uchar *bits = target.bits();
    for (int y = part.top(); y <= part.bottom(); ++y)
        std::memcpy(reinterpret_cast<QRgb *>(bits + (at.y() + y) * target.bytesPerLine()) + at.x() + part.left(),
                    reinterpret_cast<const QRgb *>(opaqueBackground.constScanLine(y)) + part.left(), rowBytes);
    if (!text().isEmpty())
        prints->blend(target, baseline + at, laid, part.translated(at), straightPen());
}

QRgb TextLabel::straightPen() const
{
    return palette().brush(foregroundRole()).color().rgb();
}

// The shown line painted both ways over the background in an image of `format`, as far from
// the left as in the window.
bool TextLabel::printsMatchToolkit(QImage::Format format)
{
    const int left = mapTo(window(), QPoint()).x();
    QImage toolkit(left + width(), height(), format);
    toolkit.fill(Qt::black);
    {
        QPainter painter(&toolkit);
        painter.drawImage(left, 0, opaqueBackground);
    }
    QImage straight = toolkit.copy();
    {
        QPainter painter(&toolkit);
        painter.translate(left, 0);
        painter.setPen(QPen(palette().brush(foregroundRole()), painter.pen().widthF()));
        painter.drawGlyphRun(baseline, glyphs->run(laid, {-baseline.x(), width() - baseline.x()}));
    }
    prints->blend(straight, baseline + QPointF(left, 0), laid, straight.rect(), straightPen());
    return straight == toolkit;
}

void TextLabel::paintEvent(QPaintEvent *event)
{
    keepBackground();
    prepareGlyphs(); // at the first paint, empty, while the first tick still waits
    QPainter painter(this);
    painter.drawPixmap(0, 0, background);
    if (text().isEmpty())
        return;
    painter.setPen(QPen(palette().brush(foregroundRole()), painter.pen().widthF()));
    if (laidOut())
        painter.drawGlyphRun(baseline, glyphs->run(laid, {event->rect().left() - baseline.x(),
                                                         event->rect().right() + 1 - baseline.x()}));
    else
        painter.drawText(baseline, text());
}

// Whether the text is placed glyph by glyph in `laid`, for the font as it is.
bool TextLabel::laidOut()
{
    prepareGlyphs();
    if (laidText.isNull() || laidText != text()) {
        laidText = text();
        laidWhole = layoutDirection() == Qt::LeftToRight && glyphs->lay(laidText, laid);
    }
    return laidWhole;
}

// The glyphs of the characters expected, once per font.
void TextLabel::prepareGlyphs()
{
    if (glyphs)
        return;
    glyphs = std::make_unique<LineGlyphs>(font());
    prints.reset();
    printsChecked = QImage::Format_Invalid;
    glyphs->learn(characters);
    laidText = QString();
}

// A change of style, palette, font or state may change what is beneath as well.
void TextLabel::changeEvent(QEvent *event)
{
    background = QPixmap();
    opaqueBackground = QImage();
    glyphs.reset();
    prints.reset();
    printsChecked = QImage::Format_Invalid;
    QLabel::changeEvent(event);
}

// Renders the parent's own background (not its other children) beneath the label, and finds
// where the line starts, once per place, parent size and font.
void TextLabel::keepBackground()
{
    QWidget *parent = parentWidget();
    if (!parent || (!background.isNull() && backgroundRect == geometry() && backgroundParentSize == parent->size()))
        return;
    backgroundRect = geometry();
    backgroundParentSize = parent->size();
    const qreal ratio = devicePixelRatioF();
    background = QPixmap(size() * ratio);
    background.setDevicePixelRatio(ratio);
    background.fill(Qt::transparent);
    parent->render(&background, QPoint(), QRegion(backgroundRect), QWidget::DrawWindowBackground);
    background = opaqueIfItIs(background);
    opaqueBackground = background.hasAlphaChannel() ? QImage() : background.toImage().convertToFormat(QImage::Format_RGB32);
    baseline = baselineStart();
}

// Where a label's layout starts its line (label coordinates, pixels): at the left edge, and at
// the line's ascent below a top that centres the line's height, the top kept in the layout's
// 1/64 pixel steps.
QPointF TextLabel::baselineStart() const
{
    const QFontMetricsF metrics(font());
    const qreal top = (height() - (metrics.ascent() + metrics.descent())) / 2;
    return QPointF(0, std::trunc(top * 64) / 64 + metrics.ascent());
}
