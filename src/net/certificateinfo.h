#pragma once
// TCertificateInfo: what a TLS connection learned of the server's certificate,
// in the form a person can judge it by: filled by the TLS layer once the
// handshake has ended, read by whoever decides whether to trust the server.
#include <QByteArray>
#include <QDateTime>
#include <QString>

struct TCertificateInfo {
    QString host;          // the host name the connection was made to (as the user typed it)
    quint16 port = 0;      // the control connection's port
    QString subject;       // the certificate's subject, one line ("CN=ftp.example.org, O=...")
    QString issuer;        // its issuer, one line
    QDateTime notBefore;   // validity, UTC
    QDateTime notAfter;    // validity, UTC
    QByteArray sha256;     // SHA-256 of the DER certificate, 32 bytes
    bool verified = false; // the system's trust store and the host name both accept it
    QString reason;        // why it was not verified ("" when verified), a clear text
    QString protocol;      // the TLS version agreed ("TLSv1.3")
    QString cipher;        // the cipher suite agreed

    // "AB:CD:..." as people compare fingerprints.
    QString FingerprintText() const { return QString::fromLatin1(sha256.toHex(':').toUpper()); }
};
