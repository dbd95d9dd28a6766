#include "widgets/gifimage.h"

#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

// The embedded pictures live in this static library; their registration must
// be called by name once (outside any namespace).
static void RegisterGifPictures()
{
    Q_INIT_RESOURCE(gifpictures);
}

namespace {

void EnsureGifPictures()
{
    static const bool registered = (RegisterGifPictures(), true);
    Q_UNUSED(registered);
}

// Runs an event handler where an escaping exception has nowhere else to go.
template <class Handler> void Guarded(Handler handler)
{
    try {
        handler();
    } catch (...) {
        ReportException(std::current_exception());
    }
}

} // namespace

TGIFImage::TGIFImage(QWidget* parent) : QWidget(parent)
{
    resize(105, 105);
    setMouseTracking(true);
    SetTimer(std::make_unique<TGifQtTimer>());
}

TGIFImage::~TGIFImage() = default;

void TGIFImage::SetTimer(std::unique_ptr<TGifTimer> timer)
{
    if (m_timer)
        m_timer->Stop();
    m_timer = std::move(timer);
    m_timer->OnTimeout = [this] { Guarded([this] { Step(); }); };
    UpdateTimer();
}

void TGIFImage::SetFileName(const QString& fileName)
{
    if (!QFileInfo(fileName).isFile()) {
        m_lastError = geFileNotFound;
        return;
    }
    m_fileName = fileName;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        m_lastError = geLoading;
        throw EGIFImageError(QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString()));
    }
    if (!LoadPicture(file.readAll()))
        throw EGIFImageError(QStringLiteral("%1 is not a GIF picture").arg(fileName));
}

void TGIFImage::LoadFromResource(const QString& name)
{
    EnsureGifPictures();
    QFile resource(QStringLiteral(":/gif/%1.gif").arg(name.toUpper()));
    if (name.isEmpty() || !resource.open(QIODevice::ReadOnly)) {
        m_lastError = geResource;
        return;
    }
    m_fileName.clear();
    LoadPicture(resource.readAll());
}

bool TGIFImage::LoadFromData(const QByteArray& data)
{
    return LoadPicture(data);
}

bool TGIFImage::LoadPicture(const QByteArray& data)
{
    m_timer->Stop();
    const TGifReadResult result = ReadGif(data, m_picture);
    m_currentFrame = 1;
    m_shownFrame = 0;
    m_playedPasses = 1;
    m_passesUsedUp = false;
    if (result == TGifReadResult::grOk)
        m_lastError = geNone;
    else
        m_lastError = data.isEmpty() ? geNothingToLoad : geDecoding;

    m_canvas.Reset(m_picture.LogicalSize, m_picture.AnyTransparent);
    if (!Empty()) {
        m_canvas.Draw(Frame(1), 1);
        m_shownFrame = 1;
        if (m_autoSize)
            resize(LogicalSize());
    }
    updateGeometry();
    UpdateOpaque();
    UpdateTimer();
    update();
    return result != TGifReadResult::grNotGif;
}

int TGIFImage::FrameInterval(int number) const
{
    // A frame without a delay would redraw the picture a thousand times a second.
    constexpr int shortestInterval = 10;
    return std::max(Frame(number).DelayMs * 100 / m_speed, shortestInterval);
}

void TGIFImage::ShowFrame(int number)
{
    if (m_shownFrame >= 1)
        m_canvas.Dispose(Frame(m_shownFrame), m_shownFrame);
    m_canvas.Draw(Frame(number), number);
    m_shownFrame = number;
    update();
}

void TGIFImage::SetCurrentFrame(int frame)
{
    if (frame < 1 || frame > FrameCount()) {
        m_lastError = geFrameRange;
        return;
    }
    if (frame == m_currentFrame)
        return;
    Fire(OnChanging);
    m_currentFrame = frame;
    ShowFrame(frame);
    Fire(OnChange);
}

void TGIFImage::SetAnimate(bool animate)
{
    const bool switchingOff = m_animate && !animate;
    m_animate = animate;
    m_playedPasses = 1;
    m_passesUsedUp = false;
    UpdateTimer();
    if (switchingOff && m_currentFrame >= 2) {
        Fire(OnChanging);
        m_currentFrame = 1;
        ShowFrame(1);
        Fire(OnChange);
    }
}

void TGIFImage::SetLoop(bool loop)
{
    m_loop = loop;
    if (loop && m_passesUsedUp) {
        m_passesUsedUp = false;
        m_playedPasses = 1;
        m_currentFrame = 1; // the next step leaves the last frame for frame 1
        UpdateTimer();
    }
}

void TGIFImage::SetSpeed(int speed)
{
    m_speed = std::max(speed, 1);
    if (m_timer->IsActive())
        m_timer->Start(0);
}

