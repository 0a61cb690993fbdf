#include "languages.h"

const std::array<QString, languageCount> languageCodes = {
    QStringLiteral("fr"), QStringLiteral("en"), QStringLiteral("pt"), QStringLiteral("de"), QStringLiteral("es"),
};

int languageIndex = 0;
QApplication *appInstance = nullptr;

int validLanguage(int stored)
{
    return (stored >= 0 && stored < languageCount) ? stored : 0;
}
