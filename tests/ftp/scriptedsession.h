#pragma once
// Helpers of the engine's scripted-server tests: a standard listing exchange,
// a session that connects and waits for its first listing, and file helpers.
#include "fakesejaview.h"

#include "support/pump.h"
#include "support/scriptedserver.h"

#include <QFile>

#include <gtest/gtest.h>

inline const QByteArray kListing = "total 2\r\n"
                                   "drwxr-xr-x   2 user  group   512 Jan  1 12:00 pub\r\n"
                                   "-rw-r--r--   1 user  group  1234567 Jan  1 12:00 big file.bin\r\n";

// PORT, TYPE A and LIST of a listing, answered with these bytes and 226.
inline ServerScript& listing(ServerScript& script, const QByteArray& data = kListing, bool typeA = true)
{
    script.ExpectMatch("PORT 127,0,0,1,\\d+,\\d+", {"200 PORT ok"});
    if (typeA)
        script.Expect("TYPE A", {"200 Type A"});
    return script.Expect("LIST", {"150 Here"}).DataOpen().DataSend(data).DataClose().Send({"226 Done"});
}

struct Scripted {
    explicit Scripted(const ServerScript& script) : server(script)
    {
        QString error;
        started = server.Start(&error);
        EXPECT_TRUE(started) << error.toStdString();
    }
    bool Run(TestSession& s, TSejaParametri parametri = {})
    {
        if (!started)
            return false;
        s.Connect(server.Port(), parametri);
        const bool done = server.WaitDone();
        EXPECT_TRUE(done) << server.Failure().toStdString()
                          << " events: " << server.Events().join(", ").toStdString();
        return done;
    }
    ScriptedServer server;
    bool started = false;
};

inline QByteArrayList startingWith(const QByteArrayList& commands, const QByteArray& prefix)
{
    QByteArrayList found;
    for (const QByteArray& c : commands)
        if (c.startsWith(prefix))
            found << c;
    return found;
}

inline QByteArrayList withoutPorts(QByteArrayList commands)
{
    for (QByteArray& c : commands)
        if (c.startsWith("PORT "))
            c = "PORT";
    return commands;
}

inline QByteArray fileLine(const QByteArray& name, qint64 size)
{
    return "-rw-r--r-- 1 u g " + QByteArray::number(size) + " Jan 1 12:00 " + name + "\r\n";
}

// Starts the server, connects from the local directory `local` and waits for the first listing.
inline bool openListed(ScriptedServer& server, TestSession& t, const QString& local, TSejaParametri p = {})
{
    QString error;
    if (!server.Start(&error)) {
        ADD_FAILURE() << error.toStdString();
        return false;
    }
    t.view.LocalDir = local;
    t.Connect(server.Port(), p);
    return PumpUntil([&] { return t.view.Listings == 1; }, 10000);
}

inline QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline bool reportsSuccess(FakeSejaView& view)
{
    return view.Statuses.contains(view.GetWord("@idDatUsp")) ||
           view.Statuses.contains(view.GetWord("@idNadalj"));
}

inline bool waitServer(ScriptedServer& server)
{
    const bool done = server.WaitDone();
    EXPECT_TRUE(done) << server.Failure().toStdString()
                      << " events: " << server.Events().join(", ").toStdString();
    return done;
}
