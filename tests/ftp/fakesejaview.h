#pragma once
// A window for the FTP session engine in tests: records every call the engine
// makes (in Calls, each as "Kind: text", and in typed fields), answers GetWord
// from the main window's real word table, and answers the modal dialogs from
// scripted queues (an empty queue answers No / Cancel / Cancel).
#include "ftp/ftpseja.h"
#include "ftp/sessionlog.h"
#include "lang/multilang.h"

#include <QDir>
#include <QStringList>
#include <QWidget>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

class FakeSejaView : public TSejaView {
public:
    explicit FakeSejaView(int language = 0) : m_words(&m_window)
    {
        m_words.LoadWords(QStringLiteral("ML1"));
        m_words.SetActiveLanguage(quint8(language));
        Log.ReadPrefixes([this](const QString& key) { return m_words.GetWord(key); });
        Log.OnLine = [this](TSessionLog*, TLogColour, const QString& line) { LogLines << line; };
    }

    // Everything, in call order.
    QStringList Calls;
    // Lines as the real log writer makes them.
    TSessionLog Log;
    QStringList LogLines;
    // KvadoUkazi of kind command as "LABEL argument" (trimmed), and status texts.
    QStringList Commands;
    QStringList Statuses;
    QStringList Replies;
    std::function<void(const QString& line)> OnReply; // after a reply line is recorded
    QString Panels[3];
    std::map<TSejaItem, bool> Enabled;
    QString Caption;
    int TransferType = -1;
    std::vector<TRemoteEntry> Rows;
    int Listings = 0; // ShowRemoteRows calls
    std::set<int> Selected;
    int Focused = -1;
    std::map<int, QString> EditedCaptions; // captions typed in place
    QString LocalDir = QDir::currentPath();
    std::vector<TLokalniVnos> LocalSelection;
    int LocalRefreshes = 0;
    int Progress = 0;
    int MaxProgress = 0;
    bool ProgressText = false;
    qint64 TransferredBytes = 0;
    qint64 TransferredTotal = 0;
    bool Logo = false;
    std::vector<int> Sounds;
    bool BusyCursor = false;

    // Scripted answers and what the dialogs showed.
    std::deque<TMsgResult> MessageAnswers;
    // Runs while a message box is up (a modal box runs the event loop).
    std::function<void(const QString& text)> WhileMessageBox;
    std::deque<std::optional<QString>> InputAnswers; // nullopt = cancelled
    std::deque<TPrepisiIzbira> PrepisiAnswers;
    // The certificate question: what was asked, the scripted answers (an
    // empty queue cancels), and what runs while it is up (it is modal).
    std::vector<TCertificateInfo> Certificates;
    std::deque<bool> CertificateAnswers;
    std::function<void()> WhileCertificate;
    // ShowEncryption calls: "TLSv1.3 cipher" when encrypted, "-" when no longer.
    QStringList Encryption;
    QStringList Messages; // "title|text"
    QStringList Inputs;   // "caption|prompt|default"
    int PrepisiShown = 0;

    // Selects rows by name (and focuses the first).
    void Select(const QStringList& names)
    {
        Selected.clear();
        for (int i = 0; i < int(Rows.size()); ++i)
            if (names.contains(Rows[std::size_t(i)].name))
                Selected.insert(i);
        Focused = Selected.empty() ? -1 : *Selected.begin();
    }
    int RowOf(const QString& name) const
    {
        for (int i = 0; i < int(Rows.size()); ++i)
            if (Rows[std::size_t(i)].name == name)
                return i;
        return -1;
    }
    QStringList RowNames() const
    {
        QStringList names;
        for (const TRemoteEntry& e : Rows)
            names << e.name;
        return names;
    }
    // The command labels only (first word), in order.
    QStringList CommandLabels() const
    {
        QStringList labels;
        for (const QString& c : Commands)
            labels << c.section(QLatin1Char(' '), 0, 0);
        return labels;
    }

    QString GetWord(const QString& key) override { return m_words.GetWord(key); }
    int ActiveLanguage() override { return m_words.ActiveLanguage(); }

