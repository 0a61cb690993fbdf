#include "testsupport.h"

#include <QApplication>
#include <QSettings>
#include <QTimer>
#include <QWidget>

#include "app/languages.h"
#include "app/startup.h"
#include "magnifier/state.h"
#include "settings/cdata.h"
#include "settings/preferences.h"

namespace {

DebugCapture *activeCapture = nullptr;

void captureDebug(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg && activeCapture)
        activeCapture->lines.append(message);
}

QTemporaryDir &settingsFolder()
{
    static QTemporaryDir folder;
    return folder;
}

} // namespace

void prepareTestProcess()
{
    setApplicationIdentity();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder().path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder().path());
}

void attachApplication(QApplication *app)
{
    appInstance = app;
}

namespace sandbox {

void reset()
{
    CData store;
    store.clear();
}

QString filePath()
{
    return CData().fileName();
}

QString raw(const QString &key)
{
    CData store;
    const QVariant value = store.value(prefs::group + QLatin1Char('/') + key);
    return value.isValid() ? value.toString() : QString();
}

void setRaw(const QString &key, const QString &text)
{
    CData store;
    store.setValue(prefs::group + QLatin1Char('/') + key, text);
}

} // namespace sandbox

void resetProcessState()
{
    zoomIndex = 0;
    gridType = 0;
    appActive = true;
    pointerInside = false;
    frozen = false;
    showFx = false;
    fxInHex = false;
    storedColors.fill(0);
    languageIndex = 0;
}

void whenModalShows(const std::function<void(QWidget *)> &inspect)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, inspect] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        inspect(modal);
        modal->close();
    });
    poll->start();
}

DebugCapture::DebugCapture()
{
    activeCapture = this;
    qInstallMessageHandler(captureDebug);
}

DebugCapture::~DebugCapture()
{
    qInstallMessageHandler(nullptr);
    activeCapture = nullptr;
}
