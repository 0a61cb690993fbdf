#include "testsupport.h"

#include "app/platform.h"

QString sandbox::folder()
{
    static QTemporaryDir folder;
    return folder.path();
}

QString sandbox::raw(const QString &key)
{
    return CData().value("Preferences/" + key).toString(); // an absent key's variant gives a null text
}

void sandbox::setRaw(const QString &key, const QString &text)
{
    CData().setValue("Preferences/" + key, text);
}

void storeSettingsUnder(const QString &folder)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

void prepareTestProcess()
{
    // Without a runtime folder the toolkit warns and makes one of its own; a temporary one is private.
    static QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    if (!prepareSession())
        std::exit(1);
    setApplicationIdentity();
    storeSettingsUnder(sandbox::folder());
}

namespace {

std::unique_ptr<Desktop> installed;

} // namespace

Desktop &desktop()
{
    if (!installed)
        installed = createPlatformDesktop();
    return *installed;
}

void setDesktop(std::unique_ptr<Desktop> replacement)
{
    installed = std::move(replacement);
}

QImage patternPicture(const QSize &size)
{
    QImage picture(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            picture.setPixel(x, y, qRgb((x * 7 + y * 3) & 0xFF, (x * 13 + y * 29) & 0xFF, (x * 5 + y * 17 + 91) & 0xFF));
    return picture;
}

FakeDesktop *startFresh(const QSize &fakeSize)
{
    CData().clear();
    zoomIndex = gridType = languageIndex = 0;
    appActive = true;
    pointerInside = frozen = showFx = fxInHex = false;
    storedColors.fill(0);
    auto fake = std::make_unique<FakeDesktop>();
    FakeDesktop *made = fake.get();
    fake->picture = patternPicture(fakeSize);
    setDesktop(fakeSize.isEmpty() ? nullptr : std::move(fake));
    return fakeSize.isEmpty() ? nullptr : made;
}
