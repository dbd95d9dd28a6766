// Feeds arbitrary bytes to the GIF reader and composes every frame it keeps,
// disposing of each before the next, as the control does when it plays them.
#include "widgets/gifcanvas.h"
#include "widgets/gifreader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TGifPicture picture;
    ReadGif(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), picture);
    if (picture.Frames.empty())
        return 0;
    TGifCanvas canvas;
    canvas.Reset(picture.LogicalSize, picture.AnyTransparent);
    for (std::size_t i = 0; i < picture.Frames.size(); ++i) {
        if (i > 0)
            canvas.Dispose(picture.Frames[i - 1], int(i));
        canvas.Draw(picture.Frames[i], int(i + 1));
    }
    return 0;
}
