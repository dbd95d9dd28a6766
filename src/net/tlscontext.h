#pragma once
// TTlsContext: the one OpenSSL client context every TLS connection of the
// program is made from.
//
// Contract:
// - Created on first use: OpenSSL's client method, the system's trust store
//   (SSL_CTX_set_default_verify_paths, so SSL_CERT_FILE/SSL_CERT_DIR are
//   honoured), partial writes and moving write buffers (a send may take
//   fewer bytes than offered and be retried from another address), reading
//   ahead in whole records, and an end of stream without close_notify read
//   as an orderly end (servers close data connections that way).
// - Certificate verification never aborts a handshake: every verification
//   error is handed to the connection's TListener::VerifyError, and the
//   handshake goes on; the connection decides what it means.
// - Every new session the server grants (TLS 1.3 tickets arrive after the
//   handshake, with later reads) is handed to TListener::NewSession.
// - Listener calls happen inside OpenSSL calls of that connection, on the UI
//   thread; a listener must not call back into OpenSSL for that connection.
#include <QString>

#include <openssl/ssl.h>

class TTlsContext {
public:
    class TListener {
    public:
        virtual ~TListener() = default;
        // One error of the certificate chain or the host check (X509_V_ERR_...).
        virtual void VerifyError(int code) = 0;
        // A session for reuse; the listener owns the reference (SSL_SESSION_free).
        virtual void NewSession(SSL_SESSION* session) = 0;
    };

    // A new client connection object reporting to listener; nullptr on failure.
    static SSL* NewConnection(TListener* listener);
    // The first entry of OpenSSL's error queue as a clear text, OpenSSL's own
    // words in parentheses where a plainer text exists (the queue is
    // cleared); fallback when the queue is empty.
    static QString TakeErrorText(const QString& fallback);
};
