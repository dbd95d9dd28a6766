#pragma once
// The values a TLS connection starts with and ends its handshake with.
//
// - TTlsOptions: what StartTls is given (see streamsocket.h and tlschannel.h).
// - TTlsOutcome: what OnDone is handed once the handshake has ended.
// - TTlsSession: a TLS session kept for reuse by a later connection (the
//   data connections of an FTP session reuse the control connection's). It
//   is shared: holding it keeps it alive after its connection has closed.
#include "net/certificateinfo.h"

#include <QString>

#include <functional>
#include <memory>

typedef struct ssl_session_st SSL_SESSION;
class TSockCtrl;
class TSocketBase;

using TTlsSession = std::shared_ptr<SSL_SESSION>;

struct TTlsOutcome {
    bool Ok = false;              // the handshake completed (the certificate may still be unverified)
    QString Error;                // why it failed, a clear text ("" when Ok)
    TCertificateInfo Certificate; // filled when Ok: see certificateinfo.h
    bool SessionReused = false;   // the server resumed the session handed in TTlsOptions::Session
};

// Fired once per StartTls, when the handshake has ended (Socket: the socket
// object; Sender: its component, as for the other socket events).
using TTlsDoneEvent = std::function<void(TSockCtrl* Sender, TSocketBase* Socket, const TTlsOutcome& Outcome)>;

struct TTlsOptions {
    QString HostName;    // checked against the certificate (a name or a dotted address); "" = no check
    quint16 Port = 0;    // reported in the certificate information
    TTlsSession Session; // a session to resume (another connection's Session()), or none
    int MinVersion = 0;  // TLS1_2_VERSION ... (OpenSSL's numbers); 0 = the library's default
    int MaxVersion = 0;  // 0 = the newest the library offers
    TTlsDoneEvent OnDone;
};
