#pragma once
// Certificates for the FTP-over-TLS tests, made at test time with the openssl
// command: a test CA that this process trusts, and server certificates it
// signs. The TLS layer reads the trust store once per process, so Get() sets
// SSL_CERT_FILE to the CA on its first call: call it before the process's
// first TLS connection.
//
//   const QString pem = FtpTlsPki::Get().Issue("IP:127.0.0.1");   // certificate and key
//   ASSERT_FALSE(pem.isEmpty()) << FtpTlsPki::Get().Error().toStdString();
#include <QString>
#include <QTemporaryDir>

class FtpTlsPki {
public:
    static FtpTlsPki& Get();

    // A new PEM file holding a certificate for altNames (subjectAltName, e.g.
    // "IP:127.0.0.1,DNS:localhost") and its key, valid between the dates
    // (openssl's YYYYMMDDHHMMSSZ); signed by the test CA, or by itself when
    // selfSigned (then nothing vouches for it). Empty on failure (see Error).
    QString Issue(const QString& altNames, const QString& notBefore = QStringLiteral("20200101000000Z"),
                  const QString& notAfter = QStringLiteral("20991231000000Z"), bool selfSigned = false);
    QString Error() const { return m_error; }
    // Whether the openssl command is here.
    static bool Available();

private:
    FtpTlsPki();
    bool openssl(const QStringList& arguments);
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_error;
    int m_issued = 0;
};
