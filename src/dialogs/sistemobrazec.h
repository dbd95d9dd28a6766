#pragma once
// TSistemObrazec: the site manager ("Sistem povezav"). It lists the sites of
// the TSiteList it is given, shows the properties of the selected one, adds,
// edits and deletes records through its site editor, and closes with the site
// to connect to. Created once at start and reused; shown modally.
//
// The list Naslovi is flat: entry 0 is the header "Najbolj obiskani naslovi",
// entry k shows record k's name, so an entry's position is its record number.
// Every add, edit and delete changes the table, SiteCount, the entries and
// SitesModified together; nothing else is kept in between.
//
// Contract:
// - Open(jezik, privGeslo): fills the list from the table, selects the header,
//   switches ML4 to jezik - 1 (only for jezik 1 or 2; the header entry's text
//   is then set from the table's "Naslovi" group), runs the modal loop and
//   returns the choice: connect is true exactly when the window closed with
//   Poveži (button, double-click on a site, pop-up "Poveži" or Enter) while a
//   site entry was selected; site is that record's number.
//   Begin() does the same preparation without the modal loop.
// - Add (button, pop-up, Insert): with 255 sites it is refused with a message
//   through AskUser; otherwise the editor appends a record and its entry is
//   added and selected. Edit (button, pop-up, F2) and Delete (button, pop-up,
//   Del, no question) do nothing while the header or nothing is selected.
//   Deleting entry k removes record k and gives the focus mark to entry k - 1.
//   RazveljaviStrez (and Ctrl+Z) brings deleted sites back, the last first,
//   until the window closes (TSiteList::UndoDelete); closing forgets them.
// - The properties panel shows the password as dots until the check box
//   PokaziGeslo is ticked; every Begin() unticks it.
// - The field Iskanje filters the entries as the user types (name or host
//   contains the text, case ignored); a filtered entry keeps its record number.
//   Up and Down there move through the list.
// - Nothing here connects: the main window does that with the returned choice.
//   When a connection is already open it first asks ML4()->GetWord("@idPrekPov")
//   (titled "Kvado", Yes/No, No the default) and, on No, changes nothing.
#include "dialogs/hitra1shared.h"
#include "dialogs/sistemobrazecjezik.h"

#include <QDialog>
#include <QIcon>

class QAction;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QMenu;
class QTreeWidgetItem;
class TButton3D;
class THETreeView;
class TMultiLang;
class TPanel3D;
class TSiteList;
class TUrediObrazec;

struct TSiteChoice {
    bool connect = false; // closed with Poveži while a site was selected
    int site = 0;         // the selected record, 1..SiteCount; 0 for none
};

class TSistemObrazec : public QDialog {
    Q_OBJECT
public:
    explicit TSistemObrazec(TSiteList& sites, QWidget* parent = nullptr);

    void Begin(quint8 jezik, const QString& privGeslo);
    TSiteChoice Open(quint8 jezik, const QString& privGeslo);
    TSiteChoice Choice() const;

    // The record of the selected entry, 0 for the header or nothing.
    int SelectedSite() const;
    void SelectSite(int site);
    // The five properties lines of record k in the active language; the
    // password in dots unless showPassword (the panel shows them in dots
    // until the check box PokaziGeslo is ticked, each opening starts unticked).
    QString PropertiesText(int k, bool showPassword = true) const;
    // Image 1 of the main window's image list, shown on the header entry.
    void SetHeaderIcon(const QIcon& icon);

    void NasloviChange();
    void DodajStrezClick();
    void IzbrisiStrezClick();
    void RazveljaviStrezClick();
    void UrediStrezClick();
    void Povei1Click();
    void PopupMenu1Popup();

    TUrediObrazec* Editor() const { return m_editor; }
    TMultiLang* ML4() const { return m_ml4; }
    TAskBox AskUser;

protected:
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildComponents();
    void fillList();
    QTreeWidgetItem* appendEntry(int k);
    void applyFilter();
    bool matchesFilter(int k) const;

    TSiteList& m_sites;
    TUrediObrazec* m_editor;
    bool m_editing = false; // the editor edits an existing site (true) or adds one
    quint8 m_jezik = 0;
    QString m_privGeslo;
    QIcon m_headerIcon;

    QLineEdit* Iskanje;
    THETreeView* Naslovi;
    QGroupBox* GroupBox1;
    TPanel3D* Lastnosti;
    TButton3D* DodajStrez;
    TButton3D* IzbrisiStrez;
    TButton3D* UrediStrez;
    TButton3D* PoveziStrez;
    TButton3D* ZapriStrez;
    TButton3D* RazveljaviStrez; // brings the last deleted site back, until the window closes
    QCheckBox* PokaziGeslo;
    QMenu* PopupMenu1;
    QAction* Povei1;
    QAction* Dodajstrenik1;
    QAction* Izbriistrenik1;
    QAction* Uredistrenik1;
    TMultiLang* m_ml4;
};

// Makes site the session parameters of the next connection, with password as
// the site's password (the whole one the list keeps; the overload without it
// takes the record's field), by the rules of quick connect: host, port (decimal), buffers, directories,
// transfer and login type, data connection, name encoding and encryption always; the user name unless it is
// "anonymous" (any case) and the password unless it is the anonymous password (any case, also as cut to the
// record's 20 characters). An anonymous site never touches the stored user name and password of a normal
// login.
struct TSettings;
struct TSiteRecord;
void TakeSiteAsSession(const TSiteRecord& site, TSettings& settings);
void TakeSiteAsSession(const TSiteRecord& site, const QString& password, TSettings& settings);
