#pragma once
// THitra1: the quick-connect window. It opens filled with the session
// parameters of the last connection, lets the user change them, and on
// Poveži hands them back; the caller stores them and opens the connection.
//
// Use: create it for one question, exec() it, and after Accepted call
// DisconnectFirst() (close the open connection before connecting),
// ApplyTo(settings) (make the form the session parameters) and Word() for the
// "@idPov" / "@idPovezan" status lines; then destroy it.
//
// Contract:
// - The constructor fills the form (background picture when Ozadje is on,
//   server kind 0, language Jezik - 1 when Jezik is 1 or 2, login fields by the
//   login type, directories, transfer type, host, port and non-zero buffers).
//   It keeps a copy of the settings; it never writes to the caller's.
// - Poveži: an empty host, a port outside 1..65535 or a buffer that is not a
//   number above 0 gets a message and the window stays open. When the caller
//   said a connection is open, "@idPrekPov" is asked (No is the default): No
//   closes the window with Rejected, Yes with Accepted and DisconnectFirst().
//   Otherwise the window closes with Accepted. Prekliči (and Escape) close it
//   with Rejected.
// - Priporočene nastavitve asks "@idPriNast?" and on Yes fills the
//   recommended values (the port "990" when implicit TLS is chosen, else "21").
// - Choosing an encryption moves the port between "21" and "990" as
//   PortFollowsEncryption says; any other port stays as typed.
// - Choosing a login type fills user name and password (Anonymous: "anonymous"
//   and the default anonymous password; Normal: the stored ones, the password
//   only while host and port are those of the stored login).
// - Typing another host or port than the stored login's empties a password
//   field that holds the stored password; typing them back brings it again.
//   The stored password is never offered to another server.
// - The port and buffer fields take digits only, whether typed or pasted.
// - Every question and message goes through AskUser (replace it in tests),
//   also the boxes of the window's word table.
#include "dialogs/hitra1shared.h"
#include "sites/settings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class TButton3D;
class TMultiLang;
class TRadioGroup;
class TWallpaper;

class THitra1 : public QDialog {
    Q_OBJECT

public:
    THitra1(const TSettings& settings, bool connected, QWidget* parent = nullptr);

    // After Accepted: the open connection is to be closed before connecting.
    bool DisconnectFirst() const { return m_disconnectFirst; }
    // Makes the form the session parameters of settings. With login type
    // Anonymous the stored user name and password stay as they are; with
    // Normal a user name "anonymous" or a password equal to the default
    // anonymous password (any letter case) leaves the stored one in place.
    void ApplyTo(TSettings& settings) const;
    // A message of the window's word table in its language ("" when missing).
    QString Word(const QString& key) const;
    // The host type chosen for this connection (0 detect, 1 UNIX, 2 UNIX-compatible, 3 VMS); never stored.
    quint8 ServerKind() const;

    TAskBox AskUser;

private:
    void BuildControls();
    void FormCreate();
    void TipPrijave1Click();
    void ServerEdited();
    bool RememberedServer() const; // the host and port fields name the server of the remembered login
    void PriporNastavitveClick();
    void Povezi1Click();
    // Shows message and puts the focus on field; always false.
    bool Refuse(const QString& message, QLineEdit* field);

    TSettings m_settings;
    bool m_connected;
    bool m_disconnectFirst = false;

    TWallpaper* m_ozadje;
    QLineEdit* m_vnosNaslov1;
    QLineEdit* m_vnosIme1;
    QLineEdit* m_vnosGeslo1;
    QLineEdit* m_vnosVrata1;
    QLineEdit* m_vnosBralPom1;
    QLineEdit* m_vnosPisPom1;
    QLineEdit* m_vnosFTPMapa1;
    QLineEdit* m_vnosLokMapa1;
    TRadioGroup* m_tipPrenosa1;
    TRadioGroup* m_tipPrijave1;
    QComboBox* m_tipFTP1;
    QCheckBox* m_pasivno1;       // the data connection: passive when checked
    QComboBox* m_kodiranjeImen1; // names: code page 1250, UTF-8 or automatic
    QComboBox* m_sifriranje1;    // encryption: none, explicit TLS if offered or required, implicit TLS
    TButton3D* m_povezi1;
    TButton3D* m_button3D1;
    TButton3D* m_priporNastavitve;
    QList<QLabel*> m_labels;
    TMultiLang* m_ml2;
};
