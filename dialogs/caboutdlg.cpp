#include "caboutdlg.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "dialogchrome.h"
#include "resources/resourcepaths.h"
#include "version.h"

namespace {

constexpr int minimumDialogWidth = 616;
constexpr int buttonWidth = 50;

QLabel *pictureLabel(const QString &path)
{
    auto *label = new QLabel;
    label->setPixmap(QPixmap(path));
    return label;
}

} // namespace

CAboutDlg::CAboutDlg()
{
    applyDialogChrome(this, "CAboutDlg", true);
    setWindowTitle(tr("A propos de 'Vikaro':"));
    setMinimumWidth(minimumDialogWidth);
    // The toolkit version the program was compiled against, not the one loaded at run time.
    auto *toolkit = new QLabel(tr("Vikaro est un programme réalisé en C++ avec le framework ")
                               + QStringLiteral("Qt %1.%2.%3").arg(QT_VERSION_MAJOR).arg(QT_VERSION_MINOR).arg(QT_VERSION_PATCH));
    auto *credit = new QLabel(tr("Vikaro a été conçu et écrit par l'équipe de l'Atelier Lentara."));
    auto *version = new QLabel(tr("Vikaro Version ") + versionText(programVersion, programBuild));
    auto *separator = new QLabel(QStringLiteral(" "));
    okButton = new QPushButton(tr("Ok", "The text on the Help-About dialog button, to close it."));
    okButton->setMaximumWidth(buttonWidth);
    connect(okButton, &QPushButton::pressed, this, &CAboutDlg::onOk);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(pictureLabel(resources::makerLogo));
    bottom->addStretch();
    bottom->addWidget(okButton);
    bottom->addStretch();
    bottom->addWidget(pictureLabel(resources::marble));
    bottom->addStretch();
    auto *layout = new QFormLayout;
    const QList<QWidget *> rows = {separator, toolkit, credit, separator, version, separator};
    for (QWidget *row : rows)
        layout->addRow(row);
    layout->addRow(bottom);
    setLayout(layout);
}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::onOk()
{
    done(0);
}
