#include "glyphprints.h"

#include <QGlyphRun>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "lineglyphs.h"

namespace {

// Room around a glyph's outline for what its rendering adds (hinting, antialiasing), pixels.
constexpr int printMargin = 4;
// Pens whose parts are kept: a window writes its texts in one or two.
constexpr std::size_t heldPens = 4;

// Each channel of `colour` times `level` / 255, rounded.
QRgb scaled(QRgb colour, uint level)
{
    uint redBlue = (colour & 0xFF00FFu) * level;
    redBlue = ((redBlue + ((redBlue >> 8) & 0xFF00FFu) + 0x800080u) >> 8) & 0xFF00FFu;
    uint alphaGreen = ((colour >> 8) & 0xFF00FFu) * level;
    alphaGreen = (alphaGreen + ((alphaGreen >> 8) & 0xFF00FFu) + 0x800080u) & 0xFF00FF00u;
    return alphaGreen | redBlue;
}

// `levels`, `place` wide, blended into the 32-bit pixels `bits`, rows `stride` bytes apart,
// within `clip`: the pen over what is there at each coverage 1..255, each part rounded apart as
// the toolkit's raster engine blends a glyph (`penParts`, the pen's part at each coverage, is
// the pen itself at 255). The sum never carries from one channel into the next.
void blendLevels(uchar *bits, qsizetype stride, const uchar *levels, const QRect &place, const QRect &clip,
                 const std::array<QRgb, 256> &penParts)
{
    const QRect area = place & clip;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uchar *row = levels + (y - place.top()) * place.width() - place.left();
        auto *pixels = reinterpret_cast<QRgb *>(bits + y * stride);
        for (int x = area.left(); x <= area.right(); ++x) {
            const uint level = row[x];
            if (level == 255)
                pixels[x] = penParts[255];
            else if (level != 0)
                pixels[x] = penParts[level] + scaled(pixels[x], 255 - level);
        }
    }
}

// Whether two areas of the same size of `canvas` (32-bit) hold the same pixels.
bool sameCells(const QImage &canvas, const QRect &one, const QRect &other)
{
    const std::size_t rowBytes = std::size_t(one.width()) * sizeof(QRgb);
    for (int y = 0; y < one.height(); ++y)
        if (std::memcmp(canvas.constScanLine(one.top() + y) + one.left() * qsizetype(sizeof(QRgb)),
                        canvas.constScanLine(other.top() + y) + other.left() * qsizetype(sizeof(QRgb)), rowBytes)
            != 0)
            return false;
    return true;
}

} // namespace

GlyphPrints::GlyphPrints(const QRawFont &rawFont)
    : font(rawFont)
{
}

std::shared_ptr<GlyphPrints> GlyphPrints::of(const QRawFont &font)
{
    static std::vector<std::weak_ptr<GlyphPrints>> held;
    held.erase(std::remove_if(held.begin(), held.end(), [](const auto &prints) { return prints.expired(); }), held.end());
    for (const auto &each : held) {
        auto prints = each.lock();
        if (prints->font == font)
            return prints;
    }
    auto made = std::make_shared<GlyphPrints>(font);
    held.push_back(made);
    return made;
}

void GlyphPrints::blend(QImage &target, const QPointF &origin, const GlyphLine &line, const QRect &clip, QRgb pen)
{
    uchar *bits = target.bits();
    const PenParts &parts = penParts(pen);
    for (int i = 0; i < line.indexes.size(); ++i) {
        const InkSpan &ink = line.inks.at(i);
        if (origin.x() + ink.right <= clip.left() || origin.x() + ink.left >= clip.right() + 1)
            continue;
        const QPointF place = origin + line.positions.at(i);
        const QPointF pixel(std::floor(place.x()), std::floor(place.y()));
        const Print &glyph = print(line.indexes.at(i), place.x() - pixel.x(), place.y() - pixel.y());
        const auto *levels = reinterpret_cast<const uchar *>(glyph.levels.constData());
        blendLevels(bits, target.bytesPerLine(), levels, glyph.area.translated(pixel.toPoint()), clip, parts);
    }
}

