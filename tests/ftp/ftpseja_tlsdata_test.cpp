// Encrypted data connections against a scripted TLS server: a stream cut off
// without close_notify is no whole file unless its size is known and met, and
// a data connection must present the control connection's certificate.
#include "scriptedsession.h"

#include "support/ftptlspki.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {
// "AB:CD:..." of the certificate in a PEM file (its first certificate block).
QString fingerprint(const QString& pem)
{
    QFile file(pem);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = file.readAll();
    const qsizetype begin = text.indexOf("-----BEGIN CERTIFICATE-----");
    const qsizetype end = text.indexOf("-----END CERTIFICATE-----");
    const QByteArray der = QByteArray::fromBase64(text.mid(begin + 27, end - begin - 27));
    return QString::fromLatin1(
        QCryptographicHash::hash(der, QCryptographicHash::Sha256).toHex(':').toUpper());
}

// Explicit TLS, the login, FEAT offering MLSD, and a listing by MLSD over TLS.
ServerScript& tlsSession(ServerScript& s, const QString& pem, const QByteArray& entries)
{
    s.Send({"220 ready"})
        .Expect("AUTH TLS", {"234 go ahead"})
        .Tls(pem)
        .Expect("USER anonymous", {"331 password"})
        .ExpectMatch("PASS .*", {"230 in"})
        .Expect("PBSZ 0", {"200 ok"})
        .Expect("PROT P", {"200 ok"})
        .Expect("FEAT", {"211-Features", " MLSD", "211 End"})
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("MLSD", {"150 Here"})
        .DataOpen()
        .DataTls(pem)
        .DataSend(entries)
        .DataClose()
        .Send({"226 Done"});
    return s.ExpectMatch("PORT .*", {"200 ok"});
}

struct Case {
    const char* name;
    QByteArray entry;    // the file's MLSD line
    QByteArray reply150; // to its RETR
    QByteArray sent;     // what the server sends before it ends the data connection
    bool closeNotify;    // ends it with close_notify (else cuts it)
    bool foreign;        // presents another certificate on the data connection
    bool ok;             // the download succeeds
};
} // namespace

TEST(SejaTlsData, ACutStreamIsNoWholeFileAndTheDataCertificateMustBeTheControlOne)
{
    if (!FtpTlsPki::Available())
        GTEST_SKIP() << "the openssl command is needed";
    const QString pem = FtpTlsPki::Get().Issue("IP:127.0.0.1");
    const QString other = FtpTlsPki::Get().Issue("IP:127.0.0.1");
    ASSERT_FALSE(pem.isEmpty() || other.isEmpty()) << FtpTlsPki::Get().Error().toStdString();
    const Case cases[] = {
        {"cut off, no size known", "type=file; f.bin\r\n", "150 Opening", "half", false, false, false},
        {"cut off, but the 150's size met", "type=file; f.bin\r\n", "150 Opening f.bin (8 bytes)", "8 bytes!",
         false, false, true},
        {"cut off, but the listed size met", "type=file;size=8; f.bin\r\n", "150 Opening", "8 bytes!", false,
         false, true},
        {"ended with close_notify, no size known", "type=file; f.bin\r\n", "150 Opening", "whole", true,
         false, true},
        {"another certificate on the data connection", "type=file; f.bin\r\n", "150 Opening", "", true, true,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir local;
        ServerScript script;
        tlsSession(script, pem, c.entry)
            .Expect("RETR f.bin", {c.reply150})
            .DataOpen()
            .DataTls(c.foreign ? other : pem);
        if (c.foreign) {
            script.Expect("ABOR", {"426 Aborted", "226 ABOR ok"});
        } else {
            script.DataSend(c.sent);
            c.closeNotify ? script.DataClose() : script.DataCut();
            script.Send({"226 Done"});
        }
        script.Pause(0.3);
        ScriptedServer server(script);
        TestSession t;
        TSejaParametri p;
        p.encryption = 2;   // required
        p.nameEncoding = 2; // automatic: FEAT, so listings go by MLSD
        ASSERT_TRUE(openListed(server, t, local.path(), p));
        t.view.Select({"f.bin"});
        t.seja.Pla1PrenesiClick();
        ASSERT_TRUE(waitServer(server));
        ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.LocalRefreshes > 0; }));
        const QString statuses = t.view.Statuses.join("\n");
        EXPECT_EQ(reportsSuccess(t.view), c.ok) << statuses.toStdString();
        if (c.foreign) {
            EXPECT_TRUE(t.view.Statuses.contains(
                t.view.GetWord("@idTujePotrdilo").arg(fingerprint(pem), fingerprint(other))))
                << statuses.toStdString();
            EXPECT_FALSE(QFileInfo::exists(local.filePath("f.bin"))); // nothing written
            EXPECT_TRUE(t.seja.Connected());
        } else {
            EXPECT_EQ(contents(local.filePath("f.bin")), c.sent); // a part stays for a resume
            EXPECT_EQ(statuses.contains(t.view.GetWord("@idNepotrjenKonec")), !c.ok)
                << statuses.toStdString();
        }
    }
}
