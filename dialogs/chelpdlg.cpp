#include "chelpdlg.h"

#include <QFormLayout>
#include <QLabel>

#include "dialogchrome.h"

CHelpDlg::CHelpDlg()
{
    applyDialogChrome(this, "CHelpDlg", false);
    setWindowTitle(tr("Les raccourcis clavier de 'Vikaro':"));
    move(0, 0);
    auto *separator = new QLabel(QStringLiteral(" "));
    const QString rows[] = {
        tr("D/X: Copie le code de la couleur en Décimal/heXa dans le presse-papiers."),
        tr("F/U: Freeze/UnFreeze le zoom."),
        tr("G: Propose une nouvelle 'mire' pour mieux localiser le pixel central."),
        QString(),
        tr("/ *: Diminue ou augmente le facteur de zoom."),
        tr("   La roulette de la souris sert aussi à changer le facteur de zoom."),
        QString(),
        tr("Flèches de direction: positionnement précis du zoom."),
        tr("   Le clavier numérique peut aussi servir au positionnement du zoom."),
        tr("Ins: Positionne l'ancre 0,0 au point actuel pour pouvoir mesurer."),
        tr("Del: Désactive l'ancre, et reprend le positionnement absolu par écran."),
        tr("F1-12: Mémorise la couleur actuelle à l'aide des touches de fonction."),
        QString(),
    };
    auto *layout = new QFormLayout;
    for (const QString &row : rows)
        layout->addRow(row.isNull() ? separator : new QLabel(row));
    layout->addRow(new QLabel(tr("Cette fenêtre peut rester ouverte, afin de tester les actions ci-dessus.")));
    setLayout(layout);
}

CHelpDlg::~CHelpDlg() = default;

void CHelpDlg::onOk()
{
    done(0);
}
