// The GIF reader and LZW decoder: a corpus of files compared pixel for pixel
// with an independent decoder's frames, and broken or hostile files.
#include "gifbuilder.h"
#include "widgets/gifimage.h"
#include "widgets/gifreader.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

const QString kCorpus = QStringLiteral(KVADO_SOURCE_DIR "/tests/widgets/gif");

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The reference frames of a corpus file (see make-corpus): RGBA, transparent
// pixels (0, 0, 0, 0).
struct Reference {
    int Width = 0;
    int Height = 0;
    int Frames = 0;
    QByteArray Rgba;
};

Reference ReadReference(const QString& path)
{
    const QByteArray data = ReadAll(path);
    Reference ref;
    if (data.size() < 12)
        return ref;
    const auto* header = reinterpret_cast<const uchar*>(data.constData());
    ref.Width = int(qFromBigEndian<quint32>(header));
    ref.Height = int(qFromBigEndian<quint32>(header + 4));
    ref.Frames = int(qFromBigEndian<quint32>(header + 8));
    ref.Rgba = qUncompress(data.mid(12));
    return ref;
}

// The working image as RGBA bytes.
QByteArray Rgba(const QImage& image)
{
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    QByteArray bytes;
    for (int y = 0; y < rgba.height(); ++y)
        bytes.append(reinterpret_cast<const char*>(rgba.constScanLine(y)), rgba.width() * 4);
    return bytes;
}

// Where two frames first differ, or an empty string.
std::string FirstDifference(const QByteArray& actual, const QByteArray& expected, int width)
{
    for (qsizetype i = 0; i < expected.size(); i += 4) {
        if (actual.mid(i, 4) != expected.mid(i, 4)) {
            const qsizetype pixel = i / 4;
            return QStringLiteral("pixel (%1, %2): got %3, expected %4")
                .arg(pixel % width)
                .arg(pixel / width)
                .arg(QString::fromLatin1(actual.mid(i, 4).toHex()),
                     QString::fromLatin1(expected.mid(i, 4).toHex()))
                .toStdString();
        }
    }
    return {};
}

TEST(GifCorpus, EveryFrameMatchesTheReferenceDecoder)
{
    const QStringList files = QDir(kCorpus).entryList({QStringLiteral("*.gif")}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 20) << "corpus missing in " << kCorpus.toStdString();
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        const Reference ref = ReadReference(kCorpus + "/" + QString(name).replace(".gif", ".ref"));
        ASSERT_GT(ref.Frames, 0);
        const qsizetype frameBytes = qsizetype(ref.Width) * ref.Height * 4;
        ASSERT_EQ(ref.Rgba.size(), frameBytes * ref.Frames);

        TGIFImage image;
        ASSERT_TRUE(image.LoadFromData(ReadAll(kCorpus + "/" + name)));
        EXPECT_EQ(image.LastError(), geNone);
        EXPECT_EQ(image.FrameCount(), std::min(ref.Frames, kGifMaxFrames));
        ASSERT_EQ(image.LogicalSize(), QSize(ref.Width, ref.Height));

        for (int frame = 1; frame <= image.FrameCount(); ++frame) {
            image.SetCurrentFrame(frame);
            QByteArray expected = ref.Rgba.mid((frame - 1) * frameBytes, frameBytes);
            if (!image.IsTransparent()) {
                // Without a transparent frame there is no mask: what no frame
                // covers is opaque black.
                for (qsizetype i = 3; i < expected.size(); i += 4)
                    expected[i] = char(0xFF);
            }
            const std::string difference = FirstDifference(Rgba(image.WorkingImage()), expected, ref.Width);
            EXPECT_EQ(difference, "") << "frame " << frame;
            if (!difference.empty())
                break;
        }
    }
}

