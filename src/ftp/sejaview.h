#pragma once
// TSejaView: everything the FTP session engine needs from the main window.
// The main window implements it with its widgets; tests implement it with a
// fake that records every call and answers dialogs from a script.
//
// Contract:
// - The engine calls these methods synchronously from its handlers, on the
//   UI thread. An implementation must not call back into the engine from
//   inside any of them, except that the modal ones (MessageBox, InputBox,
//   PrepisiDialog) run an event loop, during which socket events keep
//   reaching the engine (the engine is written for that).
// - Remote pane rows are addressed by index: row k shows entry k of the
//   remote listing table, row 0 is always "..".
// - Texts are the system's own; GetWord answers from the main window's word
//   table ("" for a missing key).
#include "ftp/logkind.h"
#include "ftp/remotelisting.h"
#include "net/certificateinfo.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <vector>

// The menu items and buttons the engine enables and disables.
enum TSejaItem : quint8 {
    siHitriGumb2,     // disconnect tool button
    siSTOPFTP,        // abort tool button (and UkazFTPStop)
    siGumbTipPrenosa, // transfer-type tool button
    siPla1Prenesi,    // remote pane: download
    siPla1OsveziFTP,  // remote pane: refresh
    siPla1UsMapo,     // remote pane: make directory
    siPla1Izbrisi,    // remote pane: delete
    siPla1Skoci,      // remote pane: jump to a path
    siPla1IzberiVse,  // remote pane: select all
    siPla2Prenesi,    // local pane: upload
};

enum TMsgIcon : quint8 { miExclamation, miQuestion, miInformation, miError };
enum TMsgButtons : quint8 { mbOk, mbYesNo };
// Answers of MessageBox.
enum TMsgResult : quint8 { mrOk = 1, mrNo = 7, mrYes = 6 };

// Modal results of the file-exists dialog.
enum TPrepisiIzbira : quint8 { piNadaljuj = 1, piPrekini = 2, piPreimenuj = 4, piPrepisi = 6 };

// One selected entry of the local pane, as the upload command reads it.
struct TLokalniVnos {
    QString caption;  // the file name
    QString sizeText; // the size as the pane shows it (digits, maybe grouped by ",")
};

class TSejaView {
public:
    virtual ~TSejaView() = default;

    // Word table of the main window.
    virtual QString GetWord(const QString& key) = 0;
    // 0 Slovenian, 1 English.
    virtual int ActiveLanguage() = 0;

    // Session log: a command or status line (KvadoUkazi), a server reply line
    // (shown indented, never in the log file), and any other line for the view only.
    virtual void KvadoUkazi(TLogKind kind, const QString& text, const QString& argument) = 0;
    virtual void LogReply(const QString& line) = 0;
    virtual void LogViewOnly(const QString& line) = 0;

    virtual void SetStatusPanel(int panel, const QString& text) = 0;
    virtual void SetItemEnabled(TSejaItem item, bool enabled) = 0;
    virtual bool ItemEnabled(TSejaItem item) = 0;
    virtual void SetCaption(const QString& caption) = 0;
    // The transfer-type choice (0 automatic .. 3 text): button caption and checked menu item.
    virtual void ShowTransferType(int choice) = 0;

    // Remote pane.
    virtual void ClearRemoteRows() = 0;
    // Replaces every row with the table's entries (row k = entry k).
    virtual void ShowRemoteRows(const TRemoteListing& table) = 0;
    virtual int RemoteFocusedRow() = 0;                // -1 when none
    virtual std::vector<int> RemoteSelectedRows() = 0; // in list order
    virtual void SetRemoteRowSelected(int row, bool selected) = 0;
    virtual QString RemoteRowCaption(int row) = 0; // as shown (after an in-place edit)
    virtual int RemoteRowCount() = 0;              // rows the pane shows, ".." included (0 when cleared)
    virtual void SetRemoteBusyCursor(bool busy) = 0;

    // Local pane.
    virtual QString LocalDirectory() = 0; // the directory downloads go to and uploads come from
    virtual bool LocalHasFocusedEntry() = 0;
    virtual std::vector<TLokalniVnos> LocalSelectedEntries() = 0; // in list order
    virtual void DeselectLocalEntry(const QString& caption) = 0;
    virtual void RefreshLocal() = 0;

    // Progress bar Gauge1 and the logo.
    virtual void SetProgress(int percent) = 0;
    virtual void ShowProgressText(bool show) = 0;
    // Bytes of the running download or upload so far and its expected size
    // (0 when unknown), after every block; the end of a transfer hides the
    // progress text.
    virtual void ShowTransferred(qint64 bytes, qint64 total) = 0;
    virtual void AnimateLogo(bool run) = 0;
    // Event sound: 0 connection started, 1 listing shown or upload finished.
    virtual void Efekti(int event) = 0;

    // Modal dialogs.
    virtual TMsgResult MessageBox(const QString& text, const QString& title, TMsgIcon icon,
                                  TMsgButtons buttons) = 0;
    // An input box with value as default; true when confirmed (value then holds the answer).
    virtual bool InputBox(const QString& caption, const QString& prompt, QString& value) = 0;
    virtual TPrepisiIzbira PrepisiDialog() = 0;

    // Encryption. The engine asks only about a certificate the system's trust
    // store or the host name did not accept; true lets the session go on. An
    // implementation may consult stored trust and ask the user (modal).
    virtual bool AcceptCertificate(const TCertificateInfo& /*info*/) { return false; }
    // The session's control connection is now encrypted (info of its handshake)
    // or, with nullptr, no longer (closed).
    virtual void ShowEncryption(const TCertificateInfo* /*info*/) {}
};
