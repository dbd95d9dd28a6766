#include "support/ftpvsftpdserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

namespace {
constexpr const char* kProgram = "/usr/sbin/vsftpd";
constexpr const char* kFtpUser = "ftp";
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

VsftpdServer::VsftpdServer(VsftpdMode mode) : m_mode(mode)
{
    // Every session is chrooted into the root and runs as the ftp user, which
    // must be able to enter the folders whatever the umask of the test run.
    QDir dir(Dir());
    dir.mkdir(QStringLiteral("root"));
    dir.mkdir(QStringLiteral("empty"));
    for (const QString& path : {Dir(), RootPath(), dir.filePath(QStringLiteral("empty"))})
        QFile::setPermissions(path, kFolderPermissions);
    if (m_mode == VsftpdMode::Writable) {
        QDir(RootPath()).mkdir(QString::fromLatin1(kUploadFolder));
        QFile::setPermissions(UploadPath(), kFolderPermissions);
        setOwnerToFtp(UploadPath());
    }
}

QString VsftpdServer::Unavailable()
{
    if (!QFileInfo(QString::fromLatin1(kProgram)).isExecutable())
        return QStringLiteral("vsftpd is not installed (tools/install-deps installs it)");
    if (::geteuid() != 0)
        return QStringLiteral("vsftpd must run as root");
    if (!ftpUser())
        return QStringLiteral("the ftp user does not exist (the vsftpd package creates it)");
    return QString();
}

QString VsftpdServer::RootPath() const
{
    return QDir(Dir()).filePath(QStringLiteral("root"));
}

QString VsftpdServer::UploadPath() const
{
    return m_mode == VsftpdMode::Writable ? QDir(RootPath()).filePath(QString::fromLatin1(kUploadFolder))
                                          : QString();
}

bool VsftpdServer::adopt(const QString& path)
{
    // Files in the writable folder belong to ftp so that clients may overwrite or resume them.
    const QString upload = UploadPath();
    if (upload.isEmpty() || !path.startsWith(upload + QLatin1Char('/')))
        return true;
    return setOwnerToFtp(path);
}

QString VsftpdServer::configPath() const
{
    return QDir(Dir()).filePath(QStringLiteral("vsftpd.conf"));
}

bool VsftpdServer::writeConfig(quint16 port)
{
    QStringList lines{
        QStringLiteral("background=NO"),
        QStringLiteral("seccomp_sandbox=NO"),
        QStringLiteral("listen=YES"),
        QStringLiteral("listen_ipv6=NO"),
        QStringLiteral("listen_address=127.0.0.1"),
        QStringLiteral("listen_port=%1").arg(port),
        QStringLiteral("anonymous_enable=YES"),
        QStringLiteral("local_enable=NO"),
        QStringLiteral("anon_root=") + RootPath(),
        QStringLiteral("ftp_username=") + QString::fromLatin1(kFtpUser),
        QStringLiteral("secure_chroot_dir=") + QDir(Dir()).filePath(QStringLiteral("empty")),
        m_portEnabled ? QStringLiteral("port_enable=YES") : QStringLiteral("port_enable=NO"),
        QStringLiteral("pasv_enable=YES"),
        QStringLiteral("pasv_address=127.0.0.1"),
        QStringLiteral("connect_from_port_20=NO"),
        QStringLiteral("xferlog_enable=NO"),
        QStringLiteral("dirmessage_enable=NO"),
        QStringLiteral("use_localtime=NO"),
    };
    if (m_mode == VsftpdMode::Writable)
        lines << QStringLiteral("write_enable=YES") << QStringLiteral("anon_upload_enable=YES")
              << QStringLiteral("anon_mkdir_write_enable=YES")
              << QStringLiteral("anon_other_write_enable=YES") << QStringLiteral("anon_umask=022");
    else
        lines << QStringLiteral("write_enable=NO");
    QFile file(configPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray text = lines.join(QLatin1Char('\n')).toLocal8Bit() + '\n';
    return file.write(text) == text.size();
}

bool VsftpdServer::Start(QString* error)
{
    if (const QString why = Unavailable(); !why.isEmpty())
        return fail(error, why);
    QString lastError;
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        const quint16 port = FreeLoopbackPort();
        if (port == 0 || !writeConfig(port))
            return fail(error, QStringLiteral("cannot prepare the vsftpd configuration in ") + Dir());
        if (startAndWaitListening(QString::fromLatin1(kProgram), {configPath()}, port, &lastError))
            return true;
    }
    return fail(error, lastError);
}
