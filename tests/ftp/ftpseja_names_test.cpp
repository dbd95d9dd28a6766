// Names in UTF-8: the name encoding of a session (code page 1250, UTF-8, or
// automatic through FEAT), checked on the wire, in the table and on disk.
#include "scriptedsession.h"
#include "serverenv.h"

#include "core/codepage.h"

#include <QDir>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

namespace {
const QByteArray kCebula = "\xC4\x8C"
                           "ebula.txt";        // "Čebula.txt" in UTF-8
const QByteArray kInvalid = "bad\xC3\x28.txt"; // no valid UTF-8

// The login, then what the server says to FEAT (nothing when feat is empty: no FEAT expected).
ServerScript& loginWithFeat(ServerScript& script, const QByteArrayList& feat, const QByteArrayList& opts)
{
    script.Login();
    if (!feat.isEmpty())
        script.Expect("FEAT", feat);
    if (!opts.isEmpty())
        script.Expect("OPTS UTF8 ON", opts);
    return script;
}

ServerScript& retr(ServerScript& script, const QByteArray& name, const QByteArray& data)
{
    return script.ExpectMatch("PORT .*", {"200 ok"})
        .Expect("RETR " + name, {"150 Sending"})
        .DataOpen()
        .DataSend(data)
        .DataClose()
        .Send({"226 Done"});
}

// A local file's contents by its name's exact bytes (QFile would write a "?" for an invalid one).
QByteArray localFile(const QString& dir, const QByteArray& name)
{
    const QByteArray path = QFile::encodeName(dir) + '/' + name;
    QFile f;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return "(missing)";
    return f.readAll();
}

bool openListedWith(ScriptedServer& server, TestSession& t, const QString& local, quint8 encoding)
{
    QString error;
    if (!server.Start(&error)) {
        ADD_FAILURE() << error.toStdString();
        return false;
    }
    t.view.LocalDir = local;
    TSejaParametri p;
    p.nameEncoding = encoding;
    t.Connect(server.Port(), p);
    return PumpUntil([&] { return t.view.Listings == 1; }, 10000);
}
} // namespace

TEST(SejaNames, AutomaticSwitchesToUtf8AndEveryNameKeepsItsBytesToTheLocalFile)
{
    QTemporaryDir local;
    ServerScript script;
    loginWithFeat(script, {"211-Features:", " MDTM", " utf8 ", "211 End"}, {"202 Already on"});
    listing(script, fileLine(kCebula, 3) + fileLine(kInvalid, 2));
    retr(script, kCebula, "abc");
    retr(script, kInvalid, "xy").Pause(0.3);
    ScriptedServer server(script);
    TestSession t;
    ASSERT_TRUE(openListedWith(server, t, local.path(), 2));
    // The valid name reads as text, the invalid one with a mark for its byte 0xC3.
    ASSERT_EQ(t.view.RowNames().size(), 3);
    EXPECT_EQ(t.view.RowNames()[1], QString::fromUtf8("Čebula.txt"));
    EXPECT_EQ(t.view.RowNames()[2], QStringLiteral("bad") + QChar(0xDCC3) + QStringLiteral("(.txt"));
    EXPECT_EQ(t.view.Commands.mid(2, 2), (QStringList{"FEAT", "OPTS UTF8 ON"}));
    t.seja.Pla1IzberiVseClick();
    t.view.Focused = 1;
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(server.WaitDone()) << server.Failure().toStdString();
    ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.LocalRefreshes > 0; }));
    EXPECT_EQ(startingWith(server.Commands(), "RETR"),
              (QByteArrayList{"RETR " + kCebula, "RETR " + kInvalid}));
    EXPECT_EQ(localFile(local.path(), kCebula), "abc");
    EXPECT_EQ(localFile(local.path(), kInvalid), "xy");
}

