#pragma once
// TGIFImage: a control that shows a GIF picture (GIF87a/GIF89a) and plays its
// frames as an animation. Transparent pictures show what lies behind the
// control.
//
// Loading: SetFileName reads a file, LoadFromResource an embedded picture
// (":/gif/<NAME>.gif", the name in upper case), LoadFromData a picture in
// memory. Loading stops the old animation, draws frame 1, sizes the control
// when AutoSize is on and arms the timer when Animate is on and the picture
// has more than one frame.
//
// Frames: CurrentFrame is the frame shown when not animating and, while
// animating, the frame the next step shows. The control remembers which frame
// is on display and always disposes of that one before drawing another, so a
// step that finds CurrentFrame already on display (the first step after
// loading, after SetCurrentFrame or after Animate was switched off and on)
// only starts its timing. When the repeat count is used up the last frame
// stays on display, the timer stops and CurrentFrame is 1 (the frame the next
// step would show); setting Loop on then plays on from frame 1.
//
// Painting: nothing when Visible (a drawing flag; the widget itself stays
// shown) is off or no frame is loaded; otherwise stretched, tiled from (0, 0),
// centred or at (0, 0). Transparent pixels show the parent through the
// control when frame 1 is transparent, else they are painted black.
//
// Events: OnChanging fires before and OnChange after every change of the frame
// shown: SetCurrentFrame, switching Animate off on frame 2 or later, and every
// timer step (also the first, which changes nothing, and the last, which stops
// the animation when the repeat count is used up). Both may call any member
// except the loading functions and the destructor. An exception escaping a
// handler called from a timer step or a mouse event goes to ReportException.
// The mouse events fire from the control's own mouse handling; OnClick after
// a press and release of the left button inside the control.
//
// Errors: LastError() holds the last error code (see TGifError). A missing
// file sets 6 and changes nothing; a file that is not a GIF picture raises
// EGIFImageError after clearing the picture; a frame that cannot be decoded
// sets 3 and keeps the frames before it; an out-of-range frame number sets 4.
//
// Timing: each frame is shown for max(delay × 100 / Speed, 1) ms. The timer
// can be replaced (SetTimer) so that tests drive the steps themselves.
#include "core/exception.h"
#include "widgets/events.h"
#include "widgets/gifcanvas.h"
#include "widgets/gifreader.h"
#include "widgets/giftimer.h"

#include <QWidget>

#include <functional>
#include <memory>

enum TGifError {
    geNone = 0,
    geNothingToLoad = 1,
    geLoading = 2,
    geDecoding = 3,
    geFrameRange = 4,
    geFileNotFound = 6,
    geResource = 7,
};

class EGIFImageError : public Exception {
public:
    using Exception::Exception;
};

class TGIFImage : public QWidget {
    Q_OBJECT
public:
    using TMouseMoveEvent = std::function<void(TGIFImage* sender, Qt::KeyboardModifiers shift, int x, int y)>;

    explicit TGIFImage(QWidget* parent = nullptr);
    ~TGIFImage() override;

    bool Animate() const { return m_animate; }
    void SetAnimate(bool animate);
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool autoSize);
    bool Center() const { return m_center; }
    void SetCenter(bool center);
    int CurrentFrame() const { return m_currentFrame; }
    void SetCurrentFrame(int frame);
    QString FileName() const { return m_fileName; }
    void SetFileName(const QString& fileName);
    bool Loop() const { return m_loop; }
    void SetLoop(bool loop);
    int Speed() const { return m_speed; }
    void SetSpeed(int speed);
    bool Stretch() const { return m_stretch; }
    void SetStretch(bool stretch);
    bool Tile() const { return m_tile; }
    void SetTile(bool tile);
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible);

    TNotifyEventOf<TGIFImage> OnChanging;
    TNotifyEventOf<TGIFImage> OnChange;
    TNotifyEventOf<TGIFImage> OnClick;
    TNotifyEventOf<TGIFImage> OnDblClick;
    TMouseEventOf<TGIFImage> OnMouseDown;
    TMouseEventOf<TGIFImage> OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    // What a left click inside the control raises: OnClick.
    void Click();

    // Loads an embedded picture; FileName is cleared. A name that is not
    // embedded sets error 7 and changes nothing.
    void LoadFromResource(const QString& name);
    // Loads a picture held in memory; false when it does not begin with "GIF".
    bool LoadFromData(const QByteArray& data);

    int LastError() const { return m_lastError; }
    bool Empty() const { return m_picture.Frames.empty(); }
    int FrameCount() const { return int(m_picture.Frames.size()); }
    const TGifFrame& Frame(int number) const { return m_picture.Frames.at(number - 1); }
    QSize LogicalSize() const { return m_picture.LogicalSize; }
    int BitDepth() const { return m_picture.BitDepth; }
    int RepeatCount() const { return m_picture.RepeatCount; }
    bool IsTransparent() const { return m_picture.AnyTransparent; }
    // The working image: the frames drawn so far, after their disposals.
    const QImage& WorkingImage() const { return m_canvas.Image(); }
    // The interval of frame `number` at the current speed, in milliseconds.
    int FrameInterval(int number) const;
    // True when painting covers the whole control (nothing behind needs drawing).
    bool IsOpaque() const;

    // Replaces the animation clock (tests use a timer they fire themselves).
    void SetTimer(std::unique_ptr<TGifTimer> timer);
    TGifTimer& Timer() const { return *m_timer; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    bool LoadPicture(const QByteArray& data);
    void Step();
    void ShowFrame(int number);
    void ArmTimer(int intervalMs);
    void UpdateTimer();
    void UpdateOpaque();
    void Fire(const TNotifyEventOf<TGIFImage>& event);

    TGifPicture m_picture;
    TGifCanvas m_canvas;
    std::unique_ptr<TGifTimer> m_timer;

    bool m_animate = false;
    bool m_autoSize = false;
    bool m_center = false;
    int m_currentFrame = 1;
    int m_shownFrame = 0; // the frame on display (0: none)
    QString m_fileName;
    bool m_loop = false;
    int m_speed = 100;
    bool m_stretch = false;
    bool m_tile = false;
    bool m_visible = true;

    int m_playedPasses = 1;
    bool m_passesUsedUp = false; // stopped on the last frame after the repeat count
    int m_lastError = geNone;
};
