#include "core/utf8kept.h"

namespace {
constexpr char16_t kKeptBase = 0xDC00; // a kept byte b (0x80..0xFF) is U+DC00 + b

// The length of the valid UTF-8 sequence that starts at bytes[i] and its code
// point, or 0 when none starts there.
int validSequence(QByteArrayView bytes, qsizetype i, char32_t& code)
{
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = at(i);
    int length = 0;
    char32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, smallest = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        const unsigned char next = at(i + k);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}
} // namespace

QString FromUtf8Kept(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            text += QChar(char16_t(b));
            ++i;
            continue;
        }
        char32_t code = 0;
        const int length = validSequence(bytes, i, code);
        if (length == 0) {
            text += QChar(char16_t(kKeptBase + b)); // one byte kept, the next one tried afresh
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            text += QChar(QChar::highSurrogate(code));
            text += QChar(QChar::lowSurrogate(code));
        } else {
            text += QChar(char16_t(code));
        }
        i += length;
    }
    return text;
}

QByteArray ToUtf8Kept(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size() * 3);
    const auto put = [&bytes](unsigned v) { bytes += char(v); };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        char32_t code = u;
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            code = QChar::surrogateToUcs4(u, text[++i].unicode());
        } else if (u >= kKeptBase + 0x80 && u <= kKeptBase + 0xFF) {
            put(u - kKeptBase);
            continue;
        } else if (QChar::isSurrogate(u)) {
            put('?');
            continue;
        }
        if (code < 0x80) {
            put(code);
        } else if (code < 0x800) {
            put(0xC0 | (code >> 6)), put(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            put(0xE0 | (code >> 12)), put(0x80 | ((code >> 6) & 0x3F)), put(0x80 | (code & 0x3F));
        } else {
            put(0xF0 | (code >> 18)), put(0x80 | ((code >> 12) & 0x3F)), put(0x80 | ((code >> 6) & 0x3F)),
                put(0x80 | (code & 0x3F));
        }
    }
    return bytes;
}
