// The session after it has given up by itself: the command left unanswered is
// aborted, its replies are consumed before anything else goes out, and the
// data connection's mode follows what the server actually takes.
#include "scriptedsession.h"

#include <QTemporaryDir>

namespace {
const QByteArray kEpsv = "229 Entering Extended Passive Mode (|||{port}|)";

// The data of a passive transfer at the last announced port, then 226.
ServerScript& servePassive(ServerScript& script, const QByteArray& command, const QByteArray& data)
{
    return script.Expect(command, {"150 Here"}).DataAccept().DataSend(data).DataClose().Send({"226 Done"});
}

struct Case {
    const char* name;
    bool passive;
    std::function<void(ServerScript&)> script; // after the login
    QStringList select;                        // downloaded at once
    bool refresh;                              // a refresh is given as soon as the download has failed
    std::function<bool(TestSession&)> end;     // the session has done what the case waits for
    QByteArrayList commands;                   // as the server saw them (PORT arguments left out)
    QStringList statuses;                      // word keys shown, in any order
    bool connected;                            // still connected at the end
};
} // namespace

TEST(SejaInStep, AfterGivingUpTheSessionAbortsAndEveryReplyAnswersItsOwnCommand)
{
    const auto refreshed = [](TestSession& t) { return t.view.Listings == 2; };
    const auto done = [](TestSession& t) { return t.view.Statuses.contains(t.view.GetWord("@idDatUsp")); };
    const Case cases[] = {
        {"REST never answered: ABOR, its late replies, then the refresh given meanwhile",
         false,
         [](ServerScript& s) {
             listing(s, fileLine("a.txt", 4))
                 .ExpectMatch("PORT .*", {"200 ok"})
                 .Expect("REST 2")
                 .Expect("ABOR", {"350 Restarting at 2", "226 ABOR ok"});
             listing(s);
         },
         {"a.txt"},
         true,
         refreshed,
         {"USER anonymous", "PASS kvado@test", "PORT", "TYPE A", "LIST", "PORT", "TYPE I", "REST 2", "ABOR",
          "PORT", "TYPE A", "LIST"},
         {"@idCasPotekel"},
         true},
        {"150 and the server never connects back: ABOR before the passive retry",
         false,
         [](ServerScript& s) {
             listing(s, fileLine("b.bin", 3))
                 .ExpectMatch("PORT .*", {"200 ok"})
                 .Expect("RETR b.bin", {"150 Opening"})
                 .Expect("ABOR", {"426 No connection", "226 ABOR ok"})
                 .Expect("EPSV")
                 .PassiveListen(kEpsv);
             servePassive(s, "RETR b.bin", "bbb");
         },
         {"b.bin"},
         false,
         done,
         {"USER anonymous", "PASS kvado@test", "PORT", "TYPE A", "LIST", "PORT", "TYPE I", "RETR b.bin",
          "ABOR", "EPSV", "RETR b.bin"},
         {"@idPasivno", "@idDatUsp"},
         true},
        {"a passive port whose accept queue is full: ABOR, then the refresh",
         true,
         [](ServerScript& s) {
             s.Expect("EPSV").PassiveListen(kEpsv).Expect("TYPE A", {"200 A"});
             servePassive(s, "LIST", fileLine("c.bin", 3));
             s.Expect("EPSV").PassiveListen(kEpsv, true).Expect("TYPE I", {"200 I"}).Expect("RETR c.bin");
             s.Expect("ABOR", {"426 No connection", "226 ABOR ok"});
             s.Expect("EPSV").PassiveListen(kEpsv).Expect("TYPE A", {"200 A"});
             servePassive(s, "LIST", fileLine("c.bin", 3));
         },
         {"c.bin"},
         true,
         refreshed,
         {"USER anonymous", "PASS kvado@test", "EPSV", "TYPE A", "LIST", "EPSV", "TYPE I", "RETR c.bin",
          "ABOR", "EPSV", "TYPE A", "LIST"},
         {"@idCasPotekel"},
         true},
        {"not even ABOR answered: the connection ends, nothing more is sent",
         false,
         [](ServerScript& s) {
             listing(s, fileLine("d.bin", 3))
                 .ExpectMatch("PORT .*", {"200 ok"})
                 .Expect("RETR d.bin")
                 .Expect("ABOR")
                 .ExpectClose(8);
         },
         {"d.bin"},
         false,
         [](TestSession& t) { return !t.seja.Connected(); },
         {"USER anonymous", "PASS kvado@test", "PORT", "TYPE A", "LIST", "PORT", "TYPE I", "RETR d.bin",
          "ABOR"},
         {"@idPasivno", "@idNeusklajen"},
         false},
        {"passive refused after the fall-back: active again, said once",
         false,
         [](ServerScript& s) {
             listing(s, fileLine("e.bin", 3) + fileLine("f.bin", 3))
                 .ExpectMatch("PORT .*", {"200 ok"})
                 .Expect("RETR e.bin", {"425 Cannot open data connection"})
                 .Expect("EPSV", {"502 No EPSV"})
                 .Expect("PASV", {"502 No PASV"})
                 .ServeRetr("e.bin", "eee")
                 .ServeRetr("f.bin", "fff");
         },
         {"e.bin", "f.bin"},
         false,
         [](TestSession& t) { return t.view.Statuses.count(t.view.GetWord("@idDatUsp")) == 2; },
         {"USER anonymous", "PASS kvado@test", "PORT", "TYPE A", "LIST", "PORT", "TYPE I", "RETR e.bin",
          "EPSV", "PASV", "PORT", "RETR e.bin", "PORT", "RETR f.bin"},
         {"@idPasivno", "@idAktivno"},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir local;
        ASSERT_TRUE(writeFile(local.filePath("a.txt"), "aa"));
        ServerScript script;
        script.Login();
        c.script(script);
        script.Pause(0.3);
        ScriptedServer server(script);
        QString error;
        ASSERT_TRUE(server.Start(&error)) << error.toStdString();
        TestSession t;
        t.seja.SetTimeOut(1);
        t.view.LocalDir = local.path();
        t.view.PrepisiAnswers = {piNadaljuj};
        TSejaParametri p;
        p.dataConnection = c.passive ? 1 : 0;
        t.Connect(server.Port(), p);
        ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }, 10000));
        t.view.Select(c.select);
        t.seja.Pla1PrenesiClick();
        // A refresh given as soon as the download has failed waits until the server is in step.
        if (c.refresh) {
            ASSERT_TRUE(PumpUntil(
                [&] { return !t.view.Statuses.filter(t.view.GetWord("@idCasPotekel")).isEmpty(); }));
            t.seja.Pla1OsveziFTPClick();
        }
        EXPECT_TRUE(PumpUntil([&] { return c.end(t); }, 10000)) << t.view.Statuses.join("\n").toStdString();
        EXPECT_TRUE(server.WaitDone()) << server.Failure().toStdString() << "\n"
                                       << server.Commands().join(", ").toStdString();
        EXPECT_EQ(withoutPorts(server.Commands()).join(", "), c.commands.join(", "));
        for (const QString& key : c.statuses)
            EXPECT_EQ(t.view.Statuses.filter(t.view.GetWord(key)).size(), 1) << key.toStdString();
        EXPECT_EQ(t.seja.Connected(), c.connected);
        EXPECT_FALSE(t.seja.PrenosTece());
    }
}
