#pragma once
// TUrediObrazec: the site editor ("Urejanje povezav"), which edits one site
// record of a TSiteList or appends a new one. Created once at start (the site
// manager owns it) and reused; its fields are never cleared, so an add starts
// from the texts of the previous use.
//
// Contract:
// - Begin(sites, site, editing, jezik, privGeslo) prepares one showing (this is
//   the work of the editor's activation, done once per showing, never when a
//   question box closes): the word table ML5 switches to jezik - 1 (only for
//   jezik 1 or 2); adding sets login Anonymous, port "21", server kind 0,
//   transfer type 0, no encryption and both buffers "4096"; editing fills every field from
//   record `site`; then the user name and password are filled as the login
//   choice does. `site` is the entry selected in the site manager (0: none).
// - Edit() = Begin() + exec(); true when OK stored the record.
// - Povezi2Click (OK) first checks the numeric fields: port 1..65535, buffers
//   1..99999; then the texts the record cannot hold whole: a host over 50
//   characters, a user name over 30, and, when no keyring keeps the password
//   (TSiteList::KeyringState), a normal login's password over 20. A bad field
//   gets a message naming the limit through AskUser, takes the focus and
//   nothing is stored; the editor stays open. The password goes to the list
//   whole (TSiteList::SetSitePassword). Only when every field is good is
//   the record stored (editing: record `site`; adding: appended as record
//   SiteCount + 1) with SitesModified set, and the editor closes with OK.
//   When the list is full an add is refused with a message (the site manager
//   refuses it before opening the editor; this is the second guard).
// - TipPrijave2Click fires when the user changes the login type: Anonymous
//   fills "anonymous" and the anonymous password, Normal the user name and
//   password of the selected site (the fields stay when none is selected).
//   Adding a site offers the selected site's user name only: its password
//   starts empty, so no password is offered to another host.
// - PriporNastavitve2Click asks through AskUser; Yes sets the recommended
//   values (the port "990" when implicit TLS is chosen, else "21").
// - Choosing an encryption moves the port between "21" and "990" as
//   PortFollowsEncryption says; any other port stays as typed.
// - The numeric fields take digits only, typed or pasted (a paste with any
//   other character is refused), at most 5.
// Handlers run on the UI thread inside the editor's modal loop.
#include "dialogs/hitra1shared.h"
#include "dialogs/sistemobrazecjezik.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TButton3D;
class TMultiLang;
class TRadioGroup;
class TSiteList;

class TUrediObrazec : public QDialog {
    Q_OBJECT
public:
    explicit TUrediObrazec(QWidget* parent = nullptr);

    void Begin(TSiteList& sites, int site, bool editing, quint8 jezik, const QString& privGeslo);
    bool Edit(TSiteList& sites, int site, bool editing, quint8 jezik, const QString& privGeslo);

    // Stores the fields (see the contract); true when stored.
    bool Povezi2Click();
    void TipPrijave2Click();
    void PriporNastavitve2Click();

    // Every CR LF pair, and every lone LF or CR, becomes one space; cut to 255 characters.
    static QString FlattenComment(const QString& comment);

    TMultiLang* ML5() const { return m_ml5; }
    TAskBox AskUser;

private:
    void buildComponents();
    QLineEdit* numericField(const char* name, QWidget* parent);
    bool checkNumber(QLineEdit* field, int low, int high, const QString& messageKey);
    bool checkLength(QLineEdit* field, int limit, const QString& messageKey);
    void limitComment();
    void warn(const QString& messageKey);

    TSiteList* m_sites = nullptr;
    int m_site = 0;
    bool m_editing = false;
    QString m_privGeslo;
    QString m_shownPassword; // what the login choice put into the password field

    QLineEdit* ImePov2;
    QLineEdit* VnosNaslov2;
    QLineEdit* VnosIme2;
    QLineEdit* VnosGeslo2;
    TRadioGroup* TipPrijave2;
    QLineEdit* VnosFTPMapa2;
    QLineEdit* VnosLokMapa2;
    QLineEdit* VnosVrata2;
    QLineEdit* VnosBralPom2;
    QLineEdit* VnosPisPom2;
    TRadioGroup* TipPrenosa2;
    QComboBox* TipFTP2;
    QComboBox* KodiranjeImen2; // names: code page 1250, UTF-8 or automatic
    QComboBox* Sifriranje2;    // encryption: none, explicit TLS if offered or required, implicit TLS
    QCheckBox* Pasivno2;       // the data connection: passive when checked
    QPlainTextEdit* Komentar2;
    TButton3D* PriporNastavitve2;
    TButton3D* Povezi2;
    TButton3D* Preklici2;
    TButton3D* Pomoc2;
    TMultiLang* m_ml5;
};
