#include "colortext.h"

#include "state.h"

namespace {

int red(quint32 c) { return (c >> 16) & 0xFF; }
int green(quint32 c) { return (c >> 8) & 0xFF; }
int blue(quint32 c) { return c & 0xFF; }

int fourBits(int component)
{
    return int(component / 16.0);
}

QString hex6(quint32 rgb)
{
    return QStringLiteral("%1").arg(rgb & 0xFFFFFF, 6, 16, QLatin1Char('0'));
}

QString alignedComponents(quint32 c)
{
    return QStringLiteral("%1,%2,%3")
        .arg(red(c), 3, 10, QLatin1Char(' '))
        .arg(green(c), 3, 10, QLatin1Char(' '))
        .arg(blue(c), 3, 10, QLatin1Char(' '));
}

} // namespace

int value12(quint32 rgb)
{
    return fourBits(red(rgb)) * 256 + fourBits(green(rgb)) * 16 + fourBits(blue(rgb));
}

quint32 colour4(quint32 rgb)
{
    return quint32(fourBits(red(rgb)) * 17) * 65536 + quint32(fourBits(green(rgb)) * 17) * 256
        + quint32(fourBits(blue(rgb)) * 17);
}

QString hexText(quint32 rgb)
{
    const QString first = QStringLiteral("#%1   #%2").arg(rgb, 6, 16, QLatin1Char('0')).toUpper();
    return first.arg(value12(rgb), 3, 16, QLatin1Char('0')).toUpper();
}

QString decText(quint32 rgb)
{
    return alignedComponents(rgb);
}

QString swatchStyle(quint32 rgb)
{
    return QStringLiteral("QLabel{background:#%1;}").arg(hex6(rgb));
}

QString clipDecText(quint32 rgb)
{
    return QStringLiteral("%1,%2,%3").arg(red(rgb)).arg(green(rgb)).arg(blue(rgb));
}

QString clipHexText(quint32 rgb)
{
    return QStringLiteral("#%1").arg(rgb, 6, 16, QLatin1Char('0')).toUpper();
}

QString memoryKeyName(int slot)
{
    return QStringLiteral("F%1:").arg(slot + 1, 2, 10, QLatin1Char(' '));
}

QString memorySwatchStyle(quint32 argb)
{
    return QStringLiteral("QLabel { background: rgba(%1,%2,%3,%4); }")
        .arg(red(argb)).arg(green(argb)).arg(blue(argb)).arg(argb >> 24);
}

QString memoryValueText(quint32 argb, bool inHex)
{
    if (isEmptyColor(argb))
        return QString();
    if (inHex)
        return QStringLiteral("#%1").arg(hex6(argb)).toUpper();
    return alignedComponents(argb);
}

QString exportText(const std::array<quint32, storedColorCount> &colors, int *stored)
{
    QString text;
    int count = 0;
    for (quint32 argb : colors) {
        if (isEmptyColor(argb)) {
            text += QStringLiteral("<br/>");
            continue;
        }
        text += QStringLiteral("#%1<br/>").arg(hex6(argb)).toUpper();
        ++count;
    }
    if (stored)
        *stored = count;
    return text;
}
