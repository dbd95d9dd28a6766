#include "widgets/gifreader.h"

#include "core/codepage.h"
#include "widgets/giflzw.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

// A bounds-checked read position in the file. Callers check Has() before reading.
class Cursor {
public:
    explicit Cursor(const QByteArray& data)
        : m_data(reinterpret_cast<const uchar*>(data.constData())), m_size(data.size())
    {
    }

    bool Has(qsizetype count) const { return m_size - m_pos >= count; }
    const uchar* Here() const { return m_data + m_pos; }
    void Skip(qsizetype count) { m_pos += count; }
    uchar Byte() { return m_data[m_pos++]; }
    int Word()
    {
        const int value = m_data[m_pos] | (m_data[m_pos + 1] << 8);
        m_pos += 2;
        return value;
    }

private:
    const uchar* m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
};

// Reads a chain of data sub-blocks up to its terminator, handing each block
// to sink(bytes, length). False when the data ends first.
template <class Sink> bool ReadSubBlocks(Cursor& cursor, Sink sink)
{
    for (;;) {
        if (!cursor.Has(1))
            return false;
        const int length = cursor.Byte();
        if (length == 0)
            return true;
        if (!cursor.Has(length))
            return false;
        sink(reinterpret_cast<const char*>(cursor.Here()), length);
        cursor.Skip(length);
    }
}

// A colour table of 2^bits entries, padded with black to 256 entries. False when cut off.
bool ReadColorTable(Cursor& cursor, int bits, QList<QRgb>& table)
{
    const int entries = 1 << bits;
    if (!cursor.Has(3 * entries))
        return false;
    table = QList<QRgb>(256, qRgb(0, 0, 0));
    const uchar* rgb = cursor.Here();
    for (int i = 0; i < entries; ++i, rgb += 3)
        table[i] = qRgb(rgb[0], rgb[1], rgb[2]);
    cursor.Skip(3 * entries);
    return true;
}

// The graphic control extension that applies to the next frame.
struct PendingControl {
    int Disposal = 0;
    int Delay = 0;
    bool Transparent = false;
    int TransparentIndex = 0;
};

void ParseGraphicControl(const QList<QByteArray>& blocks, PendingControl& control)
{
    control = PendingControl();
    if (blocks.isEmpty() || blocks[0].size() < 4)
        return;
    const auto* b = reinterpret_cast<const uchar*>(blocks[0].constData());
    const int disposal = (b[0] >> 2) & 7;
    control.Disposal = disposal <= 3 ? disposal : 2;
    control.Transparent = (b[0] & 1) != 0;
    control.Delay = b[1] | (b[2] << 8);
    control.TransparentIndex = b[3];
}

// The "NETSCAPE" "2.0" extension: its data sub-block 1 holds the repeat count.
void ParseApplication(const QList<QByteArray>& blocks, int& repeatCount)
{
    if (blocks.size() < 2 || blocks[0] != QByteArrayLiteral("NETSCAPE2.0"))
        return;
    for (qsizetype i = 1; i < blocks.size(); ++i) {
        const auto* b = reinterpret_cast<const uchar*>(blocks[i].constData());
        if (blocks[i].size() >= 3 && b[0] == 1) {
            repeatCount = b[1] | (b[2] << 8);
            return;
        }
    }
}

// Moves the rows of an interlaced image (stored in transmission order) to
// their places: every 8th row from 0, every 8th from 4, every 4th from 2,
// every 2nd from 1.
QByteArray Deinterlace(const QByteArray& sent, int width, int height)
{
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    QByteArray rows(sent.size(), Qt::Uninitialized);
    const char* from = sent.constData();
    for (int pass = 0; pass < 4; ++pass) {
        for (int y = kStart[pass]; y < height; y += kStep[pass]) {
            std::memcpy(rows.data() + qsizetype(y) * width, from, width);
            from += width;
        }
    }
    return rows;
}

class Reader {
public:
    Reader(const QByteArray& data, TGifPicture& picture) : m_cursor(data), m_picture(picture) {}

    TGifReadResult Read();

private:
    bool ReadScreen();
    bool ReadExtension();
    bool ReadFrame();
    std::optional<QSize> Grown(int right, int bottom) const;

    Cursor m_cursor;
    TGifPicture& m_picture;
    PendingControl m_control;
    QString m_comment;
    qint64 m_totalPixels = 0;
};

TGifReadResult Reader::Read()
{
    if (!m_cursor.Has(3) || std::memcmp(m_cursor.Here(), "GIF", 3) != 0)
        return TGifReadResult::grNotGif;
    if (!ReadScreen())
        return TGifReadResult::grFrameFault;

    while (m_cursor.Has(1)) {
        const uchar introducer = m_cursor.Byte();
        if (introducer == ';')
            break;
        if (introducer == '!') {
            if (!ReadExtension())
                break; // cut off inside an extension: the end of the data
        } else if (introducer == ',') {
            if (int(m_picture.Frames.size()) == kGifMaxFrames)
                break;
            if (!ReadFrame())
                return TGifReadResult::grFrameFault;
        } else {
            break; // not a block: nothing after it can be trusted
        }
    }
    return TGifReadResult::grOk;
}

