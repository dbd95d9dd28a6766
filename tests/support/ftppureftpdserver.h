#pragma once
// A pure-ftpd server on 127.0.0.1 for one test (see FtpSystemServer for the
// folders and who may write where). pure-ftpd gives anonymous clients the ftp
// user's home, which a test cannot choose, so it serves the one virtual user
// kUser/kPassword instead (a password database of the fixture's own), chrooted
// into RootPath() and running as the ftp user; anonymous logins are refused.
// It runs in the foreground without name lookups and logs to syslog.
//
//   if (QString why = PureftpdServer::Unavailable(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
//   PureftpdServer server(FtpServerMode::Writable);
//   ASSERT_TRUE(server.Start(&error)) << error.toStdString();
//   // log in as PureftpdServer::kUser with PureftpdServer::kPassword
#include "support/ftpsystemserver.h"

class PureftpdServer : public FtpSystemServer {
public:
    static constexpr const char* kUser = "kvado";
    static constexpr const char* kPassword = "geslo";

    explicit PureftpdServer(FtpServerMode mode);
    // Empty when pure-ftpd can run here; otherwise why not.
    static QString Unavailable();

protected:
    bool prepare(quint16 port, QStringList* arguments) override;
};
