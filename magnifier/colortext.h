#pragma once

#include <QString>

#include "state.h"

#include <array>

// Texts and colours derived from a sampled colour. `rgb` is 0x00RRGGBB (no alpha);
// `argb` is a stored colour 0xAARRGGBB whose alpha byte 0 means an empty slot.

// The colour cut to 4 bits per component, as 0xRGB.
int value12(quint32 rgb);
// The 12-bit colour widened back to 24 bits by repeating each hexadecimal digit.
quint32 colour4(quint32 rgb);

// Appends `value` in decimal, right-aligned with spaces in `width` characters (more when it
// needs them), as QString::arg(value, width) writes it, for a fraction of its cost.
void appendDecimal(QString &text, qint64 value, int width);

// "#1A2B3C   #123"
QString hexText(quint32 rgb);
// "255, 12,  0": each component right-aligned in 3 characters.
QString decText(quint32 rgb);
// The characters hexText and decText write.
constexpr char colorTextCharacters[] = "#0123456789ABCDEF, ";
// "QLabel{background:#1a2b3c;}"
QString swatchStyle(quint32 rgb);

// Clipboard texts of the D and X keys: "255,12,0" and "#FF0C00".
QString clipDecText(quint32 rgb);
QString clipHexText(quint32 rgb);

// The colour memory rows: "F 1:" .. "F12:", the square's style sheet (alpha included) and the
// value text, empty for an empty slot.
QString memoryKeyName(int slot);
QString memorySwatchStyle(quint32 argb);
QString memoryValueText(quint32 argb, bool inHex);

// The export of all twelve slots: "#RRGGBB<BR/>" per stored colour, "<br/>" per empty slot.
// `stored` receives the number of stored colours.
QString exportText(const std::array<quint32, storedColorCount> &colors, int *stored);
