#pragma once
// A pyftpdlib server on 127.0.0.1 for one test, serving RootPath() (a fresh
// temporary folder) to the anonymous user (with every write right unless the
// fixture is made read-only) and to the named user kUser/kPassword (every
// write right). Runs with Debian's /usr/bin/python3.
//
//   PyftpdServer server;
//   QString error;
//   ASSERT_TRUE(server.Start(&error)) << error.toStdString();
//   server.PutFile("pub/a.txt", "hello");      // then connect to server.Port()
//
// The server is stopped when the fixture is destroyed.
#include "support/ftpserverprocess.h"

class PyftpdServer : public FtpServerProcess {
public:
    static constexpr const char* kUser = "kvado";
    static constexpr const char* kPassword = "geslo";

    explicit PyftpdServer(bool anonymousWrite = true);
    // Before Start: AUTH TLS, PBSZ and PROT with the certificate and key of
    // pem; fault "drop" closes the connection where the handshake should
    // start, "plain-files" keeps PROT P for listings but sends files in the
    // clear (after TYPE I), "clear-reply" answers RETR in the clear inside
    // the TLS control connection and closes it, "clear-data" writes into a
    // download's TLS data connection in the clear and keeps it open.
    void EnableTls(const QString& pem, const QString& fault = {})
    {
        m_tlsPem = pem;
        m_tlsFault = fault;
    }
    // Every command received so far, one a line (passwords too).
    QString CommandLog() const;
    bool Start(QString* error = nullptr) override;
    QString RootPath() const override;

private:
    bool m_anonymousWrite;
    QString m_tlsPem;
    QString m_tlsFault;
};
