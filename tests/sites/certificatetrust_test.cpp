// The trust file of certificates trusted "always": what is stored is found
// again for exactly its host and port, and a damaged or foreign file is never
// believed, never a crash, and never destroyed.
#include "sites/certificatetrust.h"
#include "sites/inouterror.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

QByteArray Fingerprint(const char* seed)
{
    return QCryptographicHash::hash(seed, QCryptographicHash::Sha256);
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

TEST(CertificateTrust, StoredPerHostAndPortAndFoundAgainByANewReader)
{
    QTemporaryDir home;
    qputenv("KVADO_HOME", home.path().toLocal8Bit());
    TCertificateTrust trust;
    EXPECT_EQ(trust.FilePath(), home.filePath("Potrdila.kvp"));
    EXPECT_FALSE(trust.Lookup("ftp.example.org", 990)); // no file: nothing trusted

    trust.Trust("ftp.example.org", 990, Fingerprint("a"));
    trust.Trust("ftp.example.org", 21, Fingerprint("b"));
    trust.Trust("fe80::1%eth0", 990, Fingerprint("c"));
    trust.Trust("strežnik ime\nz vrstico", 2121, Fingerprint("d")); // odd hosts never break a line

    TCertificateTrust later; // another run
    EXPECT_EQ(later.Lookup("ftp.example.org", 990), Fingerprint("a"));
    EXPECT_EQ(later.Lookup("FTP.Example.ORG", 990), Fingerprint("a")); // host names ignore case
    EXPECT_EQ(later.Lookup("ftp.example.org", 21), Fingerprint("b"));
    EXPECT_FALSE(later.Lookup("ftp.example.org", 2121));
    EXPECT_FALSE(later.Lookup("ftp.example.org.evil", 990));
    EXPECT_EQ(later.Lookup("fe80::1%eth0", 990), Fingerprint("c"));
    EXPECT_EQ(later.Lookup("strežnik ime\nz vrstico", 2121), Fingerprint("d"));

    later.Trust("ftp.example.org", 990, Fingerprint("new")); // replaces, keeps the others
    EXPECT_EQ(trust.Lookup("ftp.example.org", 990), Fingerprint("new"));
    EXPECT_EQ(trust.Lookup("ftp.example.org", 21), Fingerprint("b"));
    const QByteArray text = ReadAll(trust.FilePath());
    EXPECT_TRUE(text.startsWith("Kvado trusted certificates 1\n"));
    EXPECT_EQ(text.count('\n'), 5);

    // What cannot be a fingerprint or a place is not stored.
    trust.Trust("short.example.org", 990, QByteArray(20, 'x'));
    trust.Trust("", 990, Fingerprint("e"));
    trust.Trust("zero.example.org", 0, Fingerprint("e"));
    EXPECT_EQ(ReadAll(trust.FilePath()), text);
    EXPECT_EQ(QFileInfo(trust.FilePath()).permissions() & (QFile::ReadOther | QFile::WriteOther), 0);
}

TEST(CertificateTrust, DamagedOrForeignFilesTrustNothingAndAreKeptAside)
{
    QTemporaryDir home;
    const QString path = home.filePath("Potrdila.kvp");
    TCertificateTrust trust(path);
    const QByteArray good =
        "Kvado trusted certificates 1\nftp.example.org 990 " + Fingerprint("a").toHex().toUpper() + "\n";
    WriteAll(path, good);
    ASSERT_EQ(trust.Lookup("ftp.example.org", 990), Fingerprint("a"));

    const QByteArray damaged[] = {
        QByteArray(),                                              // empty
        good.left(good.size() - 1),                                // cut before its last line ended
        good.left(good.size() - 10) + "\n",                        // a short fingerprint
        QByteArray(good).replace("990", "99999"),                  // no such port
        QByteArray(good).replace("990", "+990"),                   // not how a port is written
        QByteArray(good).replace(" 990 ", "  990 "),               // an empty field
        QByteArray(good).replace("ftp.", "ftp. "),                 // four fields
        QByteArray(good).replace("Kvado", "kvado"),                // someone else's header
        "[Certificates]\nftp.example.org=990\n",                   // a foreign file
        good + "ftp.example.org 21 " + QByteArray(64, 'g') + "\n", // a second line that is not hex
        QByteArray(good).replace('\n', "\r\n"),                    // rewritten with CR LF
        QByteArray(2 << 20, 'K'),                                  // far too large
    };
    for (const QByteArray& bytes : damaged) {
        WriteAll(path, bytes);
        EXPECT_FALSE(trust.Lookup("ftp.example.org", 990)) << bytes.left(80).toStdString();
    }

    // Trusting over a damaged file keeps it as .bak and starts a good one.
    WriteAll(path, "[Certificates]\nftp.example.org=990\n");
    trust.Trust("ftp.example.org", 21, Fingerprint("b"));
    EXPECT_EQ(ReadAll(path + ".bak"), "[Certificates]\nftp.example.org=990\n");
    EXPECT_EQ(trust.Lookup("ftp.example.org", 21), Fingerprint("b"));
    EXPECT_FALSE(trust.Lookup("ftp.example.org", 990));

    // Something that is not a file is never opened, so nothing blocks.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    EXPECT_FALSE(trust.Lookup("ftp.example.org", 21));
}

TEST(CertificateTrust, AFailedWriteLeavesTheOldFileWhole)
{
    QTemporaryDir home;
    const QString path = home.filePath("Potrdila.kvp");
    TCertificateTrust trust(path);
    for (const char* host : {"a.example.org", "b.example.org", "c.example.org"})
        trust.Trust(host, 990, Fingerprint(host));
    const QByteArray before = ReadAll(path);

    // A file size limit just above the old file makes the next write fail half-way, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = rlim_t(before.size() + 20);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int code = 0;
    try {
        trust.Trust("d.example.org", 990, Fingerprint("d"));
    } catch (const EInOutError& error) {
        code = error.ErrorCode();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(code, EFBIG);
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), QStringList{"Potrdila.kvp"}); // no temporary left
    EXPECT_EQ(trust.Lookup("b.example.org", 990), Fingerprint("b.example.org"));
    EXPECT_FALSE(trust.Lookup("d.example.org", 990));
}
