#pragma once
// The values that go into an FTP session and come out of it: the window's
// parameters for a connection (TSejaParametri), a file transfer as it starts
// (TFileTransfer) and how an operation of the transfer queue ended
// (TOperationResult). Plain values, no behaviour.
#include "ftp/remotelisting.h"

#include <QString>

#include <vector>

// The transfer-type choice.
enum TTipPrenosa : quint8 { tpSamodejno = 0, tpSlika = 1, tpBinarno = 2, tpTekst = 3 };

// The main window's values for the current connection.
struct TSejaParametri {
    QString host;
    QString user;
    QString password;
    QString port = QStringLiteral("21");
    int readBufferSize = 4096;
    int writeBufferSize = 4096;
    QString remoteDirectory; // initial remote directory, may be empty
    TTipPrenosa transferType = tpSamodejno;
    quint8 loginKind = 0;      // 0 anonymous, 1 named user
    QString anonymousPassword; // the default anonymous password of the settings
    // How listings are read: 0 detect (UNIX, DOS/IIS or VMS, judged from the
    // listing), 1 UNIX, 2 UNIX-compatible (both the UNIX layout), 3 VMS; any
    // other value detects.
    quint8 serverKind = 0;
    quint8 dataConnection = 0; // 0 active (the described default), 1 passive
    quint8 nameEncoding = 0;   // 0 code page 1250 (the default), 1 UTF-8, 2 automatic (FEAT)
    // 0 none (the default), 1 explicit TLS when the server offers it, 2 explicit
    // TLS required, 3 implicit TLS (the connection starts with the handshake).
    quint8 encryption = 0;
    int tlsMaxVersion = 0; // the newest TLS version offered (OpenSSL's number), 0 = the newest known
};

// A download or upload as it starts (OnTransferStarted).
struct TFileTransfer {
    bool upload = false;
    QString localPath; // absolute
    QString remote;    // as the command names it: a name in the current folder, or an absolute path
    qint64 size = 0;   // expected (listed, or the local file's), 0 unknown
    qint64 offset = 0; // a resume's offset
};

// How an operation of the transfer queue ended (OnOperationDone).
struct TOperationResult {
    bool ok = false;
    bool stopped = false;
    bool exists = false;               // MakeFolder: it was there already (ok is true too)
    QString reason;                    // why it failed, as the log shows it
    std::vector<TRemoteEntry> entries; // ListFolder: the entries, never "." or ".."
};
