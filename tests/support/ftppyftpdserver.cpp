#include "support/ftppyftpdserver.h"

#include <QDir>

PyftpdServer::PyftpdServer(bool anonymousWrite) : m_anonymousWrite(anonymousWrite)
{
    QDir(Dir()).mkdir(QStringLiteral("root"));
}

QString PyftpdServer::RootPath() const
{
    return QDir(Dir()).filePath(QStringLiteral("root"));
}

bool PyftpdServer::Start(QString* error)
{
    QStringList arguments{SupportFile(QStringLiteral("ftppyftpdserver.py")),
                          QStringLiteral("--root"),
                          RootPath(),
                          QStringLiteral("--user"),
                          QString::fromLatin1(kUser),
                          QStringLiteral("--password"),
                          QString::fromLatin1(kPassword)};
    if (m_anonymousWrite)
        arguments << QStringLiteral("--anon-write");
    arguments << QStringLiteral("--log") << QDir(Dir()).filePath(QStringLiteral("commands.log"));
    if (!m_tlsPem.isEmpty())
        arguments << QStringLiteral("--tls") << m_tlsPem;
    if (!m_tlsFault.isEmpty())
        arguments << QStringLiteral("--tls-fault") << m_tlsFault;
    return startAndReadPort(SystemPython(), arguments, error);
}

QString PyftpdServer::CommandLog() const
{
    QFile log(QDir(Dir()).filePath(QStringLiteral("commands.log")));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}
