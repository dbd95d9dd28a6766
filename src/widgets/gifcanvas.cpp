#include "widgets/gifcanvas.h"

#include <algorithm>
#include <cstring>

namespace {

QRect FrameRect(const TGifFrame& frame)
{
    return QRect(frame.Left, frame.Top, frame.Width, frame.Height);
}

} // namespace

void TGifCanvas::Reset(QSize logicalSize, bool withMask)
{
    m_withMask = withMask;
    m_image = QImage(logicalSize, QImage::Format_ARGB32_Premultiplied);
    m_image.fill(withMask ? 0x00000000u : 0xFF000000u);
    m_saved = QImage();
    m_savedIndex = -1;
}

void TGifCanvas::Draw(const TGifFrame& frame, int index)
{
    const QRect rect = FrameRect(frame);
    if (rect.isEmpty() || !m_image.rect().contains(rect))
        return;
    if (frame.Disposal == 3) {
        m_saved = m_image.copy(rect);
        m_savedIndex = index;
    }
    const QRgb* colors = frame.Colors.constData();
    const auto* source = reinterpret_cast<const uchar*>(frame.Pixels.constData());
    const int transparent = frame.Transparent ? frame.TransparentIndex : -1;
    for (int y = 0; y < frame.Height; ++y) {
        auto* target = reinterpret_cast<QRgb*>(m_image.scanLine(frame.Top + y)) + frame.Left;
        const uchar* row = source + qsizetype(y) * frame.Width;
        if (transparent < 0) {
            for (int x = 0; x < frame.Width; ++x)
                target[x] = colors[row[x]];
        } else {
            for (int x = 0; x < frame.Width; ++x) {
                if (row[x] != transparent)
                    target[x] = colors[row[x]];
            }
        }
    }
}

void TGifCanvas::Dispose(const TGifFrame& frame, int index)
{
    const QRect rect = FrameRect(frame);
    if (rect.isEmpty() || !m_image.rect().contains(rect))
        return;
    if (frame.Disposal == 2) {
        const QRgb background = m_withMask ? 0x00000000u : 0xFF000000u;
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(m_image.scanLine(y)) + rect.left();
            std::fill(line, line + rect.width(), background);
        }
    } else if (frame.Disposal == 3 && m_savedIndex == index) {
        for (int y = 0; y < rect.height(); ++y)
            std::memcpy(reinterpret_cast<QRgb*>(m_image.scanLine(rect.top() + y)) + rect.left(),
                        m_saved.constScanLine(y), size_t(rect.width()) * sizeof(QRgb));
        m_savedIndex = -1;
    }
}
