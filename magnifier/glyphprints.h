#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QRawFont>

#include <array>
#include <memory>
#include <vector>

struct GlyphLine;
class QPointF;

// The coverage of each glyph of a font at each place within a pixel it is drawn at, caught once
// from the toolkit's own rendering of it (white on black), to blend a line's glyphs straight
// into an image. Whether that gives the toolkit's pixels (grey antialiasing blended linearly, as
// its raster engine does on such a system) is for the caller to check once against the toolkit.
class GlyphPrints
{
public:
    explicit GlyphPrints(const QRawFont &font);

    // The prints of `font` that every text in it shares while any holds them.
    static std::shared_ptr<GlyphPrints> of(const QRawFont &font);

    // Blends into `target` (32-bit, opaque where written) the glyphs of `line`, its baseline
    // start at `origin` (target pixels), in the opaque colour `pen`, writing only within `clip`.
    void blend(QImage &target, const QPointF &origin, const GlyphLine &line, const QRect &clip, QRgb pen);

private:
    struct Print
    {
        QRect area;      // where it paints, from the pixel the glyph's origin falls in
        QByteArray levels; // grey levels row by row, 0 where the glyph does not paint
    };
    // The toolkit places glyphs in steps of 1/64 pixel.
    static constexpr int subSteps = 64;
    // A glyph's prints at each step across.
    using Steps = std::array<Print, subSteps>;

    const Print &print(quint32 glyph, qreal xWithin, qreal yWithin);
    const std::unique_ptr<Steps> &caughtSteps(quint32 glyph, qreal yWithin);
    static Print cut(const QImage &canvas, const QRect &area, const QPoint &origin);
    // The pen's part of the blend at each coverage 0..255.
    using PenParts = std::array<QRgb, 256>;
    const PenParts &penParts(QRgb pen);

    QRawFont font;
    std::vector<quint64> keys; // glyph and step down of each of `glyphs`
    std::vector<std::unique_ptr<Steps>> glyphs;
    std::vector<std::pair<QRgb, PenParts>> pens; // the few pens texts in this font are written in
};
