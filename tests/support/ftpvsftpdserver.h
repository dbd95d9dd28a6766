#pragma once
// A vsftpd server on 127.0.0.1 for one test, anonymous login only, with a
// configuration generated in the fixture's temporary folder. vsftpd runs in
// the foreground as root (the tests run as root), without its seccomp sandbox.
// Active mode is allowed (PORT, unless RefusePort), and the server connects
// from an ordinary port; passive mode (EPSV, PASV) announces 127.0.0.1.
//
// vsftpd refuses an anonymous root that the ftp user may write, so the root is
// always read-only to the client; in the Writable mode the folder "upload"
// below it (UploadPath) is owned by the ftp user and anonymous clients may
// upload, make folders, delete and rename there.
//
//   if (QString why = VsftpdServer::Unavailable(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
//   VsftpdServer server(VsftpdMode::Writable);
//   ASSERT_TRUE(server.Start(&error)) << error.toStdString();
//   server.PutFile("upload/a.txt", "hello");   // owned by ftp, so the client may change it
//
// The server is stopped when the fixture is destroyed.
#include "support/ftpserverprocess.h"

enum class VsftpdMode { ReadOnly, Writable };

class VsftpdServer : public FtpServerProcess {
public:
    static constexpr const char* kUploadFolder = "upload";

    explicit VsftpdServer(VsftpdMode mode);
    // Before Start: refuse PORT (500) so that only passive data connections work.
    void RefusePort() { m_portEnabled = false; }
    // Empty when vsftpd can run here; otherwise why not (not root, no binary, no ftp user).
    static QString Unavailable();
    // Picks a free port and starts; tries again with another port if the first was taken.
    bool Start(QString* error = nullptr);
    QString RootPath() const override;
    // The writable folder (Writable mode only).
    QString UploadPath() const;

protected:
    bool adopt(const QString& path) override;

private:
    bool writeConfig(quint16 port);
    QString configPath() const;

    VsftpdMode m_mode;
    bool m_portEnabled = true;
};
