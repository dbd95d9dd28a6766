#pragma once
// A vsftpd server on 127.0.0.1 for one test, anonymous login only (see
// FtpSystemServer for the folders and who may write where). vsftpd runs
// without its seccomp sandbox. Active mode is allowed (PORT, unless
// RefusePort), and the server connects from an ordinary port; passive mode
// (EPSV, PASV) announces 127.0.0.1.
//
//   if (QString why = VsftpdServer::Unavailable(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
//   VsftpdServer server(VsftpdMode::Writable);
//   ASSERT_TRUE(server.Start(&error)) << error.toStdString();
//   server.PutFile("upload/a.txt", "hello");   // owned by ftp, so the client may change it
#include "support/ftpsystemserver.h"

// The name the vsftpd tests have always used for the shared mode.
using VsftpdMode = FtpServerMode;

class VsftpdServer : public FtpSystemServer {
public:
    explicit VsftpdServer(VsftpdMode mode);
    // Before Start: refuse PORT (550) so that only passive data connections work.
    void RefusePort() { m_portEnabled = false; }
    // Before Start: FTP over TLS with the certificate and key of pem, required
    // for the login and for every data connection, each data connection
    // resuming the control connection's TLS session (require_ssl_reuse);
    // implicit: the handshake at once on connect, no AUTH TLS.
    void EnableTls(const QString& pem, bool implicit = false)
    {
        m_tlsPem = pem;
        m_implicitTls = implicit;
    }
    // Every command the sessions received (vsftpd's protocol log), as logged.
    QString ProtocolLog() const;
    // Empty when vsftpd can run here; otherwise why not.
    static QString Unavailable();

protected:
    bool prepare(quint16 port, QStringList* arguments) override;

private:
    bool m_portEnabled = true;
    QString m_tlsPem;
    bool m_implicitTls = false;
};
