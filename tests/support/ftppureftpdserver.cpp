#include "support/ftppureftpdserver.h"

#include <QProcess>

namespace {
// kPassword in SHA-512 crypt: pure-pw would hash it with argon2, which takes
// seconds at every login.
constexpr const char* kPasswordHash =
    "$6$kvadotest$igN9NgiC1quhtMtO8ZUGhZddgS.8tbZuu0iw.3lJkgv7MqnuRCTLl7/MbnGCVA1Hi9Rfc3bMkPFst.z5hFZwT.";
constexpr int kMakeDatabaseTimeoutMs = 10000;

QString tool(const QString& path)
{
    return TestServerProgram(QStringLiteral("pure-ftpd"), path);
}
} // namespace

PureftpdServer::PureftpdServer(FtpServerMode mode)
    : FtpSystemServer(mode, tool(QStringLiteral("usr/sbin/pure-ftpd")))
{
}

QString PureftpdServer::Unavailable()
{
    return unavailable(tool(QStringLiteral("usr/sbin/pure-ftpd")));
}

bool PureftpdServer::prepare(quint16 port, QStringList* arguments)
{
    // One line of pure-pw's text format: name, hash, uid, gid, gecos, home
    // ("/./" chroots the user there), then the unused limits.
    const QString user = QStringLiteral("%1:%2:%3:%4::%5/./::::::::::::")
                             .arg(QString::fromLatin1(kUser), QString::fromLatin1(kPasswordHash))
                             .arg(ftpUid())
                             .arg(ftpGid())
                             .arg(RootPath());
    const QString database = tempPath(QStringLiteral("pureftpd.pdb"));
    if (!writeLines(QStringLiteral("pureftpd.passwd"), {user}))
        return false;
    QProcess makeDatabase;
    makeDatabase.start(tool(QStringLiteral("usr/bin/pure-pw")),
                       {QStringLiteral("mkdb"), database, QStringLiteral("-f"),
                        tempPath(QStringLiteral("pureftpd.passwd"))});
    if (!makeDatabase.waitForFinished(kMakeDatabaseTimeoutMs) || makeDatabase.exitCode() != 0)
        return false;
    *arguments = QStringList{
        QStringLiteral("--bind"),        QStringLiteral("127.0.0.1,%1").arg(port),
        QStringLiteral("--login"),       QStringLiteral("puredb:") + database,
        QStringLiteral("--noanonymous"), QStringLiteral("--chrooteveryone"),
        QStringLiteral("--dontresolve"),
    };
    return true;
}
