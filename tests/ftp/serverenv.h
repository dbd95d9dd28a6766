#pragma once
// Helpers of the engine's real-server tests: a pyftpdlib or vsftpd server with
// a writable folder and a local folder, and the commands driven to their end.
#include "fakesejaview.h"

#include "support/ftppyftpdserver.h"
#include "support/ftpvsftpdserver.h"
#include "support/pump.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

enum class Kind { Pyftpd, Vsftpd };

inline QByteArray pattern(int size, int seed)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 31 + seed + i / 4096) & 0xFF);
    return data;
}

inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeAll(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// One server with a writable folder, and a local folder for transfers. With a
// certificate file (pem) the server speaks TLS: pyftpdlib may play a fault
// (see ftppyftpdserver.py), vsftpd may start every connection with TLS.
struct Env {
    explicit Env(Kind kind, const QString& pem = {}, const QString& fault = {}, bool implicit = false)
        : kind(kind)
    {
        QString error;
        if (kind == Kind::Pyftpd) {
            auto py = std::make_unique<PyftpdServer>();
            if (!pem.isEmpty())
                py->EnableTls(pem, fault);
            ok = py->Start(&error) && py->MakeDir("work");
            folder = "work";
            server = std::move(py);
        } else {
            skip = VsftpdServer::Unavailable();
            if (!skip.isEmpty())
                return;
            auto vs = std::make_unique<VsftpdServer>(VsftpdMode::Writable);
            if (!pem.isEmpty())
                vs->EnableTls(pem, implicit);
            ok = vs->Start(&error);
            folder = VsftpdServer::kUploadFolder;
            server = std::move(vs);
        }
        EXPECT_TRUE(ok) << error.toStdString();
    }
    bool Put(const QString& name, const QByteArray& data)
    {
        return server->PutFile(folder + "/" + name, data);
    }
    QString Remote(const QString& name) const { return server->RootPath() + "/" + folder + "/" + name; }
    QString Local(const QString& name) const { return local.filePath(name); }

    // Connects with the writable folder as the initial directory and waits for its listing.
    bool Open(TestSession& t, TSejaParametri p = {})
    {
        t.view.LocalDir = local.path();
        if (p.remoteDirectory.isEmpty())
            p.remoteDirectory = folder;
        t.Connect(server->Port(), p);
        return PumpUntil([&] { return t.view.Listings >= 1; }, 10000);
    }

    Kind kind;
    QString skip;
    bool ok = false;
    QString folder;
    std::unique_ptr<FtpServerProcess> server;
    QTemporaryDir local;
};

#define OPEN_ENV(env, kind)                                                                                  \
    Env env(kind);                                                                                           \
    if (!env.skip.isEmpty())                                                                                 \
        GTEST_SKIP() << env.skip.toStdString();                                                              \
    ASSERT_TRUE(env.ok)

// On a failed wait: the engine's last calls, to see where it stopped.
inline bool explain(bool ok, const TestSession& t)
{
    if (!ok)
        ADD_FAILURE() << t.view.Calls.mid(qMax(0, int(t.view.Calls.size()) - 25)).join("\n").toStdString();
    return ok;
}

inline bool refresh(TestSession& t)
{
    const int before = t.view.Listings;
    t.seja.Pla1OsveziFTPClick();
    return explain(PumpUntil([&] { return t.view.Listings > before; }, 10000), t);
}

// Downloads the selected rows and waits until the transfers have ended.
inline bool download(TestSession& t, const QStringList& names)
{
    t.view.Select(names);
    const int before = t.view.LocalRefreshes;
    t.seja.Pla1PrenesiClick();
    return explain(PumpUntil([&] { return t.view.LocalRefreshes > before && !t.seja.PrenosTece(); }, 20000),
                   t);
}

inline bool upload(TestSession& t, const QString& name)
{
    t.view.LocalSelection = {{name, QString()}};
    const int before = t.view.Listings;
    t.seja.Pla2PrenesiClick();
    return explain(PumpUntil([&] { return t.view.Listings > before && !t.seja.PrenosTece(); }, 20000), t);
}