const GlyphPrints::PenParts &GlyphPrints::penParts(QRgb pen)
{
    const auto found = std::find_if(pens.cbegin(), pens.cend(), [pen](const auto &parts) { return parts.first == pen; });
    if (found != pens.cend())
        return found->second;
    if (pens.size() == heldPens)
        pens.clear();
    PenParts parts;
    for (uint level = 0; level < parts.size(); ++level)
        parts[level] = scaled(pen, level);
    pens.emplace_back(pen, parts);
    return pens.back().second;
}

// A line's few glyphs are looked for in order, their keys side by side.
const GlyphPrints::Print &GlyphPrints::print(quint32 glyph, qreal xWithin, qreal yWithin)
{
    const quint64 key = (quint64(glyph) << 32) | quint64(yWithin * subSteps);
    const auto found = std::find(keys.cbegin(), keys.cend(), key);
    const auto &steps = found != keys.cend() ? glyphs[std::size_t(found - keys.cbegin())] : caughtSteps(glyph, yWithin);
    return (*steps)[std::min(std::size_t(xWithin * subSteps), steps->size() - 1)]; // 1 - tiny rounds up to 1
}

// The glyph drawn in white on black at each step within a pixel across, all in one pass, each
// cut to where it painted. Steps the toolkit draws alike share their pixels.
const std::unique_ptr<GlyphPrints::Steps> &GlyphPrints::caughtSteps(quint32 glyph, qreal yWithin)
{
    const QRectF outline = font.boundingRect(glyph);
    const QPoint origin(printMargin - int(std::floor(outline.left())), printMargin - int(std::floor(outline.top())));
    const QSize cell(int(std::ceil(outline.width())) + 2 * printMargin + 2,
                     int(std::ceil(outline.height())) + 2 * printMargin + 2);
    QImage canvas(cell.width() * subSteps, cell.height(), QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QGlyphRun run;
    run.setRawFont(font);
    run.setGlyphIndexes(QVector<quint32>(subSteps, glyph));
    QVector<QPointF> places;
    for (int step = 0; step < subSteps; ++step)
        places << QPointF(step * cell.width() + origin.x() + qreal(step) / subSteps, origin.y() + yWithin);
    run.setPositions(places);
    {
        QPainter painter(&canvas);
        painter.setPen(Qt::white);
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
    auto caught = std::make_unique<Steps>();
    for (std::size_t step = 0; step < caught->size(); ++step) {
        const QRect area(QPoint(int(step) * cell.width(), 0), cell);
        const bool same = step > 0 && sameCells(canvas, area, area.translated(-cell.width(), 0));
        (*caught)[step] = same ? (*caught)[step - 1] : cut(canvas, area, origin);
    }
    keys.push_back((quint64(glyph) << 32) | quint64(yWithin * subSteps));
    glyphs.push_back(std::move(caught));
    return glyphs.back();
}

// The part of `area` of `canvas` the glyph painted, its glyph's origin at `origin` within area.
GlyphPrints::Print GlyphPrints::cut(const QImage &canvas, const QRect &area, const QPoint &origin)
{
    int left = area.right() + 1, right = area.left() - 1, top = area.bottom() + 1, bottom = area.top() - 1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(canvas.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x)
            if (qRed(row[x]) != 0) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    }
    const QRect painted = right < left ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
    Print print;
    print.area = painted.translated(-area.topLeft() - origin);
    print.levels.resize(painted.width() * painted.height());
    char *levels = print.levels.data();
    for (int y = painted.top(); y <= painted.bottom(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(canvas.constScanLine(y));
        for (int x = painted.left(); x <= painted.right(); ++x)
            *levels++ = char(qRed(row[x]));
    }
    return print;
}
