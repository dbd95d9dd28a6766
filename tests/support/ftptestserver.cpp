#include "support/ftptestserver.h"

#include "support/ftpproftpdserver.h"
#include "support/ftppureftpdserver.h"
#include "support/ftppyftpdserver.h"
#include "support/ftpvsftpdserver.h"

#include <QDir>

namespace {
std::unique_ptr<FtpServerProcess> makeServer(FtpServerKind kind)
{
    switch (kind) {
    case FtpServerKind::Pyftpd:
        return std::make_unique<PyftpdServer>();
    case FtpServerKind::Vsftpd:
        return std::make_unique<VsftpdServer>(FtpServerMode::Writable);
    case FtpServerKind::Proftpd:
        return std::make_unique<ProftpdServer>(FtpServerMode::Writable);
    case FtpServerKind::Pureftpd:
        return std::make_unique<PureftpdServer>(FtpServerMode::Writable);
    }
    return nullptr;
}
} // namespace

QString FtpServerName(FtpServerKind kind)
{
    switch (kind) {
    case FtpServerKind::Pyftpd:
        return QStringLiteral("Pyftpd");
    case FtpServerKind::Vsftpd:
        return QStringLiteral("Vsftpd");
    case FtpServerKind::Proftpd:
        return QStringLiteral("Proftpd");
    case FtpServerKind::Pureftpd:
        return QStringLiteral("Pureftpd");
    }
    return QString();
}

FtpTestServer::FtpTestServer(FtpServerKind kind) : m_kind(kind), m_server(makeServer(kind)) {}

QString FtpTestServer::Unavailable(FtpServerKind kind)
{
    switch (kind) {
    case FtpServerKind::Pyftpd:
        return QString();
    case FtpServerKind::Vsftpd:
        return VsftpdServer::Unavailable();
    case FtpServerKind::Proftpd:
        return ProftpdServer::Unavailable();
    case FtpServerKind::Pureftpd:
        return PureftpdServer::Unavailable();
    }
    return QStringLiteral("unknown server");
}

bool FtpTestServer::Start(QString* error)
{
    return m_server->Start(error) && m_server->MakeDir(Folder());
}

QString FtpTestServer::Folder() const
{
    return QString::fromLatin1(FtpSystemServer::kUploadFolder);
}

bool FtpTestServer::Put(const QString& relativePath, const QByteArray& contents)
{
    return m_server->PutFile(Folder() + QLatin1Char('/') + relativePath, contents);
}

QString FtpTestServer::Remote(const QString& relativePath) const
{
    return QDir(m_server->RootPath()).filePath(Folder() + QLatin1Char('/') + relativePath);
}

QString FtpTestServer::User() const
{
    return m_kind == FtpServerKind::Pureftpd ? QString::fromLatin1(PureftpdServer::kUser) : QString();
}

QString FtpTestServer::Password() const
{
    return m_kind == FtpServerKind::Pureftpd ? QString::fromLatin1(PureftpdServer::kPassword) : QString();
}
