#pragma once

#include <QtGlobal>

#include <array>

// Values that outlive one main window: the start-up loop rebuilds the window, these stay.

struct ZoomLevel
{
    int factor; // window pixels per screen pixel, per side
    int span;   // screen pixels per side of the grabbed square
};

constexpr int zoomLevelCount = 9;
extern const std::array<ZoomLevel, zoomLevelCount> zoomLevels;
// The largest picture side of all levels (factor x span); smaller pictures are centred on it.
constexpr int widestZoomSide = 187;

extern int zoomIndex;          // 0..8, index into zoomLevels
extern int gridType;           // sight type; 0..4 draw something, other values nothing
extern bool appActive;         // our own window has the focus
extern bool pointerInside;     // the pointer is over the main window
extern bool frozen;            // the picture is frozen (F / U)
extern bool showFx;            // the colour memory panel is shown
extern bool fxInHex;           // stored colours are written in hexadecimal

constexpr int storedColorCount = 12;
// 0xAARRGGBB per function key F1..F12; a slot whose alpha byte is 0 is empty.
extern std::array<quint32, storedColorCount> storedColors;

// A stored zoom level brought into the range of the table.
int clampZoomIndex(int stored);

// True when the slot's alpha byte is 0.
constexpr bool isEmptyColor(quint32 argb)
{
    return (argb >> 24) == 0;
}
