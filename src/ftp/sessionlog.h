#pragma once
// The session log writer: every line the engine shows in the session log, and
// the optional log file with its banners.
//
// Contract:
// - OnLine fires synchronously, once for every line meant for the log view,
//   with the colour the view gives it: KvadoUkazi (command or status colour),
//   Reply and ViewOnly (normal colour). The view appends the line; it may not
//   call back into the writer from inside OnLine.
// - Only KvadoUkazi lines reach the log file (with a time stamp); reply lines
//   and view-only lines never do.
// - The log file is 8-bit text in code page 1250 with CR LF line ends; it is
//   written line by line and flushed, so it survives a crash. Errors while
//   opening or writing are ignored, except at the closing with the exit banner,
//   which throws Exception ("I/O error %d ...").
// - Control characters in any line are shown escaped ("\x0D", C1 controls
//   too: "\x85"), and so are the line and paragraph separators and the
//   bidirectional marks, embeddings, overrides and isolates ("\u202E"), in
//   the view and in the file alike, so a hostile reply or remote name can
//   never split, forge or reorder a log line. What goes on the wire is not
//   changed. The argument of
//   a USER or PASS line is never shown or written.
// - The prefixes are the words "@idUkaz" and "@idStan" of the active language;
//   the window sets them again after every change of language, which changes
//   later lines only.
#include "ftp/logkind.h"

#include <QDateTime>
#include <QFile>
#include <QString>

#include <functional>

class TSessionLog;

// The colour a log view gives a line.
enum TLogColour { lcCommand, lcStatus, lcNormal };

using TLogLineEvent = std::function<void(TSessionLog* sender, TLogColour colour, const QString& line)>;
using TWordLookup = std::function<QString(const QString& key)>;

class TSessionLog {
public:
    TSessionLog() = default;
    ~TSessionLog(); // closes an open log file without a banner
    TSessionLog(const TSessionLog&) = delete;
    TSessionLog& operator=(const TSessionLog&) = delete;

    TLogLineEvent OnLine;

    QString CommandPrefix() const { return m_commandPrefix; }
    void SetCommandPrefix(const QString& prefix); // cut to 255 characters
    QString StatusPrefix() const { return m_statusPrefix; }
    void SetStatusPrefix(const QString& prefix); // cut to 255 characters
    // Both prefixes from the words "@idUkaz" and "@idStan".
    void ReadPrefixes(const TWordLookup& getWord);

    // The log file name; a relative name resolves in ProgramDirectory.
    QString LogFileName() const { return m_logFileName; }
    void SetLogFileName(const QString& name) { m_logFileName = name; }
    QString ProgramDirectory() const { return m_programDirectory; }
    void SetProgramDirectory(const QString& directory) { m_programDirectory = directory; }
    QString LogFilePath() const;

    // Builds prefix + text + " " + argument (cut to 255 characters), shows it
    // and, while the log file is open, writes it with "  <----  " and the time.
    // Returns the line as built (empty for an unknown kind).
    QString KvadoUkazi(quint8 kind, const QString& text, const QString& argument);

    // A server reply line: shown indented by 23 spaces, never written to the file.
    void Reply(const QString& line);
    // Any other line for the view only (for example the closing line of a disconnect).
    void ViewOnly(const QString& line);

    // Opens the log file for appending (creating it if missing) and writes the
    // "nadaljevan" or "ustvarjen" banner. An already open file is closed first.
    void OdpriDnevnik();
    bool DnevnikOdprt() const { return m_file.isOpen(); }

    // Closing when the window is destroyed: the one-line banner; throws on an I/O error.
    void CloseWithExitBanner();
    // Closing when the options switch logging off or change the file: the
    // three-line banner; errors ignored.
    void CloseWithSwitchBanner();

    // The date and time as the banners and lines show it: the locale's short
    // date and long time (without the time zone).
    static QString TimeStamp(const QDateTime& when);
    // Control characters (below 0x20, and 0x7F) written as "\xHH".
    static QString EscapeControls(const QString& text);

private:
    void show(TLogColour colour, const QString& line);
    bool writeLine(const QString& line);

    QString m_commandPrefix;
    QString m_statusPrefix;
    QString m_logFileName;
    QString m_programDirectory;
    QFile m_file;
};