TEST(SejaNames, AutomaticKeepsCodePage1250UnlessTheServerDeclaresUtf8)
{
    const QByteArray cp1250 = "\xC8"
                              "ebula.txt"; // "Čebula.txt" in code page 1250
    struct Case {
        const char* what;
        QByteArrayList feat, opts;
    } cases[] = {
        {"FEAT without UTF8", {"211-Features:", " MDTM", " UTF8X", "211 End"}, {}},
        {"FEAT refused", {"500 Unknown command"}, {}},
        {"OPTS failed for now", {"211-Features:", " UTF8", "211 End"}, {"451 Try later"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir local;
        ServerScript script;
        loginWithFeat(script, c.feat, c.opts);
        listing(script, fileLine(cp1250, 3));
        retr(script, cp1250, "abc").Pause(0.3);
        ScriptedServer server(script);
        TestSession t;
        ASSERT_TRUE(openListedWith(server, t, local.path(), 2));
        EXPECT_EQ(t.view.RowNames().value(1), QString::fromUtf8("Čebula.txt"));
        t.view.Select({QString::fromUtf8("Čebula.txt")});
        t.seja.Pla1PrenesiClick();
        ASSERT_TRUE(server.WaitDone()) << server.Failure().toStdString();
        ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.LocalRefreshes > 0; }));
        EXPECT_EQ(readAll(local.filePath(QString::fromUtf8("Čebula.txt"))), "abc");
    }
}

TEST(SejaNames, FixedEncodingsSendNoOptsAndCodePage1250NoFeat)
{
    for (quint8 encoding : {quint8(0), quint8(1)}) {
        SCOPED_TRACE(int(encoding));
        // UTF-8 from the start, or the code page 1250 wire of old: the same name's bytes either way.
        const QByteArray name = encoding == 1 ? kCebula
                                              : QByteArray("\xC8"
                                                           "ebula.txt");
        QTemporaryDir local;
        ServerScript script;
        // UTF-8 asks FEAT (for MLSD), but its UTF8 line sends no OPTS.
        loginWithFeat(script,
                      encoding == 1 ? QByteArrayList{"211-Features:", " UTF8", "211 End"} : QByteArrayList{},
                      {});
        listing(script, fileLine(name, 1));
        ScriptedServer server(script);
        TestSession t;
        ASSERT_TRUE(openListedWith(server, t, local.path(), encoding));
        EXPECT_EQ(t.view.RowNames().value(1), QString::fromUtf8("Čebula.txt"));
        QByteArrayList expected{"USER anonymous", "PASS kvado@test", "PORT", "TYPE A", "LIST"};
        if (encoding == 1)
            expected.insert(2, "FEAT");
        EXPECT_EQ(withoutPorts(server.Commands()), expected);
    }
}

TEST(SejaNames, PyftpdlibNameListedAndDownloadedByteForByte)
{
    // pyftpdlib speaks UTF-8 and lists UTF8 in FEAT, but answers OPTS UTF8 ON
    // with 501 (UTF-8 is always on): automatic takes the FEAT's word for it.
    const QString name = QString::fromUtf8("Čebula čaj.txt");
    for (quint8 encoding : {quint8(1), quint8(2)}) {
        SCOPED_TRACE(int(encoding));
        OPEN_ENV(env, Kind::Pyftpd);
        const QByteArray data = pattern(10000, encoding);
        ASSERT_TRUE(env.Put(name, data));
        TestSession t;
        TSejaParametri p;
        p.nameEncoding = encoding;
        ASSERT_TRUE(env.Open(t, p));
        const QString shown = name;
        EXPECT_TRUE(t.view.RowNames().contains(shown)) << t.view.RowNames().join("|").toStdString();
        ASSERT_TRUE(download(t, {shown}));
        EXPECT_EQ(readAll(env.Local(shown)), data);
        EXPECT_TRUE(t.view.CommandLabels().contains("FEAT"));
        EXPECT_EQ(t.view.CommandLabels().contains("OPTS"), encoding == 2);
    }
}

// A local file whose name is no valid UTF-8 (the local pane shows it with a
// mark for each such byte) uploads from that very file, and its STOR carries
// the name's own bytes in a UTF-8 session.
namespace {
bool writeLocal(const QString& dir, const QByteArray& name, const QByteArray& data)
{
    const QByteArray path = QFile::encodeName(dir) + '/' + name;
    QFile f;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd >= 0 && f.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle) &&
           f.write(data) == data.size();
}

