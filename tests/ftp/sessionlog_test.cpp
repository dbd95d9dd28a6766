// The session log writer: the KvadoUkazi line, the secrecy of USER and PASS,
// escaped control characters, the view-only lines, and the log file with its
// banners, time stamps, code page 1250 and CR LF.
#include "ftp/sessionlog.h"

#include "core/codepage.h"
#include "core/exception.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
struct Shown {
    TLogColour colour;
    QString line;
    bool operator==(const Shown& other) const = default;
};

struct Recorder {
    std::vector<Shown> lines;
    void attach(TSessionLog& log)
    {
        log.OnLine = [this](TSessionLog*, TLogColour colour, const QString& line) {
            lines.push_back({colour, line});
        };
    }
};

const QString kCommand = QStringLiteral("Kvado ukaz:     ");
const QString kStatus = QStringLiteral("Kvado stanje:  ");

QStringList fileLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n")); // every line ends with CR LF
    QStringList lines = FromCp1250(bytes).split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

// The locale's short date and long time, e.g. "7 Dec 2026 19:53:11" or "12/7/26 7:53:11 PM".
const QString kStamp = QStringLiteral("\\S.* \\d?\\d:\\d\\d:\\d\\d( ?[AaPp][Mm])?");
} // namespace

TEST(SessionLog, BuildsCommandAndStatusLinesWithPrefixesFromTheWords)
{
    TSessionLog log;
    Recorder shown;
    shown.attach(log);
    log.ReadPrefixes([](const QString& key) {
        return key == "@idUkaz" ? kCommand : key == "@idStan" ? kStatus : QString();
    });

    EXPECT_EQ(log.KvadoUkazi(lkCommand, "RETR", "a.zip"), kCommand + "RETR a.zip");
    EXPECT_EQ(log.KvadoUkazi(lkStatus, "Prikazujem vsebino mape...", ""),
              kStatus + "Prikazujem vsebino mape... ");
    EXPECT_EQ(log.KvadoUkazi(2, "ignored", "x"), "");
    log.SetCommandPrefix("Kvado command: "); // a change of language: later lines only
    log.KvadoUkazi(lkCommand, "LIST", "");

    const std::vector<Shown> expected{{lcCommand, kCommand + "RETR a.zip"},
                                      {lcStatus, kStatus + "Prikazujem vsebino mape... "},
                                      {lcCommand, "Kvado command: LIST "}};
    EXPECT_EQ(shown.lines, expected);

    // The line is cut to 255 characters.
    EXPECT_EQ(log.KvadoUkazi(lkCommand, "STOR", QString(400, 'a')).size(), 255);
}

TEST(SessionLog, NeverShowsUserOrPasswordAndEscapesControlCharacters)
{
    TSessionLog log;
    Recorder shown;
    shown.attach(log);
    log.SetCommandPrefix("> ");
    EXPECT_EQ(log.KvadoUkazi(lkCommand, "USER", "secret-name"), "> USER ");
    EXPECT_EQ(log.KvadoUkazi(lkCommand, "pass", "secret-password"), "> pass ");
    EXPECT_EQ(log.KvadoUkazi(lkCommand, "RETR", "evil\r\nname\x01"), "> RETR evil\\x0D\\x0Aname\\x01");

    log.Reply("220 Hello\r\x7f");
    log.ViewOnly("********* Konec dela na FTP strežniku host *********");
    ASSERT_EQ(shown.lines.size(), 5u);
    EXPECT_EQ(shown.lines[3], (Shown{lcNormal, QString(23, ' ') + "220 Hello\\x0D\\x7F"}));
    EXPECT_EQ(shown.lines[4].colour, lcNormal);
}

