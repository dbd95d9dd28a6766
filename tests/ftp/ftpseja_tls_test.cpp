// The session engine over TLS against real servers on loopback: vsftpd
// (requiring every data connection to resume the control connection's
// session) and pyftpdlib's TLS handler, active and passive, TLS 1.2 and 1.3;
// then the cases where the session must not go on, or must not go on
// encrypted, each checked on the wire as the server saw it.
#include "serverenv.h"

#include "support/ftptlspki.h"
#include "support/scriptedserver.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <openssl/ssl.h>

#include <memory>
#include <tuple>

namespace {
constexpr quint8 kWhenOffered = 1, kRequired = 2, kImplicit = 3;

// A pyftpdlib or vsftpd server with TLS (or without: pem empty), its writable
// folder, and the commands it received.
struct TlsServer : Env {
    using Env::Env;
    // The command lines the server received, in order (vsftpd's log prefixes each with the client).
    QStringList Received() const
    {
        if (kind == Kind::Pyftpd)
            return static_cast<PyftpdServer*>(server.get())->CommandLog().split('\n', Qt::SkipEmptyParts);
        QStringList lines;
        static const QRegularExpression command("FTP command: Client \"[^\"]*\", \"(.*)\"$");
        for (const QString& line : static_cast<VsftpdServer*>(server.get())->ProtocolLog().split('\n')) {
            const QRegularExpressionMatch m = command.match(line);
            if (m.hasMatch())
                lines << m.captured(1);
        }
        return lines;
    }
};

#define REQUIRE_TLS_SERVER(s)                                                                                \
    if (!(s).skip.isEmpty())                                                                                 \
        GTEST_SKIP() << (s).skip.toStdString();                                                              \
    ASSERT_TRUE((s).ok)

QString issue(const QString& names, const QString& from = "20200101000000Z",
              const QString& to = "20991231000000Z", bool selfSigned = false)
{
    const QString pem = FtpTlsPki::Get().Issue(names, from, to, selfSigned);
    EXPECT_FALSE(pem.isEmpty()) << FtpTlsPki::Get().Error().toStdString();
    return pem;
}

// The SHA-256 fingerprint of a PEM certificate as openssl prints it ("AB:CD:...").
QString opensslFingerprint(const QString& pem)
{
    QProcess openssl;
    openssl.start("openssl", {"x509", "-in", pem, "-noout", "-fingerprint", "-sha256"});
    openssl.waitForFinished();
    return QString::fromLatin1(openssl.readAll()).trimmed().section('=', 1);
}

TSejaParametri parameters(const TlsServer& s, quint8 encryption, quint8 dataConnection = 0,
                          int maxVersion = 0)
{
    TSejaParametri p;
    p.remoteDirectory = s.folder;
    p.encryption = encryption;
    p.dataConnection = dataConnection;
    p.tlsMaxVersion = maxVersion;
    return p;
}

bool open(TestSession& t, const TlsServer& s, const TSejaParametri& p, const QTemporaryDir& local)
{
    t.view.LocalDir = local.path();
    t.Connect(s.server->Port(), p);
    return explain(PumpUntil([&] { return t.view.Listings >= 1; }, 10000), t);
}

// Waits until the session has ended the connection with a message box saying why.
bool closed(TestSession& t)
{
    return explain(PumpUntil([&] { return !t.view.Messages.isEmpty() && !t.seja.Connected(); }, 10000), t);
}

class SejaTls : public ::testing::TestWithParam<std::tuple<Kind, quint8, int>> {
protected:
    void SetUp() override
    {
        if (!FtpTlsPki::Available())
            GTEST_SKIP() << "the openssl command is needed";
    }
    Kind kind() const { return std::get<0>(GetParam()); }
    quint8 mode() const { return std::get<1>(GetParam()); }
    int version() const { return std::get<2>(GetParam()); }
};
} // namespace

