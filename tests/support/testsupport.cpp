#include "testsupport.h"

#include <QPainter>
#include <QSettings>

#include <cstdlib>

#include "magnifier/magnify.h"
#include "settings/preferences.h"

namespace {

DebugCapture *activeCapture = nullptr;

void captureDebug(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg && activeCapture)
        activeCapture->lines.append(message);
}

QString preferenceKey(const QString &key)
{
    return prefs::group + QLatin1Char('/') + key;
}

} // namespace

namespace sandbox {

QString folder()
{
    static QTemporaryDir folder;
    return folder.path();
}

QString raw(const QString &key)
{
    const QVariant value = CData().value(preferenceKey(key));
    return value.isValid() ? value.toString() : QString();
}

void setRaw(const QString &key, const QString &text)
{
    CData().setValue(preferenceKey(key), text);
}

} // namespace sandbox

void storeSettingsUnder(const QString &folder)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

void prepareTestProcess()
{
    // The toolkit warns when it has no runtime folder; a temporary one is private (0700).
    static QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    if (!prepareSession())
        std::exit(1);
    setApplicationIdentity();
    storeSettingsUnder(sandbox::folder());
}

QImage FakeDesktop::grab(QScreen *, const QRect &rect)
{
    ++grabs;
    QImage square(rect.size(), QImage::Format_RGB32);
    square.fill(Qt::black);
    QPainter(&square).drawImage(-rect.topLeft(), picture);
    return square;
}

QRgb patternPixel(int x, int y)
{
    return qRgb((x * 7 + y * 3) & 0xFF, (x * 13 + y * 29) & 0xFF, (x * 5 + y * 17 + 91) & 0xFF);
}

QImage patternPicture(const QSize &size)
{
    QImage picture(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            picture.setPixel(x, y, patternPixel(x, y));
    return picture;
}

FakeDesktop *startFresh(const QSize &fakeSize)
{
    CData().clear();
    zoomIndex = gridType = languageIndex = 0;
    appActive = true;
    pointerInside = frozen = showFx = fxInHex = false;
    storedColors.fill(0);
    auto fake = fakeSize.isEmpty() ? nullptr : std::make_unique<FakeDesktop>(patternPicture(fakeSize));
    FakeDesktop *installed = fake.get();
    setDesktop(std::move(fake));
    return installed;
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

int runScripted(const std::function<void(VikaroProbe &, int)> &script)
{
    CData store;
    int passes = 0;
    runPasses(store, [&](Vikaro &window) {
        VikaroProbe probe(window);
        script(probe, passes++);
        return QTest::currentTestFailed() ? 0 : window.result();
    });
    return passes;
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

void answerOptions(COptionsDlg &options, int language, bool ok)
{
    QTest::mouseClick(options.findChildren<CLabel *>().at(language), Qt::LeftButton);
    for (QPushButton *button : options.findChildren<QPushButton *>())
        if ((button->text() == QLatin1String("Ok")) == ok)
            QTest::mousePress(button, Qt::LeftButton);
}

void chooseLanguage(Vikaro &window, int language)
{
    whenModalShows([language](QWidget *modal) {
        auto *options = qobject_cast<COptionsDlg *>(modal);
        QVERIFY(options);
        answerOptions(*options, language, true);
    });
    QTest::mouseClick(VikaroProbe(window).optionsIcon(), Qt::LeftButton);
}

QStringList labelTexts(QWidget &dialog)
{
    QStringList texts;
    for (QLabel *label : dialog.findChildren<QLabel *>())
        texts.append(label->text());
    return texts;
}

ScreenPattern::ScreenPattern()
    : QLabel(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    picture = patternPicture(screen.size());
    setPixmap(QPixmap::fromImage(picture));
    setGeometry(screen);
    show();
}

void ScreenPattern::paintPatch(const QRect &rect, QRgb rgb)
{
    QPainter(&picture).fillRect(rect, QColor(rgb));
    setPixmap(QPixmap::fromImage(picture));
    repaint();
}

QRgb ScreenPattern::pixelAt(const QPoint &p) const
{
    return picture.rect().contains(p) ? picture.pixel(p) : qRgb(0, 0, 0);
}

QImage ScreenPattern::magnifiedAround(const QPoint &pointer, int factor, int span, int sight) const
{
    QImage square(span, span, QImage::Format_RGB32);
    for (int y = 0; y < span; ++y)
        for (int x = 0; x < span; ++x)
            square.setPixel(x, y, pixelAt(pointer + QPoint(x - span / 2, y - span / 2)));
    QImage picture = square.scaled(span * factor, span * factor); // nearest pixel: blocks
    drawSightOn(picture, sight, factor, span);
    return picture;
}

QString systemClipboardText()
{
    QProcess xclip;
    xclip.start("xclip", {"-o", "-selection", "clipboard"});
    // Our own process owns the selection and must answer the request meanwhile.
    while (!xclip.waitForFinished(10))
        QCoreApplication::processEvents();
    return QString::fromUtf8(xclip.readAllStandardOutput());
}
