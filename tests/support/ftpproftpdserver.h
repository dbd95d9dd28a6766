#pragma once
// A proftpd server on 127.0.0.1 for one test, anonymous login only (USER
// anonymous or ftp; see FtpSystemServer for the folders and who may write
// where). proftpd runs in the foreground (-n) with a configuration of its own
// (no ident, DNS or ftpusers checks; its pid and scoreboard files in the
// temporary folder) and writes its log to stderr (Diagnostics). Overwriting
// and resumed uploads (REST before STOR) are allowed unless
// RefuseUploadRestart.
//
//   if (QString why = ProftpdServer::Unavailable(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
//   ProftpdServer server(FtpServerMode::Writable);
//   ASSERT_TRUE(server.Start(&error)) << error.toStdString();
#include "support/ftpsystemserver.h"

class ProftpdServer : public FtpSystemServer {
public:
    explicit ProftpdServer(FtpServerMode mode);
    // Before Start: proftpd's own default, REST before STOR is refused (a resumed upload fails).
    void RefuseUploadRestart() { m_uploadRestart = false; }
    // Before Start: refuse PORT and EPRT so that only passive data connections work.
    void RefusePort() { m_portEnabled = false; }
    // Empty when proftpd can run here; otherwise why not.
    static QString Unavailable();

protected:
    bool prepare(quint16 port, QStringList* arguments) override;

private:
    bool m_uploadRestart = true;
    bool m_portEnabled = true;
};
