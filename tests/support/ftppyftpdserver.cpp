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
    return startAndReadPort(SystemPython(), arguments, error);
}
