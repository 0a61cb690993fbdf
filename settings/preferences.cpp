#include "preferences.h"

namespace prefs {

const QString group = QStringLiteral("Preferences");
const QString positionX = QStringLiteral("Position X");
const QString positionY = QStringLiteral("Position Y");
const QString zoomFactor = QStringLiteral("Zoom factor");
const QString gridType = QStringLiteral("Grid type");
const QString showFx = QStringLiteral("Show FX");
const QString fxInHexa = QStringLiteral("FX in Hexa");
const QString language = QStringLiteral("Language");
const QString portalGroup = QStringLiteral("Portal");
const QString restoreToken = QStringLiteral("Restore token");

QString colorKey(int slot)
{
    return QStringLiteral("Color F%1").arg(slot + 1);
}

} // namespace prefs
