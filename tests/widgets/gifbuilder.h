#pragma once
// Builds small GIF files block by block for the GIF tests, including broken
// ones. Image data is coded with literal codes only (a clear code before the
// table would widen the codes), which every decoder must read.
#include <QByteArray>
#include <QList>
#include <QRgb>

#include <algorithm>

class GifBuilder {
public:
    // "GIF89a" and a logical screen; a global table of 2^globalBits entries
    // (colours from `colors`, the rest black) when globalBits > 0.
    GifBuilder(int width, int height, int globalBits = 2, const QList<QRgb>& colors = DefaultColors())
        : m_globalBits(globalBits)
    {
        m_data = "GIF89a";
        Word(width);
        Word(height);
        m_data.append(char(globalBits > 0 ? 0xF0 | (globalBits - 1) : 0));
        m_data.append('\0').append('\0');
        if (globalBits > 0)
            Table(globalBits, colors);
    }

    static QList<QRgb> DefaultColors()
    {
        return {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
    }

    GifBuilder& Control(int disposal, int delay, int transparentIndex = -1)
    {
        m_data.append("\x21\xF9\x04", 3);
        m_data.append(char((disposal << 2) | (transparentIndex >= 0 ? 1 : 0)));
        Word(delay);
        m_data.append(char(transparentIndex >= 0 ? transparentIndex : 0)).append('\0');
        return *this;
    }

    GifBuilder& Repeat(int count)
    {
        m_data.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
        Word(count);
        m_data.append('\0');
        return *this;
    }

    GifBuilder& Comment(const QByteArray& text)
    {
        m_data.append("\x21\xFE", 2).append(SubBlocks(text));
        return *this;
    }

    // An image descriptor and its data; `pixels` holds width × height indices,
    // coded with the smallest minimum code size their table allows.
    GifBuilder& Image(int left, int top, int width, int height, const QByteArray& pixels, int localBits = 0,
                      const QList<QRgb>& localColors = {})
    {
        Descriptor(left, top, width, height, localBits, localColors);
        const int minCodeSize = std::max(2, localBits > 0 ? localBits : m_globalBits);
        return Data(minCodeSize, Literals(pixels, minCodeSize));
    }

    // An image of one colour index.
    GifBuilder& Solid(int left, int top, int width, int height, char index)
    {
        return Image(left, top, width, height, QByteArray(width * height, index));
    }

    GifBuilder& Descriptor(int left, int top, int width, int height, int localBits = 0,
                           const QList<QRgb>& localColors = {}, bool interlaced = false)
    {
        m_data.append(',');
        Word(left);
        Word(top);
        Word(width);
        Word(height);
        m_data.append(char((localBits > 0 ? 0x80 | (localBits - 1) : 0) | (interlaced ? 0x40 : 0)));
        if (localBits > 0)
            Table(localBits, localColors);
        return *this;
    }

    // The minimum code size byte and LZW data split into sub-blocks.
    GifBuilder& Data(int minCodeSize, const QByteArray& lzw)
    {
        m_data.append(char(minCodeSize)).append(SubBlocks(lzw));
        return *this;
    }

    GifBuilder& Raw(const QByteArray& bytes)
    {
        m_data.append(bytes);
        return *this;
    }

    GifBuilder& Trailer()
    {
        m_data.append(';');
        return *this;
    }

    QByteArray Bytes() const { return m_data; }

    // Codes of the given widths packed least significant bit first.
    static QByteArray Codes(const QList<std::pair<int, int>>& codesAndWidths)
    {
        QByteArray out;
        quint32 buffer = 0;
        int count = 0;
        for (const auto& [code, width] : codesAndWidths) {
            buffer |= quint32(code) << count;
            count += width;
            while (count >= 8) {
                out.append(char(buffer & 0xFF));
                buffer >>= 8;
                count -= 8;
            }
        }
        if (count > 0)
            out.append(char(buffer & 0xFF));
        return out;
    }

    // Literal codes with a clear code before each run that would widen the codes.
    static QByteArray Literals(const QByteArray& pixels, int minCodeSize)
    {
        const int clear = 1 << minCodeSize;
        const int width = minCodeSize + 1;
        const int run = clear - 2;
        QList<std::pair<int, int>> codes;
        for (qsizetype i = 0; i < pixels.size(); ++i) {
            if (i % run == 0)
                codes.append({clear, width});
            codes.append({uchar(pixels[i]), width});
        }
        codes.append({clear + 1, width});
        return Codes(codes);
    }

    static QByteArray SubBlocks(const QByteArray& data)
    {
        QByteArray out;
        for (qsizetype i = 0; i < data.size(); i += 255) {
            const QByteArray chunk = data.mid(i, 255);
            out.append(char(chunk.size())).append(chunk);
        }
        out.append('\0');
        return out;
    }

private:
    void Word(int value) { m_data.append(char(value & 0xFF)).append(char((value >> 8) & 0xFF)); }

    void Table(int bits, const QList<QRgb>& colors)
    {
        for (int i = 0; i < (1 << bits); ++i) {
            const QRgb c = i < colors.size() ? colors[i] : qRgb(0, 0, 0);
            m_data.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
        }
    }

    QByteArray m_data;
    int m_globalBits;
};
