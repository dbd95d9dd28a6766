#include "sites/initext.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {
QSettings::SettingsMap readBack(const QTemporaryDir& dir, const QByteArray& text, const QString& name)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    QSettings settings(path, QSettings::IniFormat);
    QSettings::SettingsMap values;
    for (const QString& key : settings.allKeys())
        values.insert(key, settings.value(key));
    return values;
}
} // namespace

TEST(IniText, QSettingsReadsBackEveryWrittenTextExactly)
{
    QTemporaryDir dir;
    const QString texts[] = {
        "",
        " lead and trail ",
        "a,b",
        "a;b",
        "x=y",
        "#hash",
        "a\"b\\c",
        "\t\n\r",
        "\x01"
        "1bx",
        "@at",
        "@@twice",
        "@Rect(1 2 3 4)",
        QString::fromUtf8("čšž ČŠŽ"),
        QString::fromUtf8("\U0001F600"),
    };
    TIniText ini;
    int n = 0;
    for (const QString& text : texts) {
        ini.SetValue("", QString("k%1").arg(n), text);
        ini.SetValue("Zvoki", QString::number(n), text);
        ++n;
    }
    const auto values = readBack(dir, ini.Text(), "a.ini");
    ASSERT_EQ(values.size(), 2 * n);
    n = 0;
    for (const QString& text : texts) {
        EXPECT_EQ(values.value(QString("k%1").arg(n)).typeId(), QMetaType::QString) << n;
        EXPECT_EQ(values.value(QString("k%1").arg(n)).toString(), text) << n;
        EXPECT_EQ(values.value(QString("Zvoki/%1").arg(n)).toString(), text) << n;
        ++n;
    }
}

TEST(IniText, OtherLinesAreKeptAndNewKeysJoinTheirSections)
{
    const QByteArray old = "; comment\r\n"
                           "[General]\r\n"
                           "ShrNast=1\r\n"
                           "Ozadje=junk\r\n"
                           "\r\n"
                           "[Barve]\r\n"
                           "Ukaz=0x10\r\n"
                           "Ukaz = 0x20\r\n";
    TIniText ini(old);
    ini.SetValue("", "ShrNast", "0");
    ini.SetValue("", "Pot", "/p");
    ini.SetValue("Barve", "Ukaz", "5");
    ini.SetValue("PozOkna", "Max", "1");
    EXPECT_EQ(ini.Text(), QByteArray("; comment\n"
                                     "[General]\n"
                                     "ShrNast=\"0\"\n"
                                     "Ozadje=junk\n"
                                     "Pot=\"/p\"\n"
                                     "\n"
                                     "[Barve]\n"
                                     "Ukaz=\"5\"\n"
                                     "Ukaz=\"5\"\n"
                                     "\n"
                                     "[PozOkna]\n"
                                     "Max=\"1\"\n"));
}

TEST(IniText, AKeyInARepeatedSectionReadsBackAsWritten)
{
    // A hand-edited file with the section twice: the reader joins them and the last line wins.
    TIniText ini("[General]\nTimeOut=1\n[Barve]\nUkaz=2\n[General]\nTimeOut=2\n");
    ini.SetValue("", "TimeOut", "9");
    QTemporaryDir dir;
    const QSettings::SettingsMap values = readBack(dir, ini.Text(), "repeated.ini");
    EXPECT_EQ(values.value("TimeOut").toString(), "9");
    EXPECT_EQ(values.value("Barve/Ukaz").toString(), "2");
}

// The writer and the reader share one reading of the lines: keys written are
// read back, and the keys a file had keep their values, whatever bytes are
// around them (an unbalanced quote, an unclosed header, a CR alone, a value
// ending in a backslash, and random bytes of the characters that matter).
TEST(IniText, WrittenKeysReadBackWhateverTheFileHolds)
{
    QList<QByteArray> files = {"a\"\nK1=old\n", "[\nK1=old\n", "x=1\rK1=old\r[Zvoki]\r1=s\r",
                               "Foo=C:\\\nK1=old\n", "[General]\nFoo=\"C:\\\nK1=old\n[Zvoki]\n1=s"};
    const QByteArray alphabet = "[]=\"\\\r\n;@ K1Zvoki";
    quint32 seed = 22;
    for (int n = 0; n < 300; ++n) {
        QByteArray random;
        for (int i = 0; i < 60; ++i) {
            seed = seed * 1103515245u + 12345u; // the same bytes in every run
            random += alphabet[(seed >> 16) % alphabet.size()];
        }
        files << random;
    }
    const QStringList groups{"", "Zvoki", "K1"};
    const QStringList keys{"K1", "1", "Foo", "x"};
    for (const QByteArray& file : files) {
        SCOPED_TRACE(file.toStdString());
        const TIniText before(file);
        TIniText ini(file);
        ini.SetValue("", "Pot", "/usr/bin/kvado");
        ini.SetValue("Zvoki", "2", "a\"b\\");
        ini.SetValue("PozOkna", "Max", "1");
        const TIniText after(ini.Text());
        EXPECT_EQ(after.Value("", "Pot"), "/usr/bin/kvado");
        EXPECT_EQ(after.Value("Zvoki", "2"), "a\"b\\");
        EXPECT_EQ(after.Value("PozOkna", "Max"), "1");
        for (const QString& group : groups)
            for (const QString& key : keys)
                EXPECT_EQ(after.Value(group, key), before.Value(group, key))
                    << group.toStdString() << "/" << key.toStdString();
    }
}