TEST(SessionLog, FileGetsBannersStampedLinesInCodePage1250AndNeverReplies)
{
    QTemporaryDir dir;
    TSessionLog log;
    log.SetProgramDirectory(dir.path());
    log.SetLogFileName("Dnevnik.kvl");
    log.SetStatusPrefix(kStatus);
    log.SetCommandPrefix(kCommand);
    const QString path = dir.filePath("Dnevnik.kvl");
    EXPECT_EQ(log.LogFilePath(), path);

    log.KvadoUkazi(lkCommand, "LIST", ""); // logging off: no file
    EXPECT_FALSE(QFile::exists(path));

    log.OdpriDnevnik();
    ASSERT_TRUE(log.DnevnikOdprt());
    log.KvadoUkazi(lkStatus, "Datoteka uspešno prenešena.", "");
    log.KvadoUkazi(lkCommand, "PASS", "geslo");
    log.Reply("230 Logged in");
    log.ViewOnly("not in the file");
    log.CloseWithSwitchBanner();
    EXPECT_FALSE(log.DnevnikOdprt());

    log.OdpriDnevnik();
    log.KvadoUkazi(lkCommand, "CWD", "/pub");
    log.CloseWithExitBanner();

    QFile raw(path);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QByteArray bytes = raw.readAll();
    EXPECT_TRUE(bytes.contains("Datoteka uspe\x9Ano prene\x9A"
                               "ena. ")); // code page 1250, not UTF-8
    EXPECT_TRUE(bytes.contains("kon\xE8"
                               "ano"));

    const QStringList lines = fileLines(path);
    ASSERT_EQ(lines.size(), 9) << lines.join("\n").toStdString();
    auto matches = [](const QString& line, const QString& pattern) {
        return QRegularExpression("^" + pattern + "$").match(line).hasMatch();
    };
    EXPECT_TRUE(matches(lines[0], "\\*\\*\\*\\*    Kvado dnevnik ustvarjen " + kStamp + "    \\*\\*\\*\\*"))
        << lines[0].toStdString();
    EXPECT_TRUE(matches(
        lines[1], QRegularExpression::escape(kStatus + "Datoteka uspešno prenešena.   <----  ") + kStamp))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith(kCommand + "PASS   <----  "));
    EXPECT_EQ(lines[3], QString(45, '-'));
    EXPECT_TRUE(matches(lines[4], "Delo v Kvado končano " + kStamp)) << lines[4].toStdString();
    EXPECT_EQ(lines[5], QString(45, '-'));
    EXPECT_TRUE(matches(lines[6], "\\*\\*\\*\\*    Kvado dnevnik nadaljevan " + kStamp + "    \\*\\*\\*\\*"));
    EXPECT_TRUE(lines[7].startsWith(kCommand + "CWD /pub  <----  "));
    EXPECT_TRUE(matches(lines[8], "----    Delo v Kvado končano " + kStamp + "    ----"))
        << lines[8].toStdString();
}

TEST(SessionLog, OpenFailuresAreSilentButTheExitBannerReportsAWriteError)
{
    TSessionLog log;
    log.SetLogFileName("/nonexistent-folder/Dnevnik.kvl");
    log.OdpriDnevnik();
    EXPECT_FALSE(log.DnevnikOdprt());
    EXPECT_NO_THROW(log.KvadoUkazi(lkCommand, "LIST", ""));
    EXPECT_NO_THROW(log.CloseWithExitBanner()); // nothing open, nothing to report

    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full to provoke a write error";
    log.SetLogFileName("/dev/full");
    log.OdpriDnevnik(); // the banner is lost silently
    ASSERT_TRUE(log.DnevnikOdprt());
    EXPECT_NO_THROW(log.KvadoUkazi(lkCommand, "LIST", ""));
    try {
        log.CloseWithExitBanner();
        ADD_FAILURE() << "no exception for a full disk";
    } catch (const Exception& e) {
        EXPECT_TRUE(e.Message().startsWith("I/O error 28")) << e.Message().toStdString();
    }
    EXPECT_FALSE(log.DnevnikOdprt());
}

// Unicode controls that would split a line or reverse how it reads are shown
// escaped, in the view and in the file; everything else stays as it is.
TEST(SessionLog, UnicodeControlsAreEscapedInTheViewAndTheFile)
{
    const std::pair<QString, QString> cases[] = {
        {QString::fromUtf8("txt.\u202Eexe"), "txt.\\u202Eexe"},      // right-to-left override
        {QString::fromUtf8("a\u2028b\u2029c"), "a\\u2028b\\u2029c"}, // line and paragraph separators
        {QString::fromUtf8("a\u0085b\u009Bc"), "a\\x85b\\x9Bc"},     // C1 controls (next line, CSI)
        {QString::fromUtf8("\u200F\u2066\u2069\u061C"), "\\u200F\\u2066\\u2069\\u061C"},
        {QString::fromUtf8("čšž \u00A0€ \U0001F600"), QString::fromUtf8("čšž \u00A0€ \U0001F600")},
    };
    for (const auto& [name, shown] : cases)
        EXPECT_EQ(TSessionLog::EscapeControls(name), shown) << shown.toStdString();

    QTemporaryDir dir;
    TSessionLog log;
    Recorder view;
    view.attach(log);
    log.SetProgramDirectory(dir.path());
    log.SetLogFileName("Dnevnik.kvl");
    log.SetCommandPrefix("> ");
    log.OdpriDnevnik();
    log.KvadoUkazi(lkCommand, "RETR", QString::fromUtf8("txt.\u202Eexe"));
    log.Reply(QString::fromUtf8("550 txt.\u202Eexe\u2028forged"));
    log.CloseWithExitBanner();
    EXPECT_EQ(view.lines.back().line, QString(23, ' ') + "550 txt.\\u202Eexe\\u2028forged");
    EXPECT_TRUE(fileLines(dir.filePath("Dnevnik.kvl")).join("\n").contains("> RETR txt.\\u202Eexe"));
}
