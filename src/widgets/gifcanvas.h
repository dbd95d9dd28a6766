#pragma once
// The working image of a GIF picture: frames are drawn into it and disposed
// of again, one at a time, as the animation moves on.
//
// The image has the picture's logical size and the premultiplied ARGB format.
// Without a mask (no frame of the picture is transparent) every pixel is
// opaque and the canvas starts black. With a mask it starts transparent
// black; a pixel is transparent exactly where its alpha is 0, and such a pixel
// is always black (as the working image of the mask's pixel would be).
//
// Contract: Dispose(frame) undoes the frame drawn last by Draw; restoring the
// previous content (disposal 3) uses the copy Draw saved for that frame and
// does nothing when another frame was drawn since. Frames must lie inside the
// logical size (the reader grows the logical size to guarantee it).
#include "widgets/gifreader.h"

#include <QImage>

class TGifCanvas {
public:
    // Starts a new picture: black, and all transparent when withMask.
    void Reset(QSize logicalSize, bool withMask);

    // Draws frame number `index` (its opaque pixels only when it is transparent),
    // first saving what lies under it when its disposal is 3.
    void Draw(const TGifFrame& frame, int index);

    // Leaves frame `index`: disposal 2 makes its rectangle black (and transparent
    // when there is a mask), disposal 3 puts the saved content back, 0 and 1 keep.
    void Dispose(const TGifFrame& frame, int index);

    const QImage& Image() const { return m_image; }
    bool HasMask() const { return m_withMask; }

private:
    QImage m_image;
    bool m_withMask = false;
    QImage m_saved;        // the content under the frame with disposal 3 drawn last
    int m_savedIndex = -1; // which frame m_saved belongs to
};
