#pragma once
// Kvado's scripted FTP server for the replies real servers will not give
// (multi-line greetings, bare codes, 421, 450, odd 257 lines, hostile
// listings, a third host on the data port). A Python process of the test's
// own (tests/support/scriptedserver.py) accepts one control connection on
// 127.0.0.1, plays the script step by step and records every byte the client
// sends, so the test can compare the commands exactly.
//
//   ServerScript script;
//   script.Send({"220-Hello", "220 Ready"})
//       .Expect("USER anonymous", {"331 Password please"})
//       .ExpectMatch("PASS .*", {"230 In"})
//       .ExpectMatch("PORT .*", {"200 OK"})
//       .Expect("LIST", {"150 Here"})
//       .DataOpen().DataSend("-rw-r--r-- 1 u g 5 Jan 1 12:00 a\r\n").DataClose()
//       .Send({"226 Done"});
//   ScriptedServer server(script);
//   ASSERT_TRUE(server.Start(&error));
//   ... connect to server.Port(), run the client ...
//   ASSERT_TRUE(server.WaitDone()) << server.Failure().toStdString();
//   EXPECT_EQ(server.Commands(), (QByteArrayList{"USER anonymous", ...}));
//
// Bytes in a script are sent exactly (any byte value, CR and LF included).
// WaitDone runs the Qt event loop while it waits, so a client driven by that
// loop keeps working. A step that waits for a command or data fails the
// script after 10 seconds; Failure() then says why.
#include "support/ftpserverprocess.h"

#include <QByteArrayList>
#include <QJsonArray>

class ServerScript {
public:
    static constexpr const char* kData = "data"; // the default data connection name

    // Sends each line followed by CR LF.
    ServerScript& Send(const QByteArrayList& lines);
    // Sends exactly these bytes.
    ServerScript& SendRaw(const QByteArray& bytes);
    // Sends pattern over and over without pause, `bytes` in all or until the client
    // closes; records "send-repeat-stopped" (closed by the client) or "send-repeat-done".
    ServerScript& SendRepeat(const QByteArray& pattern, qint64 bytes);
    // Waits for the next command line (without CR LF); fails unless it equals command; then replies.
    ServerScript& Expect(const QByteArray& command, const QByteArrayList& reply = {});
    // The same with a regular expression that must match the whole command line.
    ServerScript& ExpectMatch(const QByteArray& pattern, const QByteArrayList& reply = {});
    // 220, USER, PASS (any password) and 230: the usual login.
    ServerScript& Login(const QByteArray& user = "anonymous");
    // An active download served whole: PORT (200), RETR name (150), the data over
    // a new data connection that is then closed, and 226.
    ServerScript& ServeRetr(const QByteArray& name, const QByteArray& data);
    // Connects to the address of the last PORT command, from the source address
    // `from` (empty for any; "127.0.0.2" for a third host).
    ServerScript& DataOpen(const QByteArray& from = {}, const QString& name = kData);
    // Passive mode: listens on 127.0.0.1 at a free port and sends `reply` with
    // "{port}" replaced by the port and "{p1},{p2}" by its two bytes.
    // full: the port's accept queue is kept full, so a connect there hangs.
    ServerScript& PassiveListen(const QByteArray& reply, bool full = false);
    // Accepts the client's connection at the last PassiveListen port; records
    // "data-open NAME" (fails after the step's time-out).
    ServerScript& DataAccept(const QString& name = kData);
    ServerScript& DataSend(const QByteArray& bytes, const QString& name = kData);
    // Receives until the client closes the data connection and stores the bytes (see Stored).
    ServerScript& DataReceive(const QString& storeAs, const QString& name = kData);
    // Closes a data connection (a TLS one with close_notify first).
    ServerScript& DataClose(const QString& name = kData);
    // Closes a data connection without close_notify, also a TLS one.
    ServerScript& DataCut(const QString& name = kData);
    // TLS on the control connection (after a 234) or on a data connection, with
    // this side as the server, presenting the certificate and key of a PEM file.
    ServerScript& Tls(const QString& pemFile);
    ServerScript& DataTls(const QString& pemFile, const QString& name = kData);
    // Closes the data connection with a reset (SO_LINGER 0) instead of a clean close.
    ServerScript& DataReset(const QString& name = kData);
    // Sends without pause for up to `seconds` or until the client closes the data
    // connection; records "data-flood-stopped NAME" (closed by the client) or "data-flood-done NAME".
    ServerScript& DataFlood(double seconds, const QString& name = kData);
    // Waits up to `seconds` for the client to close the data connection; records
    // "data-closed-by-peer NAME" or "data-still-open NAME".
    ServerScript& DataExpectClose(double seconds, const QString& name = kData);
    // Closes the control connection.
    ServerScript& Close();
    // Waits up to `seconds` for the client to close the control connection (fails otherwise).
    ServerScript& ExpectClose(double seconds);
    ServerScript& Pause(double seconds);

    const QJsonArray& Steps() const { return m_steps; }

private:
    ServerScript& add(const QJsonObject& step);
    QJsonArray m_steps;
};

class ScriptedServer : public FtpServerProcess {
public:
    explicit ScriptedServer(const ServerScript& script);
    bool Start(QString* error = nullptr);
    QString RootPath() const override; // where DataReceive stores its files

    // Every byte received on the control connection so far, exactly.
    QByteArray RawCommands() const;
    // The complete command lines received so far, each without its CR LF
    // (split at CR LF only, so a line ended otherwise shows up glued to the next).
    QByteArrayList Commands() const;
    // The recorded events so far ("connected", "data-open data", "done", "fail ...").
    QStringList Events() const;
    // Runs the event loop until the script has played to its end (true) or
    // failed, or the server exited, or timeoutMs passed (false).
    bool WaitDone(int timeoutMs = 10000);
    // Why the script failed; empty while it has not.
    QString Failure() const;
    // The bytes a DataReceive step stored.
    QByteArray Stored(const QString& name) const;

private:
    QByteArray readFile(const QString& name) const;

    QJsonArray m_steps;
};
