#pragma once
// TOknoMoznosti: the options window ("Možnosti"). It edits a copy of the
// settings that are not connection parameters and hands back the changed copy
// and what the main window must do; it never touches the main window itself.
// Created each time, shown modally, destroyed when closed.
//
// Contract:
// - The constructor is the window's creation: it switches ML6 to Jezik - 1
//   (only for Jezik 1 or 2; otherwise Slovenian is shown) and fills every
//   control from the settings, the panes' font and the sound names.
// - OnFontApply(sender, font) fires at once when the font dialog is closed
//   with OK or its Apply button is pressed; the main window gives the font to
//   the log and both lists then (the change stays even when the options are
//   cancelled). The preview KvadoTest takes it too.
// - OKBtnClick ("V redu") first checks the time-out (digits, 0..9999); a bad
//   value gets a message through AskUser and the window stays open with
//   nothing stored. Otherwise it stores steps 1 and 5 to 11 into Settings()
//   (DANE, Dnevnik, Jezik as 1 or 2, Zvok, both sound names, PrivGeslo, Barve,
//   ShrNast, PrikNam, TimeOut, Ozadje, Prenosi: 0 when PrenosiVOzadju is
//   off, else the count of PrenosiPovezav, and Obvestila from its check
//   box), decides steps 2 to 4 into LogFileAction() and closes with
//   Accepted. The main window then:
//     1. does LogFileAction() with its TSessionLog: lfaClose = the three-line
//        closing banner (CloseWithSwitchBanner) and close; lfaReopen = the
//        same, then open Settings().Dnevnik with OdpriDnevnik; lfaOpen = open
//        Settings().Dnevnik with OdpriDnevnik; lfaKeep = nothing;
//     2. takes Settings() as its settings and switches ML1 to Jezik - 1;
//     3. shows the hints of its four panes exactly when PrikNam is on;
//   and, after any close (also Cancel), sets the control connection's
//   time-out to its TimeOut.
// - Transfers: PrenosiVOzadju is checked exactly when Prenosi is 1..10 and
//   PrenosiPovezav (1..10) shows that count, or 2 when Prenosi is 0; it is
//   enabled only while the check is on.
// - Cancel and the close box leave Settings() as given (only the font, applied
//   through OnFontApply, has taken effect).
// - Test plays through the shared TEventSounds (Sounds), as Efekti does.
// - The sound file field always belongs to the event shown in IzberiZDogodek:
//   when the event changes (mouse, keyboard, wheel or code) the field is kept
//   under the event it was shown for, then the new event's file is shown.
#include "dialogs/hitra1shared.h"
#include "sites/settings.h"

#include <QDialog>
#include <QFont>

#include <array>

class QCheckBox;
class QColorDialog;
class QComboBox;
class QFileDialog;
class QFontDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class TButton3D;
class TEventSounds;
class TMultiLang;
class TRadioGroup;

enum class TLogFileAction { lfaKeep, lfaClose, lfaReopen, lfaOpen };

class TOknoMoznosti : public QDialog {
    Q_OBJECT
public:
    // Shows the note that no keyring keeps the saved passwords (they stay in the files).
    void SetNoKeyring(bool noKeyring);
    // logOpen / openLogName: whether the main window's log file is open, and the name it was opened with.
    TOknoMoznosti(const TSettings& settings, const QFont& paneFont, bool logOpen, const QString& openLogName,
                  QWidget* parent = nullptr);

    const TSettings& Settings() const { return m_settings; }
    TLogFileAction LogFileAction() const { return m_logAction; }

    // Steps 2 to 4 of accepting: what happens to the log file.
    static TLogFileAction DecideLogFile(bool logOpen, const QString& openLogName, bool dane,
                                        const QString& fileName);

    bool OKBtnClick();
    void MozIzberiPis1Click();
    void MozPisDialog1Apply();
    void FTPUkazClick() { chooseColour(0); }
    void FTPStanjeClick() { chooseColour(1); }
    void FTPNormalClick() { chooseColour(2); }
    void RadioGroup1Click();
    void IzberiZDogodekChange(int index);
    void IzberiZDatotekoClick();
    void ZTestGumbClick();
    void IzberiJezikChange(int index);
    void ML6AfterLanguageChanged();
    void Button1Click();
    void DnevnikDANEClick();
    void PrenosiVOzadjuClick();

    QFontDialog* MozPisDialog1() const { return m_fontDialog; }
    QColorDialog* BarveDialog1() const { return m_colourDialog; }
    QFileDialog* OdpriDialogWav() const { return m_wavDialog; }
    QFileDialog* OdpriDialogLog() const { return m_logDialog; }
    TMultiLang* ML6() const { return m_ml6; }

    std::function<void(TOknoMoznosti* sender, const QFont& font)> OnFontApply;
    TAskBox AskUser;
    TEventSounds* Sounds;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildClientTab();
    QWidget* buildDisplayTab();
    QWidget* buildSoundTab();
    void buildDialogs();
    void fill();
    void applyFont(const QFont& font);
    void chooseColour(int line);
    void showColours();

    TSettings m_settings; // as given, until OK stores the window's values
    QFont m_font;
    bool m_logOpen;
    QString m_openLogName;
    TLogFileAction m_logAction = TLogFileAction::lfaKeep;
    QStringList m_sounds; // working copy: index 0 = event 1, index 1 = event 2
    int m_shownEvent = 0; // the event whose file ImeZDatoteke shows
    std::array<TColor, 3> m_colours{};

    QTabWidget* PageControl1;
    QLineEdit* MozGeslo1;
    QLineEdit* MozPovStop;
    QComboBox* IzberiJezik;
    QCheckBox* DnevnikDANE;
    QLineEdit* DnevnikDat;
    TButton3D* Button1;
    QCheckBox* MozShraniNast;
    QCheckBox* MozPrikaziNam;
    QCheckBox* PrenosiVOzadju;
    QCheckBox* Obvestila; // desktop notification and taskbar progress of finished transfers
    QSpinBox* PrenosiPovezav;
    QLabel* KvadoTest;
    TButton3D* MozIzberiPis1;
    std::array<QLabel*, 3> m_lines{}; // FTPUkaz, FTPStanje, FTPNormal
    QCheckBox* MozOzadje1;
    TRadioGroup* RadioGroup1;
    QComboBox* IzberiZDogodek;
    QLineEdit* ImeZDatoteke;
    TButton3D* IzberiZDatoteko;
    TButton3D* ZTestGumb;
    TButton3D* OKBtn;
    TButton3D* CancelBtn;
    TButton3D* HelpBtn;
    QFontDialog* m_fontDialog = nullptr;
    QPushButton* m_applyButton = nullptr;
    QColorDialog* m_colourDialog = nullptr;
    QFileDialog* m_wavDialog = nullptr;
    QFileDialog* m_logDialog = nullptr;
    TMultiLang* m_ml6;
    QLabel* BrezShrambe = nullptr;
};
