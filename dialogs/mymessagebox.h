#pragma once

#include <QMessageBox>

// The program's message box: a QMessageBox with the program icon in its title bar.
class MyMessageBox : public QMessageBox
{
public:
    // The text given here gets one trailing space; a text set later is shown as it is.
    MyMessageBox(QMessageBox::Icon icon, const QString &title, const QString &text,
                 QMessageBox::StandardButtons buttons, QWidget *parent, Qt::WindowFlags flags);
    ~MyMessageBox() override;
};
