#pragma once
// TIniText: the text of an INI settings file, changed value by value while
// every other line (keys the program does not write, comments, hand-written
// values) stays as it was (line ends become LF).
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

#include <vector>

class TIniText {
public:
    explicit TIniText(const QByteArray& text = QByteArray());

    void SetValue(const QString& group, const QString& key, const QString& value);
    QByteArray Text() const;

    // A value as it appears after "key=".
    static QByteArray Quoted(const QString& value);

private:
    struct Section {
        QByteArray name;               // empty for the lines before the first header
        std::vector<QByteArray> lines; // the header line first, without line ends
    };

    Section& section(const QByteArray& name);

    std::vector<Section> m_sections;
};
