#include "dialogchrome.h"

#include <QDialog>
#include <QIcon>
#include <QPixmap>

#include "resources/resourcepaths.h"

void applyDialogChrome(QDialog *dialog, const char *className, bool staysOnTop)
{
    dialog->setAccessibleName(QString::fromLatin1(className));
    dialog->setWindowIcon(QIcon(QPixmap(resources::programIcon)));
    Qt::WindowFlags flags = dialog->windowFlags() & ~Qt::WindowContextHelpButtonHint;
    if (staysOnTop)
        flags |= Qt::WindowStaysOnTopHint;
    dialog->setWindowFlags(flags);
    dialog->setCursor(Qt::PointingHandCursor);
}
