#include "widgets/panel3d.h"

#include <QFontInfo>
#include <QPainter>

int Panel3DFrameOffset(int shadowSizeTitle, int titlePixelHeight)
{
    // The font height counts negative for a size in points: minus half of it moves down.
    const int height = -titlePixelHeight;
    return shadowSizeTitle - height / 2;
}

QPair<int, int> Panel3DTitleSpan(TAlignment alignment, int width, int textWidth)
{
    switch (alignment) {
    case TAlignment::taLeftJustify:
        return {5, textWidth < width - 5 ? 5 + textWidth + 5 : width};
    case TAlignment::taRightJustify: {
        const int right = width - 5;
        return {textWidth < width - 5 ? right - textWidth - 5 : 0, right};
    }
    case TAlignment::taCenter:
        break;
    }
    return {textWidth > width ? 0 : width / 2 - textWidth / 2, width / 2 + textWidth / 2};
}

int Panel3DCaptionTop(TPanel3DVertAlignment alignment, int top, int bottom, int h, int shadowSize)
{
    switch (alignment) {
    case TPanel3DVertAlignment::vaTop:
        return top + shadowSize;
    case TPanel3DVertAlignment::vaCenter:
        break;
    case TPanel3DVertAlignment::vaBottom:
        return bottom - h - shadowSize;
    }
    return (bottom + top - h) / 2 + shadowSize;
}

TPanel3D::TPanel3D(QWidget* parent) : TCustomPanel(parent), m_fontTitle(font())
{
    // A font the painter must not complete from the widget's own font.
    m_fontTitle.setResolveMask(QFont::AllPropertiesResolved);
}

void TPanel3D::SetAlignmentTitle(TAlignment alignment)
{
    m_alignmentTitle = alignment;
    update();
}

void TPanel3D::SetBevelCaption(TPanelText3DBevel bevel)
{
    m_bevelCaption = bevel;
    update();
}

void TPanel3D::SetBevelTitle(TPanelText3DBevel bevel)
{
    m_bevelTitle = bevel;
    update();
}

void TPanel3D::SetBorderTitle(TPanelBevel bevel)
{
    m_borderTitle = bevel;
    update();
}

void TPanel3D::SetColorTitle(TColor color)
{
    m_colorTitle = color;
    update();
}

void TPanel3D::SetFontTitle(const QFont& font)
{
    m_fontTitle = font;
    m_fontTitle.setResolveMask(QFont::AllPropertiesResolved);
    update();
}

void TPanel3D::SetHColorCaption(TColor color)
{
    m_hColorCaption = color;
    update();
}

void TPanel3D::SetHColorTitle(TColor color)
{
    m_hColorTitle = color;
    update();
}

void TPanel3D::SetSColorCaption(TColor color)
{
    m_sColorCaption = color;
    update();
}

void TPanel3D::SetSColorTitle(TColor color)
{
    m_sColorTitle = color;
    update();
}

void TPanel3D::SetRePaintCT(TPanel3DRePaintCT which)
{
    m_rePaintCT = which;
    update();
}

void TPanel3D::SetShadowSizeCaption(quint8 size)
{
    m_shadowSizeCaption = size;
    update();
}

void TPanel3D::SetShadowSizeTitle(quint8 size)
{
    m_shadowSizeTitle = size;
    update();
}

void TPanel3D::SetTitle(const QString& title)
{
    m_title = title;
    update();
}

void TPanel3D::SetVertAlignment(TPanel3DVertAlignment alignment)
{
    m_vertAlignment = alignment;
    update();
}

int TPanel3D::FrameTop() const
{
    return Panel3DFrameOffset(m_shadowSizeTitle, QFontInfo(m_fontTitle).pixelSize());
}

TText3D TPanel3D::Look(TPanelText3DBevel style, TColor light, TColor dark, int offset) const
{
    TText3D look;
    look.style = style;
    look.light = Resolve(light);
    look.dark = Resolve(dark);
    look.text = palette().color(QPalette::WindowText);
    look.grayText = Resolve(clGrayText);
    look.offset = offset;
    look.enabled = isEnabled();
    return look;
}

void TPanel3D::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor face = Resolve(Color());
    const QColor light = Resolve(clBtnHighlight);
    const QColor dark = Resolve(clBtnShadow);
    painter.fillRect(rect(), face);

    const int frameOffset = FrameTop();
    QRect r = rect();
    r.setTop(r.top() + frameOffset);
    auto bevel = [&](TPanelBevel kind) {
        if (kind == TPanelBevel::bvRaised)
            Frame3D(painter, r, light, dark, BevelWidth());
        else if (kind == TPanelBevel::bvLowered)
            Frame3D(painter, r, dark, light, BevelWidth());
    };
    bevel(BevelOuter());
    Frame3D(painter, r, face, face, BorderWidth());
    bevel(BevelInner());

    if (m_rePaintCT != TPanel3DRePaintCT::rpTitle && !Caption().isEmpty()) {
        const int flags = HorizontalFlags(Alignment()) | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs;
        const int h = fontMetrics().boundingRect(r, flags, Caption()).height();
        if (!m_title.isEmpty())
            r.setTop(r.top() + frameOffset);
        const int s = m_shadowSizeCaption;
        const int top = Panel3DCaptionTop(m_vertAlignment, r.top(), r.bottom() + 1, h, s);
        const QRect text(r.left() + s, top, r.width() - 2 * s, qMax(h, r.bottom() + 1 - top));
        painter.setFont(font());
        DrawText3D(painter, text, flags, Caption(),
                   Look(m_bevelCaption, m_hColorCaption, m_sColorCaption, s));
    }

    if (!m_title.isEmpty() && m_rePaintCT != TPanel3DRePaintCT::rpCaption) {
        painter.setFont(m_fontTitle);
        const QFontMetrics metrics(m_fontTitle);
        const auto [left, right] =
            Panel3DTitleSpan(m_alignmentTitle, width(), metrics.horizontalAdvance(m_title));
        const int s = m_shadowSizeTitle;
        QRect box(QPoint(left, 0), QPoint(right - 1, metrics.height() + s - 1));
        painter.fillRect(box.adjusted(-s, 0, s, 0), Resolve(m_colorTitle));
        if (m_borderTitle == TPanelBevel::bvLowered)
            Frame3D(painter, box, dark, light, BevelWidth());
        else if (m_borderTitle == TPanelBevel::bvRaised)
            Frame3D(painter, box, light, dark, BevelWidth());
        DrawText3D(painter, box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip,
                   m_title, Look(m_bevelTitle, m_hColorTitle, m_sColorTitle, s));
    }
}
