#include "vikaro.h"

#include <QBitmap>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>

#include "colortext.h"
#include "dialogs/clabel.h"
#include "dialogs/mymessagebox.h"
#include "resources/resourcepaths.h"

namespace {

constexpr int rowHeight = 22;
const QColor frameColor(200, 200, 200, 111);
const QString saveButtonStyle = QStringLiteral(
    "QLabel { color: white;background: QLinearGradient( x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #333, "
    "stop: 0.5 #888, stop: 1 #333); border: 1px solid #000; border-radius: 9px; min-height: 30px; "
    "min-width: 50px;font: 11px; font-family: Segoe UI, Trebuchet MS, Verdana, Helvetica, Arial; }");

// A light translucent frame around a see-through window: the mask's black pixels are kept.
QPixmap memoryFrame()
{
    QPixmap frame(30, 22);
    frame.fill(frameColor);
    frame.setMask(QBitmap(resources::memoryFrameMask));
    return frame;
}

QLabel *rowLabel(QWidget *parent, const QRect &geometry, const QString &toolTip)
{
    auto *label = new QLabel(parent);
    label->setGeometry(geometry);
    label->setToolTip(toolTip);
    return label;
}

} // namespace

void Vikaro::buildColorMemory()
{
    const QPixmap frame = memoryFrame();
    for (int i = 0; i < storedColorCount; ++i) {
        const int y = rowHeight * i;
        const QString rowTip = tr("La couleur mémorisée n° %1").arg(i + 1);
        memKeys[i] = rowLabel(memPanel, QRect(0, y, 130, 22),
                              tr("La touche de fonction qui mémorisera la couleur actuelle"));
        memSwatches[i] = rowLabel(memPanel, QRect(41, y + 1, 28, 19), rowTip);
        memFrames[i] = rowLabel(memPanel, QRect(40, y, 30, 21), rowTip);
        memFrames[i]->setPixmap(frame);
        memValues[i] = rowLabel(memPanel, QRect(78, y, 130, 22), rowTip);
    }
    refreshStoredColors();
    saveColorsButton = new CLabel(this);
    saveColorsButton->setText(tr("Sauver ces couleurs") + QStringLiteral("\r\n") + tr("dans le presse-papiers"));
    saveColorsButton->setToolTip(tr("Les couleurs ci-dessus<br/>mémorisées grâce aux<br/>touches de fonction F1 à F12"
                                    "<br/>seront sauvées<br/>dans le presse-papiers"));
    saveColorsButton->setGeometry(220, 325, 150, 25);
    saveColorsButton->setAlignment(Qt::AlignHCenter);
    saveColorsButton->setStyleSheet(saveButtonStyle);
    connect(saveColorsButton, &CLabel::clicked, this, &Vikaro::onSaveColors);
}

void Vikaro::refreshStoredColors()
{
    for (int k = 0; k < storedColorCount; ++k) {
        const quint32 color = storedColors[std::size_t(k)];
        memKeys[k]->setText(memoryKeyName(k));
        memKeys[k]->update();
        memSwatches[k]->setStyleSheet(memorySwatchStyle(color));
        memSwatches[k]->update();
        memValues[k]->setText(memoryValueText(color, fxInHex));
        memValues[k]->update();
    }
}

// Copies every stored colour as one text, its place telling its key, and says what was done.
void Vikaro::onSaveColors()
{
    int stored = 0;
    const QString text = exportText(storedColors, &stored);
    MyMessageBox box(QMessageBox::Warning, tr("Vikaro"), QString(), QMessageBox::NoButton, this,
                     Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    if (stored == 0) {
        box.setText(tr("!!! Aucune couleur<br/>n'a été sauvée dans le presse-papiers !!!"));
    } else {
        QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
        box.setText(tr("Les couleurs suivantes<br/>ont été copiées dans le presse-papiers.") + QStringLiteral("<br/><br/>") + text);
        box.setIcon(QMessageBox::Information);
    }
    box.exec();
}
