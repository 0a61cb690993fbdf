#pragma once

#include <QLabel>
#include <QPixmap>
#include <QPointF>
#include <QRect>

#include <memory>

#include "lineglyphs.h"
#include "straightpainted.h"

class GlyphPrints;

// A label for one line of plain text that changes every sampling tick (colour values, pointer
// position), left-aligned and centred vertically, without frame, border or background of its
// own, on a parent whose background does not change while it lives. It paints the same pixels
// as a QLabel, for less: it keeps a copy of the parent's background beneath it instead of
// having the window repaint it (textured, in the style sheet) at every change, and it skips a
// label's frame pass and the line-breaking layout a single line never needs, and places the
// glyphs of a line it has met the characters of without shaping it again. Its window may paint
// a changed line straight (see StraightPainted).
class TextLabel : public QLabel, public StraightPainted
{
public:
    explicit TextLabel(QWidget *parent = nullptr);
    ~TextLabel() override;

    // The characters its texts are made of, whose glyphs it prepares before the first text.
    void setCharacters(const QString &characters);

    // Shows `line` as setText() does, repainting only where it paints differently from the line
    // shown when both are placed glyph by glyph (the last digits of a position, say).
    void showLine(const QString &line);

    bool canPaintStraight(QImage::Format format) override;
    void paintStraight(QImage &target, const QPoint &at) override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void keepBackground();
    void prepareGlyphs();
    bool laidOut();
    QPointF baselineStart() const;
    QRgb straightPen() const;
    bool printsReady(QImage::Format format);
    bool printsMatchToolkit(QImage::Format format);

    QPixmap background; // the parent's background beneath, for backgroundRect in the parent
    QImage opaqueBackground; // the same pixels when none is see-through, else null
    QRect backgroundRect;
    QSize backgroundParentSize;
    QPointF baseline;
    QString characters;
    std::unique_ptr<LineGlyphs> glyphs; // for the font, as long as it stays
    std::shared_ptr<GlyphPrints> prints; // for the font, once checked with the pen against the toolkit
    QImage::Format printsChecked = QImage::Format_Invalid; // the format they were checked in
    GlyphLine laid;                     // the text, when placed glyph by glyph
    GlyphLine before;                   // the text shown before
    QString laidText;
    bool laidWhole = false;
};