void TGIFImage::UpdateTimer()
{
    if (m_animate && FrameCount() > 1 && !m_passesUsedUp)
        m_timer->Start(FrameInterval(m_currentFrame));
    else
        m_timer->Stop();
}

void TGIFImage::Step()
{
    if (Empty())
        return;
    try {
        Fire(OnChanging);
    } catch (...) {
        if (m_animate && !Empty()) // a failing handler does not end the animation
            m_timer->Start(FrameInterval(m_currentFrame));
        throw;
    }
    if (!m_animate || Empty())
        return; // a handler stopped the animation
    // The first step after loading (or after a frame was chosen) finds the
    // frame already on display and only starts its timing.
    if (m_shownFrame != m_currentFrame)
        ShowFrame(m_currentFrame);
    const int interval = FrameInterval(m_currentFrame);
    const bool lastShown = m_currentFrame == FrameCount();
    ++m_currentFrame;
    if (!m_loop && RepeatCount() > 0 && lastShown && ++m_playedPasses > RepeatCount()) {
        // The last frame stays on display; the next frame would be frame 1.
        m_passesUsedUp = true;
        m_currentFrame = 1;
        m_timer->Stop();
        Fire(OnChange);
        return;
    }
    if (m_currentFrame > FrameCount())
        m_currentFrame = 1;
    m_timer->Start(interval);
    Fire(OnChange);
}

void TGIFImage::Fire(const TNotifyEventOf<TGIFImage>& event)
{
    if (event)
        event(this);
}

void TGIFImage::SetAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    if (autoSize && !Empty())
        resize(LogicalSize());
}

void TGIFImage::SetCenter(bool center)
{
    m_center = center;
    UpdateOpaque();
    update();
}

void TGIFImage::SetStretch(bool stretch)
{
    m_stretch = stretch;
    UpdateOpaque();
    update();
}

void TGIFImage::SetTile(bool tile)
{
    m_tile = tile;
    UpdateOpaque();
    update();
}

void TGIFImage::SetVisible(bool visible)
{
    m_visible = visible;
    UpdateOpaque();
    update();
}

bool TGIFImage::IsOpaque() const
{
    const QSize logical = LogicalSize();
    if (!m_visible || Empty() || m_picture.AnyTransparent || logical.isEmpty())
        return false;
    const bool stretched = m_stretch && size() != logical;
    return m_tile || stretched || (logical.width() >= width() && logical.height() >= height());
}

void TGIFImage::UpdateOpaque()
{
    setAttribute(Qt::WA_OpaquePaintEvent, IsOpaque());
}

QSize TGIFImage::sizeHint() const
{
    return Empty() ? QSize(105, 105) : LogicalSize();
}

void TGIFImage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    UpdateOpaque();
}

void TGIFImage::paintEvent(QPaintEvent*)
{
    const QSize logical = LogicalSize();
    if (!m_visible || Empty() || logical.isEmpty())
        return;
    QPainter painter(this);
    const QImage& image = m_canvas.Image();
    // Only a picture whose first frame is transparent shows what lies behind
    // it; otherwise its transparent pixels are drawn black.
    const bool fillBlack = m_canvas.HasMask() && !Frame(1).Transparent;
    auto draw = [&](const QRect& target) {
        if (fillBlack)
            painter.fillRect(target, Qt::black);
        painter.drawImage(target, image);
    };
    if (m_stretch && size() != logical) {
        draw(rect());
    } else if (m_tile) {
        for (int y = 0; y < height(); y += logical.height())
            for (int x = 0; x < width(); x += logical.width())
                draw(QRect(QPoint(x, y), logical));
    } else {
        const QPoint at = m_center
                              ? QPoint((width() - logical.width()) / 2, (height() - logical.height()) / 2)
                              : QPoint(0, 0);
        draw(QRect(at, logical));
    }
}

void TGIFImage::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (OnMouseDown)
        Guarded([&] { OnMouseDown(this, event->button(), event->modifiers(), at.x(), at.y()); });
}

void TGIFImage::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (OnMouseUp)
        Guarded([&] { OnMouseUp(this, event->button(), event->modifiers(), at.x(), at.y()); });
    if (event->button() == Qt::LeftButton && rect().contains(at))
        Click();
}

void TGIFImage::Click()
{
    if (OnClick)
        Guarded([&] { OnClick(this); });
}

void TGIFImage::mouseDoubleClickEvent(QMouseEvent* event)
{
    QWidget::mouseDoubleClickEvent(event);
    if (OnDblClick)
        Guarded([&] { OnDblClick(this); });
}

void TGIFImage::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (OnMouseMove)
        Guarded([&] { OnMouseMove(this, event->modifiers(), at.x(), at.y()); });
}
