#pragma once
// Reads a GIF87a/GIF89a file held in memory into a picture: the logical
// screen, the global colour table, the repeat count and up to 256 frames with
// their colour indices already decoded.
//
// Contract: ReadGif is a pure function of its input and never reads outside
// it. It reads blocks until the trailer, the end of the data or an unknown
// block. A frame that cannot be decoded (an invalid minimum code size, an
// undefined LZW code, data cut off inside the frame, a size beyond the limits
// below) ends the reading; the frames read before it stay in the picture.
// Sizes are limited so that a hostile file cannot exhaust memory: a logical
// screen (and so every frame) of at most kGifMaxPixels pixels and at most
// kGifMaxTotalPixels decoded pixels over all frames.
#include <QByteArray>
#include <QList>
#include <QRgb>
#include <QSize>
#include <QString>

#include <vector>

constexpr int kGifMaxFrames = 256;
constexpr qint64 kGifMaxPixels = 16 * 1024 * 1024;
constexpr qint64 kGifMaxTotalPixels = 64 * 1024 * 1024;

// One image of the file.
struct TGifFrame {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool HasLocalTable = false;
    QList<QRgb> Colors; // the table the pixels index: local, or the global one; 256 opaque entries
    int BitDepth = 1;   // of the local table, or of the global one
    bool Interlaced = false;
    int Disposal = 0; // 0 none, 1 keep, 2 restore to background, 3 restore to previous
    int DelayMs = 1;  // GIF delay × 10, at least 1
    bool Transparent = false;
    int TransparentIndex = 0;
    QRgb TransparentColor = 0;
    QByteArray Pixels; // Width × Height colour indices, rows top to bottom
    QString Comment;   // the comment text that preceded the frame
};

struct TGifPicture {
    QSize Screen;             // the logical screen descriptor's size
    QSize LogicalSize;        // the screen grown to hold every frame
    QList<QRgb> GlobalColors; // 256 entries; all black when the file has no global table
    int GlobalBitDepth = 1;
    int BitDepth = 1;    // the largest of the frames' depths
    int RepeatCount = 1; // 0 repeats for ever
    bool AnyTransparent = false;
    std::vector<TGifFrame> Frames;
};

enum class TGifReadResult {
    grOk,         // read to the trailer or the end of the data without a fault
    grNotGif,     // does not begin with "GIF"; nothing was read
    grFrameFault, // reading ended at a frame (or screen descriptor) that could not be decoded
};

TGifReadResult ReadGif(const QByteArray& data, TGifPicture& picture);
