#include "mymessagebox.h"

#include <QIcon>
#include <QPixmap>

#include "resources/resourcepaths.h"

MyMessageBox::MyMessageBox(QMessageBox::Icon icon, const QString &title, const QString &text,
                           QMessageBox::StandardButtons buttons, QWidget *parent, Qt::WindowFlags flags)
    : QMessageBox(icon, title, text + QLatin1Char(' '), buttons, parent, flags)
{
    setWindowIcon(QIcon(QPixmap(resources::programIcon)));
}

MyMessageBox::~MyMessageBox() = default;
