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
    // Empty when vsftpd can run here; otherwise why not.
    static QString Unavailable();

protected:
    bool prepare(quint16 port, QStringList* arguments) override;

private:
    bool m_portEnabled = true;
};
