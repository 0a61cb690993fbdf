#pragma once

#include <QString>

// The program's version: major x 1000000 + minor x 10000 + patch x 100, and a build number.
constexpr int programVersion = 1000000;
constexpr int programBuild = 3;

// "major.minor.patch.build", each part taken modulo 100; the last two digits of `packed`
// are not shown.
QString versionText(int packed, int build);
