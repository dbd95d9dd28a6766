#include "sites/inouterror.h"
#include "sites/sitelist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

class SiteListTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        qputenv("KVADO_HOME", m_home.path().toLocal8Bit());
    }

    QString sitesFile() const { return m_home.filePath("Naslovi.kvs"); }

    void writeFile(const QByteArray& bytes) const
    {
        QFile file(sitesFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray readFile() const
    {
        QFile file(sitesFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    static TSiteRecord namedRecord(const QString& name)
    {
        TSiteRecord record;
        record.SetName(name);
        record.SetPort(21);
        return record;
    }

    QTemporaryDir m_home;
};

void put(QByteArray& bytes, int offset, const QByteArray& value)
{
    bytes.replace(offset, value.size(), value);
}

// A length byte followed by the characters.
QByteArray counted(const QByteArray& characters)
{
    return char(characters.size()) + characters;
}

// clang-format off
// A site record built by hand at its documented offsets.
QByteArray handMadeRecord()
{
    QByteArray bytes(936, '\0');
    put(bytes, 0, counted("\x8A" "i\xE8\x9E" "e!")); // "Šičže!" in code page 1250
    put(bytes, 51, counted("ftp.example.org"));
    put(bytes, 102, counted("janez"));
    put(bytes, 133, counted("geslo1"));
    put(bytes, 154, QByteArray(1, char(73))); // 2121 = 8 * 256 + 73
    put(bytes, 155, counted("/pub/"));
    put(bytes, 411, counted("/home/jan/"));
    put(bytes, 667, QByteArray(1, char(8)));
    put(bytes, 668, QByteArray("\x00\x10\x00\x00", 4)); // 4096, little-endian
    put(bytes, 672, QByteArray("\xFF\xFF\xFF\x7F", 4)); // 2147483647
    put(bytes, 676, QByteArray("\x03\x01\x02", 3));     // server kind, login type, transfer type
    put(bytes, 679, counted("Opomba \x9A" "ola?"));
    return bytes;
}
// clang-format on

TSiteRecord recordThroughSetters()
{
    TSiteRecord record;
    record.SetName(QString::fromUtf8("Šičže!"));
    record.SetHost(u"ftp.example.org");
    record.SetUser(u"janez");
    record.SetPassword(u"geslo1");
    record.SetPort(2121);
    record.SetRemoteDir(u"/pub/");
    record.SetLocalDir(u"/home/jan/");
    record.SetReceiveBuffer(4096);
    record.SetSendBuffer(2147483647);
    record.serverKind = 3;
    record.loginType = 1;
    record.transferType = 2;
    record.SetComment(QString::fromUtf8("Opomba šola\u4E2D")); // a character 1250 cannot hold becomes "?"
    return record;
}

} // namespace

TEST_F(SiteListTest, RecordMatchesTheDocumentedLayoutByteForByteAndReadsBack)
{
    const QByteArray expected = handMadeRecord();
    const TSiteRecord record = recordThroughSetters();
    ASSERT_EQ(QByteArray(reinterpret_cast<const char*>(&record), sizeof record).toHex(' '),
              expected.toHex(' '));

    TSiteList list;
    EXPECT_EQ(list.AddSite(record), 1);
    list.WriteSiteList();
    EXPECT_EQ(readFile(), expected);

    TSiteList reread;
    reread.OpenSiteList();
    ASSERT_EQ(reread.SiteCount(), 1);
    const TSiteRecord& site = reread.SiteTable(1);
    EXPECT_EQ(site.Name(), QString::fromUtf8("Šičže!"));
    EXPECT_EQ(site.Host(), "ftp.example.org");
    EXPECT_EQ(site.User(), "janez");
    EXPECT_EQ(site.Password(), "geslo1");
    EXPECT_EQ(site.Port(), 2121);
    EXPECT_EQ(site.RemoteDir(), "/pub/");
    EXPECT_EQ(site.LocalDir(), "/home/jan/");
    EXPECT_EQ(site.ReceiveBuffer(), 4096);
    EXPECT_EQ(site.SendBuffer(), 2147483647);
    EXPECT_EQ(site.serverKind, 3);
    EXPECT_EQ(site.loginType, 1);
    EXPECT_EQ(site.transferType, 2);
    EXPECT_EQ(site.Comment(), QString::fromUtf8("Opomba šola?"));
    EXPECT_FALSE(reread.SitesModified());
}

TEST(SiteRecord, PortsKeepSixteenBitsAndOldRecordsReadAsBefore)
{
    TSiteRecord record;
    for (int port : {1, 21, 255, 256, 2121, 65535}) {
        record.SetPort(port);
        EXPECT_EQ(record.Port(), port);
    }
    record.SetPort(2121);
    EXPECT_EQ(record.portLow, 73); // what a reader of the one-byte layout sees
    record.portLow = 21;           // a record written by the one-byte layout
    record.portHigh = 0;
    EXPECT_EQ(record.Port(), 21);
}

TEST(SiteRecord, KvadosOwnChoicesLiveInTheLastPadByteBehindAMark)
{
    TSiteRecord record;
    EXPECT_EQ(record.DataConnection(), 0); // a described record: active
    record.SetDataConnection(1);
    EXPECT_EQ(record.padding, 0xA1);
    EXPECT_EQ(record.DataConnection(), 1);
    record.SetDataConnection(0);
    EXPECT_EQ(record.padding, 0xA0);
    record.SetNameEncoding(2); // the choices keep each other
    record.SetDataConnection(1);
    EXPECT_EQ(record.padding, 0xA5);
    EXPECT_EQ(record.NameEncoding(), 2);
    record.SetNameEncoding(7); // no such encoding: code page 1250
    EXPECT_EQ(record.NameEncoding(), 0);
    EXPECT_EQ(record.DataConnection(), 1);
    record.padding = 0xA6; // bits 1-2 hold 3, no encoding
    EXPECT_EQ(record.NameEncoding(), 0);
    for (quint8 junk : {0x01, 0x0F, 0xFF, 0x51, 0x7F, 0xC1, 0xE7}) { // another writer's byte: the defaults
        record.padding = junk;
        EXPECT_EQ(record.DataConnection(), 0) << int(junk);
        EXPECT_EQ(record.NameEncoding(), 0) << int(junk);
        EXPECT_EQ(record.Encryption(), 0) << int(junk);
    }
    record.padding = 0xFF; // setting one choice drops another writer's bits
    record.SetEncryption(1);
    EXPECT_EQ(record.padding, 0xA8);
}

TEST(SiteRecord, EncryptionSharesTheMarkedByteWithTheOlderChoices)
{
    TSiteRecord record;
    // Every byte written before the encryption existed reads as it did, without encryption.
    for (int old = 0xA0; old <= 0xA7; ++old) {
        record.padding = quint8(old);
        EXPECT_EQ(record.DataConnection(), old & 1) << old;
        EXPECT_EQ(record.NameEncoding(), (old >> 1 & 3) == 3 ? 0 : old >> 1 & 3) << old;
        EXPECT_EQ(record.Encryption(), 0) << old;
    }
    record.padding = 0;
    record.SetDataConnection(1);
    record.SetNameEncoding(1);
    for (quint8 encryption : {3, 1, 2, 0, 3}) {
        record.SetEncryption(encryption);
        EXPECT_EQ(record.Encryption(), encryption);
        EXPECT_EQ(record.DataConnection(), 1);
        EXPECT_EQ(record.NameEncoding(), 1);
    }
    EXPECT_EQ(record.padding, 0xBB);
    record.SetNameEncoding(2); // the older setters keep the encryption bits
    record.SetDataConnection(0);
    EXPECT_EQ(record.Encryption(), 3);
    EXPECT_EQ(record.padding, 0xBC);
    record.SetEncryption(9); // no such choice: none
    EXPECT_EQ(record.Encryption(), 0);
    EXPECT_EQ(record.NameEncoding(), 2);
}

TEST(SiteRecord, TextsAreCutToTheirFieldsAndNeverReadPastThem)
{
    TSiteRecord record;
    record.SetName(QString(60, 'n'));
    record.SetPassword(QString(25, 'p'));
    record.SetComment(QString(300, 'c'));
    EXPECT_EQ(record.Name(), QString(50, 'n'));
    EXPECT_EQ(record.Password(), QString(20, 'p'));
    EXPECT_EQ(record.Comment(), QString(255, 'c'));
    EXPECT_EQ(record.hostBytes[0], 0);

    record.SetName(u"kratko");
    EXPECT_EQ(record.nameBytes[7], 0); // the rest of the field is zeroed
    record.userBytes.fill('u');
    record.userBytes[0] = 200; // a corrupt length byte
    EXPECT_EQ(record.User(), QString(30, 'u'));
    EXPECT_EQ(record.Password(), QString(20, 'p'));
}

TEST_F(SiteListTest, FileSizesDecideTheNumberOfSites)
{
    TSiteList list;
    list.OpenSiteList(); // no file
    EXPECT_EQ(list.SiteCount(), 0);

    writeFile(QByteArray());
    list.OpenSiteList();
    EXPECT_EQ(list.SiteCount(), 0);

    writeFile(QByteArray(935, 'x'));
    list.OpenSiteList();
    EXPECT_EQ(list.SiteCount(), 0);

    TSiteRecord one = namedRecord("ena");
    writeFile(QByteArray(reinterpret_cast<const char*>(&one), 936) + "!");
    list.OpenSiteList();
    ASSERT_EQ(list.SiteCount(), 1);
    EXPECT_EQ(list.SiteTable(1).Name(), "ena");
    list.WriteSiteList();
    EXPECT_EQ(readFile().size(), 936); // the stray byte is dropped

    QByteArray many;
    for (int k = 1; k <= 257; ++k) {
        TSiteRecord record = namedRecord(QString::number(k));
        many.append(reinterpret_cast<const char*>(&record), 936);
    }
    writeFile(many + "tail");
    list.OpenSiteList();
    ASSERT_EQ(list.SiteCount(), 255);
    EXPECT_EQ(list.SiteTable(255).Name(), "255");
    EXPECT_EQ(list.AddSite(one), 0); // the table is full
    EXPECT_THROW(list.SiteTable(256), std::out_of_range);
}

TEST_F(SiteListTest, DeletingMovesLaterSitesDownAndTheLastDeleteLeavesAnEmptyFile)
{
    TSiteList list;
    for (const char* name : {"a", "b", "c"})
        list.AddSite(namedRecord(name));
    EXPECT_TRUE(list.SitesModified());
    list.DeleteSite(4); // no such site
    list.DeleteSite(0);
    EXPECT_EQ(list.SiteCount(), 3);
    list.DeleteSite(1);
    ASSERT_EQ(list.SiteCount(), 2);
    EXPECT_EQ(list.SiteTable(1).Name(), "b");
    EXPECT_EQ(list.SiteTable(2).Name(), "c");
    list.WriteSiteList();
    EXPECT_EQ(readFile().size(), 2 * 936);

    list.DeleteSite(2);
    list.DeleteSite(1);
    EXPECT_EQ(list.SiteCount(), 0);
    list.WriteSiteList();
    EXPECT_EQ(readFile(), QByteArray());
}

TEST_F(SiteListTest, WritingCreatesTheProgramDirectory)
{
    const QString nested = m_home.filePath("a/b");
    qputenv("KVADO_HOME", nested.toLocal8Bit());
    TSiteList list;
    list.AddSite(namedRecord("nov"));
    list.WriteSiteList();
    EXPECT_EQ(QFileInfo(nested + "/Naslovi.kvs").size(), 936);
}

TEST_F(SiteListTest, AFailedWriteKeepsTheOldFileAndNamesTheSystemError)
{
    TSiteList list;
    list.AddSite(namedRecord("prvi"));
    list.WriteSiteList();
    const QByteArray old = readFile();
    list.AddSite(namedRecord("drugi"));

    // A file size limit below two records makes the write fail half-way, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int code = 0;
    QString message;
    try {
        list.WriteSiteList();
    } catch (const EInOutError& error) {
        code = error.ErrorCode();
        message = error.Message();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(code, EFBIG);
    EXPECT_EQ(message,
              QString("I/O error %1: %2").arg(EFBIG).arg(QString::fromLocal8Bit(std::strerror(EFBIG))));
    EXPECT_EQ(readFile(), old);
    EXPECT_EQ(QDir(m_home.path()).entryList(QDir::Files), QStringList{"Naslovi.kvs"}); // no temporary left

    // A program directory that cannot exist: its parent is a file.
    qputenv("KVADO_HOME", (sitesFile() + "/sub").toLocal8Bit());
    EXPECT_THROW(list.WriteSiteList(), EInOutError);
}

TEST_F(SiteListTest, AFileNotReadWholeIsKeptAsABackupBeforeTheFirstWrite)
{
    // More records than the list holds: the ones beyond 255 must survive a write.
    QByteArray many;
    for (int k = 1; k <= 257; ++k) {
        TSiteRecord record = namedRecord(QString::number(k));
        many.append(reinterpret_cast<const char*>(&record), 936);
    }
    writeFile(many);
    TSiteList list;
    list.OpenSiteList();
    ASSERT_EQ(list.SiteCount(), 255);
    list.DeleteSite(1);
    list.WriteSiteList();
    EXPECT_EQ(readFile().size(), 254 * 936);
    QFile backup(sitesFile() + ".bak");
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    EXPECT_EQ(backup.readAll(), many);
    backup.close();
    list.WriteSiteList(); // the copy is made once, not overwritten by later writes
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    EXPECT_EQ(backup.readAll(), many);

    // Not a regular file (a FIFO would block the read): nothing is read, nothing blocks,
    // and the first write keeps it aside.
    ASSERT_TRUE(QFile::remove(sitesFile()) && QFile::remove(sitesFile() + ".bak"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(sitesFile()).constData(), 0600), 0);
    TSiteList fromFifo;
    fromFifo.OpenSiteList();
    EXPECT_EQ(fromFifo.SiteCount(), 0);
    fromFifo.AddSite(namedRecord("nov"));
    fromFifo.WriteSiteList();
    EXPECT_EQ(readFile().size(), 936);
    EXPECT_TRUE(QFileInfo(sitesFile() + ".bak").exists());
}

TEST_F(SiteListTest, ALinkedFileIsWrittenWhereTheLinkPointsAndAReadOnlyOneIsNotReplaced)
{
    ASSERT_TRUE(QDir(m_home.path()).mkdir("real"));
    const QString target = m_home.filePath("real/sites.bin");
    ASSERT_TRUE(QFile::link(target, sitesFile()));
    TSiteList list;
    list.OpenSiteList();
    list.AddSite(namedRecord("prek povezave"));
    list.WriteSiteList();
    EXPECT_TRUE(QFileInfo(sitesFile()).isSymLink()) << "the link stays";
    EXPECT_EQ(QFileInfo(target).size(), 936);

    if (::geteuid() != 0) { // the superuser may write anything
        ASSERT_TRUE(QFile::remove(sitesFile()));
        list.WriteSiteList();
        ASSERT_EQ(::chmod(QFile::encodeName(sitesFile()).constData(), 0444), 0);
        list.AddSite(namedRecord("drugi"));
        EXPECT_THROW(list.WriteSiteList(), EInOutError);
        EXPECT_EQ(readFile().size(), 936) << "a file the user made read-only is left alone";
    }
}
