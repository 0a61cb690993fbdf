#pragma once

#include <QFont>
#include <QHash>
#include <QRawFont>

class QGlyphRun;
class QString;

// Lays one left-to-right line out in a font as the toolkit's text layout does, without shaping
// each new text: a line made of characters whose every adjacent pair the layout puts side by
// side, each at its own advance (no kerning, ligature or fallback font between them), is placed
// from glyphs and advances kept per character. Each character and pair is checked once against
// the toolkit's layout; a text with any other pair is left to the caller's full layout.
class LineGlyphs
{
public:
    explicit LineGlyphs(const QFont &font);

    // Checks at once every pair of `characters` (those the caller's texts are made of), in one
    // layout instead of one per pair met.
    void learn(const QString &characters);

    // Fills `run` with the glyphs of `text` placed from a baseline start at 0,0 (pixels of the
    // font's resolution); false, leaving `run` as it was, when the text needs the full layout.
    bool lay(const QString &text, QGlyphRun &run);

private:
    struct Glyph
    {
        quint32 index = 0;
        qreal advance = 0;
        bool alone = false; // laid out as a glyph of this font, at its own advance
    };

    Glyph glyphOf(QChar c);
    bool sideBySide(QChar first, QChar second);
    bool agree(const Glyph &first, const Glyph &second, quint32 firstIndex, quint32 secondIndex,
               const QPointF &step) const;

    QFont font;
    QRawFont rawFont;
    QHash<ushort, Glyph> glyphs;
    QHash<quint32, bool> pairs;
};
