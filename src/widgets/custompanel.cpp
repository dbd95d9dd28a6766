#include "widgets/custompanel.h"

#include "widgets/paint3d.h"

#include <QPainter>

QRect PanelInnerRect(const QRect& client, TPanelBevel inner, TPanelBevel outer, int bevelWidth,
                     int borderWidth)
{
    int inset = borderWidth;
    if (inner != TPanelBevel::bvNone)
        inset += bevelWidth;
    if (outer != TPanelBevel::bvNone)
        inset += bevelWidth;
    return client.adjusted(inset, inset, -inset, -inset);
}

TCustomPanel::TCustomPanel(QWidget* parent) : QWidget(parent) {}

void TCustomPanel::SetCaption(const QString& caption)
{
    m_caption = caption;
    update();
}

void TCustomPanel::SetAlignment(TAlignment alignment)
{
    m_alignment = alignment;
    update();
}

void TCustomPanel::SetBevelInner(TPanelBevel bevel)
{
    m_bevelInner = bevel;
    update();
}

void TCustomPanel::SetBevelOuter(TPanelBevel bevel)
{
    m_bevelOuter = bevel;
    update();
}

void TCustomPanel::SetBevelWidth(int width)
{
    m_bevelWidth = qMax(1, width);
    update();
}

void TCustomPanel::SetBorderWidth(int width)
{
    m_borderWidth = qMax(0, width);
    update();
}

TColor TCustomPanel::Color() const
{
    if (m_parentColor)
        if (auto* parent = qobject_cast<const TCustomPanel*>(parentWidget()))
            return parent->Color();
    return m_color;
}

void TCustomPanel::SetColor(TColor color)
{
    m_color = color;
    m_parentColor = false;
    update();
}

void TCustomPanel::SetParentColor(bool on)
{
    m_parentColor = on;
    update();
}

int TCustomPanel::BevelSize() const
{
    return (m_bevelInner != TPanelBevel::bvNone ? m_bevelWidth : 0) +
           (m_bevelOuter != TPanelBevel::bvNone ? m_bevelWidth : 0);
}

QRect TCustomPanel::InnerRect() const
{
    return PanelInnerRect(rect(), m_bevelInner, m_bevelOuter, m_bevelWidth, m_borderWidth);
}

void TCustomPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintPanel(painter);
}

void TCustomPanel::PaintPanel(QPainter& painter, bool withCaption)
{
    const QColor face = Resolve(Color());
    const QColor light = Resolve(clBtnHighlight);
    const QColor dark = Resolve(clBtnShadow);
    QRect r = rect();
    painter.fillRect(r, face);
    auto bevel = [&](TPanelBevel kind) {
        if (kind == TPanelBevel::bvRaised)
            Frame3D(painter, r, light, dark, m_bevelWidth);
        else if (kind == TPanelBevel::bvLowered)
            Frame3D(painter, r, dark, light, m_bevelWidth);
    };
    bevel(m_bevelOuter);
    r.adjust(m_borderWidth, m_borderWidth, -m_borderWidth, -m_borderWidth);
    bevel(m_bevelInner);
    if (withCaption && !m_caption.isEmpty() && r.isValid()) {
        painter.setPen(
            palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        painter.drawText(r, HorizontalFlags(m_alignment) | Qt::AlignVCenter | Qt::TextShowMnemonic,
                         m_caption);
    }
}
