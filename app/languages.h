#pragma once

#include <QString>

#include <array>

class QApplication;

constexpr int languageCount = 5;
// "fr", "en", "pt", "de", "es". French is the language the interface is written in: it has no
// catalog. Only English and Portuguese have one.
extern const std::array<QString, languageCount> languageCodes;
extern int languageIndex;          // the language of the current pass, 0..4
extern QApplication *appInstance;  // set once, right after the application object exists

// A stored "Language" that would index past languageCodes counts as French.
int validLanguage(int stored);
