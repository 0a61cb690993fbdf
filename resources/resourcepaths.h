#pragma once

#include <QString>

// Where the compiled-in resources live.
namespace resources {

inline const QString programIcon = QStringLiteral(":/Vikaro/Resources/Lentara.ico");
inline const QString styleSheet = QStringLiteral(":/Vikaro/Vikaro.qss");
inline const QString catalogPrefix = QStringLiteral(":/Vikaro/vikaro_");

inline const QString flagFrance = QStringLiteral(":/Vikaro/Resources/France.png");
inline const QString flagUk = QStringLiteral(":/Vikaro/Resources/UK.png");
inline const QString flagBrazil = QStringLiteral(":/Vikaro/Resources/Brazil.png");
inline const QString flagSpain = QStringLiteral(":/Vikaro/Resources/Spain.png");
inline const QString flagGermany = QStringLiteral(":/Vikaro/Resources/Germany.png");

inline const QString marble = QStringLiteral(":/Vikaro/Resources/marble48.png");
inline const QString makerLogo = QStringLiteral(":/Vikaro/Resources/MorvelleMini.gif");

inline const QString optionsIcon = QStringLiteral(":/Vikaro/Resources/option_48.png");
inline const QString helpIcon = QStringLiteral(":/Vikaro/Resources/help_48.png");
inline const QString aboutIcon = QStringLiteral(":/Vikaro/Resources/heart_48.png");
inline const QString moreIcon = QStringLiteral(":/Vikaro/Resources/next_48.png");
inline const QString normalIcon = QStringLiteral(":/Vikaro/Resources/prev_48.png");

inline const QString memoryFrameMask = QStringLiteral(":/Vikaro/Resources/maskBox.bmp");

} // namespace resources
