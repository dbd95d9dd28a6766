#pragma once
// TIniText: the text of an INI settings file, read value by value (Value)
// and changed value by value while every other line (keys the program does
// not write, comments, hand-written values) stays as it was (line ends become
// LF). Reading and writing share one reading of the file's lines, so a key
// written is a key read, whatever else the file holds:
// - A line ends at LF, CR LF or a CR alone; nothing continues a line (no
//   quote, no backslash at its end). A line whose trimmed text is "[name]" is
//   a section header; any other line with "=" is a key (the name before the
//   first "=", trimmed); everything else is read as nothing. Lines before the
//   first header, and the sections named "General", hold the base keys. A
//   section may appear more than once; the last line of a key wins.
// - A value is trimmed; a quoted one ends at its closing quote (or at the end
//   of the line), an unquoted one at a ";". Backslash escapes (\\ \" \t \n \r
//   \a \0, and \x with up to four hex digits) are read in both. A leading
//   "@@" stands for "@"; any other leading "@" is a typed value, no text.
//
// Base-key values live in the section "[General]", a group's values in the
// section named after it, as QSettings reads them. A written value is quoted
// and escaped the way QSettings writes strings (backslash escapes, \x for
// control characters, raw UTF-8, a leading "@" doubled), so QSettings reads
// back exactly the text given. Group and key names are plain ASCII names.
// A key written twice keeps its last value; every line of the key is replaced,
// in every section of that name (a hand-edited file may repeat a section).
#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

class TIniText {
public:
    explicit TIniText(const QByteArray& text = QByteArray());

    void SetValue(const QString& group, const QString& key, const QString& value);
    // The text of a key (group "" for the base keys); nullopt when missing or no plain text.
    std::optional<QString> Value(const QString& group, const QString& key) const;
    QByteArray Text() const;

    // A value as it appears after "key=".
    static QByteArray Quoted(const QString& value);
    // The text a value stands for, as read after "key=" (see above).
    static std::optional<QString> Unquoted(const QByteArray& raw);

private:
    struct Section {
        QByteArray name;               // empty for the lines before the first header
        std::vector<QByteArray> lines; // the header line first, without line ends
    };

    Section& section(const QByteArray& name);

    std::vector<Section> m_sections;
};