// Everything a session does, encrypted: the login never goes in the clear,
// every data connection resumes the control session (vsftpd refuses it
// otherwise), and files arrive byte for byte, also resumed and after a stop.
TEST_P(SejaTls, LoginListingDownloadUploadResumeAndStopAllEncrypted)
{
    TlsServer s(kind(), issue("IP:127.0.0.1"));
    REQUIRE_TLS_SERVER(s);
    const QByteArray small = pattern(300000, 1), part = pattern(2 * 1024 * 1024 + 17, 2),
                     big = pattern(40 * 1024 * 1024, 3);
    ASSERT_TRUE(s.Put("small.bin", small) && s.Put("part.bin", part) && s.Put("big.bin", big));
    QTemporaryDir local;
    TestSession t;
    ASSERT_TRUE(open(t, s, parameters(s, kRequired, mode(), version()), local));
    t.seja.gsSlikaClick();

    // The trusted CA vouches for the server: no question; the window shows the version agreed.
    EXPECT_TRUE(t.view.Certificates.empty());
    ASSERT_EQ(t.view.Encryption.size(), 1);
    EXPECT_TRUE(t.view.Encryption[0].startsWith(version() == TLS1_2_VERSION ? "TLSv1.2 " : "TLSv1.3 "))
        << t.view.Encryption[0].toStdString();
    EXPECT_EQ(t.view.Commands.mid(0, 5), (QStringList{"AUTH TLS", "USER", "PASS", "PBSZ 0", "PROT P"}));
    const QStringList received = s.Received();
    ASSERT_FALSE(received.isEmpty());
    EXPECT_EQ(received[0], "AUTH TLS");
    EXPECT_TRUE(t.view.RowNames().contains("big.bin"));

    // Download and upload.
    ASSERT_TRUE(download(t, {"small.bin"}));
    EXPECT_TRUE(readAll(local.filePath("small.bin")) == small);
    const QByteArray up = pattern(1024 * 1024 + 123, 4);
    ASSERT_TRUE(writeAll(local.filePath("up.bin"), up));
    ASSERT_TRUE(upload(t, "up.bin"));
    EXPECT_TRUE(readAll(s.Remote("up.bin")) == up);

    // Resume a download from a part already here.
    ASSERT_TRUE(writeAll(local.filePath("part.bin"), part.left(700000)));
    t.view.PrepisiAnswers = {piNadaljuj};
    ASSERT_TRUE(download(t, {"part.bin"}));
    EXPECT_TRUE(readAll(local.filePath("part.bin")) == part);
    EXPECT_TRUE(t.view.Commands.contains("REST 700000"));

    // Stop in the middle, the session goes on, and the rest resumes.
    t.view.Select({"big.bin"});
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(explain(
        PumpUntil([&] { return QFileInfo(local.filePath("big.bin")).size() > 1024 * 1024; }, 10000), t));
    const qsizetype stop = t.view.Calls.size();
    t.seja.STOPFTPClick();
    ASSERT_TRUE(
        explain(PumpUntil([&] { return t.view.Statuses.contains(t.view.GetWord("@idPrek")); }, 10000), t));
    // The server failed the transfer at once instead of sending the rest of the file.
    EXPECT_FALSE(t.view.Calls.mid(stop).filter(QRegularExpression("^Reply: 426 ")).isEmpty());
    const QByteArray stopped = readAll(local.filePath("big.bin"));
    EXPECT_GT(stopped.size(), 1024 * 1024);
    EXPECT_LT(stopped.size(), big.size());
    EXPECT_TRUE(stopped == big.left(stopped.size()));
    ASSERT_TRUE(refresh(t));
    t.view.PrepisiAnswers = {piNadaljuj};
    ASSERT_TRUE(download(t, {"big.bin"}));
    EXPECT_TRUE(readAll(local.filePath("big.bin")) == big);

    // Nothing failed, and no command went out before the encryption.
    for (const QString& status : t.view.Statuses)
        EXPECT_FALSE(status.startsWith(t.view.GetWord("@idNeuspeh"))) << status.toStdString();
    EXPECT_EQ(s.Received().indexOf(QRegularExpression("USER .*")), 1)
        << s.Received().join("\n").toStdString();

    // The window learns the session is no longer encrypted.
    t.seja.HitriGumb2Click();
    EXPECT_EQ(t.view.Encryption.last(), "-");
}

