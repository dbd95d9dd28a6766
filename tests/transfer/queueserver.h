#pragma once
// The real servers the transfer queue is proven against: one server of a
// case (pyftpdlib, vsftpd, proftpd or pure-ftpd; active or passive; vsftpd
// over TLS) with its writable folder, a local folder, and the site
// parameters the window would hand on to the queue's sessions.
//
//   class MyTest : public ::testing::TestWithParam<ServerCase>, protected QueueServer {
//       void SetUp() override { StartServer(GetParam()); }  // skips where the server cannot run
//   };
#include "ftp/serverenv.h"

#include "support/ftptestserver.h"
#include "support/ftptlspki.h"
#include "support/ftpvsftpdserver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

struct ServerCase {
    FtpServerKind kind;
    quint8 dataConnection; // 0 active, 1 passive
    bool tls = false;
};

inline std::string ServerCaseName(const ServerCase& c)
{
    return FtpServerName(c.kind).toStdString() + (c.dataConnection ? "Passive" : "Active") +
           (c.tls ? "Tls" : "");
}

class QueueServer {
protected:
    // Starts the case's server; skips the test (GTEST_SKIP) where it cannot run here.
    void StartServer(const ServerCase& c)
    {
        m_case = c;
        REQUIRE_FTP_SERVER(FtpTestServer::Unavailable(c.kind));
        m_server = std::make_unique<FtpTestServer>(c.kind);
        if (c.tls) {
            if (!FtpTlsPki::Available())
                GTEST_SKIP() << "the openssl command is needed";
            const QString pem = FtpTlsPki::Get().Issue("IP:127.0.0.1", "20200101000000Z", "20991231000000Z");
            ASSERT_FALSE(pem.isEmpty()) << FtpTlsPki::Get().Error().toStdString();
            static_cast<VsftpdServer&>(m_server->Server()).EnableTls(pem);
        }
        QString error;
        ASSERT_TRUE(m_server->Start(&error)) << error.toStdString();
    }

    FtpTestServer& server() { return *m_server; }
    // The writable folder as an absolute remote path, and a path below it.
    QString remote(const QString& name = {}) const
    {
        return "/" + m_server->Folder() + (name.isEmpty() ? QString() : "/" + name);
    }
    QString local(const QString& name) const { return m_local.filePath(name); }
    QString localDir() const { return m_local.path(); }

    // The parameters the window would hand on: UTF-8 names, and TLS required on the TLS case.
    TSejaParametri parameters() const
    {
        TSejaParametri p;
        p.host = "127.0.0.1";
        p.port = QString::number(m_server->Port());
        p.dataConnection = m_case.dataConnection;
        p.nameEncoding = 1;
        p.encryption = m_case.tls ? 2 : 0;
        p.anonymousPassword = "kvado@test";
        if (!m_server->User().isEmpty()) {
            p.loginKind = 1;
            p.user = m_server->User();
            p.password = m_server->Password();
        }
        return p;
    }

private:
    ServerCase m_case{};
    std::unique_ptr<FtpTestServer> m_server;
    QTemporaryDir m_local;
};
