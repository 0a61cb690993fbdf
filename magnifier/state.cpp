#include "state.h"

const std::array<ZoomLevel, zoomLevelCount> zoomLevels = {{
    {3, 57}, {5, 35}, {7, 25}, {9, 19}, {11, 17}, {13, 13}, {15, 11}, {19, 9}, {25, 7},
}};

int zoomIndex = 0;
int gridType = 0;
bool appActive = true;
bool pointerInside = false;
bool frozen = false;
bool showFx = false;
bool fxInHex = false;
std::array<quint32, storedColorCount> storedColors = {};


int clampZoomIndex(int stored)
{
    return qBound(0, stored, zoomLevelCount - 1);
}
