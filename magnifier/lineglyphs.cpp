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
    , raw(QRawFont::fromFont(font))
{
}

void LineGlyphs::learn(const QString &characters)
{
    QString all; // every ordered pair, side by side: each one adjacent at least once
    for (QChar first : characters)
        for (QChar second : characters)
            all += QString(first) + second;
    const QList<QGlyphRun> runs = laidOut(all, font);
    if (runs.size() != 1 || runs.first().rawFont() != raw || runs.first().glyphIndexes().size() != all.size())
        return; // glyphs merged or split somewhere: pairs are checked one by one when met
    const QVector<quint32> indexes = runs.first().glyphIndexes();
    const QVector<QPointF> positions = runs.first().positions();
    for (int i = 0; i + 1 < all.size(); ++i)
        remember(all.at(i), all.at(i + 1),
                 checkedStep(all.at(i), all.at(i + 1), indexes.at(i), indexes.at(i + 1), positions.at(i + 1) - positions.at(i)));
}

bool LineGlyphs::lay(const QString &text, GlyphLine &line)
{
    line.indexes.resize(text.size());
    line.positions.resize(text.size());
    line.inks.resize(text.size());
    qreal x = 0; // a sum of steps in 1/64 pixel units, exact as the layout's own
    for (int i = 0; i < text.size(); ++i) {
        const Glyph glyph = glyphOf(text.at(i));
        if (i > 0)
            x += stepOf(text.at(i - 1), text.at(i));
        if (!glyph.alone || x == unsound)
            return false;
        line.indexes[i] = glyph.index;
        line.positions[i] = QPointF(x, 0);
        line.inks[i] = {x + glyph.ink.left, x + glyph.ink.right};
    }
    return true;
}

QGlyphRun LineGlyphs::run(const GlyphLine &line, const InkSpan &span) const
{
    const auto meets = [&](int i) { return line.inks.at(i).right > span.left && line.inks.at(i).left < span.right; };
    int met = 0;
    for (int i = 0; i < line.indexes.size(); ++i)
        met += meets(i) ? 1 : 0;
    QGlyphRun run;
    run.setRawFont(raw);
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
    if (runs.size() == 1 && runs.first().rawFont() == raw && runs.first().glyphIndexes().size() == 1
        && runs.first().positions().first().x() == 0) {
        glyph.index = runs.first().glyphIndexes().first();
        const QRectF outline = raw.boundingRect(glyph.index);
        glyph.ink = {outline.left() - inkMargin, outline.right() + inkMargin};
        glyph.alone = true;
    }
    return glyph;
}

qreal LineGlyphs::stepOf(QChar first, QChar second)
{
    const qreal known = recalled(first, second);
    if (!qIsNaN(known))
        return known;
    const QList<QGlyphRun> runs = laidOut(QString(first) + second, font);
    qreal step = unsound;
    if (runs.size() == 1 && runs.first().rawFont() == raw && runs.first().glyphIndexes().size() == 2) {
        const QVector<quint32> indexes = runs.first().glyphIndexes();
        const QVector<QPointF> positions = runs.first().positions();
        step = checkedStep(first, second, indexes.at(0), indexes.at(1), positions.at(1) - positions.at(0));
    }
    remember(first, second, step);
    return step;
}

qreal LineGlyphs::recalled(QChar first, QChar second) const
{
    if (first.unicode() < tableSize && second.unicode() < tableSize)
        return asciiSteps[first.unicode() * tableSize + second.unicode()];
    return steps.value(pairKey(first, second), unknown);
}

// A pair laid out differently in two places is left to the full layout.
void LineGlyphs::remember(QChar first, QChar second, qreal step)
{
    const qreal before = recalled(first, second);
    if (!qIsNaN(before) && before != step)
        step = unsound;
    if (first.unicode() < tableSize && second.unicode() < tableSize)
        asciiSteps[first.unicode() * tableSize + second.unicode()] = step;
    else
        steps.insert(pairKey(first, second), step);
}

// The step the layout put between two glyphs, when they are those of the two characters alone
// on one baseline.
qreal LineGlyphs::checkedStep(QChar first, QChar second, quint32 firstIndex, quint32 secondIndex, const QPointF &step)
{
    const Glyph one = glyphOf(first);
    const Glyph other = glyphOf(second);
    const bool sound = one.alone && other.alone && one.index == firstIndex && other.index == secondIndex && step.y() == 0;
    return sound ? step.x() : unsound;
}
