#include "widgets/progressbar3d.h"

#include <QPainter>
#include <QResizeEvent>

qint64 RoundHalfEven(qint64 num, qint64 den)
{
    if (den < 0) {
        num = -num;
        den = -den;
    }
    qint64 quotient = num / den;
    qint64 remainder = num % den;
    if (remainder < 0) { // floor division
        --quotient;
        remainder += den;
    }
    if (2 * remainder > den || (2 * remainder == den && (quotient & 1)))
        ++quotient;
    return quotient;
}

int ProgressPercent(int progress, int minValue, int maxValue)
{
    if (maxValue == minValue)
        return 0;
    return int(RoundHalfEven((qint64(progress) - minValue) * 100, qint64(maxValue) - minValue));
}

QColor TextColourOver(const QColor& bar, const QColor& font)
{
    // Contrast by perceived lightness: the font colour when it differs enough, else black or white.
    auto lightness = [](const QColor& c) {
        return (299 * c.red() + 587 * c.green() + 114 * c.blue()) / 1000;
    };
    const int barLight = lightness(bar);
    if (qAbs(lightness(font) - barLight) >= 96)
        return font;
    return barLight >= 128 ? QColor(Qt::black) : QColor(Qt::white);
}

int ProgressBarLength(int length, int percent)
{
    return int(RoundHalfEven(qint64(length) * percent, 100));
}

QSize ProgressBarSize(QSize size, ProgressBar3DOrientation orientation)
{
    int w = size.width();
    int h = size.height();
    if (orientation == ProgressBar3DOrientation::BarHorizontal) {
        if (h > w)
            std::swap(w, h);
        return {qMax(w, 50), qMax(h, 20)};
    }
    if (w > h)
        std::swap(w, h);
    return {qMax(w, 20), qMax(h, 50)};
}

ProgressBar3D::ProgressBar3D(QWidget* parent) : TCustomPanel(parent)
{
    SetCaption(QStringLiteral(" "));
    resize(100, 25);
}

void ProgressBar3D::SetMinValue(int value)
{
    m_minValue = value;
    update();
}

void ProgressBar3D::SetMaxValue(int value)
{
    m_maxValue = value;
    update();
}

void ProgressBar3D::SetProgress(int value)
{
    if (value == m_progress || value < m_minValue || value > m_maxValue)
        return;
    m_progress = value;
    update();
}

void ProgressBar3D::SetShowText(bool on)
{
    m_showText = on;
    update();
}

void ProgressBar3D::SetBarColor(TColor color)
{
    m_barColor = color;
    update();
}

void ProgressBar3D::SetBackColor(TColor color)
{
    m_backColor = color;
    update();
}

void ProgressBar3D::SetBorderColor(TColor color)
{
    m_borderColor = color;
    update();
}

void ProgressBar3D::SetFontColor(TColor color)
{
    m_fontColor = color;
    update();
}

void ProgressBar3D::SetOrientation(ProgressBar3DOrientation orientation)
{
    m_orientation = orientation;
    const QSize wanted = ProgressBarSize(size(), orientation);
    if (wanted != size())
        resize(wanted);
    update();
}

void ProgressBar3D::resizeEvent(QResizeEvent* event)
{
    TCustomPanel::resizeEvent(event);
    const QSize wanted = ProgressBarSize(event->size(), m_orientation);
    if (wanted != event->size())
        resize(wanted);
}

QRect ProgressBar3D::BarRect() const
{
    if (m_orientation == ProgressBar3DOrientation::BarHorizontal) {
        const int bar = ProgressBarLength(width(), Percent());
        return bar > 0 ? QRect(0, 0, bar, height()) : QRect();
    }
    const int bar = ProgressBarLength(height(), Percent());
    return bar > 0 ? QRect(0, height() - bar, width(), bar) : QRect();
}

namespace {

// A rectangle as the platform's graphics interface draws one: outline on the
// edge pixels of (left, top) .. (right - 1, bottom - 1), inside filled.
void Rectangle(QPainter& painter, int left, int top, int right, int bottom, const QColor& pen,
               const QColor& fill)
{
    if (right <= left || bottom <= top)
        return;
    painter.fillRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), fill);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(left, top, right - left - 1, bottom - top - 1);
}

void Polyline(QPainter& painter, const QColor& color, int width, std::initializer_list<QPoint> points)
{
    QPen pen(color, width);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawPolyline(std::data(points), int(points.size()));
}

} // namespace

void ProgressBar3D::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int l = 0, t = 0, r = width(), b = height();
    const QColor grey(0x80, 0x80, 0x80);
    Rectangle(painter, l, t, r, b, Qt::black, Resolve(m_borderColor));
    Rectangle(painter, l + 3, t + 3, r - 3, b - 3, grey, Resolve(m_backColor));
    Polyline(painter, Qt::white, 1, {QPoint(l + 4, b - 4), QPoint(r - 4, b - 4), QPoint(r - 4, t + 2)});

    const QRect bar = BarRect();
    if (!bar.isEmpty()) {
        const QColor fill = Resolve(m_barColor);
        if (m_orientation == ProgressBar3DOrientation::BarHorizontal) {
            const int end = bar.right() + 1;
            Rectangle(painter, l, t, end, b, Qt::black, fill);
            Polyline(painter, grey, 2,
                     {QPoint(end - 2, t + 2), QPoint(end - 2, b - 2), QPoint(l + 2, b - 2)});
            Polyline(painter, Qt::white, 1,
                     {QPoint(l + 1, b - 3), QPoint(l + 1, t + 1), QPoint(end - 2, t + 1)});
        } else {
            const int top = bar.top();
            Rectangle(painter, l, top, r, b, Qt::black, fill);
            Polyline(painter, grey, 2,
                     {QPoint(l + 2, top + 2), QPoint(r - 2, top + 2), QPoint(r - 2, b - 2)});
            Polyline(painter, Qt::white, 1,
                     {QPoint(l + 1, top + 2), QPoint(l + 1, b - 2), QPoint(r - 2, b - 2)});
        }
    }
    if (m_showText) {
        // The text in the font colour over the empty part and, where the bar covers it, in a colour
        // that stands out from the bar's (blue text on a blue bar would vanish past the middle).
        const QString text = Text();
        const QFontMetrics metrics = fontMetrics();
        const int x = (r + 1 - l - metrics.horizontalAdvance(text)) / 2;
        const int y = (b - t - metrics.height() + 1) / 2;
        const QPoint at(x, y + metrics.ascent());
        const QRegion barRegion = bar.isEmpty() ? QRegion() : QRegion(bar);
        painter.setClipRegion(QRegion(rect()).subtracted(barRegion));
        painter.setPen(Resolve(m_fontColor));
        painter.drawText(at, text);
        if (!bar.isEmpty()) {
            painter.setClipRegion(barRegion);
            painter.setPen(TextColourOver(Resolve(m_barColor), Resolve(m_fontColor)));
            painter.drawText(at, text);
        }
    }
}