bool Reader::ReadScreen()
{
    m_picture.GlobalColors = QList<QRgb>(256, qRgb(0, 0, 0));
    if (!m_cursor.Has(13))
        return false;
    m_cursor.Skip(6); // "GIF" and the version, which is not examined
    const int width = m_cursor.Word();
    const int height = m_cursor.Word();
    const uchar packed = m_cursor.Byte();
    m_cursor.Skip(2); // background colour index, aspect ratio
    if (qint64(width) * height > kGifMaxPixels)
        return false;
    m_picture.Screen = QSize(width, height);
    m_picture.LogicalSize = m_picture.Screen;
    m_picture.GlobalBitDepth = (packed & 7) + 1;
    m_picture.BitDepth = m_picture.GlobalBitDepth;
    if (packed & 0x80)
        return ReadColorTable(m_cursor, m_picture.GlobalBitDepth, m_picture.GlobalColors);
    return true;
}

bool Reader::ReadExtension()
{
    if (!m_cursor.Has(1))
        return false;
    const uchar label = m_cursor.Byte();
    if (label == 0xFE) {
        QByteArray text;
        if (!ReadSubBlocks(m_cursor, [&](const char* bytes, int length) { text.append(bytes, length); }))
            return false;
        m_comment = FromCp1250(text);
        return true;
    }
    if (label != 0xF9 && label != 0xFF)
        return ReadSubBlocks(m_cursor, [](const char*, int) {}); // plain text and unknown extensions
    QList<QByteArray> blocks;
    if (!ReadSubBlocks(m_cursor,
                       [&](const char* bytes, int length) { blocks.append(QByteArray(bytes, length)); }))
        return false;
    if (label == 0xF9)
        ParseGraphicControl(blocks, m_control);
    else
        ParseApplication(blocks, m_picture.RepeatCount);
    return true;
}

// The logical size grown to hold a frame ending at (right, bottom); none when
// that would pass the pixel limit.
std::optional<QSize> Reader::Grown(int right, int bottom) const
{
    const QSize grown(std::max(m_picture.LogicalSize.width(), right),
                      std::max(m_picture.LogicalSize.height(), bottom));
    if (qint64(grown.width()) * grown.height() > kGifMaxPixels)
        return std::nullopt;
    return grown;
}

bool Reader::ReadFrame()
{
    if (!m_cursor.Has(9))
        return false;
    TGifFrame frame;
    frame.Left = m_cursor.Word();
    frame.Top = m_cursor.Word();
    frame.Width = m_cursor.Word();
    frame.Height = m_cursor.Word();
    const uchar packed = m_cursor.Byte();
    frame.Interlaced = (packed & 0x40) != 0;
    frame.HasLocalTable = (packed & 0x80) != 0;
    if (frame.HasLocalTable) {
        frame.BitDepth = (packed & 7) + 1;
        if (!ReadColorTable(m_cursor, frame.BitDepth, frame.Colors))
            return false;
    } else {
        frame.BitDepth = m_picture.GlobalBitDepth;
        frame.Colors = m_picture.GlobalColors;
    }
    if (!m_cursor.Has(1))
        return false;
    const int minCodeSize = m_cursor.Byte();
    QByteArray compressed;
    if (!ReadSubBlocks(m_cursor, [&](const char* bytes, int length) { compressed.append(bytes, length); }))
        return false;

    const qint64 pixels = qint64(frame.Width) * frame.Height;
    const std::optional<QSize> grown = Grown(frame.Left + frame.Width, frame.Top + frame.Height);
    if (!grown || m_totalPixels + pixels > kGifMaxTotalPixels)
        return false;

    frame.Pixels = QByteArray(pixels, '\0');
    const TGifLzwResult decoded =
        GifLzwDecode(reinterpret_cast<const uchar*>(compressed.constData()), compressed.size(), minCodeSize,
                     reinterpret_cast<uchar*>(frame.Pixels.data()), pixels);
    if (decoded.Fault)
        return false; // the refused frame leaves the logical size as it was
    m_totalPixels += pixels;
    m_picture.LogicalSize = *grown;
    if (frame.Interlaced)
        frame.Pixels = Deinterlace(frame.Pixels, frame.Width, frame.Height);

    frame.Disposal = m_control.Disposal;
    frame.DelayMs = std::max(m_control.Delay * 10, 1);
    frame.Transparent = m_control.Transparent;
    frame.TransparentIndex = m_control.TransparentIndex;
    frame.TransparentColor = frame.Colors[frame.TransparentIndex];
    frame.Comment = m_comment;
    m_control = PendingControl();
    m_comment.clear();

    m_picture.BitDepth =
        m_picture.Frames.empty() ? frame.BitDepth : std::max(m_picture.BitDepth, frame.BitDepth);
    m_picture.AnyTransparent = m_picture.AnyTransparent || frame.Transparent;
    m_picture.Frames.push_back(std::move(frame));
    return true;
}

} // namespace

TGifReadResult ReadGif(const QByteArray& data, TGifPicture& picture)
{
    picture = TGifPicture();
    return Reader(data, picture).Read();
}
