#include "support/ftpvsftpdserver.h"

#include <QDir>

namespace {
constexpr const char* kProgram = "/usr/sbin/vsftpd";
}

VsftpdServer::VsftpdServer(VsftpdMode mode) : FtpSystemServer(mode, QString::fromLatin1(kProgram))
{
    // vsftpd chroots its unprivileged helper into an empty folder.
    QDir(Dir()).mkdir(QStringLiteral("empty"));
    QFile::setPermissions(tempPath(QStringLiteral("empty")), kFolderPermissions);
}

QString VsftpdServer::Unavailable()
{
    return unavailable(QString::fromLatin1(kProgram));
}

bool VsftpdServer::prepare(quint16 port, QStringList* arguments)
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
        QStringLiteral("ftp_username=ftp"),
        QStringLiteral("secure_chroot_dir=") + tempPath(QStringLiteral("empty")),
        m_portEnabled ? QStringLiteral("port_enable=YES") : QStringLiteral("port_enable=NO"),
        QStringLiteral("pasv_enable=YES"),
        QStringLiteral("pasv_address=127.0.0.1"),
        QStringLiteral("connect_from_port_20=NO"),
        QStringLiteral("xferlog_enable=YES"),
        QStringLiteral("xferlog_std_format=NO"),
        QStringLiteral("dirmessage_enable=NO"),
        QStringLiteral("use_localtime=NO"),
    };
    // The commands go to a log the tests can read (a USER that must not be sent, say).
    lines << QStringLiteral("log_ftp_protocol=YES")
          << QStringLiteral("vsftpd_log_file=") + tempPath(QStringLiteral("protocol.log"))
          << QStringLiteral("dual_log_enable=NO") << QStringLiteral("syslog_enable=NO");
    if (!m_tlsPem.isEmpty())
        lines << QStringLiteral("ssl_enable=YES") << QStringLiteral("allow_anon_ssl=YES")
              << QStringLiteral("force_anon_logins_ssl=YES") << QStringLiteral("force_anon_data_ssl=YES")
              << QStringLiteral("require_ssl_reuse=YES") << QStringLiteral("ssl_ciphers=HIGH")
              << QStringLiteral("rsa_cert_file=") + m_tlsPem
              << QStringLiteral("rsa_private_key_file=") + m_tlsPem
              << (m_implicitTls ? QStringLiteral("implicit_ssl=YES") : QStringLiteral("implicit_ssl=NO"));
    if (Mode() == FtpServerMode::Writable)
        lines << QStringLiteral("write_enable=YES") << QStringLiteral("anon_upload_enable=YES")
              << QStringLiteral("anon_mkdir_write_enable=YES")
              << QStringLiteral("anon_other_write_enable=YES") << QStringLiteral("anon_umask=022");
    else
        lines << QStringLiteral("write_enable=NO");
    *arguments = QStringList{tempPath(QStringLiteral("vsftpd.conf"))};
    return writeLines(QStringLiteral("vsftpd.conf"), lines);
}

QString VsftpdServer::ProtocolLog() const
{
    QFile log(tempPath(QStringLiteral("protocol.log")));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}