// Removes a file by its name's bytes when the test ends (QTemporaryDir cannot
// remove a name that is no valid UTF-8).
struct RemovedAtEnd {
    QByteArray path;
    ~RemovedAtEnd() { ::unlink(path.constData()); }
};

const QString kInvalidShown = QStringLiteral("bad") + QChar(0xDCC3) + QStringLiteral("(.txt");
} // namespace

TEST(SejaNames, LocalNameOfInvalidUtf8UploadsFromItsOwnBytes)
{
    const QByteArray data = pattern(20000, 7);
    {
        SCOPED_TRACE("scripted");
        QTemporaryDir local;
        ASSERT_TRUE(writeLocal(local.path(), kInvalid, data));
        const RemovedAtEnd removed{QFile::encodeName(local.path()) + '/' + kInvalid};
        ServerScript script;
        loginWithFeat(script, {"500 Unknown command"}, {});
        listing(script, fileLine("a.txt", 1))
            .ExpectMatch("PORT .*", {"200 ok"})
            .Expect("TYPE I", {"200 ok"})
            .Expect("STOR " + kInvalid, {"150 Go ahead"})
            .DataOpen()
            .DataReceive("up")
            .Send({"226 Stored"});
        listing(script, fileLine("a.txt", 1) + fileLine(kInvalid, data.size())).Pause(0.3);
        ScriptedServer server(script);
        TestSession t;
        ASSERT_TRUE(openListedWith(server, t, local.path(), 1));
        t.view.LocalSelection = {{kInvalidShown, QString()}};
        t.seja.Pla2PrenesiClick();
        ASSERT_TRUE(server.WaitDone()) << server.Failure().toStdString();
        ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 2 && !t.seja.PrenosTece(); }));
        EXPECT_EQ(server.Stored("up"), data);
        EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idDatUsp")))
            << t.view.Statuses.join("|").toStdString();
    }
    {
        SCOPED_TRACE("pyftpdlib");
        OPEN_ENV(env, Kind::Pyftpd);
        ASSERT_TRUE(writeLocal(env.local.path(), kInvalid, data));
        const RemovedAtEnd removed{QFile::encodeName(env.local.path()) + '/' + kInvalid};
        TestSession t;
        TSejaParametri p;
        p.nameEncoding = 1;
        ASSERT_TRUE(env.Open(t, p));
        ASSERT_TRUE(upload(t, kInvalidShown));
        EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idDatUsp")))
            << t.view.Statuses.join("|").toStdString();
        // Whatever name the server gives the file on its disk, it holds every byte.
        const QStringList stored = QDir(env.server->RootPath() + "/" + env.folder).entryList(QDir::Files);
        ASSERT_EQ(stored.size(), 1) << stored.join("|").toStdString();
        EXPECT_EQ(readAll(env.Remote(stored.first())), data);
    }
}

// The directory of a 257 as RFC 959 quotes it: a doubled quote is one, and a
// name may begin or end with a blank.
TEST(SejaNames, A257NamesItsDirectoryExactly)
{
    const std::pair<QString, QString> cases[] = {
        {"257 \" pub\" is current directory", " pub"},
        {"257 \"/pub \" is current directory", "/pub "},
        {"257 \"/say \"\"hi\"\"\" is current directory", "/say \"hi\""},
        {"257 \"\"\"\" is current directory", "\""},
        {"257 \"\" is current directory", ""},
        {"257 \"/a\" \"b\" created", "/a"},
        {"257 \"/pub\"", ""},        // no blank after the closing quote: unread
        {"257 \"/open is here", ""}, // never closed
        {"257 /pub is current", ""}, // not quoted
        {"257 \"/x\"y\" weird", ""}, // a single quote inside the name
    };
    for (const auto& [line, directory] : cases)
        EXPECT_EQ(TFtpSeja::Pot257(line), directory) << line.toStdString();
}