TEST(GifCorpus, TruncatedAtEveryOffsetKeepsTheFramesBeforeTheCut)
{
    for (const char* name : {"disposal-transparent.gif", "interlaced.gif", "pil-animation.gif"}) {
        SCOPED_TRACE(name);
        const QByteArray whole = ReadAll(kCorpus + "/" + name);
        TGifPicture full;
        ASSERT_EQ(ReadGif(whole, full), TGifReadResult::grOk);
        for (qsizetype cut = 0; cut < whole.size(); ++cut) {
            TGifPicture part;
            const TGifReadResult result = ReadGif(whole.left(cut), part);
            ASSERT_EQ(result == TGifReadResult::grNotGif, cut < 3) << "cut at " << cut;
            ASSERT_LE(part.Frames.size(), full.Frames.size());
            for (std::size_t i = 0; i < part.Frames.size(); ++i)
                ASSERT_EQ(part.Frames[i].Pixels, full.Frames[i].Pixels)
                    << "cut at " << cut << ", frame " << i;
        }
        // Without the trailer every frame is still there.
        TGifPicture noTrailer;
        EXPECT_EQ(ReadGif(whole.chopped(1), noTrailer), TGifReadResult::grOk);
        EXPECT_EQ(noTrailer.Frames.size(), full.Frames.size());
    }
}

