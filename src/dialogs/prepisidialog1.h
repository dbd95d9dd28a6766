#pragma once
// TPrepisiDialog1: the file-exists question of a download or upload. One
// instance lives for the whole run and is shown modally whenever a target
// file exists.
//
// Contract: exec() returns the button's result: PreNadalj1 (Resume) 1,
// PrePreimenuj (Rename) 4, PrePrepisi1 (Overwrite) 6, PrePrekini1 (Cancel) 2;
// closing the window or Escape also gives 2. SetLanguage(0 or 1) rewrites
// every text (caption, buttons and the question Label1); any other value keeps
// the texts and shows nothing.
#include <QDialog>

class QLabel;
class QPushButton;
class TMultiLang;

class TPrepisiDialog1 : public QDialog {
    Q_OBJECT

public:
    enum TResult { prNadaljuj = 1, prPrekini = 2, prPreimenuj = 4, prPrepisi = 6 };

    explicit TPrepisiDialog1(QWidget* parent = nullptr);

    void SetLanguage(int language);

    void reject() override; // closing is Cancel

private:
    QPushButton* AddButton(const char* name, TResult result);

    QLabel* m_label1;
    TMultiLang* m_ml7;
};
