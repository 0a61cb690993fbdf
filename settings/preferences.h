#pragma once

#include <QString>

// The keys of the preferences, all integers in the one group "Preferences". A missing key
// reads as 0, which is every preference's default: zoom level 0, sight 0, panel hidden,
// decimal memory, French, empty colour slots, no saved position.
namespace prefs {

extern const QString group;
extern const QString positionX;
extern const QString positionY;
extern const QString zoomFactor;
extern const QString gridType;
extern const QString showFx;
extern const QString fxInHexa;
extern const QString language;

// "Color F1" .. "Color F12" for slot 0 .. 11.
QString colorKey(int slot);

// Beside the preferences, in a group of its own: the token a desktop portal gave to restore
// its screen-sharing session without asking again (text).
extern const QString portalGroup;
extern const QString restoreToken;

} // namespace prefs