// Stop pressed the moment RETR has gone out, or the moment the server has
// answered it, while the data connection's handshake is still to come or
// runs: it is let finish before the connection closes (vsftpd ends the whole
// session at a handshake cut off), so the session goes on, again and again,
// every reply answering its own command, and the file still arrives whole.
TEST_P(SejaTls, StopAtTheStartOfTheDataConnectionKeepsTheSession)
{
    TlsServer s(kind(), issue("IP:127.0.0.1"));
    REQUIRE_TLS_SERVER(s);
    const QByteArray big = pattern(8 * 1024 * 1024, 5);
    ASSERT_TRUE(s.Put("big.bin", big));
    QTemporaryDir local;
    TestSession t;
    ASSERT_TRUE(open(t, s, parameters(s, kRequired, mode(), version()), local));
    for (int round = 0; round < 6; ++round) {
        const char* const moment = round % 2 ? "Reply: 1" : "KvadoUkazi0: RETR";
        SCOPED_TRACE(moment);
        t.view.Select({"big.bin"});
        t.view.PrepisiAnswers = {piPrepisi};
        const qsizetype from = t.view.Calls.size();
        t.seja.Pla1PrenesiClick();
        ASSERT_TRUE(explain(PumpUntil([&] {
                                for (qsizetype i = from; i < t.view.Calls.size(); ++i)
                                    if (t.view.Calls[i].startsWith(moment))
                                        return true;
                                return false;
                            }),
                            t));
        t.seja.STOPFTPClick();
        const QString stopped = t.view.GetWord("@idPrek");
        ASSERT_TRUE(explain(
            PumpUntil([&] { return !t.seja.PrenosTece() && t.view.Statuses.contains(stopped); }, 10000), t));
        t.view.Statuses.clear();
        ASSERT_TRUE(refresh(t));
        ASSERT_TRUE(t.seja.Connected());
        EXPECT_TRUE(t.view.Statuses.filter(QRegularExpression("^" + t.view.GetWord("@idNeuspeh"))).isEmpty())
            << t.view.Statuses.join("\n").toStdString();
    }
    t.view.PrepisiAnswers = {piPrepisi};
    ASSERT_TRUE(download(t, {"big.bin"}));
    EXPECT_TRUE(readAll(local.filePath("big.bin")) == big);
}

INSTANTIATE_TEST_SUITE_P(ServersModesVersions, SejaTls,
                         ::testing::Combine(::testing::Values(Kind::Vsftpd, Kind::Pyftpd),
                                            ::testing::Values(quint8(0), quint8(1)),
                                            ::testing::Values(TLS1_2_VERSION, TLS1_3_VERSION)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) == Kind::Vsftpd ? "Vsftpd"
                                                                                        : "Pyftpd") +
                                    (std::get<1>(info.param) ? "Passive" : "Active") +
                                    (std::get<2>(info.param) == TLS1_2_VERSION ? "Tls12" : "Tls13");
                         });

