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
//
// Details of the file: SetPodatki(data) adds, below the question, the file's
// name and both files' sizes and modification dates (a negative size or an
// invalid date, or one not after 1970-01-01, shows as unknown). When
// data.several is set, a second row of buttons answers for the rest of the
// job: PreNadaljujVse (Resume all) 11, PrePrepisiNovejse (Overwrite changed:
// where the source is newer or of another size, skip the rest) 13,
// PrePrepisiVse (Overwrite all) 10, PrePreskociVse (Skip all) 12. The
// details stay until ClearPodatki() brings back the described look. Sizes are
// shown in bytes and dates in the locale's short format, both through
// QLocale(); the window keeps its described size unless the details need more,
// and is centred again whenever its size changes.
#include <QDateTime>
#include <QDialog>

class QGridLayout;
class QLabel;
class QPushButton;
class TMultiLang;

// What the question is about. Sizes in bytes, -1 unknown; dates invalid when unknown.
struct TPrepisiPodatki {
    QString name;
    qint64 sourceSize = -1;
    qint64 targetSize = -1;
    QDateTime sourceModified;
    QDateTime targetModified;
    bool several = false; // the job has more files: offer the choices for all of them
};

class TPrepisiDialog1 : public QDialog {
    Q_OBJECT

public:
    enum TResult {
        prNadaljuj = 1,
        prPrekini = 2,
        prPreimenuj = 4,
        prPrepisi = 6,
        prPrepisiVse = 10,
        prNadaljujVse = 11,
        prPreskociVse = 12,
        prPrepisiNovejse = 13,
    };

    explicit TPrepisiDialog1(QWidget* parent = nullptr);

    void SetLanguage(int language);

    void SetPodatki(const TPrepisiPodatki& data);
    void ClearPodatki();

    void reject() override; // closing is Cancel

private:
    QPushButton* AddButton(const char* name, TResult result);
    QWidget* BuildDetails();
    void ShowPodatki();
    void FitSize();

    QLabel* m_label1;
    QGridLayout* m_buttons;
    QWidget* m_details;
    QLabel* m_name;
    QLabel* m_sizes[2]; // source, target
    QLabel* m_dates[2]; // source, target
    TPrepisiPodatki m_data;
    bool m_hasData = false;
    TMultiLang* m_ml7;
};
