#include "lineglyphs.h"

#include <QGlyphRun>
#include <QTextLayout>

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
        const quint32 key = pairKey(all.at(i), all.at(i + 1));
        pairs.insert(key, sound && pairs.value(key, true));
    }
}

bool LineGlyphs::lay(const QString &text, QGlyphRun &run)
{
    QVector<quint32> indexes(text.size());
    QVector<QPointF> positions(text.size());
    qreal x = 0; // a sum of advances in 1/64 pixel steps, exact as the layout's own
    for (int i = 0; i < text.size(); ++i) {
        const Glyph glyph = glyphOf(text.at(i));
        if (!glyph.alone || (i > 0 && !sideBySide(text.at(i - 1), text.at(i))))
            return false;
        indexes[i] = glyph.index;
        positions[i] = QPointF(x, 0);
        x += glyph.advance;
    }
    run.setRawFont(rawFont);
    run.setGlyphIndexes(indexes);
    run.setPositions(positions);
    return true;
}

LineGlyphs::Glyph LineGlyphs::glyphOf(QChar c)
{
    const auto found = glyphs.constFind(c.unicode());
    if (found != glyphs.constEnd())
        return *found;
    Glyph glyph;
    const QList<QGlyphRun> runs = c.isSurrogate() ? QList<QGlyphRun>() : laidOut(QString(c), font);
    if (runs.size() == 1 && runs.first().rawFont() == rawFont && runs.first().glyphIndexes().size() == 1
        && runs.first().positions().first().x() == 0) {
        glyph.index = runs.first().glyphIndexes().first();
        glyph.advance = rawFont.advancesForGlyphIndexes({glyph.index}).value(0).x();
        glyph.alone = true;
    }
    glyphs.insert(c.unicode(), glyph);
    return glyph;
}

bool LineGlyphs::sideBySide(QChar first, QChar second)
{
    const quint32 key = pairKey(first, second);
    const auto found = pairs.constFind(key);
    if (found != pairs.constEnd())
        return *found;
    const QList<QGlyphRun> runs = laidOut(QString(first) + second, font);
    bool sound = runs.size() == 1 && runs.first().rawFont() == rawFont && runs.first().glyphIndexes().size() == 2;
    if (sound) {
        const QVector<quint32> indexes = runs.first().glyphIndexes();
        const QVector<QPointF> positions = runs.first().positions();
        sound = agree(glyphOf(first), glyphOf(second), indexes.at(0), indexes.at(1), positions.at(1) - positions.at(0));
    }
    pairs.insert(key, sound);
    return sound;
}

// Whether the layout put two glyphs as they are alone, the second one advance after the first.
bool LineGlyphs::agree(const Glyph &first, const Glyph &second, quint32 firstIndex, quint32 secondIndex,
                       const QPointF &step) const
{
    return first.alone && second.alone && first.index == firstIndex && second.index == secondIndex
        && step == QPointF(first.advance, 0);
}
