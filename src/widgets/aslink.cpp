#include "widgets/aslink.h"

#include "widgets/linkopener.h"

#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>

QString URLPrefix(TURLType type)
{
    switch (type) {
    case TURLType::utFile:
        return QStringLiteral("file://");
    case TURLType::utFtp:
        return QStringLiteral("ftp://");
    case TURLType::utGopher:
        return QStringLiteral("gopher://");
    case TURLType::utHttp:
        return QStringLiteral("http://");
    case TURLType::utHttps:
        return QStringLiteral("https://");
    case TURLType::utMailto:
        return QStringLiteral("mailto:");
    case TURLType::utNews:
        return QStringLiteral("news:");
    case TURLType::utTelnet:
        return QStringLiteral("telnet:");
    case TURLType::utWais:
        return QStringLiteral("wais:");
    }
    return {};
}

QString LinkTarget(const QString& caption, TURLType type, bool addPrefix)
{
    return addPrefix ? URLPrefix(type) + caption : caption;
}

TShadowOffsets ShadowOffsets(TShadowPosition position, int s)
{
    switch (position) {
    case TShadowPosition::spLeftTop:
        return {{s, s}, {0, 0}};
    case TShadowPosition::spLeftBottom:
        return {{s, 0}, {0, s}};
    case TShadowPosition::spRightBottom:
        return {{0, 0}, {s, s}};
    case TShadowPosition::spRightTop:
        return {{0, s}, {s, 0}};
    }
    return {};
}

TASLink::TASLink(QWidget* parent) : QWidget(parent)
{
    resize(65, 17);
    setCursor(Qt::CrossCursor);
}

void TASLink::SetCaption(const QString& caption)
{
    m_caption = caption;
    UpdateShortcut();
    AdjustSize();
    update();
}

void TASLink::SetAlignment(TAlignment alignment)
{
    m_alignment = alignment;
    update();
}

void TASLink::SetAutoSize(bool on)
{
    m_autoSize = on;
    AdjustSize();
    update();
}

void TASLink::SetLayout(TTextLayout layout)
{
    m_layout = layout;
    update();
}

void TASLink::SetShadowColor(TColor color)
{
    m_shadowColor = color;
    update();
}

void TASLink::SetShadowSize(quint8 size)
{
    m_shadowSize = size;
    AdjustSize();
    update();
}

void TASLink::SetShadowPos(TShadowPosition position)
{
    m_shadowPos = position;
    update();
}

void TASLink::SetShowAccelChar(bool on)
{
    m_showAccelChar = on;
    UpdateShortcut();
    update();
}

void TASLink::SetShowFocus(bool on)
{
    m_showFocus = on;
    update();
}

void TASLink::SetTransparent(bool on)
{
    m_transparent = on;
    update();
}

void TASLink::SetWordWrap(bool on)
{
    m_wordWrap = on;
    AdjustSize();
    update();
}

void TASLink::SetFontColor(TColor color)
{
    m_fontColor = color;
    update();
}

void TASLink::SetColor(TColor color)
{
    m_color = color;
    update();
}

void TASLink::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        AdjustSize();
        update();
    }
}

int TASLink::TextFlags() const
{
    return HorizontalFlags(m_alignment) | Qt::AlignTop | (m_wordWrap ? Qt::TextWordWrap : 0) |
           (m_showAccelChar ? Qt::TextShowMnemonic : 0);
}

QString TASLink::MeasuredText() const
{
    if (m_caption.isEmpty() || (m_showAccelChar && m_caption == QStringLiteral("&")))
        return QStringLiteral(" ");
    return m_caption;
}

QSize TASLink::TextSize(int width) const
{
    const QRect text =
        fontMetrics().boundingRect(QRect(0, 0, qMax(width, 1), 1000000), TextFlags(), MeasuredText());
    // The union of the text and its shadow: both are s pixels apart along each axis.
    return {text.width() + m_shadowSize, text.height() + m_shadowSize};
}

void TASLink::AdjustSize()
{
    if (!m_autoSize)
        return;
    const QSize text = TextSize(width() - 2);
    const int newWidth = text.width() + 2;
    const int left = m_alignment == TAlignment::taRightJustify ? x() + width() - newWidth : x();
    setGeometry(left, y(), newWidth, text.height());
}

void TASLink::UpdateShortcut()
{
    const QKeySequence key = m_showAccelChar ? QKeySequence::mnemonic(m_caption) : QKeySequence();
    if (key.isEmpty()) {
        delete m_shortcut;
        m_shortcut = nullptr;
        return;
    }
    if (!m_shortcut) {
        m_shortcut = new QShortcut(this);
        m_shortcut->setContext(Qt::WindowShortcut);
        connect(m_shortcut, &QShortcut::activated, this, [this] {
            if (m_focusControl && isEnabled() && m_showAccelChar && m_focusControl->isEnabled() &&
                m_focusControl->isVisible() && m_focusControl->focusPolicy() != Qt::NoFocus)
                m_focusControl->setFocus(Qt::ShortcutFocusReason);
        });
    }
    m_shortcut->setKey(key);
}

void TASLink::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_transparent)
        painter.fillRect(rect(), FromWinColor(m_color, palette()));
    QRect textRect = rect().adjusted(1, 0, -1, 0);
    if (m_layout != TTextLayout::tlTop) {
        const int textHeight = TextSize(textRect.width()).height();
        const int room = height() - textHeight;
        textRect.translate(0, m_layout == TTextLayout::tlCenter ? room / 2 : room);
    }
    int s = m_shadowSize;
    TShadowPosition position = m_shadowPos;
    QColor text = FromWinColor(m_fontColor, palette());
    QColor shadow = FromWinColor(m_shadowColor, palette());
    if (!isEnabled()) {
        text = FromWinColor(clGrayText, palette());
        shadow = FromWinColor(clBtnHighlight, palette());
        if (s == 0) {
            s = 1;
            position = TShadowPosition::spRightBottom;
        }
    }
    const TShadowOffsets offsets = ShadowOffsets(position, s);
    painter.setFont(font());
    painter.setPen(shadow);
    painter.drawText(textRect.translated(offsets.shadow), TextFlags(), m_caption);
    painter.setPen(text);
    painter.drawText(textRect.translated(offsets.text), TextFlags(), m_caption);
}

void TASLink::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    if (m_hover)
        return;
    m_hover = true;
    m_savedFontColor = m_fontColor;
    m_fontColor = m_linkColor;
    update();
}

void TASLink::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (!m_hover)
        return;
    m_hover = false;
    m_fontColor = m_savedFontColor;
    update();
}

void TASLink::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
}

void TASLink::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    if (!rect().contains(event->position().toPoint()))
        return;
    Click();
}

void TASLink::Click()
{
    QPointer<TASLink> guard(this);
    FireEvent(OnClick, this);
    if (!guard)
        return;
    if (!m_caption.isEmpty() && m_urlEnabled)
        OpenLink(LinkTarget(m_caption, m_urlType, m_urlTypeAdd));
    update();
}
