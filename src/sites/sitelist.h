#pragma once
// TSiteList: the user's stored sites, held by the main window for the whole run.
//
// SiteTable(k) is record k, numbered 1 to 255; SiteCount() records are in use
// and the ones above carry no meaning. The file "Naslovi.kvs" in the program
// directory (ProgramDirectory()) holds records 1..SiteCount one after another,
// 936 bytes each, with no header.
//
// OpenSiteList: called once per run at the main window's first activation.
// Reads the whole records of the file, at most 255 (a shorter remainder and any
// record beyond the 255th are ignored). A missing or unreadable file gives an
// empty list; nothing is reported. The site manager then lists SiteTable(1..SiteCount).
// Choice (so that no stored site is ever lost): a file that exists but could
// not be read whole (no permission, a read error, not a regular file, more
// than 255 records) is not overwritten by the next WriteSiteList: it is first
// renamed to "Naslovi.kvs.bak" (a failure to do so throws EInOutError and
// writes nothing).
//
// WriteSiteList: called at the main window's destruction when SitesModified()
// is set. Writes records 1..SiteCount (SiteCount 0 gives an empty file) into a
// temporary file beside "Naslovi.kvs" and renames it over the old one, creating
// the program directory when needed; the old file keeps its permissions, a new
// one is readable by the user only (it holds passwords). On any failure the
// temporary file is removed, the old file is left as it was, and EInOutError is
// thrown ("I/O error 28: No space left on device").
//
// AddSite, DeleteSite and SetSitesModified are for the site manager; an edit of
// a record through SiteTable(k) must set SitesModified itself.
//
// Passwords. Without a password store (the default) a site's password is its
// record's field, as described. With one (SetPasswordStore before
// OpenSiteList), the passwords of normal logins live in the desktop's keyring
// under PasswordKey(record) (the site's name, host, port and user name, so a
// password never attaches to another site) and the list keeps them whole in
// memory (SitePassword). OpenSiteList then:
//   - reads the password of every record marked "in the keyring"; until the
//     answer PasswordState is spsReading, then spsKnown, or spsUnknown when the
//     keyring refused or lost it (the caller asks for it at connect);
//   - moves every password it finds in a record's field into the keyring; once
//     the keyring has it, SitesModified is set and WriteSiteList writes that
//     record with an empty password field and the mark (TSiteRecord::
//     PasswordInKeyring); until then, or when the keyring refuses, the
//     password stays in the file where it was.
// SetSitePassword(k, text) after an add or edit stores the password under the
// record's present key (and removes the one under its old key). A password the
// user gave that the keyring refuses (or has not yet confirmed at writing) is
// kept for this run only: the file gets the mark, never the password. When no
// keyring answers (tpsNoKeyring) everything stays in the file as described.
// A record marked for the keyring keeps its mark and empty field whenever its
// password is unknown (also in a list without a store).
// OnPasswordRead fires after each keyring read has set PasswordState(k).
// OpenSiteList also asks the store once whether a keyring is there at all, so
// KeyringState is known even for an empty list.
// Anonymous logins keep their (anonymous) password in the file.
#include "keyring/passwordstore.h"
#include "sites/siterecord.h"

#include <QString>

#include <functional>
#include <vector>

enum class TSitePasswordState { spsKnown, spsReading, spsUnknown };
// Whether a keyring answered: unknown before the first answer.
enum class TKeyringState { tksUnknown, tksAvailable, tksNone };

class TSiteList {
public:
    static constexpr int MaxSites = 255;

    TSiteList();

    // Record k, 1 <= k <= 255; another k throws std::out_of_range.
    TSiteRecord& SiteTable(int k) { return m_table.at(std::size_t(k - 1)); }
    const TSiteRecord& SiteTable(int k) const { return m_table.at(std::size_t(k - 1)); }
    int SiteCount() const { return m_count; }

    bool SitesModified() const { return m_modified; }
    void SetSitesModified(bool modified) { m_modified = modified; }

    // Stores the record as number SiteCount + 1 and sets SitesModified; returns
    // its number, or 0 (nothing changed) when all 255 records are in use.
    int AddSite(const TSiteRecord& record);

    // Moves records k + 1..SiteCount one place down, lowers SiteCount and sets
    // SitesModified. A k outside 1..SiteCount changes nothing. The record and
    // its password are kept aside until ForgetDeleted, so UndoDelete can bring
    // the last one back (at its old number, or at the end when the list has
    // shrunk below it); UndoDelete returns that number, 0 when there is nothing
    // to undo or the list is full. ForgetDeleted removes the kept passwords
    // from the keyring too.
    void DeleteSite(int k);
    int UndoDelete();
    bool CanUndoDelete() const { return !m_deleted.empty(); }
    void ForgetDeleted();

    void OpenSiteList();
    void WriteSiteList();

    // The site list file: ProgramFilePath("Naslovi.kvs").
    static QString FilePath();

    void SetPasswordStore(TPasswordStore* store) { m_store = store; }
    TKeyringState KeyringState() const { return m_store ? m_keyring : TKeyringState::tksNone; }
    QString SitePassword(int k) const;
    TSitePasswordState PasswordState(int k) const;
    void SetSitePassword(int k, const QString& password);
    // The key of a record's password in the keyring.
    static QString PasswordKey(const TSiteRecord& record);
    std::function<void(TSiteList* sender, int k)> OnPasswordRead;
    // Keyring reads and writes whose answer has not come yet (they decide what the file keeps).
    bool PasswordsPending() const { return m_pending > 0; }

private:
    struct TPassword {
        quint64 id = 0; // stays with its record when records move
        QString text;   // the password, whole
        TSitePasswordState state = TSitePasswordState::spsKnown;
        QString storedKey;  // the key the keyring holds it under; empty: not there
        bool typed = false; // entered this run (not read from the file's field)
        int generation = 0; // the latest write; older answers are dropped
    };
    void takePassword(int k);
    void probeKeyring();
    int indexOf(quint64 id) const;         // record number of an id, 0 when gone
    TPassword* entryOf(quint64 id, int k); // record k's entry, or a deleted site's (k 0); null when gone
    bool usesKeyring(const TSiteRecord& record) const;
    void storeInKeyring(int k);
    void keyringAnswered(TPasswordStatus status);
    TSiteRecord fileRecord(int k) const;

    std::vector<TSiteRecord> m_table;
    std::vector<TPassword> m_passwords;
    struct TDeleted {
        int k;
        TSiteRecord record;
        TPassword password;
    };
    std::vector<TDeleted> m_deleted;
    TPasswordStore* m_store = nullptr;
    TKeyringState m_keyring = TKeyringState::tksUnknown;
    quint64 m_nextId = 1;
    int m_pending = 0;
    int m_count = 0;
    bool m_modified = false;
    bool m_fileNotReadWhole = false; // the file holds more than the list: keep a copy before writing
};
