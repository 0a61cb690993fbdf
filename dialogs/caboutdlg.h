#pragma once

#include <QDialog>

class QPushButton;

// What the program is, the toolkit it was built with, who made it and its version.
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    CAboutDlg();
    ~CAboutDlg() override;

private slots:
    void onOk();

private:
    QPushButton *okButton = nullptr;
};
