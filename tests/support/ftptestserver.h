#pragma once
// One of the real servers the FTP engine is proven against, started on
// 127.0.0.1 with a folder the client may write ("upload" below the served
// root on every kind) and the login it takes. A test that runs the same
// scenario on every server is parameterised by FtpServerKind.
//
//   REQUIRE_FTP_SERVER(FtpTestServer::Unavailable(kind));
//   FtpTestServer server(kind);
//   ASSERT_TRUE(server.Start(&error)) << error.toStdString();
//   server.Put("a.txt", "hello");              // into the writable folder, changeable by clients
//   ... connect to server.Port() as server.User() (anonymous when empty) with server.Password()
//
// The server is stopped when the object is destroyed.
#include "support/ftpserverprocess.h"

#include <gtest/gtest.h>

#include <memory>

// Skips the test when a server cannot run here (`why` is its Unavailable()
// text); in CI, which installs every server (tools/install-deps), that is a
// failure instead.
#define REQUIRE_FTP_SERVER(why)                                                                              \
    if (const QString whyNot = (why); !whyNot.isEmpty()) {                                                   \
        if (qEnvironmentVariableIsSet("CI"))                                                                 \
            FAIL() << whyNot.toStdString();                                                                  \
        GTEST_SKIP() << whyNot.toStdString();                                                                \
    }

enum class FtpServerKind { Pyftpd, Vsftpd, Proftpd, Pureftpd };

// "Pyftpd", "Vsftpd", "Proftpd", "Pureftpd" (fit for test names).
QString FtpServerName(FtpServerKind kind);

class FtpTestServer {
public:
    explicit FtpTestServer(FtpServerKind kind);
    // Empty when this kind of server can run here; otherwise why not.
    static QString Unavailable(FtpServerKind kind);
    bool Start(QString* error = nullptr);

    FtpServerKind Kind() const { return m_kind; }
    FtpServerProcess& Server() { return *m_server; }
    quint16 Port() const { return m_server->Port(); }
    // The writable folder, relative to the served root.
    QString Folder() const;
    // Writes a file below the writable folder (creating folders).
    bool Put(const QString& relativePath, const QByteArray& contents);
    // The local path of a file below the writable folder.
    QString Remote(const QString& relativePath) const;
    // The login: an empty user means anonymous.
    QString User() const;
    QString Password() const;

private:
    FtpServerKind m_kind;
    std::unique_ptr<FtpServerProcess> m_server;
};
