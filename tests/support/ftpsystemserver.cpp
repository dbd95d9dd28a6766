#include "support/ftpsystemserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

namespace {
constexpr const char* kFtpUser = "ftp";
constexpr const char* kServersDir = "/opt/kvado-test-servers";
constexpr int kStartAttempts = 3;

const passwd* ftpUser()
{
    return ::getpwnam(kFtpUser);
}

bool setOwnerToFtp(const QString& path)
{
    const passwd* user = ftpUser();
    return user && ::chown(QFile::encodeName(path).constData(), user->pw_uid, user->pw_gid) == 0;
}
} // namespace

QString TestServerProgram(const QString& package, const QString& program)
{
    return QStringLiteral("%1/%2/%3").arg(QString::fromLatin1(kServersDir), package, program);
}

FtpSystemServer::FtpSystemServer(FtpServerMode mode, const QString& program)
    : m_mode(mode), m_program(program)
{
    // Sessions run as ftp, which must be able to enter the folders whatever
    // the umask of the test run.
    QDir(Dir()).mkdir(QStringLiteral("root"));
    for (const QString& path : {Dir(), RootPath()})
        QFile::setPermissions(path, kFolderPermissions);
    if (m_mode == FtpServerMode::Writable) {
        QDir(RootPath()).mkdir(QString::fromLatin1(kUploadFolder));
        QFile::setPermissions(UploadPath(), kFolderPermissions);
        setOwnerToFtp(UploadPath());
    }
}

QString FtpSystemServer::unavailable(const QString& program)
{
    const QString name = QFileInfo(program).fileName();
    if (!QFileInfo(program).isExecutable())
        return QStringLiteral("%1 is not installed (tools/install-deps installs it)").arg(name);
    if (::geteuid() != 0)
        return QStringLiteral("%1 must run as root").arg(name);
    if (!ftpUser())
        return QStringLiteral("the ftp user does not exist (the vsftpd package creates it)");
    return QString();
}

QString FtpSystemServer::RootPath() const
{
    return QDir(Dir()).filePath(QStringLiteral("root"));
}

QString FtpSystemServer::UploadPath() const
{
    return m_mode == FtpServerMode::Writable ? QDir(RootPath()).filePath(QString::fromLatin1(kUploadFolder))
                                             : QString();
}

bool FtpSystemServer::adopt(const QString& path)
{
    const QString upload = UploadPath();
    if (upload.isEmpty() || !path.startsWith(upload + QLatin1Char('/')))
        return true;
    return setOwnerToFtp(path);
}

QString FtpSystemServer::tempPath(const QString& name) const
{
    return QDir(Dir()).filePath(name);
}

bool FtpSystemServer::writeLines(const QString& name, const QStringList& lines) const
{
    QFile file(tempPath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray text = lines.join(QLatin1Char('\n')).toLocal8Bit() + '\n';
    return file.write(text) == text.size();
}

uid_t FtpSystemServer::ftpUid()
{
    const passwd* user = ftpUser();
    return user ? user->pw_uid : uid_t(0);
}

gid_t FtpSystemServer::ftpGid()
{
    const passwd* user = ftpUser();
    return user ? user->pw_gid : gid_t(0);
}

bool FtpSystemServer::Start(QString* error)
{
    if (const QString why = unavailable(m_program); !why.isEmpty())
        return fail(error, why);
    QString lastError;
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        const quint16 port = FreeLoopbackPort();
        QStringList arguments;
        if (port == 0 || !prepare(port, &arguments))
            return fail(error, QStringLiteral("cannot prepare the configuration of %1 in %2")
                                   .arg(QFileInfo(m_program).fileName(), Dir()));
        if (startAndWaitListening(m_program, arguments, port, &lastError))
            return true;
    }
    return fail(error, lastError);
}
