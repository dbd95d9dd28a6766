#include "ftp/sessionlog.h"

#include "core/codepage.h"
#include "core/exception.h"

#include <QDir>
#include <QLocale>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>

namespace {
constexpr qsizetype kMaxText = 255;
constexpr int kReplyIndent = 23;
const QString kStampSeparator = QStringLiteral("  <----  ");
const QString kHyphens = QString(45, QLatin1Char('-'));
const QString kCrLf = QStringLiteral("\r\n");

bool isSecretCommand(const QString& text)
{
    return text.compare(QLatin1String("USER"), Qt::CaseInsensitive) == 0 ||
           text.compare(QLatin1String("PASS"), Qt::CaseInsensitive) == 0;
}
} // namespace

TSessionLog::~TSessionLog()
{
    m_file.close();
}

void TSessionLog::SetCommandPrefix(const QString& prefix)
{
    m_commandPrefix = prefix.left(kMaxText);
}

void TSessionLog::SetStatusPrefix(const QString& prefix)
{
    m_statusPrefix = prefix.left(kMaxText);
}

void TSessionLog::ReadPrefixes(const TWordLookup& getWord)
{
    SetCommandPrefix(getWord(QStringLiteral("@idUkaz")));
    SetStatusPrefix(getWord(QStringLiteral("@idStan")));
}

QString TSessionLog::LogFilePath() const
{
    if (m_logFileName.isEmpty() || QDir::isAbsolutePath(m_logFileName))
        return m_logFileName;
    return QDir(m_programDirectory).filePath(m_logFileName);
}

QString TSessionLog::KvadoUkazi(quint8 kind, const QString& text, const QString& argument)
{
    if (kind != lkCommand && kind != lkStatus)
        return QString();
    const QString& prefix = kind == lkCommand ? m_commandPrefix : m_statusPrefix;
    const QString shownArgument = kind == lkCommand && isSecretCommand(text) ? QString() : argument;
    const QString line = EscapeControls((prefix + text + QLatin1Char(' ') + shownArgument).left(kMaxText));
    show(kind == lkCommand ? lcCommand : lcStatus, line);
    if (DnevnikOdprt())
        writeLine(line + kStampSeparator + TimeStamp(QDateTime::currentDateTime()));
    return line;
}

void TSessionLog::Reply(const QString& line)
{
    ViewOnly(QString(kReplyIndent, QLatin1Char(' ')) + line);
}

void TSessionLog::ViewOnly(const QString& line)
{
    show(lcNormal, EscapeControls(line));
}

void TSessionLog::OdpriDnevnik()
{
    m_file.close();
    m_file.setFileName(LogFilePath());
    const bool exists = m_file.exists();
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QString word = exists ? QStringLiteral("nadaljevan") : QStringLiteral("ustvarjen");
    writeLine(QStringLiteral("****    Kvado dnevnik ") + word + QLatin1Char(' ') +
              TimeStamp(QDateTime::currentDateTime()) + QStringLiteral("    ****"));
}

void TSessionLog::CloseWithExitBanner()
{
    if (!DnevnikOdprt())
        return;
    errno = 0;
    const bool written = writeLine(QStringLiteral("----    Delo v Kvado končano ") +
                                   TimeStamp(QDateTime::currentDateTime()) + QStringLiteral("    ----"));
    const int error = errno;
    m_file.close();
    if (!written)
        throw Exception(
            QStringLiteral("I/O error %1 (%2)").arg(error).arg(QString::fromLocal8Bit(strerror(error))));
}

void TSessionLog::CloseWithSwitchBanner()
{
    if (!DnevnikOdprt())
        return;
    writeLine(kHyphens + kCrLf + QStringLiteral("Delo v Kvado končano ") +
              TimeStamp(QDateTime::currentDateTime()) + kCrLf + kHyphens);
    m_file.close();
}

QString TSessionLog::TimeStamp(const QDateTime& when)
{
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b"));
    const QLocale locale = QLocale::system();
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(zone);
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(when.time(), timeFormat.trimmed());
}

namespace {
// Characters that can split a line or make it read as something else: C0 and
// C1 controls, line and paragraph separators, and the marks, embeddings,
// overrides and isolates of bidirectional text.
bool isHidden(char16_t u)
{
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x061C || u == 0x200E || u == 0x200F ||
           (u >= 0x2028 && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}
} // namespace

QString TSessionLog::EscapeControls(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (!isHidden(u))
            escaped += ch;
        else if (u <= 0xFF)
            escaped +=
                QLatin1String("\\x") + QString::number(u, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        else
            escaped +=
                QLatin1String("\\u") + QString::number(u, 16).toUpper().rightJustified(4, QLatin1Char('0'));
    }
    return escaped;
}

void TSessionLog::show(TLogColour colour, const QString& line)
{
    if (OnLine)
        OnLine(this, colour, line);
}

bool TSessionLog::writeLine(const QString& line)
{
    const QByteArray bytes = ToCp1250(line) + "\r\n";
    return m_file.write(bytes) == bytes.size() && m_file.flush();
}
