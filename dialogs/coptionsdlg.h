#pragma once

#include <QDialog>

class CLabel;
class QCheckBox;
class QPushButton;

// The user preferences: the interface language, picked from a strip of flags, and whether the
// stored colours are written in hexadecimal. Ok stores both and ends with 0; Cancel stores
// nothing and ends with 2. The caller decides what to rebuild.
class COptionsDlg : public QDialog
{
    Q_OBJECT

public:
    // What exec() returns for the Cancel button (Ok, Escape and the close button give 0).
    static constexpr int cancelled = 2;

    COptionsDlg();
    ~COptionsDlg() override;

    // Highlights the flag of the language chosen so far, and only that one.
    void updateFlags();

private slots:
    void onCancel();
    void onOk();
    void onFlagFr();
    void onFlagUk();
    void onFlagBr();
    void onFlagSp();
    void onFlagDe();

private:
    void buildFlags(QWidget *strip);
    void chooseLanguage(int index);
    void showNotAvailable();

    QCheckBox *hexaCheck = nullptr;
    QPushButton *okButton = nullptr;
    QPushButton *cancelButton = nullptr;
    CLabel *flagFr = nullptr;
    CLabel *flagUk = nullptr;
    CLabel *flagBr = nullptr;
    CLabel *flagSp = nullptr;
    CLabel *flagDe = nullptr;
    int chosenLanguage = 0;
};
