#include "support/ftpproftpdserver.h"

namespace {
QString program()
{
    return TestServerProgram(QStringLiteral("proftpd-core"), QStringLiteral("usr/sbin/proftpd"));
}

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}
} // namespace

ProftpdServer::ProftpdServer(FtpServerMode mode) : FtpSystemServer(mode, program()) {}

QString ProftpdServer::Unavailable()
{
    return unavailable(program());
}

bool ProftpdServer::prepare(quint16 port, QStringList* arguments)
{
    QStringList lines{
        QStringLiteral("ServerType standalone"),
        QStringLiteral("ServerName \"Kvado test\""),
        QStringLiteral("DefaultAddress 127.0.0.1"),
        QStringLiteral("SocketBindTight on"),
        QStringLiteral("UseIPv6 off"),
        QStringLiteral("Port %1").arg(port),
        QStringLiteral("User ftp"),
        QStringLiteral("Group nogroup"),
        QStringLiteral("PidFile ") + tempPath(QStringLiteral("proftpd.pid")),
        QStringLiteral("ScoreboardFile ") + tempPath(QStringLiteral("proftpd.scoreboard")),
        QStringLiteral("DelayTable none"),
        QStringLiteral("UseReverseDNS off"),
        QStringLiteral("UseFtpUsers off"),
        QStringLiteral("WtmpLog off"),
        QStringLiteral("TransferLog none"),
        QStringLiteral("AllowOverwrite on"),
        QStringLiteral("AllowStoreRestart ") + onOff(m_uploadRestart),
        QStringLiteral("<Anonymous %1>").arg(RootPath()),
        QStringLiteral("  User ftp"),
        QStringLiteral("  Group nogroup"),
        QStringLiteral("  UserAlias anonymous ftp"),
        QStringLiteral("  RequireValidShell off"),
    };
    if (!m_portEnabled)
        lines << QStringLiteral("  <Limit PORT EPRT>") << QStringLiteral("    DenyAll")
              << QStringLiteral("  </Limit>");
    lines << QStringLiteral("</Anonymous>");
    *arguments =
        QStringList{QStringLiteral("-n"), QStringLiteral("-c"), tempPath(QStringLiteral("proftpd.conf"))};
    return writeLines(QStringLiteral("proftpd.conf"), lines);
}
