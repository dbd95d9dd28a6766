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
