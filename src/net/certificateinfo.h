#pragma once
// TCertificateInfo: what a TLS connection learned of the server's certificate,
// in the form a person can judge it by: filled by the TLS layer once the
// handshake has ended, read by whoever decides whether to trust the server.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// Why a certificate was not verified, for a text in the reader's own language.
enum TCertificateProblem : quint8 {
    cpExpired,
    cpNotYetValid,
    cpSelfSigned,      // the certificate, or one in its chain, signs itself
    cpUntrustedIssuer, // no way to an authority the system trusts
    cpNameMismatch,    // made out for another host name or address
    cpRevoked,
    cpOther, // anything else: reason says what
};

struct TCertificateInfo {
    QString host;                        // the host name the connection was made to (as the user typed it)
    quint16 port = 0;                    // the control connection's port
    QString subject;                     // the certificate's subject, one line ("CN=ftp.example.org, O=...")
    QString issuer;                      // its issuer, one line
    QDateTime notBefore;                 // validity, UTC
    QDateTime notAfter;                  // validity, UTC
    QByteArray sha256;                   // SHA-256 of the DER certificate, 32 bytes
    bool verified = false;               // the system's trust store and the host name both accept it
    QString reason;                      // why it was not verified ("" when verified), a clear text
    QList<TCertificateProblem> problems; // the same, one entry per distinct problem, in the order met
    QString protocol;                    // the TLS version agreed ("TLSv1.3")
    QString cipher;                      // the cipher suite agreed

    // "AB:CD:..." as people compare fingerprints.
    QString FingerprintText() const { return QString::fromLatin1(sha256.toHex(':').toUpper()); }
};
