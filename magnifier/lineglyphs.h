#pragma once

#include <QFont>
#include <QHash>
#include <QPointF>
#include <QRawFont>
#include <QVector>

#include <limits>
#include <vector>

class QGlyphRun;
class QString;

// Where a glyph may paint, left to right (pixels).
struct InkSpan
{
    qreal left = 0;
    qreal right = 0;
};

// A line's glyphs placed from a baseline start at 0,0 (pixels of the font's resolution), with
// the span each one may paint in.
struct GlyphLine
{
    QVector<quint32> indexes;
    QVector<QPointF> positions;
    QVector<InkSpan> inks;
};

// Lays one left-to-right line out in a font as the toolkit's text layout does, without shaping
// each new text: a line made of characters that the layout shows each as one glyph of the font,
// a pair of them as the same two glyphs one step apart (kerning included: no ligature, fallback
// font or vertical shift between them), is placed from the glyphs and steps it keeps per
// character and pair. Each character and pair is checked once against the toolkit's layout; a
// text with any other pair is left to the caller's full layout.
class LineGlyphs
{
public:
    explicit LineGlyphs(const QFont &font);

    const QRawFont &rawFont() const { return raw; }

    // Checks at once every pair of `characters` (those the caller's texts are made of), in one
    // layout instead of one per pair met.
    void learn(const QString &characters);

    // Places the glyphs of `text` in `line`, reusing its storage; false, leaving `line`
    // meaningless, when the text needs the full layout.
    bool lay(const QString &text, GlyphLine &line);

    // The glyphs of `line` that may paint within `span`, as a run to draw.
    QGlyphRun run(const GlyphLine &line, const InkSpan &span) const;

    // Where two laid lines may differ in what they paint: the spans of every glyph that is not
    // the same glyph in the same place in both; empty (right not beyond left) when none.
    static InkSpan changedSpan(const GlyphLine &before, const GlyphLine &after);

private:
    struct Glyph
    {
        quint32 index = 0;
        InkSpan ink; // from the glyph's origin, with room to spare for its rendering
        bool alone = false; // laid out as one glyph of this font
        bool known = false;
    };
    // How far a pair's second glyph lies from its first (pixels); infinite when the pair is
    // not two glyphs side by side; not a number while not checked yet.
    static constexpr qreal unsound = std::numeric_limits<qreal>::infinity();
    static constexpr qreal unknown = std::numeric_limits<qreal>::quiet_NaN();
    // ASCII, nearly all the texts such a line shows, is kept in tables; other characters in hashes.
    static constexpr ushort tableSize = 128;

    Glyph glyphOf(QChar c);
    Glyph measured(QChar c) const;
    qreal stepOf(QChar first, QChar second);
    qreal recalled(QChar first, QChar second) const;
    void remember(QChar first, QChar second, qreal step);
    qreal checkedStep(QChar first, QChar second, quint32 firstIndex, quint32 secondIndex, const QPointF &step);

    QFont font;
    QRawFont raw;
    std::vector<Glyph> asciiGlyphs = std::vector<Glyph>(tableSize);
    std::vector<qreal> asciiSteps = std::vector<qreal>(tableSize * tableSize, unknown);
    QHash<ushort, Glyph> glyphs;
    QHash<quint32, qreal> steps;
};
