#include "vikaro.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QTimer>

#include "app/languages.h"
#include "colorswatch.h"
#include "colortext.h"
#include "desktop/desktop.h"
#include "dialogs/caboutdlg.h"
#include "dialogs/chelpdlg.h"
#include "dialogs/coptionsdlg.h"
#include "layoutgeometry.h"
#include "monitors.h"
#include "picturelabel.h"
#include "textlabel.h"
#include "resources/resourcepaths.h"
#include "settings/cdata.h"
#include "settings/preferences.h"

namespace {

const QString translucentPanel = QStringLiteral("QLabel { background: rgba(100, 100, 100, 200); }");

template <typename Label = QLabel>
Label *makeLabel(QWidget *parent, const QString &toolTip = QString())
{
    auto *label = new Label(parent);
    label->setToolTip(toolTip);
    return label;
}

// A widget of a fixed size does not ask its parent to lay its children out again whenever its
// contents change (a label's text, at every tick).
void placeFixed(QWidget *widget, const QRect &geometry)
{
    widget->setFixedSize(geometry.size());
    widget->setGeometry(geometry);
}

} // namespace

Vikaro::Vikaro(Desktop &desktop, QWidget *parent)
    : QDialog(parent)
    , desk(desktop)
{
    setWindowIcon(QIcon(QPixmap(resources::programIcon)));
    setWindowFlags((windowFlags() & ~Qt::WindowContextHelpButtonHint) | Qt::WindowStaysOnTopHint);
    UpdateSetup();
    buildUi();
    refreshLayout();
    connect(appInstance, &QGuiApplication::focusWindowChanged, this, &Vikaro::onFocusChanged);
    setCursor(Qt::PointingHandCursor);
    restoreEstimatedPosition();
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &Vikaro::manageTimouts);
    timer->start(tickInterval);
    desk.setProblemListener([this](DesktopProblem problem, bool met) { showDesktopProblem(problem, met); });
}

// The dialogs opened from this window have no parent; they go with it, so none stays behind
// in the old language when the window is rebuilt.
Vikaro::~Vikaro()
{
    desk.setProblemListener(nullptr);
    delete aboutDlg;
    delete helpDlg;
    delete optionsDlg;
}

void Vikaro::buildUi()
{
    zoomSize = QSize(zoomFactor * zoomSpan, zoomFactor * zoomSpan);
    hexLabel = makeLabel<TextLabel>(this, tr("Valeur RGB en hexadécimal de la couleur du pixel actif."));
    placeFixed(hexLabel, {40, 53, 135, 20});
    hexLabel->setCharacters(QString::fromLatin1(colorTextCharacters));
    swatchPanel = makeLabel(this);
    swatchPanel->setStyleSheet(translucentPanel);
    swatch8 = new ColorSwatch(swatchPanel);
    swatch8->setToolTip(tr("La Couleur du pixel actif (8 bits)."));
    swatch4 = new ColorSwatch(swatchPanel);
    swatch4->setToolTip(tr("La Couleur du pixel actif (4 bits)."));
    decLabel = makeLabel<TextLabel>(this, tr("Valeur RGB en décimal de la couleur du pixel actif."));
    placeFixed(decLabel, {62, 116, 129, 20});
    decLabel->setCharacters(QString::fromLatin1(colorTextCharacters));
    zoomPanel = makeLabel(this);
    zoomPanel->setStyleSheet(translucentPanel);
    zoomLabel = new PictureLabel(zoomPanel);
    positionLabel = makeLabel<TextLabel>(this, tr("Positionnement du pixel actif:\nAbsolu: [Moniteur] X , Y\nRelatif: X , Y"));
    positionLabel->setCharacters(QString::fromLatin1(positionTextCharacters));
    nameForScreenReaders();
    memPanel = makeLabel(this);
    memPanel->setGeometry(220, 53, 200, 287);
    buildSideMenu();
    buildColorMemory();
}

// What a screen reader says for the parts that change with the pointer.
void Vikaro::nameForScreenReaders()
{
    hexLabel->setAccessibleName(tr("Couleur du pixel actif en hexadécimal"));
    decLabel->setAccessibleName(tr("Couleur du pixel actif en décimal"));
    swatch8->setAccessibleName(tr("Échantillon de la couleur du pixel actif (8 bits)"));
    swatch4->setAccessibleName(tr("Échantillon de la couleur du pixel actif (4 bits)"));
    zoomLabel->setAccessibleName(tr("Image agrandie autour du pointeur"));
    positionLabel->setAccessibleName(tr("Position du pixel actif"));
}

void Vikaro::refreshLayout()
{
    const ZoomLevel level = zoomLevels[std::size_t(zoomIndex)];
    zoomFactor = level.factor;
    zoomSpan = level.span;
    setWindowTitle(magnifierTitle(zoomFactor, frozen ? tr(" gelé ! (U pour dégeler)") : QString()));
    const LayoutGeometry g = layoutFor(zoomIndex, showFx, anchorSet);
    setMinimumWidth(g.window.width());
    setMaximumWidth(g.window.width());
    setMinimumHeight(g.window.height());
    setMaximumHeight(g.window.height());
    swatchPanel->setGeometry(g.swatchPanel);
    swatch8->setGeometry(g.swatch8);
    swatch4->setGeometry(g.swatch4);
    zoomPanel->setGeometry(g.zoomPanel);
    zoomLabel->setGeometry(g.zoomLabel);
    placeFixed(positionLabel, g.positionLabel);
    zoomSize = QSize(g.side, g.side);
    CData store;
    store.setInt(prefs::group, prefs::zoomFactor, zoomIndex);
    store.setInt(prefs::group, prefs::showFx, showFx ? 1 : 0);
}

void Vikaro::enterEvent(QEvent *)
{
    pointerInside = true;
}

void Vikaro::leaveEvent(QEvent *)
{
    pointerInside = false;
    resumeSampling();
}
