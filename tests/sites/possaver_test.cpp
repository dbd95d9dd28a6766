#include "core/exception.h"
#include "sites/possaver.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

class PosSaverTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        qputenv("KVADO_HOME", m_home.path().toLocal8Bit());
    }

    QString iniPath() const { return m_home.filePath("Kvado.ini"); }

    void writeIni(const QByteArray& text) const
    {
        QFile file(iniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QByteArray readIni() const
    {
        QFile file(iniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    TSettings load() const
    {
        TSettings settings;
        TPosSaver().LoadSettings(settings);
        return settings;
    }

    QTemporaryDir m_home;
};

QFont font(const QString& family, int points, bool bold, bool italic, bool underline = false)
{
    QFont f(family, points);
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    return f;
}

} // namespace

TEST_F(PosSaverTest, AnEmptyStoreGivesEveryDefault)
{
    const TSettings s = load();
    EXPECT_TRUE(s.ShrNast);
    EXPECT_EQ(s.Pot, "");
    EXPECT_FALSE(s.DANE);
    EXPECT_EQ(s.ZNaslov, "");
    EXPECT_EQ(s.ZUporIme, "");
    EXPECT_EQ(s.ZUporGeslo, "");
    EXPECT_EQ(s.ZVrata, "21");
    EXPECT_EQ(s.Pisanje, 1024);
    EXPECT_EQ(s.Branje, 1024);
    EXPECT_EQ(s.FTPMapa, "");
    EXPECT_EQ(s.LokMapa, QDir::homePath());
    EXPECT_EQ(s.TipPre, 0);
    EXPECT_EQ(s.TipPri, 0);
    EXPECT_TRUE(s.PrivGeslo.endsWith("@example.org"));
    EXPECT_EQ(s.TipFTP, 0);
    EXPECT_EQ(s.Dnevnik, "Dnevnik.kvl");
    EXPECT_TRUE(s.PrikNam);
    EXPECT_EQ(s.TimeOut, 5);
    EXPECT_TRUE(s.Ozadje);
    EXPECT_EQ(s.TPogledaLok, 4);
    EXPECT_EQ(s.Zvok, 2);
    EXPECT_EQ(s.Jezik, 0);
    EXPECT_EQ(s.PozOkna.Zgoraj, 138);
    EXPECT_EQ(s.PozOkna.Levo, 175);
    EXPECT_EQ(s.PozOkna.Sirina, 593);
    EXPECT_EQ(s.PozOkna.Visina, 354);
    EXPECT_EQ(s.PozOkna.WinSplit1, 89);
    EXPECT_EQ(s.PozOkna.WinSplit2, 200);
    EXPECT_FALSE(s.PozOkna.Max);
    EXPECT_EQ(s.Pisava.Ime, "Technical");
    EXPECT_EQ(s.Pisava.Velikost, 11);
    EXPECT_EQ(s.Pisava.Barva, 0);
    EXPECT_EQ(s.Pisava.Stil, "");
    EXPECT_EQ(s.Barve.Ukaz, 0x4080FF);
    EXPECT_EQ(s.Barve.Stanje, 0xFF8000);
    EXPECT_EQ(s.Barve.Normal, 0x408080);
    EXPECT_EQ(s.Zvoki, (QStringList{"thudclap.wav", "orchestr.wav"}));
}

TEST_F(PosSaverTest, EveryKeyRoundTripsAsAString)
{
    TSettings saved;
    saved.DANE = true;
    saved.ZNaslov = QString::fromUtf8(" ftp.šola.si ");
    saved.ZUporIme = "janez, novak";
    saved.ZUporGeslo = "@geslo;=";
    saved.ZVrata = "2121";
    saved.Pisanje = 4096;
    saved.Branje = 8192;
    saved.FTPMapa = "/pub";
    saved.LokMapa = "/not/saved/from/the/field";
    saved.TipPre = 3;
    saved.TipPri = 1;
    saved.PrivGeslo = "nekdo@example.org";
    saved.TipFTP = 2;
    saved.Dnevnik = "seja.kvl";
    saved.PrikNam = false;
    saved.TimeOut = 0;
    saved.Ozadje = false;
    saved.TPogledaLok = 3;
    saved.Zvok = 0;
    saved.Jezik = 2;
    saved.PodatkovnaPovezava = 1;
    saved.KodiranjeImen = 2;
    saved.Sifriranje = 3;
    saved.Barve = {0x010203, 0x040506, clWindowText};
    saved.Zvoki = {"a.wav", QString::fromUtf8("č b.wav")};
    TWindowState window;
    window.bounds = QRect(-4, 7, 800, 600);
    window.maximised = true;
    window.logHeight = 2;
    window.localWidth = 1;
    window.localListFont = font("Courier", 14, true, true);
    window.localListFontColour = 0x00FF00;
    TPosSaver().SaveSettings(saved, window);

    QSettings raw(iniPath(), QSettings::IniFormat);
    for (const QString& key : raw.allKeys())
        EXPECT_EQ(raw.value(key).typeId(), QMetaType::QString) << key.toStdString();
    EXPECT_EQ(raw.value("Barve/Ukaz").toString(), "66051");         // decimal text
    EXPECT_EQ(raw.value("Barve/Normal").toString(), "-2147483640"); // a system colour, signed
    EXPECT_EQ(raw.value("DANE").toString(), "1");
    EXPECT_EQ(raw.value("PrikNam").toString(), "0");

    const TSettings s = load();
    EXPECT_TRUE(s.ShrNast);
    EXPECT_EQ(s.Pot, QCoreApplication::applicationFilePath());
    EXPECT_TRUE(s.DANE);
    EXPECT_EQ(s.ZNaslov, saved.ZNaslov);
    EXPECT_EQ(s.ZUporIme, saved.ZUporIme);
    EXPECT_EQ(s.ZUporGeslo, saved.ZUporGeslo);
    EXPECT_EQ(s.ZVrata, "2121");
    EXPECT_EQ(s.Pisanje, 4096);
    EXPECT_EQ(s.Branje, 8192);
    EXPECT_EQ(s.FTPMapa, "/pub");
    EXPECT_EQ(s.LokMapa, QDir::currentPath());
    EXPECT_EQ(s.TipPre, 3);
    EXPECT_EQ(s.TipPri, 1);
    EXPECT_EQ(s.PrivGeslo, "nekdo@example.org");
    EXPECT_EQ(s.TipFTP, 2);
    EXPECT_EQ(s.Dnevnik, "seja.kvl");
    EXPECT_FALSE(s.PrikNam);
    EXPECT_EQ(s.TimeOut, 0);
    EXPECT_FALSE(s.Ozadje);
    EXPECT_EQ(s.TPogledaLok, 3);
    EXPECT_EQ(s.Zvok, 0);
    EXPECT_EQ(s.Jezik, 2);
    EXPECT_EQ(s.PodatkovnaPovezava, 1);
    EXPECT_EQ(s.KodiranjeImen, 2);
    EXPECT_EQ(s.Sifriranje, 3);
    EXPECT_EQ(s.PozOkna.Zgoraj, 7);
    EXPECT_EQ(s.PozOkna.Levo, -4);
    EXPECT_EQ(s.PozOkna.Sirina, 800);
    EXPECT_EQ(s.PozOkna.Visina, 600);
    EXPECT_EQ(s.PozOkna.WinSplit1, 2);
    EXPECT_EQ(s.PozOkna.WinSplit2, 1);
    EXPECT_TRUE(s.PozOkna.Max);
    EXPECT_EQ(s.Pisava.Ime, "Courier");
    EXPECT_EQ(s.Pisava.Velikost, 14);
    EXPECT_EQ(s.Pisava.Barva, 0x00FF00);
    EXPECT_EQ(s.Pisava.Stil, "b,i");
    EXPECT_EQ(s.Barve.Ukaz, 0x010203);
    EXPECT_EQ(s.Barve.Stanje, 0x040506);
    EXPECT_EQ(s.Barve.Normal, clWindowText);
    EXPECT_EQ(s.Zvoki, saved.Zvoki);
}

TEST_F(PosSaverTest, NumbersHexadecimalAndJunkValues)
{
    writeIni("[General]\n"
             "TimeOut=0x1F\n"
             "Pisanje=0x\n"   // two characters: not hexadecimal, so the default
             "Branje=12abc\n" // strict value that is no whole number: its default, loading goes on
             "TipPre=0X2\n"
             "TipPri=300\n" // does not fit a byte
             "Zvok=-1\n"
             "Jezik=\"2\"\n"
             "DANE=0xZZ\n"
             "PrikNam=7\n"
             "Ozadje=0\n"
             "PodatkovnaPovezava=2\n"   // no such data connection: active
             "KodiranjeImen=3\n"        // no such encoding: code page 1250
             "Sifriranje=4\n"           // no such encryption: none
             "ZNaslov=@Rect(1 2 3 4)\n" // not a plain string
             "ZUporIme=" +
             QByteArray(300, 'u') +
             "\n"
             "[Pisava]\n"
             "Velikost=\n"
             "Barva=0xFFFFFFFF\n"
             "Stil=b,i\n" // unquoted, as someone might type it
             "[Barve]\n"
             "Ukaz=0x4080ff\n"
             "Normal=olive\n"
             "[Zvoki]\n"
             "2=ding.wav\n");
    const TSettings s = load();
    EXPECT_EQ(s.TimeOut, 31);
    EXPECT_EQ(s.PodatkovnaPovezava, 0);
    EXPECT_EQ(s.KodiranjeImen, 0);
    EXPECT_EQ(s.Sifriranje, 0);
    EXPECT_EQ(s.Pisanje, 1024);
    EXPECT_EQ(s.Branje, 1024);
    EXPECT_EQ(s.TipPre, 2);
    EXPECT_EQ(s.TipPri, 0);
    EXPECT_EQ(s.Zvok, 2);
    EXPECT_EQ(s.Jezik, 2);
    EXPECT_FALSE(s.DANE);
    EXPECT_TRUE(s.PrikNam);
    EXPECT_FALSE(s.Ozadje);
    EXPECT_EQ(s.ZNaslov, "");
    EXPECT_EQ(s.ZUporIme, QString(255, 'u'));
    EXPECT_EQ(s.Pisava.Velikost, 11);
    EXPECT_EQ(s.Pisava.Barva, 0xFFFFFFFFu);
    EXPECT_EQ(s.Pisava.Stil, "b,i");
    EXPECT_EQ(s.Barve.Ukaz, 0x4080FF);
    EXPECT_EQ(s.Barve.Normal, 0x408080);
    EXPECT_EQ(s.Zvoki, (QStringList{"thudclap.wav", "ding.wav"}));
}

// Simultaneous transfers: what is saved reads back; a stored text reads clamped to 0..10, junk as 0.
TEST_F(PosSaverTest, TransfersRoundTripAndReadClamped)
{
    for (quint8 count : {0, 1, 4, 10}) {
        TSettings saved;
        saved.Prenosi = count;
        TPosSaver().SaveSettings(saved, TWindowState());
        // The file's own line (a QSettings of the same path may answer from its cache).
        EXPECT_TRUE(readIni().split('\n').contains("Prenosi=\"" + QByteArray::number(count) + "\""))
            << readIni().toStdString();
        EXPECT_EQ(load().Prenosi, count);
    }
    const struct {
        QByteArray stored;
        int expected;
    } cases[] = {
        {"", 0},
        {"Prenosi=\n", 0},
        {"Prenosi=abc\n", 0},
        {"Prenosi=-3\n", 0},
        {"Prenosi=7\n", 7},
        {"Prenosi=0x3\n", 3},
        {"Prenosi=11\n", 10},
        {"Prenosi=99999\n", 10},
    };
    for (const auto& c : cases) {
        writeIni("[General]\n" + c.stored);
        EXPECT_EQ(load().Prenosi, c.expected) << c.stored.toStdString();
    }
}

// Notifications default to on and keep what was saved; a window size in the store marks a stored placement.
TEST_F(PosSaverTest, NotificationsAndWhetherAPlacementWasStored)
{
    const struct {
        QByteArray stored;
        bool obvestila;
        bool placement;
    } cases[] = {
        {"", true, false},
        {"[General]\nObvestila=0\n", false, false},
        {"[General]\nObvestila=1\n[PozOkna]\nSirina=800\n", true, true},
        {"[PozOkna]\nLevo=5\n", true, false}, // no width: the first start's fitted size
    };
    for (const auto& c : cases) {
        writeIni(c.stored);
        const TSettings s = load();
        EXPECT_EQ(s.Obvestila, c.obvestila) << c.stored.toStdString();
        EXPECT_EQ(s.PozOkna.Stored, c.placement) << c.stored.toStdString();
    }
    TSettings off;
    off.Obvestila = false;
    TPosSaver().SaveSettings(off, TWindowState());
    EXPECT_FALSE(load().Obvestila);
    EXPECT_TRUE(load().PozOkna.Stored) << "a saved window is placed as saved at the next start";
}

TEST(FontStyle, EncodesExactlyBoldItalicOrBothAndDecodesOrLeavesAlone)
{
    EXPECT_EQ(EncodeFontStyle(font("A", 9, true, false)), "b");
    EXPECT_EQ(EncodeFontStyle(font("A", 9, false, true)), "i");
    EXPECT_EQ(EncodeFontStyle(font("A", 9, true, true)), "b,i");
    EXPECT_EQ(EncodeFontStyle(font("A", 9, false, false)), "");
    EXPECT_EQ(EncodeFontStyle(font("A", 9, true, false, true)), ""); // underlined
    QFont struck = font("A", 9, true, true);
    struck.setStrikeOut(true);
    EXPECT_EQ(EncodeFontStyle(struck), "");

    QFont f = font("A", 9, false, false, true);
    DecodeFontStyle("b,i", f);
    EXPECT_TRUE(f.bold() && f.italic() && !f.underline());
    DecodeFontStyle("b", f);
    EXPECT_TRUE(f.bold() && !f.italic());
    DecodeFontStyle("i", f);
    EXPECT_TRUE(!f.bold() && f.italic());
    for (const char* other : {"", "B", "bi", "u"}) {
        QFont kept = font("A", 9, true, false, true);
        DecodeFontStyle(other, kept);
        EXPECT_TRUE(kept.bold() && !kept.italic() && kept.underline()) << other;
    }
}

TEST_F(PosSaverTest, WithSaveOnExitOffOnlyPathAndFlagAreWritten)
{
    writeIni("[General]\nZNaslov=stari.strežnik\nTimeOut=0x10\n[PozOkna]\nZgoraj=11\n");
    TSettings s;
    s.ShrNast = false;
    s.ZNaslov = "nov";
    s.TimeOut = 99;
    TWindowState window;
    window.bounds = QRect(1, 2, 3, 4);
    TPosSaver().SaveSettings(s, window);

    QSettings raw(iniPath(), QSettings::IniFormat);
    EXPECT_EQ(raw.allKeys().size(), 5);
    EXPECT_EQ(raw.value("ShrNast").toString(), "0");
    EXPECT_EQ(raw.value("Pot").toString(), QCoreApplication::applicationFilePath());
    EXPECT_EQ(raw.value("ZNaslov").toString(), QString::fromUtf8("stari.strežnik"));
    EXPECT_EQ(raw.value("TimeOut").toString(), "0x10");
    EXPECT_EQ(raw.value("PozOkna/Zgoraj").toString(), "11");

    QFile::remove(iniPath());
    TPosSaver().SaveSettings(s, window);
    QSettings fresh(iniPath(), QSettings::IniFormat);
    EXPECT_EQ(fresh.allKeys(), (QStringList{"Pot", "ShrNast"}));
}

TEST_F(PosSaverTest, WriteFailuresAreReportedAndKeepTheOldFile)
{
    TSettings s;
    TWindowState window;
    TPosSaver().SaveSettings(s, window);
    const QByteArray old = readIni();
    ASSERT_FALSE(old.isEmpty());

    s.ZNaslov = QString(4000, 'x'); // more than the size limit below
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 2000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString message;
    try {
        TPosSaver().SaveSettings(s, window);
    } catch (const Exception& error) {
        message = error.Message();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(message, "Failed to set data for '" + iniPath() + "'");
    EXPECT_EQ(readIni(), old);

    const QString blocked = m_home.filePath("Kvado.ini/sub"); // under a file: cannot be created
    qputenv("KVADO_HOME", blocked.toLocal8Bit());
    try {
        TPosSaver().SaveSettings(s, window);
        ADD_FAILURE() << "no exception";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "Failed to create key " + blocked + "/Kvado.ini");
    }

    // A FIFO in the file's place would block the read of the old content: refused at once.
    QTemporaryDir fifoHome;
    qputenv("KVADO_HOME", fifoHome.path().toLocal8Bit());
    const QString fifo = fifoHome.filePath("Kvado.ini");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    try {
        TPosSaver().SaveSettings(s, window);
        ADD_FAILURE() << "no exception";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "Failed to create key " + fifo);
    }
}

// A hand-edited file with lines another reader would continue or misplace: what
// Kvado writes at closing is what it reads at the next start.
TEST_F(PosSaverTest, HandEditedLinesNeverHideTheValuesWritten)
{
    for (const QByteArray& junk : {QByteArray("a\""), QByteArray("["), QByteArray("x=1\rTimeOut=3"),
                                   QByteArray("Foo=C:\\"), QByteArray("[Zvoki\nFoo=\"C:\\")}) {
        SCOPED_TRACE(junk.toStdString());
        writeIni("[General]\n" + junk + "\n");
        TSettings saved;
        saved.TimeOut = 42;
        saved.ZNaslov = "ftp.example.org";
        saved.Prenosi = 4;
        saved.Zvoki[0] = "ding.wav";
        TPosSaver().SaveSettings(saved, TWindowState());
        EXPECT_TRUE(readIni().contains(junk.left(junk.indexOf('\n')).split('\r').first()))
            << "hand-written lines stay";
        const TSettings loaded = load();
        EXPECT_EQ(loaded.TimeOut, 42);
        EXPECT_EQ(loaded.ZNaslov, "ftp.example.org");
        EXPECT_EQ(loaded.Prenosi, 4);
        EXPECT_EQ(loaded.Zvoki[0], "ding.wav");
    }
}