TEST(GifReader, BrokenFramesEndTheReadingAndKeepEarlierFrames)
{
    const auto withSecondFrame = [](const QByteArray& secondFrame) {
        return GifBuilder(4, 4).Solid(0, 0, 4, 4, 1).Raw(secondFrame).Solid(0, 0, 2, 2, 2).Trailer().Bytes();
    };
    const QByteArray goodData = GifBuilder::SubBlocks(GifBuilder::Literals(QByteArray(4, 1), 2));
    struct Case {
        const char* what;
        QByteArray frame;
    } cases[] = {
        {"code size 0", QByteArray(",\0\0\0\0\2\0\2\0\0\0", 11) + goodData},
        {"code size 13", QByteArray(",\0\0\0\0\2\0\2\0\0\x0D", 11) + goodData},
        {"code size 1", QByteArray(",\0\0\0\0\2\0\2\0\0\x01", 11) + goodData},
        // After clear (4) and a root code the next free code is 6; 7 is undefined.
        {"undefined code", QByteArray(",\0\0\0\0\2\0\2\0\0\x02", 11) +
                               GifBuilder::SubBlocks(GifBuilder::Codes({{4, 3}, {1, 3}, {7, 3}, {5, 3}}))},
        // The first code after a clear must be a root code.
        {"string code first", QByteArray(",\0\0\0\0\2\0\2\0\0\x02", 11) +
                                  GifBuilder::SubBlocks(GifBuilder::Codes({{4, 3}, {6, 3}, {5, 3}}))},
        {"sub-block past the end", QByteArray(",\0\0\0\0\2\0\2\0\0\x02\x30\x01", 13)},
        {"frame too large", QByteArray(",\0\0\0\0\xFF\xFF\xFF\xFF\0\x02", 11) + goodData},
        // A refused frame far off does not grow the logical size either.
        {"undefined code far away",
         QByteArray(",\x64\0\x64\0\2\0\2\0\0\x02", 11) +
             GifBuilder::SubBlocks(GifBuilder::Codes({{4, 3}, {1, 3}, {7, 3}, {5, 3}}))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TGifPicture picture;
        EXPECT_EQ(ReadGif(withSecondFrame(c.frame), picture), TGifReadResult::grFrameFault);
        ASSERT_EQ(picture.Frames.size(), 1u);
        EXPECT_EQ(picture.Frames[0].Pixels, QByteArray(16, 1));
        EXPECT_EQ(picture.LogicalSize, QSize(4, 4));
    }

    TGifPicture picture;
    EXPECT_EQ(ReadGif(QByteArray("GIF89a\xFF\xFF\xFF\xFF\0\0\0", 13), picture), TGifReadResult::grFrameFault)
        << "a screen of 4 gigapixels is refused";
    EXPECT_EQ(ReadGif("GIF8", picture), TGifReadResult::grFrameFault);
    EXPECT_TRUE(picture.Frames.empty());
    EXPECT_EQ(ReadGif("JFIF\0\0\0", picture), TGifReadResult::grNotGif);
    EXPECT_EQ(ReadGif("", picture), TGifReadResult::grNotGif);
}

TEST(GifReader, TheFramesOfAFileStayWithinTheTotalPixelLimit)
{
    // Frames that declare the whole 4096 x 4096 screen but carry only a clear and
    // an end code: a few bytes each, 16 M pixels each once decoded.
    GifBuilder builder(4096, 4096);
    for (int i = 0; i < 8; ++i)
        builder.Descriptor(0, 0, 4096, 4096).Data(2, GifBuilder::Codes({{4, 3}, {5, 3}}));
    TGifPicture picture;
    EXPECT_EQ(ReadGif(builder.Trailer().Bytes(), picture), TGifReadResult::grFrameFault);
    qint64 decoded = 0;
    for (const TGifFrame& frame : picture.Frames)
        decoded += frame.Pixels.size();
    EXPECT_EQ(picture.Frames.size(), std::size_t(kGifMaxTotalPixels / (4096 * 4096)));
    EXPECT_LE(decoded, kGifMaxTotalPixels);
}

TEST(GifReader, TolerantReadingOfOddButDecodableData)
{
    // A frame beyond the screen grows the logical size; a frame with too few
    // pixels (no end code) keeps index 0 for the rest; extra pixels are dropped;
    // indices past a small table are black.
    TGifPicture picture;
    const QByteArray shortData = GifBuilder::Codes({{4, 3}, {3, 3}, {3, 3}});
    const QByteArray longData = GifBuilder::Literals(QByteArray(9, 2), 2);
    const QByteArray data = GifBuilder(3, 2, 1, {qRgb(9, 9, 9), qRgb(1, 2, 3)})
                                .Solid(2, 1, 5, 3, 1)
                                .Descriptor(0, 0, 2, 2)
                                .Data(2, shortData)
                                .Descriptor(0, 0, 2, 2)
                                .Data(2, longData)
                                .Bytes(); // no trailer
    ASSERT_EQ(ReadGif(data, picture), TGifReadResult::grOk);
    ASSERT_EQ(picture.Frames.size(), 3u);
    EXPECT_EQ(picture.Screen, QSize(3, 2));
    EXPECT_EQ(picture.LogicalSize, QSize(7, 4));
    EXPECT_EQ(picture.Frames[1].Pixels, QByteArray("\3\3\0\0", 4));
    EXPECT_EQ(picture.Frames[2].Pixels, QByteArray(4, 2));
    EXPECT_EQ(picture.Frames[1].Colors[3], qRgb(0, 0, 0));
    EXPECT_EQ(picture.Frames[0].Colors[1], qRgb(1, 2, 3));
}

TEST(GifReader, ExtensionsApplyToTheNextFrameOnly)
{
    TGifPicture picture;
    const QByteArray data = GifBuilder(2, 2, 3)
                                .Repeat(3)
                                .Raw(QByteArray("\x21\x01\x03xyz\0", 7)) // plain text: skipped
                                .Comment("prvn\xED")                     // code page 1250
                                .Control(5, 7, 2)
                                .Solid(0, 0, 2, 2, 1)
                                .Solid(0, 0, 2, 2, 1)
                                .Control(3, 0)
                                .Image(0, 0, 1, 1, QByteArray(1, 0), 1, {qRgb(5, 6, 7)})
                                .Trailer()
                                .Bytes();
    ASSERT_EQ(ReadGif(data, picture), TGifReadResult::grOk);
    ASSERT_EQ(picture.Frames.size(), 3u);
    EXPECT_EQ(picture.RepeatCount, 3);
    const TGifFrame& first = picture.Frames[0];
    EXPECT_EQ(first.Disposal, 2) << "disposal 5 counts as restore to background";
    EXPECT_EQ(first.DelayMs, 70);
    EXPECT_TRUE(first.Transparent);
    EXPECT_EQ(first.TransparentIndex, 2);
    EXPECT_EQ(first.TransparentColor, qRgb(0, 0, 255));
    EXPECT_EQ(first.Comment, QString::fromUtf8("první"));
    EXPECT_EQ(picture.Frames[1].Disposal, 0);
    EXPECT_FALSE(picture.Frames[1].Transparent);
    EXPECT_EQ(picture.Frames[1].DelayMs, 1) << "no delay still lasts 1 ms";
    EXPECT_TRUE(picture.Frames[1].Comment.isEmpty());
    EXPECT_EQ(picture.Frames[2].Disposal, 3);
    EXPECT_EQ(picture.Frames[2].BitDepth, 1);
    EXPECT_EQ(picture.Frames[2].Colors[0], qRgb(5, 6, 7));
    EXPECT_EQ(picture.BitDepth, 3);
    EXPECT_TRUE(picture.AnyTransparent);

    ASSERT_EQ(ReadGif(GifBuilder(1, 1).Solid(0, 0, 1, 1, 0).Bytes(), picture), TGifReadResult::grOk);
    EXPECT_EQ(picture.RepeatCount, 1) << "without the extension a picture plays once";
}

} // namespace
