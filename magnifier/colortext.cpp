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

// Writes over `text` from `at` the lowest `digits` hexadecimal digits of `value`, upper case
// unless asked: the texts of every tick are their pattern with the digits filled in.
void writeHex(QString &text, int at, quint32 value, int digits, bool lowerCase = false)
{
    const char *const figures = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    QChar *out = text.data() + at + digits;
    for (int digit = 0; digit < digits; ++digit, value >>= 4)
        *--out = QLatin1Char(figures[value & 0xF]);
}

QString alignedComponents(quint32 c)
{
    QString text;
    text.reserve(11);
    appendDecimal(text, red(c), 3);
    text += QLatin1Char(',');
    appendDecimal(text, green(c), 3);
    text += QLatin1Char(',');
    appendDecimal(text, blue(c), 3);
    return text;
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

void appendDecimal(QString &text, qint64 value, int width)
{
    char reversed[24];
    int count = 0;
    quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
    do {
        reversed[count++] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        reversed[count++] = '-';
    for (int pad = count; pad < width; ++pad)
        text += QLatin1Char(' ');
    while (count > 0)
        text += QLatin1Char(reversed[--count]);
}

QString hexText(quint32 rgb)
{
    QString text = QStringLiteral("#000000   #000");
    writeHex(text, 1, rgb, 6);
    writeHex(text, 11, quint32(value12(rgb)), 3);
    return text;
}

QString decText(quint32 rgb)
{
    return alignedComponents(rgb);
}

QString swatchStyle(quint32 rgb)
{
    QString text = QStringLiteral("QLabel{background:#000000;}");
    writeHex(text, 19, rgb, 6, true);
    return text;
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
