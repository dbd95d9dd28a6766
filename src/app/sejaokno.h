#pragma once
// TSejaOkno: the main window as the session engine sees it (TSejaView). It
// forwards every call to the part of the window that shows it: the log, the
// status line, the actions and tool buttons, the remote and local panes, the
// progress bar and logo, the prompts and the file-exists dialog.
//
// Contract: the engine calls it synchronously on the UI thread; it calls
// nothing back into the engine. MessageBox, InputBox, PrepisiDialog and
// AcceptCertificate are modal and run an event loop (socket events keep
// reaching the engine). The parts must outlive it; the main window owns both.
//
// Certificates (AcceptCertificate, for one the system did not verify): a
// fingerprint trusted "always" before for the same host and port that equals
// the certificate's lets the session go on without a question; one that
// differs brings the loud changed-certificate warning; none brings the
// question. "Trust always" stores the fingerprint in the program directory's
// trust file (TCertificateTrust, read anew each time) and goes on, "trust
// once" goes on without storing, cancel refuses. A fingerprint that cannot be
// stored is shown in an error box; the session still goes on, as asked.
// ShowEncryption(info) puts the TLS version after every caption the engine
// sets ("Kvado - [host/dir] - šifrirano (TLSv1.3)") and logs a status line
// with version and cipher; ShowEncryption(nullptr) puts the plain caption back.
#include "ftp/sejaview.h"
#include "sites/certificatetrust.h"

#include <functional>

class QLabel;
class QObject;
class QWidget;
class TMultiLang;
class TSessionLog;
class TGlavniUkazi;
class TRemotePane;
class TLocalPane;
class ProgressBar3D;
class TPrompts;
class TTransferMeter;

struct TSejaOknoDeli {
    QWidget* window = nullptr;
    TMultiLang* words = nullptr;
    TSessionLog* log = nullptr;
    QLabel* panels[3] = {}; // status panels 0..2
    TTransferMeter* meter = nullptr;
    TGlavniUkazi* actions = nullptr;
    TRemotePane* remote = nullptr;
    TLocalPane* local = nullptr;
    ProgressBar3D* gauge = nullptr;
    TPrompts* prompts = nullptr;
    std::function<void(int event)> efekti;
    std::function<TPrepisiIzbira()> prepisi;
    std::function<void()> listed; // after the remote pane shows a new listing
};

class TSejaOkno : public TSejaView {
public:
    explicit TSejaOkno(const TSejaOknoDeli& parts) : m(parts) {}

    QString GetWord(const QString& key) override;
    int ActiveLanguage() override;
    void KvadoUkazi(TLogKind kind, const QString& text, const QString& argument) override;
    void LogReply(const QString& line) override;
    void LogViewOnly(const QString& line) override;
    void SetStatusPanel(int panel, const QString& text) override;
    void SetItemEnabled(TSejaItem item, bool enabled) override;
    bool ItemEnabled(TSejaItem item) override;
    // After a language switch rewrote the window title: the caption again, with its
    // "[host/folder]" and the encryption mark in the new language.
    void RestoreCaption();
    void SetCaption(const QString& caption) override;
    void ShowTransferType(int choice) override;
    void ClearRemoteRows() override;
    void ShowRemoteRows(const TRemoteListing& table) override;
    int RemoteFocusedRow() override;
    std::vector<int> RemoteSelectedRows() override;
    void SetRemoteRowSelected(int row, bool selected) override;
    QString RemoteRowCaption(int row) override;
    int RemoteRowCount() override;
    void SetRemoteBusyCursor(bool busy) override;
    QString LocalDirectory() override;
    bool LocalHasFocusedEntry() override;
    std::vector<TLokalniVnos> LocalSelectedEntries() override;
    void DeselectLocalEntry(const QString& caption) override;
    void RefreshLocal() override;
    void SetProgress(int percent) override;
    void ShowProgressText(bool show) override;
    void ShowTransferred(qint64 bytes, qint64 total) override;
    void AnimateLogo(bool run) override;
    void Efekti(int event) override;
    TMsgResult MessageBox(const QString& text, const QString& title, TMsgIcon icon,
                          TMsgButtons buttons) override;
    bool InputBox(const QString& caption, const QString& prompt, QString& value) override;
    TPrepisiIzbira PrepisiDialog() override;
    bool AcceptCertificate(const TCertificateInfo& info) override;
    void ShowEncryption(const TCertificateInfo* info) override;

private:
    QObject* itemObject(TSejaItem item) const;
    QString shownCaption() const;
    TSejaOknoDeli m;
    TCertificateTrust m_trust;
    QString m_caption; // the engine's last caption, without the encryption
    bool m_encrypted = false;
    QString m_protocol; // of the encrypted session
};
