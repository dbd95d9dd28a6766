#include "widgets/button3d.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>

QList<TCaptionCopy> Button3DCaptionCopies(const TButton3DLook& look, bool pressed, bool enabled)
{
    const QPoint shift = pressed ? QPoint(1, 1) : QPoint(0, 0);
    const int s = look.shadowSize;
    if (!enabled)
        return {{shift + QPoint(1, 1), Qt::white}, {shift, QColor(0x80, 0x80, 0x80)}};
    switch (look.bevel) {
    case TButton3DBevel::bvNone:
        break;
    case TButton3DBevel::bvRaised:
    case TButton3DBevel::bvLowered: {
        QColor a = look.highlight;
        QColor b = look.shadow;
        if (look.bevel == TButton3DBevel::bvLowered)
            std::swap(a, b);
        if (pressed && look.pressState == TButton3DPressState::bvPress)
            std::swap(a, b);
        return {{shift + QPoint(-s, -s), a}, {shift + QPoint(s, s), b}, {shift, look.font}};
    }
    case TButton3DBevel::bvShadow:
        if (pressed)
            break;
        return {{shift + QPoint(s, s), look.shadow}, {shift, look.font}};
    }
    return {{shift, look.font}};
}

TButton3D::TButton3D(QWidget* parent) : QPushButton(parent) {}

void TButton3D::SetHighLightColor(TColor color)
{
    m_highLightColor = color;
    update();
}

void TButton3D::SetShadowColor(TColor color)
{
    m_shadowColor = color;
    update();
}

void TButton3D::SetBevel(TButton3DBevel bevel)
{
    m_bevel = bevel;
    update();
}

void TButton3D::SetShadowSize(quint8 size)
{
    m_shadowSize = size;
    update();
}

void TButton3D::SetPressState(TButton3DPressState state)
{
    m_pressState = state;
    update();
}

bool TButton3D::IsActiveDefault() const
{
    if (!isDefault())
        return false;
    auto* focused = qobject_cast<QPushButton*>(window()->focusWidget());
    return !focused || focused == this || !focused->hasFocus();
}

void TButton3D::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::EnabledChange)
        update();
}

void TButton3D::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const bool pressed = isDown();
    const bool activeDefault = IsActiveDefault();
    QRect r = rect();
    if (hasFocus() || activeDefault) {
        painter.setPen(FromWinColor(clWindowFrame, palette()));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }
    if (pressed) {
        painter.fillRect(r, FromWinColor(clBtnFace, palette()));
        painter.setPen(FromWinColor(clBtnShadow, palette()));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    } else {
        QStyleOptionButton option;
        option.initFrom(this);
        option.rect = r;
        option.state &= ~QStyle::State_HasFocus;
        option.state |= QStyle::State_Raised;
        style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
    }

    TButton3DLook look;
    look.bevel = m_bevel;
    look.pressState = m_pressState;
    look.shadowSize = m_shadowSize;
    look.highlight = FromWinColor(m_highLightColor, palette());
    look.shadow = FromWinColor(m_shadowColor, palette());
    look.font = palette().color(QPalette::ButtonText);
    const int flags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
    for (const TCaptionCopy& copy : Button3DCaptionCopies(look, pressed, isEnabled())) {
        painter.setPen(copy.color);
        painter.drawText(r.translated(copy.offset), flags, text());
    }

    if (activeDefault) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(4, 4, -4, -4);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}