    void KvadoUkazi(TLogKind kind, const QString& text, const QString& argument) override
    {
        record(QStringLiteral("KvadoUkazi%1").arg(int(kind)), text + QLatin1Char(' ') + argument);
        (kind == lkCommand ? Commands : Statuses) << (text + QLatin1Char(' ') + argument).trimmed();
        Log.KvadoUkazi(kind, text, argument);
    }
    void LogReply(const QString& line) override
    {
        record(QStringLiteral("Reply"), line);
        Replies << line;
        Log.Reply(line);
        if (OnReply)
            OnReply(line);
    }
    void LogViewOnly(const QString& line) override
    {
        record(QStringLiteral("ViewOnly"), line);
        Log.ViewOnly(line);
    }
    void SetStatusPanel(int panel, const QString& text) override
    {
        record(QStringLiteral("Panel%1").arg(panel), text);
        Panels[panel] = text;
    }
    void SetItemEnabled(TSejaItem item, bool enabled) override
    {
        record(QStringLiteral("Enable%1").arg(int(item)),
               enabled ? QStringLiteral("1") : QStringLiteral("0"));
        Enabled[item] = enabled;
    }
    bool ItemEnabled(TSejaItem item) override { return Enabled.count(item) && Enabled[item]; }
    void SetCaption(const QString& caption) override
    {
        record(QStringLiteral("Caption"), caption);
        Caption = caption;
    }
    void ShowTransferType(int choice) override
    {
        record(QStringLiteral("Type"), QString::number(choice));
        TransferType = choice;
    }
    void ClearRemoteRows() override
    {
        record(QStringLiteral("ClearRows"), {});
        Rows.clear();
        Selected.clear();
        Focused = -1;
    }
    void ShowRemoteRows(const TRemoteListing& table) override
    {
        record(QStringLiteral("Rows"), QString::number(table.Count()));
        Rows.clear();
        for (int i = 0; i < table.Count(); ++i)
            Rows.push_back(table.At(i));
        Selected.clear();
        EditedCaptions.clear();
        Focused = -1;
        ++Listings;
    }
    int RemoteFocusedRow() override { return Focused; }
    std::vector<int> RemoteSelectedRows() override { return {Selected.begin(), Selected.end()}; }
    void SetRemoteRowSelected(int row, bool selected) override
    {
        record(QStringLiteral("Select"), QStringLiteral("%1 %2").arg(row).arg(selected));
        if (selected)
            Selected.insert(row);
        else
            Selected.erase(row);
    }
    QString RemoteRowCaption(int row) override
    {
        if (EditedCaptions.count(row))
            return EditedCaptions[row];
        return row >= 0 && row < int(Rows.size()) ? Rows[std::size_t(row)].name : QString();
    }
    int RemoteRowCount() override { return int(Rows.size()); }
    void SetRemoteBusyCursor(bool busy) override { BusyCursor = busy; }
    QString LocalDirectory() override { return LocalDir; }
    bool LocalHasFocusedEntry() override { return !LocalSelection.empty(); }
    std::vector<TLokalniVnos> LocalSelectedEntries() override { return LocalSelection; }
    void DeselectLocalEntry(const QString& caption) override
    {
        record(QStringLiteral("DeselectLocal"), caption);
    }
    void RefreshLocal() override
    {
        record(QStringLiteral("RefreshLocal"), {});
        ++LocalRefreshes;
    }
    void SetProgress(int percent) override
    {
        Progress = percent;
        MaxProgress = qMax(MaxProgress, percent);
    }
    void ShowProgressText(bool show) override { ProgressText = show; }
    void ShowTransferred(qint64 bytes, qint64 total) override
    {
        TransferredBytes = bytes;
        TransferredTotal = total;
    }
    void AnimateLogo(bool run) override { Logo = run; }
    void Efekti(int event) override
    {
        record(QStringLiteral("Efekti"), QString::number(event));
        Sounds.push_back(event);
    }
    TMsgResult MessageBox(const QString& text, const QString& title, TMsgIcon, TMsgButtons buttons) override
    {
        record(QStringLiteral("MessageBox"), title + QLatin1Char('|') + text);
        Messages << title + QLatin1Char('|') + text;
        if (WhileMessageBox)
            WhileMessageBox(text);
        if (buttons == mbOk)
            return mrOk;
        if (MessageAnswers.empty())
            return mrNo;
        const TMsgResult answer = MessageAnswers.front();
        MessageAnswers.pop_front();
        return answer;
    }
    bool InputBox(const QString& caption, const QString& prompt, QString& value) override
    {
        record(QStringLiteral("InputBox"), caption + QLatin1Char('|') + prompt + QLatin1Char('|') + value);
        Inputs << caption + QLatin1Char('|') + prompt + QLatin1Char('|') + value;
        if (InputAnswers.empty() || !InputAnswers.front()) {
            if (!InputAnswers.empty())
                InputAnswers.pop_front();
            return false;
        }
        value = *InputAnswers.front();
        InputAnswers.pop_front();
        return true;
    }
    bool AcceptCertificate(const TCertificateInfo& info) override
    {
        record(QStringLiteral("AcceptCertificate"),
               info.host + QLatin1Char(':') + QString::number(info.port));
        Certificates.push_back(info);
        if (WhileCertificate)
            WhileCertificate();
        if (CertificateAnswers.empty())
            return false;
        const bool answer = CertificateAnswers.front();
        CertificateAnswers.pop_front();
        return answer;
    }
    void ShowEncryption(const TCertificateInfo* info) override
    {
        const QString shown = info ? info->protocol + QLatin1Char(' ') + info->cipher : QStringLiteral("-");
        record(QStringLiteral("ShowEncryption"), shown);
        Encryption << shown;
    }
    TPrepisiIzbira PrepisiDialog() override
    {
        record(QStringLiteral("PrepisiDialog"), {});
        ++PrepisiShown;
        if (PrepisiAnswers.empty())
            return piPrekini;
        const TPrepisiIzbira answer = PrepisiAnswers.front();
        PrepisiAnswers.pop_front();
        return answer;
    }

private:
    void record(const QString& kind, const QString& text) { Calls << kind + QStringLiteral(": ") + text; }

    QWidget m_window;
    TMultiLang m_words;
};

// An engine with a fake window, connected to a server on 127.0.0.1.
struct TestSession {
    explicit TestSession(int language = 0) : view(language), seja(&view) {}

    void Connect(quint16 port, TSejaParametri parametri = {})
    {
        parametri.host = QStringLiteral("127.0.0.1");
        parametri.port = QString::number(port);
        if (parametri.anonymousPassword.isEmpty())
            parametri.anonymousPassword = QStringLiteral("kvado@test");
        seja.Parametri() = parametri;
        seja.Povezi();
    }

    FakeSejaView view;
    TFtpSeja seja;
};
