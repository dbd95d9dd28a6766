#include "widgets/hemispherebutton.h"

#include "widgets/events.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <cmath>

namespace {

// Whether a pixel's centre lies within the centred ellipse of half-axes ea, eb.
bool InEllipse(double dx, double dy, double ea, double eb)
{
    if (ea <= 0 || eb <= 0)
        return false;
    return (dx * dx) / (ea * ea) + (dy * dy) / (eb * eb) <= 1.0;
}

QRgb Blend(const QColor& dark, const QColor& bright, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    auto channel = [t](int d, int b) { return int(d + t * (b - d)); };
    return qRgb(channel(dark.red(), bright.red()), channel(dark.green(), bright.green()),
                channel(dark.blue(), bright.blue()));
}

} // namespace

int HemisphereBevelSize(const THemisphereLook& look)
{
    return look.bevelWidth * ((look.bevelInner != THemisphereBevel::hbNone ? 1 : 0) +
                              (look.bevelOuter != THemisphereBevel::hbNone ? 1 : 0));
}

QImage HemisphereImage(QSize size, bool sunken, const THemisphereLook& look)
{
    if (size.width() < 1 || size.height() < 1)
        return {};
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const double a = size.width() / 2.0;
    const double b = size.height() / 2.0;
    const int m = HemisphereBevelSize(look);
    // The rings from the outside in: the outer bevel first.
    QList<THemisphereBevel> rings;
    for (THemisphereBevel bevel : {look.bevelOuter, look.bevelInner})
        if (bevel != THemisphereBevel::hbNone)
            rings.append(bevel);
    const double root3 = std::sqrt(3.0);
    const double root2 = std::sqrt(2.0);

    for (int py = 0; py < size.height(); ++py) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(py));
        for (int px = 0; px < size.width(); ++px) {
            const double dx = px + 0.5 - a;
            const double dy = py + 0.5 - b;
            if (!InEllipse(dx, dy, a, b))
                continue;
            const double x = dx / a;
            const double y = dy / b;
            const double r = std::sqrt(x * x + y * y);
            if (InEllipse(dx, dy, a - m, b - m)) {
                const double t = sunken ? ((r - 1) + x + y) / root3 : ((1 - r) - x - y) / root3;
                line[px] = Blend(look.dark, look.bright, t);
                continue;
            }
            // Which ring: the first whose inner ellipse does not hold the pixel.
            int ring = 0;
            while (ring + 1 < rings.size() &&
                   InEllipse(dx, dy, a - (ring + 1) * look.bevelWidth, b - (ring + 1) * look.bevelWidth))
                ++ring;
            const double facing = r > 0 ? (-x - y) / (r * root2) : 0.0;
            const double lit = rings.value(ring) == THemisphereBevel::hbRaised ? facing : -facing;
            const int grey = std::clamp(int(128 + 128 * lit), 0, 255);
            line[px] = qRgb(grey, grey, grey);
        }
    }
    return image;
}

bool HemisphereHit(QSize size, int m, QPoint point)
{
    const double a = size.width() / 2.0;
    const double b = size.height() / 2.0;
    return InEllipse(point.x() - a, point.y() - b, a - m, b - m);
}

THemisphereButton::THemisphereButton(QWidget* parent) : QWidget(parent)
{
    resize(50, 50);
    setMouseTracking(true); // OnMouseMove also without a button held
}

void THemisphereButton::Invalidate()
{
    m_dirty = true;
    update();
}

void THemisphereButton::SetAllowAllUp(bool on)
{
    m_allowAllUp = on;
    for (THemisphereButton* sibling : GroupSiblings())
        sibling->m_allowAllUp = on;
}

void THemisphereButton::SetBevelInner(THemisphereBevel bevel)
{
    m_look.bevelInner = bevel;
    Invalidate();
}

void THemisphereButton::SetBevelOuter(THemisphereBevel bevel)
{
    m_look.bevelOuter = bevel;
    Invalidate();
}

void THemisphereButton::SetBevelWidth(int width)
{
    if (width <= 0)
        return;
    m_look.bevelWidth = width;
    Invalidate();
}

void THemisphereButton::SetBorderColor(TColor color)
{
    m_borderColor = color;
    Invalidate();
}

void THemisphereButton::SetBorderStyle(TBorderStyle style)
{
    m_borderStyle = style;
    Invalidate();
}

void THemisphereButton::SetCaption(const QString& caption)
{
    m_caption = caption;
    Invalidate();
}

void THemisphereButton::SetColorBright(TColor color)
{
    m_look.bright = FromWinColor(color);
    Invalidate();
}

