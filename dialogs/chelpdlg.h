#pragma once

#include <QDialog>

// The list of keyboard and mouse commands. Modeless, so it can stay open while the user tries
// them on the magnifier.
class CHelpDlg : public QDialog
{
    Q_OBJECT

public:
    CHelpDlg();
    ~CHelpDlg() override;

private slots:
    void onOk();
};