// Implicit TLS (vsftpd's implicit_ssl): the handshake comes first, the 220
// after it; a certificate for another name is put to the question with what
// a person judges it by, and trusting it once lets the session go on.
TEST(SejaTlsCertificates, ImplicitTlsWithACertificateTheUserTrustsOnce)
{
    if (!FtpTlsPki::Available())
        GTEST_SKIP() << "the openssl command is needed";
    const QString pem = issue("DNS:ftp.example.org");
    TlsServer s(Kind::Vsftpd, pem, {}, true);
    REQUIRE_TLS_SERVER(s);
    ASSERT_TRUE(s.Put("a.txt", "encrypted all along"));
    QTemporaryDir local;
    TestSession t;
    t.view.CertificateAnswers = {true};
    ASSERT_TRUE(open(t, s, parameters(s, kImplicit), local));
    ASSERT_EQ(t.view.Certificates.size(), 1u);
    const TCertificateInfo& info = t.view.Certificates[0];
    EXPECT_EQ(info.host, "127.0.0.1");
    EXPECT_EQ(info.port, s.server->Port());
    EXPECT_FALSE(info.verified);
    EXPECT_FALSE(info.reason.isEmpty());
    EXPECT_TRUE(info.subject.contains("CN=ftp.example.org")) << info.subject.toStdString();
    EXPECT_TRUE(info.issuer.contains("Kvado Test CA")) << info.issuer.toStdString();
    EXPECT_EQ(info.FingerprintText(), opensslFingerprint(pem));
    // No AUTH: the connection was encrypted from its first byte.
    EXPECT_EQ(t.view.Commands.mid(0, 4), (QStringList{"USER", "PASS", "PBSZ 0", "PROT P"}));
    ASSERT_TRUE(download(t, {"a.txt"}));
    EXPECT_EQ(readAll(local.filePath("a.txt")), "encrypted all along");
}

