#include "lineglyphs.h"

#include <QGlyphRun>
#include <QTextLayout>

#include <algorithm>
#include <limits>

namespace {

// The glyph runs of `text` as the toolkit lays it out alone on a left-to-right line.
QList<QGlyphRun> laidOut(const QString &text, const QFont &font)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    layout.setTextOption(option);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    return layout.glyphRuns();
}

// Pixels a rendered glyph may reach beyond its outline's box: hinting moves edges, smoothing
// spreads them.
constexpr qreal inkMargin = 2;

quint32 pairKey(QChar first, QChar second)
{
    return quint32(first.unicode()) << 16 | second.unicode();
}

} // namespace

LineGlyphs::LineGlyphs(const QFont &font)
    : font(font)
    , rawFont(QRawFont::fromFont(font))
{
}

void LineGlyphs::learn(const QString &characters)
{
    QString all; // every ordered pair, side by side: each one adjacent at least once
    for (QChar first : characters)
        for (QChar second : characters)
            all += QString(first) + second;
    const QList<QGlyphRun> runs = laidOut(all, font);
    if (runs.size() != 1 || runs.first().rawFont() != rawFont || runs.first().glyphIndexes().size() != all.size())
        return; // glyphs merged or split somewhere: pairs are checked one by one when met
    const QVector<quint32> indexes = runs.first().glyphIndexes();
    const QVector<QPointF> positions = runs.first().positions();
    for (int i = 0; i + 1 < all.size(); ++i) {
        const bool sound = agree(glyphOf(all.at(i)), glyphOf(all.at(i + 1)), indexes.at(i), indexes.at(i + 1),
                                 positions.at(i + 1) - positions.at(i));
        remember(all.at(i), all.at(i + 1), sound);
    }
}

bool LineGlyphs::lay(const QString &text, GlyphLine &line)
{
    GlyphLine laid;
    laid.indexes.resize(text.size());
    laid.positions.resize(text.size());
    laid.inks.resize(text.size());
    qreal x = 0; // a sum of advances in 1/64 pixel steps, exact as the layout's own
    for (int i = 0; i < text.size(); ++i) {
        const Glyph glyph = glyphOf(text.at(i));
        if (!glyph.alone || (i > 0 && !sideBySide(text.at(i - 1), text.at(i))))
            return false;
        laid.indexes[i] = glyph.index;
        laid.positions[i] = QPointF(x, 0);
        laid.inks[i] = {x + glyph.ink.left, x + glyph.ink.right};
        x += glyph.advance;
    }
    line = laid;
    return true;
}

QGlyphRun LineGlyphs::run(const GlyphLine &line, const InkSpan &span) const
{
    const auto meets = [&](int i) { return line.inks.at(i).right > span.left && line.inks.at(i).left < span.right; };
    int met = 0;
    for (int i = 0; i < line.indexes.size(); ++i)
        met += meets(i) ? 1 : 0;
    QGlyphRun run;
    run.setRawFont(rawFont);
    if (met == line.indexes.size()) {
        run.setGlyphIndexes(line.indexes); // all of it, shared
        run.setPositions(line.positions);
        return run;
    }
    QVector<quint32> indexes;
    QVector<QPointF> positions;
    indexes.reserve(met);
    positions.reserve(met);
    for (int i = 0; i < line.indexes.size(); ++i)
        if (meets(i)) {
            indexes << line.indexes.at(i);
            positions << line.positions.at(i);
        }
    run.setGlyphIndexes(indexes);
    run.setPositions(positions);
    return run;
}

InkSpan LineGlyphs::changedSpan(const GlyphLine &before, const GlyphLine &after)
{
    InkSpan changed{std::numeric_limits<qreal>::max(), std::numeric_limits<qreal>::lowest()};
    const auto add = [&changed](const InkSpan &ink) {
        changed = {std::min(changed.left, ink.left), std::max(changed.right, ink.right)};
    };
    for (int i = 0; i < std::max(before.indexes.size(), after.indexes.size()); ++i) {
        const bool both = i < before.indexes.size() && i < after.indexes.size();
        if (both && before.indexes.at(i) == after.indexes.at(i) && before.positions.at(i) == after.positions.at(i))
            continue;
        if (i < before.inks.size())
            add(before.inks.at(i));
        if (i < after.inks.size())
            add(after.inks.at(i));
    }
    return changed;
}

LineGlyphs::Glyph LineGlyphs::glyphOf(QChar c)
{
    const ushort code = c.unicode();
    if (code < tableSize && asciiGlyphs[code].known)
        return asciiGlyphs[code];
    const auto found = glyphs.constFind(code);
    if (found != glyphs.constEnd())
        return *found;
    const Glyph glyph = measured(c);
    if (code < tableSize)
        asciiGlyphs[code] = glyph;
    else
        glyphs.insert(code, glyph);
    return glyph;
}

LineGlyphs::Glyph LineGlyphs::measured(QChar c) const
{
    Glyph glyph;
    glyph.known = true;
    const QList<QGlyphRun> runs = c.isSurrogate() ? QList<QGlyphRun>() : laidOut(QString(c), font);
    if (runs.size() == 1 && runs.first().rawFont() == rawFont && runs.first().glyphIndexes().size() == 1
        && runs.first().positions().first().x() == 0) {
        glyph.index = runs.first().glyphIndexes().first();
        glyph.advance = rawFont.advancesForGlyphIndexes({glyph.index}).value(0).x();
        const QRectF outline = rawFont.boundingRect(glyph.index);
        glyph.ink = {outline.left() - inkMargin, outline.right() + inkMargin};
        glyph.alone = true;
    }
    return glyph;
}

bool LineGlyphs::sideBySide(QChar first, QChar second)
{
    const std::optional<bool> known = recalled(first, second);
    if (known)
        return *known;
    const QList<QGlyphRun> runs = laidOut(QString(first) + second, font);
    bool sound = runs.size() == 1 && runs.first().rawFont() == rawFont && runs.first().glyphIndexes().size() == 2;
    if (sound) {
        const QVector<quint32> indexes = runs.first().glyphIndexes();
        const QVector<QPointF> positions = runs.first().positions();
        sound = agree(glyphOf(first), glyphOf(second), indexes.at(0), indexes.at(1), positions.at(1) - positions.at(0));
    }
    remember(first, second, sound);
    return sound;
}

std::optional<bool> LineGlyphs::recalled(QChar first, QChar second) const
{
    if (first.unicode() < tableSize && second.unicode() < tableSize) {
        const qint8 known = asciiPairs[first.unicode() * tableSize + second.unicode()];
        return known < 0 ? std::nullopt : std::optional<bool>(known);
    }
    const auto found = pairs.constFind(pairKey(first, second));
    return found == pairs.constEnd() ? std::nullopt : std::optional<bool>(*found);
}

// A pair found unsound once stays so.
void LineGlyphs::remember(QChar first, QChar second, bool sound)
{
    sound = sound && recalled(first, second).value_or(true);
    if (first.unicode() < tableSize && second.unicode() < tableSize)
        asciiPairs[first.unicode() * tableSize + second.unicode()] = qint8(sound);
    else
        pairs.insert(pairKey(first, second), sound);
}

// Whether the layout put two glyphs as they are alone, the second one advance after the first.
bool LineGlyphs::agree(const Glyph &first, const Glyph &second, quint32 firstIndex, quint32 secondIndex,
                       const QPointF &step) const
{
    return first.alone && second.alone && first.index == firstIndex && second.index == secondIndex
        && step == QPointF(first.advance, 0);
}
