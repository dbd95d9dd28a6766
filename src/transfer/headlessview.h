#pragma once
// THeadlessView: the window of an engine that has none, a background
// connection of the transfer queue.
//
// Contract:
// - Log lines (commands, statuses, the server's replies as lkReply, and the
//   view-only lines as statuses) go to OnLog with the connection's prefix
//   (Prefix, e.g. "[2] ") before the text, synchronously, from inside the
//   engine's handlers: OnLog must not call back into the engine.
// - GetWord asks Word (the window's word table); "" without it.
// - AcceptCertificate asks OnCertificate (the window's trust decision, which
//   may be modal); false without it.
// - The other dialogs answer No / Cancel at once: the queue's operations never
//   ask. Everything else (panes, progress, buttons, sounds) does nothing.
#include "ftp/sejaview.h"

#include <functional>

class THeadlessView : public TSejaView {
public:
    QString Prefix;
    std::function<void(TLogKind kind, const QString& text, const QString& argument)> OnLog;
    std::function<QString(const QString& key)> Word;
    std::function<bool(const TCertificateInfo& info)> OnCertificate;

    QString GetWord(const QString& key) override { return Word ? Word(key) : QString(); }
    int ActiveLanguage() override { return 0; }

    void KvadoUkazi(TLogKind kind, const QString& text, const QString& argument) override;
    void LogReply(const QString& line) override;
    void LogViewOnly(const QString& line) override;

    void SetStatusPanel(int, const QString&) override {}
    void SetItemEnabled(TSejaItem, bool) override {}
    bool ItemEnabled(TSejaItem) override { return false; }
    void SetCaption(const QString&) override {}
    void ShowTransferType(int) override {}

    void ClearRemoteRows() override {}
    void ShowRemoteRows(const TRemoteListing&) override {}
    int RemoteFocusedRow() override { return -1; }
    std::vector<int> RemoteSelectedRows() override { return {}; }
    void SetRemoteRowSelected(int, bool) override {}
    QString RemoteRowCaption(int) override { return {}; }
    int RemoteRowCount() override { return 0; }
    void SetRemoteBusyCursor(bool) override {}

    QString LocalDirectory() override { return QStringLiteral("/"); }
    bool LocalHasFocusedEntry() override { return false; }
    std::vector<TLokalniVnos> LocalSelectedEntries() override { return {}; }
    void DeselectLocalEntry(const QString&) override {}
    void RefreshLocal() override {}

    void SetProgress(int) override {}
    void ShowProgressText(bool) override {}
    void ShowTransferred(qint64, qint64) override {}
    void AnimateLogo(bool) override {}
    void Efekti(int) override {}

    TMsgResult MessageBox(const QString&, const QString&, TMsgIcon, TMsgButtons buttons) override
    {
        return buttons == mbOk ? mrOk : mrNo;
    }
    bool InputBox(const QString&, const QString&, QString&) override { return false; }
    TPrepisiIzbira PrepisiDialog() override { return piPrekini; }
    bool AcceptCertificate(const TCertificateInfo& info) override
    {
        return OnCertificate ? OnCertificate(info) : false;
    }
};
