#include "startup.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QTranslator>

#include "languages.h"
#include "magnifier/vikaro.h"
#include "resources/resourcepaths.h"
#include "settings/cdata.h"
#include "settings/preferences.h"

namespace {

void installCatalog(QTranslator &translator)
{
    const QString &code = languageCodes[std::size_t(languageIndex)];
    if (languageIndex == 0) {
        qDebug() << "=== Langue = " << code;
        return;
    }
    const bool loaded = translator.load(resources::catalogPrefix + code);
    const bool installed = QCoreApplication::installTranslator(&translator);
    qDebug() << "=== Langue = " << code << "  installed ok1=" << loaded << "  ok2=" << installed;
}

// A style sheet that cannot be read leaves the one of an earlier pass in force.
void applyStyleSheet(QFile &file)
{
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    qApp->setStyleSheet(QString::fromLatin1(bytes.constData(), int(qstrnlen(bytes.constData(), uint(bytes.size())))));
    file.close();
}

} // namespace

void setApplicationIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Morvelle"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("morvelle.example"));
    QCoreApplication::setApplicationName(QStringLiteral("Vikaro"));
}

void runPasses(CData &store, const std::function<int(Vikaro &)> &run)
{
    for (;;) {
        languageIndex = validLanguage(store.getInt(prefs::group, prefs::language));
        QTranslator translator;
        installCatalog(translator);
        QFile styleFile(resources::styleSheet);
        applyStyleSheet(styleFile);
        Vikaro window;
        if (run(window) == 0)
            return;
        QCoreApplication::removeTranslator(&translator);
    }
}