void THemisphereButton::SetColorDark(TColor color)
{
    m_look.dark = FromWinColor(color);
    Invalidate();
}

void THemisphereButton::SetPressed(bool pressed)
{
    if (pressed == m_pressed)
        return;
    m_pressed = pressed;
    update();
}

QImage THemisphereButton::ImageOut()
{
    Recompute();
    return m_imageOut;
}

QImage THemisphereButton::ImageIn()
{
    Recompute();
    return m_imageIn;
}

void THemisphereButton::Recompute()
{
    if (!m_dirty)
        return;
    m_dirty = false;
    const int m = HemisphereBevelSize(m_look);
    for (bool sunken : {false, true}) {
        QImage image = HemisphereImage(size(), sunken, m_look);
        if (!image.isNull()) {
            QPainter painter(&image);
            if (!m_caption.isEmpty()) {
                painter.setFont(font());
                painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                               QPalette::ButtonText));
                const QFontMetrics metrics = fontMetrics();
                const QRect text = metrics.boundingRect(QRect(), Qt::TextShowMnemonic, m_caption);
                const int x = (width() - text.width() - 1) / 2;
                const int y = (height() - text.height() - 1) / 2;
                painter.drawText(QRect(x, y, text.width() + 1, text.height()), Qt::TextShowMnemonic,
                                 m_caption);
            }
            if (m_borderStyle == TBorderStyle::bsSingle) {
                painter.setPen(FromWinColor(m_borderColor, palette()));
                painter.drawEllipse(QRect(m, m, width() - 2 * m - 1, height() - 2 * m - 1));
            }
        }
        (sunken ? m_imageIn : m_imageOut) = image;
    }
}

void THemisphereButton::paintEvent(QPaintEvent*)
{
    Recompute();
    QPainter painter(this);
    painter.drawImage(0, 0, m_pressed ? m_imageIn : m_imageOut);
}

void THemisphereButton::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Invalidate();
}

void THemisphereButton::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::EnabledChange)
        Invalidate();
}

bool THemisphereButton::Hits(QPoint point) const
{
    return HemisphereHit(size(), HemisphereBevelSize(m_look), point);
}

QList<THemisphereButton*> THemisphereButton::GroupSiblings() const
{
    QList<THemisphereButton*> siblings;
    if (!parentWidget() || m_groupIndex == 0)
        return siblings;
    for (QObject* object : parentWidget()->children())
        if (auto* button = qobject_cast<THemisphereButton*>(object);
            button && button != this && button->m_groupIndex == m_groupIndex)
            siblings.append(button);
    return siblings;
}

void THemisphereButton::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    FireEvent(OnMouseDown, this, event->button(), event->modifiers(), pos.x(), pos.y());
    if (event->button() != Qt::LeftButton || !isEnabled() || !Hits(event->position().toPoint()))
        return;
    m_mouseDown = true;
    m_wasPressed = m_pressed;
    SetPressed(true);
}

void THemisphereButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
    if (m_mouseDown)
        FireEvent(OnDblClick, this);
}

void THemisphereButton::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    FireEvent(OnMouseMove, this, event->buttons(), event->modifiers(), pos.x(), pos.y());
    if (m_mouseDown && !m_wasPressed)
        SetPressed(Hits(event->position().toPoint()));
}

void THemisphereButton::mouseReleaseEvent(QMouseEvent* event)
{
    QPointer<THemisphereButton> guard(this);
    const QPoint pos = event->position().toPoint();
    if (m_mouseDown && event->button() == Qt::LeftButton)
        ReleaseLeft(pos);
    if (guard)
        FireEvent(OnMouseUp, this, event->button(), event->modifiers(), pos.x(), pos.y());
}

void THemisphereButton::ReleaseLeft(QPoint pos)
{
    m_mouseDown = false;
    if (!Hits(pos)) {
        SetPressed(m_wasPressed); // released off the button: nothing happened
        return;
    }
    Clicked();
}

void THemisphereButton::Click()
{
    if (!isEnabled())
        return;
    m_wasPressed = m_pressed;
    SetPressed(true);
    Clicked();
}

void THemisphereButton::Clicked()
{
    QPointer<THemisphereButton> guard(this);
    FireEvent(OnClick, this);
    if (!guard)
        return;
    if (m_groupIndex == 0) {
        SetPressed(false);
        return;
    }
    if (m_wasPressed && !m_allowAllUp)
        return;
    for (THemisphereButton* sibling : GroupSiblings())
        sibling->SetPressed(false);
    SetPressed(!m_wasPressed);
}