// The certificate refused: for another name, expired, or changed since the
// user trusted it (the window compares; the engine hands it the certificate
// actually presented). Each ends the connection before USER, and the window
// is not told the session is encrypted.
TEST(SejaTlsCertificates, RefusedCertificatesEndTheConnectionBeforeTheLogin)
{
    if (!FtpTlsPki::Available())
        GTEST_SKIP() << "the openssl command is needed";
    struct Case {
        const char* what;
        QString pem;
        QString reasonWord;
    };
    const QString trusted = issue("IP:127.0.0.1", "20200101000000Z", "20991231000000Z", true);
    const Case cases[] = {
        {"another name", issue("DNS:other.example"), ""},
        {"expired", issue("IP:127.0.0.1", "20200101000000Z", "20200201000000Z"), "expired"},
        {"changed", issue("IP:127.0.0.1", "20200101000000Z", "20991231000000Z", true), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TlsServer s(Kind::Pyftpd, c.pem);
        ASSERT_TRUE(s.ok);
        QTemporaryDir local;
        TestSession t;
        // The window's stored trust: only the certificate trusted before passes.
        const QString trustedPrint = opensslFingerprint(trusted);
        t.view.WhileCertificate = [&] {
            if (t.view.Certificates.back().FingerprintText() == trustedPrint)
                t.view.CertificateAnswers = {true};
        };
        t.view.LocalDir = local.path();
        t.Connect(s.server->Port(), parameters(s, kWhenOffered));
        ASSERT_TRUE(closed(t));
        ASSERT_EQ(t.view.Certificates.size(), 1u);
        EXPECT_NE(t.view.Certificates[0].FingerprintText(), trustedPrint);
        EXPECT_EQ(t.view.Certificates[0].FingerprintText(), opensslFingerprint(c.pem));
        EXPECT_TRUE(t.view.Certificates[0].reason.contains(c.reasonWord, Qt::CaseInsensitive))
            << t.view.Certificates[0].reason.toStdString();
        EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idPotrdiloZavrnjeno")));
        EXPECT_EQ(t.view.Messages.size(), 1);
        EXPECT_TRUE(t.view.Encryption.isEmpty());
        EXPECT_EQ(t.view.Commands, QStringList{"AUTH TLS"});
        PumpFor(200);
        EXPECT_EQ(s.Received(), QStringList{"AUTH TLS"});
    }

    // The server goes away while the (modal) question is open, and the user
    // then trusts the certificate: nothing more is sent, nothing is shown as encrypted.
    TlsServer s(Kind::Pyftpd, cases[0].pem);
    ASSERT_TRUE(s.ok);
    TestSession t;
    t.view.WhileCertificate = [&] {
        s.server->Stop();
        PumpUntil([&] { return !t.seja.Connected(); }, 5000);
        t.view.CertificateAnswers = {true};
    };
    t.Connect(s.server->Port(), parameters(s, kRequired));
    ASSERT_TRUE(
        explain(PumpUntil([&] { return t.view.Certificates.size() == 1 && !t.seja.Connected(); }, 10000), t));
    PumpFor(200);
    EXPECT_FALSE(t.seja.Connected());
    EXPECT_TRUE(t.view.Encryption.isEmpty());
    EXPECT_EQ(t.view.Commands, QStringList{"AUTH TLS"});
}

// Servers that cannot give an encrypted session: required TLS ends the
// connection without USER on the wire; when offered, the session goes on in
// the clear and says so; a data connection that does not complete TLS fails
// its transfer and writes nothing (and ends a required session).
TEST(SejaTlsRefusals, NoLoginOrFileInTheClearWhenEncryptionIsRequired)
{
    if (!FtpTlsPki::Available())
        GTEST_SKIP() << "the openssl command is needed";
    const QString pem = issue("IP:127.0.0.1");
    QTemporaryDir local;

    // A server without TLS: required refuses, when offered goes on in the clear.
    {
        TlsServer plain(Kind::Pyftpd, {});
        ASSERT_TRUE(plain.ok);
        TestSession required;
        required.Connect(plain.server->Port(), parameters(plain, kRequired));
        ASSERT_TRUE(closed(required));
        EXPECT_EQ(required.view.Commands, QStringList{"AUTH TLS"});
        EXPECT_TRUE(required.view.Statuses.last().startsWith(required.view.GetWord("@idTlsZavrnjen")));
        PumpFor(200);
        EXPECT_EQ(plain.Received(), QStringList{"AUTH TLS"});

        TestSession offered;
        plain.Put("clear.txt", "in the clear");
        ASSERT_TRUE(open(offered, plain, parameters(plain, kWhenOffered), local));
        EXPECT_TRUE(offered.view.Statuses.contains(offered.view.GetWord("@idNesifrirano")));
        EXPECT_EQ(offered.view.Commands.mid(0, 3), (QStringList{"AUTH TLS", "USER", "PASS"}));
        EXPECT_FALSE(offered.view.Commands.contains("PROT P"));
        EXPECT_TRUE(offered.view.Encryption.isEmpty());
        ASSERT_TRUE(download(offered, {"clear.txt"}));
        EXPECT_EQ(readAll(local.filePath("clear.txt")), "in the clear");
    }

    // A server that drops the connection where the handshake should be.
    {
        TlsServer dropping(Kind::Pyftpd, pem, "drop");
        ASSERT_TRUE(dropping.ok);
        TestSession t;
        t.Connect(dropping.server->Port(), parameters(dropping, kWhenOffered));
        ASSERT_TRUE(closed(t));
        EXPECT_TRUE(t.view.Statuses.last().startsWith(t.view.GetWord("@idTlsNeuspeh")))
            << t.view.Statuses.join("\n").toStdString();
        EXPECT_EQ(t.view.Messages.size(), 1);
        EXPECT_EQ(t.view.Commands, QStringList{"AUTH TLS"});
    }

    // PROT P answered, but a file comes in the clear: the download fails and
    // writes nothing; when offered the session goes on, required ends it.
    for (const quint8 encryption : {kWhenOffered, kRequired}) {
        SCOPED_TRACE(int(encryption));
        TlsServer cheating(Kind::Pyftpd, pem, "plain-files");
        ASSERT_TRUE(cheating.ok);
        ASSERT_TRUE(cheating.Put("secret.txt", "never in the clear"));
        TestSession t;
        ASSERT_TRUE(open(t, cheating, parameters(cheating, encryption, 1), local));
        t.view.Select({"secret.txt"});
        t.seja.Pla1PrenesiClick();
        const QString failed = t.view.GetWord("@idTlsPodatki");
        ASSERT_TRUE(
            explain(PumpUntil([&] { return t.view.Statuses.join("\n").contains(failed); }, 10000), t));
        EXPECT_FALSE(QFileInfo::exists(local.filePath("secret.txt")));
        if (encryption == kRequired) {
            EXPECT_TRUE(closed(t));
            continue;
        }
        EXPECT_TRUE(t.seja.Connected());
        EXPECT_FALSE(t.seja.PrenosTece());
        ASSERT_TRUE(refresh(t));
    }
}

// A server that writes in the clear into the encrypted control connection
// (vsftpd's last words when it dies are so): the session ends at once and
// says why, instead of reading the damaged stream on.
TEST(SejaTlsRefusals, ClearTextInsideTheEncryptedControlConnectionEndsTheSession)
{
    if (!FtpTlsPki::Available())
        GTEST_SKIP() << "the openssl command is needed";
    TlsServer s(Kind::Pyftpd, issue("IP:127.0.0.1"), "clear-reply");
    REQUIRE_TLS_SERVER(s);
    ASSERT_TRUE(s.Put("a.bin", "data"));
    QTemporaryDir local;
    TestSession t;
    ASSERT_TRUE(open(t, s, parameters(s, kRequired), local));
    t.view.Select({"a.bin"});
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(closed(t));
    const QString statuses = t.view.Statuses.join("\n");
    EXPECT_TRUE(statuses.contains(t.view.GetWord("@idTlsPokvarjena"))) << statuses.toStdString();
    EXPECT_TRUE(t.view.Statuses.last().startsWith(t.view.GetWord("@idNeuspeh"))) << "the download failed";
    EXPECT_EQ(t.view.Encryption.last(), "-");
    EXPECT_FALSE(t.seja.PrenosTece());
    EXPECT_FALSE(QFileInfo::exists(local.filePath("a.bin")));
}

// The same inside a download's data connection, which the server keeps open:
// the download fails at once (not at the stall time-out) and the session goes on.
TEST(SejaTlsRefusals, ClearTextInsideAnEncryptedDataConnectionFailsTheDownloadAtOnce)
{
    if (!FtpTlsPki::Available())
        GTEST_SKIP() << "the openssl command is needed";
    TlsServer s(Kind::Pyftpd, issue("IP:127.0.0.1"), "clear-data");
    REQUIRE_TLS_SERVER(s);
    ASSERT_TRUE(s.Put("big.bin", pattern(64 * 1024 * 1024, 6)));
    QTemporaryDir local;
    TestSession t;
    t.seja.SetTimeOut(60);
    ASSERT_TRUE(open(t, s, parameters(s, kRequired, 1), local));
    t.view.Select({"big.bin"});
    t.seja.Pla1PrenesiClick();
    const QString failed = t.view.GetWord("@idNeuspeh");
    ASSERT_TRUE(explain(PumpUntil(
                            [&] {
                                return !t.view.Statuses.filter(QRegularExpression("^" + failed)).isEmpty() &&
                                       !t.seja.PrenosTece();
                            },
                            10000),
                        t));
    EXPECT_TRUE(t.seja.Connected());
    ASSERT_TRUE(refresh(t));
}

// A server that accepts AUTH TLS and then says nothing more: the handshake is
// bounded by the connection time-out, and USER never goes out.
TEST(SejaTlsRefusals, ServerSilentInTheHandshakeTimesOut)
{
    ServerScript script;
    script.Send({"220 ready"}).Expect("AUTH TLS", {"234 go ahead"}).ExpectClose(8);
    ScriptedServer server(script);
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    TestSession t;
    t.seja.SetTimeOut(1);
    TSejaParametri p;
    p.encryption = kRequired;
    t.Connect(server.Port(), p);
    ASSERT_TRUE(server.WaitDone(10000)) << server.Failure().toStdString();
    EXPECT_FALSE(t.seja.Connected());
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idTlsCas")));
    EXPECT_FALSE(server.RawCommands().contains("USER"));
    EXPECT_EQ(server.Commands().value(0), "AUTH TLS");
}
