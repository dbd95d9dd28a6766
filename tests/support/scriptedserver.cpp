#include "support/scriptedserver.h"

#include "support/pump.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
// Script strings carry bytes: each character U+0000..U+00FF is the byte of that value.
QJsonValue bytesValue(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

QJsonArray linesValue(const QByteArrayList& lines)
{
    QJsonArray array;
    for (const QByteArray& line : lines)
        array.append(bytesValue(line));
    return array;
}
} // namespace

ServerScript& ServerScript::add(const QJsonObject& step)
{
    m_steps.append(step);
    return *this;
}

ServerScript& ServerScript::Send(const QByteArrayList& lines)
{
    return add({{"send", linesValue(lines)}});
}

ServerScript& ServerScript::SendRaw(const QByteArray& bytes)
{
    return add({{"send_raw", bytesValue(bytes)}});
}

ServerScript& ServerScript::SendRepeat(const QByteArray& pattern, qint64 bytes)
{
    return add({{"send_repeat", bytesValue(pattern)}, {"bytes", double(bytes)}});
}

ServerScript& ServerScript::Expect(const QByteArray& command, const QByteArrayList& reply)
{
    return add({{"expect", bytesValue(command)}, {"reply", linesValue(reply)}});
}

ServerScript& ServerScript::ExpectMatch(const QByteArray& pattern, const QByteArrayList& reply)
{
    return add({{"expect_re", bytesValue(pattern)}, {"reply", linesValue(reply)}});
}

ServerScript& ServerScript::Login(const QByteArray& user)
{
    return Send({"220 Scripted server ready"})
        .Expect("USER " + user, {"331 Password required"})
        .ExpectMatch("PASS .*", {"230 Logged in"});
}

ServerScript& ServerScript::ServeRetr(const QByteArray& name, const QByteArray& data)
{
    return ExpectMatch("PORT .*", {"200 ok"})
        .Expect("RETR " + name, {"150 Sending"})
        .DataOpen()
        .DataSend(data)
        .DataClose()
        .Send({"226 Done"});
}

ServerScript& ServerScript::DataOpen(const QByteArray& from, const QString& name)
{
    return add({{"data_open", bytesValue(from)}, {"name", name}});
}

ServerScript& ServerScript::PassiveListen(const QByteArray& reply, bool full)
{
    return add({{"passive_listen", bytesValue(reply)}, {"full", full}});
}

ServerScript& ServerScript::DataAccept(const QString& name)
{
    return add({{"data_accept", true}, {"name", name}});
}

ServerScript& ServerScript::DataSend(const QByteArray& bytes, const QString& name)
{
    return add({{"data_send", bytesValue(bytes)}, {"name", name}});
}

ServerScript& ServerScript::DataReceive(const QString& storeAs, const QString& name)
{
    return add({{"data_recv", storeAs}, {"name", name}});
}

ServerScript& ServerScript::DataClose(const QString& name)
{
    return add({{"data_close", true}, {"name", name}});
}

ServerScript& ServerScript::DataCut(const QString& name)
{
    return add({{"data_cut", true}, {"name", name}});
}

ServerScript& ServerScript::Tls(const QString& pemFile)
{
    return add({{"tls", pemFile}});
}

ServerScript& ServerScript::DataTls(const QString& pemFile, const QString& name)
{
    return add({{"data_tls", pemFile}, {"name", name}});
}

ServerScript& ServerScript::DataReset(const QString& name)
{
    return add({{"data_reset", true}, {"name", name}});
}

ServerScript& ServerScript::DataFlood(double seconds, const QString& name)
{
    return add({{"data_flood", seconds}, {"name", name}});
}

ServerScript& ServerScript::DataExpectClose(double seconds, const QString& name)
{
    return add({{"data_expect_close", seconds}, {"name", name}});
}

ServerScript& ServerScript::Close()
{
    return add({{"close", true}});
}

ServerScript& ServerScript::ExpectClose(double seconds)
{
    return add({{"expect_close", seconds}});
}

ServerScript& ServerScript::Pause(double seconds)
{
    return add({{"pause", seconds}});
}

ScriptedServer::ScriptedServer(const ServerScript& script) : m_steps(script.Steps())
{
    QDir(Dir()).mkdir(QStringLiteral("root"));
}

QString ScriptedServer::RootPath() const
{
    return QDir(Dir()).filePath(QStringLiteral("root"));
}

bool ScriptedServer::Start(QString* error)
{
    const QString scriptPath = QDir(Dir()).filePath(QStringLiteral("script.json"));
    QFile file(scriptPath);
    const QByteArray json = QJsonDocument(m_steps).toJson();
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size())
        return fail(error, QStringLiteral("cannot write the script to ") + scriptPath);
    file.close();
    return startAndReadPort(SystemPython(),
                            {SupportFile(QStringLiteral("scriptedserver.py")), QStringLiteral("--script"),
                             scriptPath, QStringLiteral("--dir"), RootPath()},
                            error);
}

QByteArray ScriptedServer::readFile(const QString& name) const
{
    QFile file(QDir(RootPath()).filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray ScriptedServer::RawCommands() const
{
    return readFile(QStringLiteral("commands.raw"));
}

QByteArrayList ScriptedServer::Commands() const
{
    const QByteArray raw = RawCommands();
    QByteArrayList lines;
    qsizetype start = 0;
    for (qsizetype end = raw.indexOf("\r\n"); end >= 0; end = raw.indexOf("\r\n", start)) {
        lines.append(raw.mid(start, end - start));
        start = end + 2;
    }
    return lines;
}

QStringList ScriptedServer::Events() const
{
    return QString::fromUtf8(readFile(QStringLiteral("events.txt")))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool ScriptedServer::WaitDone(int timeoutMs)
{
    bool done = false;
    PumpUntil(
        [&] {
            const QStringList events = Events();
            done = events.contains(QStringLiteral("done"));
            return done || !Failure().isEmpty() || !IsRunning();
        },
        timeoutMs);
    return done;
}

QString ScriptedServer::Failure() const
{
    for (const QString& event : Events())
        if (event.startsWith(QLatin1String("fail ")))
            return event.mid(5);
    return QString();
}

QByteArray ScriptedServer::Stored(const QString& name) const
{
    return readFile(name);
}
