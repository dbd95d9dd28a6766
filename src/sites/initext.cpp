#include "sites/initext.h"

#include <QList>

namespace {

QByteArray sectionName(const QByteArray& line)
{
    const QByteArray trimmed = line.trimmed();
    if (trimmed.size() >= 2 && trimmed.startsWith('[') && trimmed.endsWith(']'))
        return trimmed.mid(1, trimmed.size() - 2);
    return QByteArray();
}

QByteArray keyOf(const QByteArray& line)
{
    const qsizetype equals = line.indexOf('=');
    return equals < 0 ? QByteArray() : line.left(equals).trimmed();
}

bool isHexDigit(char16_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

TIniText::TIniText(const QByteArray& text)
{
    m_sections.push_back(Section{});
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        const QByteArray line = text.mid(start, end - start);
        start = end + (text.mid(end, 2) == "\r\n" ? 2 : 1); // LF, CR LF or a CR alone
        const QByteArray name = sectionName(line);
        if (!name.isEmpty())
            m_sections.push_back(Section{name, {}});
        m_sections.back().lines.push_back(line);
    }
}

std::optional<QString> TIniText::Value(const QString& group, const QString& key) const
{
    const QByteArray wanted = group.isEmpty() ? QByteArray("General") : group.toUtf8();
    const QByteArray name = key.toUtf8();
    std::optional<QByteArray> raw;
    for (const Section& s : m_sections) {
        if (s.name != wanted && !(s.name.isEmpty() && wanted == "General"))
            continue;
        for (const QByteArray& line : s.lines)
            if (sectionName(line).isEmpty() && keyOf(line) == name)
                raw = line.mid(line.indexOf('=') + 1);
    }
    return raw ? Unquoted(*raw) : std::nullopt;
}

std::optional<QString> TIniText::Unquoted(const QByteArray& raw)
{
    const QString text = QString::fromUtf8(raw).trimmed();
    const bool quoted = text.startsWith('"');
    QString out;
    for (qsizetype i = quoted ? 1 : 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if ((ch == '"' && quoted) || (ch == ';' && !quoted))
            break;
        if (ch != '\\' || i + 1 == text.size()) {
            out += ch;
            continue;
        }
        const QChar next = text[++i];
        switch (next.unicode()) {
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 'a':
            out += '\a';
            break;
        case '0':
            out += QChar(0);
            break;
        case 'x': {
            qsizetype digits = 0;
            while (digits < 4 && i + 1 + digits < text.size() && isHexDigit(text[i + 1 + digits].unicode()))
                ++digits;
            out += digits ? QChar(text.mid(i + 1, digits).toUShort(nullptr, 16)) : QChar('x');
            i += digits;
            break;
        }
        default: // a backslash, a quote and any other character stand for themselves
            out += next;
        }
    }
    if (!quoted)
        out = out.trimmed();
    if (out.startsWith(QLatin1String("@@")))
        return out.mid(1);
    if (out.startsWith('@'))
        return std::nullopt;
    return out;
}

TIniText::Section& TIniText::section(const QByteArray& name)
{
    for (Section& s : m_sections)
        if (s.name == name)
            return s;
    Section& last = m_sections.back();
    if (!last.lines.empty() && !last.lines.back().trimmed().isEmpty())
        last.lines.emplace_back();
    m_sections.push_back(Section{name, {'[' + name + ']'}});
    return m_sections.back();
}

void TIniText::SetValue(const QString& group, const QString& key, const QString& value)
{
    const QByteArray sectionName = group.isEmpty() ? QByteArray("General") : group.toUtf8();
    const QByteArray name = key.toUtf8();
    const QByteArray line = name + '=' + Quoted(value);
    // A hand-edited file may repeat a section; the reader joins them and the
    // last line of a key wins, so the key is replaced in every one of them.
    bool replaced = false;
    for (Section& repeated : m_sections) {
        if (repeated.name != sectionName)
            continue;
        for (std::size_t i = 1; i < repeated.lines.size(); ++i) {
            if (keyOf(repeated.lines[i]) == name) {
                repeated.lines[i] = line;
                replaced = true;
            }
        }
    }
    if (replaced)
        return;
    Section& s = section(sectionName);
    std::size_t at = s.lines.size();
    while (at > 1 && s.lines[at - 1].trimmed().isEmpty())
        --at;
    s.lines.insert(s.lines.begin() + std::ptrdiff_t(at), line);
}

QByteArray TIniText::Text() const
{
    QByteArray text;
    for (const Section& s : m_sections)
        for (const QByteArray& line : s.lines)
            text += line + '\n';
    return text;
}

QByteArray TIniText::Quoted(const QString& value)
{
    QString out = QStringLiteral("\"");
    if (value.startsWith('@'))
        out += '@';
    bool afterHexEscape = false;
    for (QChar ch : value) {
        const char16_t c = ch.unicode();
        if (afterHexEscape && isHexDigit(c)) {
            out += "\\x" + QString::number(c, 16);
            continue;
        }
        afterHexEscape = false;
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (c < 0x20) {
                out += "\\x" + QString::number(c, 16);
                afterHexEscape = true;
            } else {
                out += ch;
            }
        }
    }
    out += '"';
    return out.toUtf8();
}
