#pragma once
// TSavedLogin: the remembered quick-connect login's password in the desktop's
// keyring. It works on the main window's TSettings (which outlives it) and a
// password store (null: the password stays in Kvado.ini, as described).
//
// The password is filed under Key(host, port, user) of the stored session
// parameters, so it never attaches to another server or user. ZGesloVShrambi
// tells TPosSaver to keep ZUporGeslo out of Kvado.ini; it is set when a
// keyring answers (also when it refuses: the file never gets a password
// without the user's consent) and cleared only when no keyring is there.
//
// Contract:
// - Load(), once after LoadSettings: with ZGesloVShrambi and an empty
//   ZUporGeslo it reads the password; when the answer comes and the stored
//   host, port and user are still the same and no password was set meanwhile,
//   ZUporGeslo takes it. A password still in the file moves into the keyring
//   (Remember()).
// - Remember(), after every connect that changed the session parameters:
//   stores ZUporGeslo under the present key and removes the one under the key
//   stored before. The answer arrives later; it changes ZGesloVShrambi only
//   while the parameters are still those it stored.
// - Every callback runs from the event loop, never inside these calls.
#include <QString>

class TPasswordStore;
struct TSettings;

class TSavedLogin {
public:
    TSavedLogin(TSettings& settings, TPasswordStore* store) : m_settings(settings), m_store(store) {}

    void SetStore(TPasswordStore* store) { m_store = store; }
    void Load();
    void Remember();

    // A keyring write or read whose answer has not come yet.
    bool Pending() const { return m_pending > 0; }

    static QString Key(const QString& host, const QString& port, const QString& user);

private:
    QString currentKey() const;

    TSettings& m_settings;
    TPasswordStore* m_store;
    QString m_storedKey; // the key the keyring holds the password under
    int m_pending = 0;
};
