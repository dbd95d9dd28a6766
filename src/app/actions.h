#pragma once
// TGlavniUkazi: every command of the main window as one QAction (objectName =
// the command's name, so the word table writes its caption), and the menus,
// pop-up menus and flat tool buttons built from them.
//
// Contract:
// - Build() creates everything once, parented to the window, with Slovenian
//   captions; the window's word table then switches the language. It connects
//   nothing: the window connects each action's triggered() and each tool
//   button's OnClick to its handler.
// - Shortcuts: the main menu's (Ctrl+P, Ctrl+J) work anywhere in the window;
//   a pop-up menu's work while its pane has the focus (F5 downloads in the
//   remote list and uploads in the local list). A disabled action's shortcut
//   does nothing.
// - The pop-up menus open on a right-click in their pane; aboutToShow of each
//   menu is where the window prepares its items (PlavajociMenu1Popup, ...).
// - SetTransferTypeShown shows a transfer type (0..3) as the type button's
//   caption ("Auto", "Slika", "Bin", "Tekst") and checks its menu item; the
//   button shows it again after a language switch (Reapply).
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

class QMainWindow;
class TMPanel;
class TOfficeButton;
class TGIFImage;

class TGlavniUkazi {
public:
    // Builds the actions, the main menu into window's menu bar, the pop-up
    // menus for the two lists and the log, and the tool buttons on toolPanel.
    void Build(QMainWindow* window, QWidget* remoteList, QWidget* localList, QWidget* log,
               TMPanel* toolPanel);

    void SetTransferTypeShown(int type);
    void Reapply() { SetTransferTypeShown(m_type); }

    // Main menu.
    QAction *FTPPovezi, *Sistempovezav1, *FTPMoznosti, *FTPIzhod;
    QAction *OknoSkrijLok, *OknoSkrijFTP, *OknoSkrijInfo, *OknoSkrijVrsto;
    QAction *UkazPreSFTP, *UkazPreNaFTP, *UkazOdpri, *UkazIzbrisiFTP, *UkazIzbrisiLok, *UkazSkoci,
        *UkazUstvariFTP, *UkazFTPStop;
    QAction *PomocTeme, *PomocVizitka;
    // Remote list pop-up.
    QMenu* PlavajociMenu1;
    QAction *Pla1Prenesi, *Pla1Izbrisi, *Pla1Skoci, *Pla1UsMapo, *Pla1OsveziFTP, *Pla1IzberiVse;
    // Local list pop-up and its view submenu.
    QMenu *PlavajociMenu2, *Po1;
    QAction *Razii1, *Velikeikone1, *Maleikone1, *Seznam1, *Podrobnosti1;
    QAction *Pla2Prenesi, *Pla2Izbrisi, *Pla2Odpri, *Pla2Skoci, *Pla2UsiMapo, *Pla2OsveziLok, *Pla2IzberiVse;
    // Transfer types.
    QMenu* PlavajociMenu3;
    QAction *gsSamodejno, *gsSlika, *gsBinarno, *gsTekst;
    // Log pop-up.
    QMenu* PlavajociMenu4;
    QAction *Kopiraj1, *Izberivse1;
    // Tool buttons, left to right, and the logo at the right end.
    TOfficeButton *HitriGumb1, *HitriGumb2, *STOPFTP, *GumbTipPrenosa, *HitriGumb5, *OfficeButton1;
    TGIFImage* KvadoLogo;

private:
    QAction* action(const char* name, const QString& caption, const QKeySequence& shortcut = {});
    QMenu* menu(const char* name, const QString& title);
    TOfficeButton* button(const char* name, const QString& hint, int icon, int x, int width = 32);
    void popupOn(QWidget* pane, QMenu* popup);

    QMainWindow* m_window = nullptr;
    TMPanel* m_panel = nullptr;
    int m_type = 0;
};
