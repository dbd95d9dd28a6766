#include "widgets/officebutton.h"

#include "widgets/events.h"
#include "widgets/paint3d.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcut>

namespace {

struct TShadeThresholds {
    int first;
    int second;
    int third;
};

TShadeThresholds ThresholdsOf(TExplorerButtonShadingType shading)
{
    switch (shading) {
    case TExplorerButtonShadingType::stLight:
        return {205, 127, 68};
    case TExplorerButtonShadingType::stMedium:
        break;
    case TExplorerButtonShadingType::stDark:
        return {335, 274, 175};
    }
    return {553, 231, 57};
}

int Placed(TAlignment alignment, int buttonWidth, int width)
{
    switch (alignment) {
    case TAlignment::taLeftJustify:
        return 3;
    case TAlignment::taRightJustify:
        return buttonWidth - width - 3;
    case TAlignment::taCenter:
        break;
    }
    return (buttonWidth - width) / 2;
}

// The shape of an image (every pixel not of its transparent colour) in one colour.
QImage Silhouette(const QImage& bitmap, const QColor& color)
{
    QImage shape = TransparentImage(bitmap);
    QPainter painter(&shape);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(shape.rect(), color);
    return shape;
}

// The drop-down mark: a small down arrow of rows 7, 5, 3 and 1 pixels wide.
void DrawDropDownMark(QPainter& painter, int x, int y, const QColor& color)
{
    for (int row = 0; row < 4; ++row)
        painter.fillRect(x + row, y - 1 + row, 7 - 2 * row, 1, color);
}

} // namespace

QColor GreyShade(QRgb pixel, TExplorerButtonShadingType shading, const QColor& highlight,
                 const QColor& shadow)
{
    const int sum = qRed(pixel) + qGreen(pixel) + qBlue(pixel);
    const TShadeThresholds t = ThresholdsOf(shading);
    if (sum > t.first)
        return Qt::white;
    if (sum > t.second)
        return highlight;
    if (sum > t.third)
        return shadow;
    return Qt::black;
}

QImage GreyImage(const QImage& bitmap, TExplorerButtonShadingType shading, const QColor& highlight,
                 const QColor& shadow)
{
    if (bitmap.isNull())
        return {};
    QImage grey = bitmap.convertToFormat(QImage::Format_RGB32);
    const QRgb transparent = grey.pixel(0, 0);
    for (int y = 0; y < grey.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x)
            if (line[x] != transparent)
                line[x] = GreyShade(line[x], shading, highlight, shadow).rgb();
    }
    return grey;
}

QImage TransparentImage(const QImage& bitmap)
{
    if (bitmap.isNull())
        return {};
    QImage image = bitmap.convertToFormat(QImage::Format_ARGB32);
    const QRgb transparent = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] == transparent)
                line[x] = 0;
    }
    return image;
}

TOfficeButtonGeometry OfficeButtonGeometry(const TOfficeButtonLayoutInput& in)
{
    const int w = in.button.width();
    const int h = in.button.height();
    int cw = in.caption.width();
    const int ch = in.caption.height();
    const int iw = in.image.width();
    const int ih = in.image.height();
    TOfficeButtonGeometry g;
    if (!in.hasBitmap) {
        if (in.popupMark)
            cw = qMin(cw, w - 14) + 10;
        g.caption = QRect(Placed(in.alignment, w, cw), (h - ch) / 2, qMax(cw, 0), ch);
        g.image = QRect(g.caption.topLeft(), QSize(0, 0));
        if (in.popupMark)
            g.caption.setWidth(qMax(cw - 10, 0));
    } else {
        switch (in.layout) {
        case TExplorerButtonLayout::blBitmapTop:
        case TExplorerButtonLayout::blBitmapBottom: {
            const int top = (h - ch - ih - in.gap) / 2;
            const bool imageFirst = in.layout == TExplorerButtonLayout::blBitmapTop;
            const int imageTop = imageFirst ? top : top + ch + in.gap;
            const int captionTop = imageFirst ? top + ih + in.gap : top;
            g.image = QRect(Placed(in.alignment, w, iw), imageTop, iw, ih);
            g.caption = QRect(Placed(in.alignment, w, cw), captionTop, cw, ch);
            break;
        }
        case TExplorerButtonLayout::blBitmapLeft:
        case TExplorerButtonLayout::blBitmapRight: {
            if (cw + iw + in.gap > w - 4)
                cw = qMax(w - in.gap - iw - 4, 0);
            const int total = iw + in.gap + cw;
            const int start = Placed(in.alignment, w, total);
            const bool imageFirst = in.layout == TExplorerButtonLayout::blBitmapLeft;
            g.image = QRect(imageFirst ? start : start + cw + in.gap, (h - ih) / 2, iw, ih);
            g.caption = QRect(imageFirst ? start + iw + in.gap : start, (h - ch) / 2, cw, ch);
            break;
        }
        }
    }
    if (in.wordWrap && g.caption.right() > w - 6)
        g.caption.setRight(qMax(w - 6, g.caption.left() - 1));
    return g;
}

TOfficeButton::TOfficeButton(QWidget* parent) : QWidget(parent)
{
    resize(50, 40);
    setMouseTracking(true); // OnMouseMove also without a button held
}

QList<TOfficeButton*> TOfficeButton::GroupSiblings() const
{
    QList<TOfficeButton*> siblings;
    if (!parentWidget() || m_groupIndex == 0)
        return siblings;
    for (QObject* object : parentWidget()->children())
        if (auto* button = qobject_cast<TOfficeButton*>(object);
            button && button != this && button->m_groupIndex == m_groupIndex)
            siblings.append(button);
    return siblings;
}

void TOfficeButton::SetAlignment(TAlignment alignment)
{
    m_alignment = alignment;
    update();
}

void TOfficeButton::SetAllowAllUp(bool on)
{
    m_allowAllUp = on;
    for (TOfficeButton* sibling : GroupSiblings())
        sibling->m_allowAllUp = on;
    update();
}

void TOfficeButton::SetBevelStyle(TBevelStyle style)
{
    m_bevelStyle = style;
    update();
}

void TOfficeButton::SetBitmap(const QImage& bitmap)
{
    m_bitmap = bitmap;
    UpdateGreyBitmap();
    update();
}

void TOfficeButton::SetNoFocusBitmap(const QImage& bitmap)
{
    m_noFocusBitmap = bitmap;
    update();
}

void TOfficeButton::SetDisabledBitmap(const QImage& bitmap)
{
    m_disabledBitmap = bitmap;
    update();
}

void TOfficeButton::UpdateGreyBitmap()
{
    if (!m_bitmap.isNull() && m_noFocusBitmap.isNull())
        m_greyBitmap = GreyImage(m_bitmap, m_shadingType, Sys(clBtnHighlight), Sys(clBtnShadow));
}

void TOfficeButton::SetCaption(const QString& caption)
{
    m_caption = caption;
    if (m_options & TExplorerButtonOption::boIconOnly)
        SetHint(StripAccelChars(caption));
    UpdateShortcut();
    update();
}

void TOfficeButton::UpdateShortcut()
{
    const QKeySequence key = QKeySequence::mnemonic(m_caption);
    if (key.isEmpty()) {
        delete m_shortcut;
        m_shortcut = nullptr;
        return;
    }
    if (!m_shortcut) {
        m_shortcut = new QShortcut(this);
        m_shortcut->setContext(Qt::WindowShortcut);
        connect(m_shortcut, &QShortcut::activated, this, &TOfficeButton::Click);
    }
    m_shortcut->setKey(key);
}

void TOfficeButton::SetGroupIndex(int index)
{
    m_groupIndex = index;
    if (index == 0 && m_down) {
        m_down = false;
        update();
    }
}

void TOfficeButton::SetDown(bool down)
{
    if (down == m_down || m_groupIndex == 0)
        return;
    m_down = down;
    update();
    if (down)
        for (TOfficeButton* sibling : GroupSiblings())
            if (sibling->m_down) {
                sibling->m_down = false;
                sibling->update();
            }
}

void TOfficeButton::SetDropDownMenu(QMenu* menu)
{
    m_dropDownMenu = menu;
    update();
}

void TOfficeButton::SetLayout(TExplorerButtonLayout layout)
{
    m_layout = layout;
    update();
}

void TOfficeButton::SetOptions(TExplorerButtonOptions options)
{
    m_options = options;
    const QString stripped = StripAccelChars(m_caption);
    if (options & TExplorerButtonOption::boIconOnly) {
        if (m_hint.isEmpty()) {
            m_hint = stripped;
            m_showHint = true;
        }
    } else if (m_hint == stripped) {
        m_hint.clear();
        m_showHint = false;
    }
    UpdateToolTip();
    update();
}

void TOfficeButton::SetShadingType(TExplorerButtonShadingType shading)
{
    if (shading == m_shadingType)
        return;
    m_shadingType = shading;
    UpdateGreyBitmap();
    update();
}

void TOfficeButton::SetShowDownPattern(bool on)
{
    m_showDownPattern = on;
    update();
}

void TOfficeButton::SetUnselectedFontColor(TColor color)
{
    m_unselectedFontColor = color;
    update();
}

void TOfficeButton::SetWordWrap(bool on)
{
    m_wordWrap = on;
    update();
}

void TOfficeButton::SetHint(const QString& hint)
{
    m_hint = hint;
    UpdateToolTip();
}

void TOfficeButton::SetShowHint(bool on)
{
    m_showHint = on;
    UpdateToolTip();
}

void TOfficeButton::UpdateToolTip()
{
    setToolTip(m_showHint ? m_hint : QString());
}

void TOfficeButton::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        if (m_groupIndex == 0)
            m_down = false;
        m_hot = false;
        m_pressed = false;
        update();
    } else if (event->type() == QEvent::PaletteChange) {
        UpdateGreyBitmap();
        update();
    }
}

bool TOfficeButton::ShowsPopupMark() const
{
    return (m_options & TExplorerButtonOption::boPopupMark) && m_dropDownMenu;
}

int TOfficeButton::CaptionFlags() const
{
    return HorizontalFlags(m_alignment) | Qt::AlignTop | Qt::TextShowMnemonic |
           (m_wordWrap ? Qt::TextWordWrap : 0);
}

QSize TOfficeButton::CaptionSize() const
{
    if ((m_options & TExplorerButtonOption::boIconOnly) || m_caption.isEmpty())
        return {0, 0};
    const int maxWidth = qMax(width() - 4, 0);
    const QRect measured =
        fontMetrics().boundingRect(QRect(0, 0, maxWidth, 100000), CaptionFlags(), m_caption);
    return {qMin(measured.width(), maxWidth), measured.height()};
}

TOfficeButtonGeometry TOfficeButton::Geometry() const
{
    TOfficeButtonLayoutInput in;
    in.button = size();
    in.caption = CaptionSize();
    in.gap = in.caption.isEmpty() ? 0 : 2;
    in.hasBitmap = !m_bitmap.isNull();
    in.popupMark = ShowsPopupMark();
    in.image = in.hasBitmap ? BitmapSize() + QSize(in.popupMark ? 10 : 0, 0) : QSize(0, 0);
    in.wordWrap = m_wordWrap;
    in.layout = m_layout;
    in.alignment = m_alignment;
    return OfficeButtonGeometry(in);
}

void TOfficeButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor face = Sys(clBtnFace);
    const QColor light = Sys(clBtnHighlight);
    const QColor dark = Sys(clBtnShadow);
    if (m_down && m_showDownPattern)
        FillChecker(painter, rect(), light, face);
    else
        painter.fillRect(rect(), face);

    const TOfficeButtonGeometry g = Geometry();
    const bool hasBitmap = !m_bitmap.isNull();
    const bool lowered = m_bevelStyle == TBevelStyle::bsLowered;
    auto bevel = [&](bool pressedLook) {
        if (!(m_options & TExplorerButtonOption::boShowBevel))
            return;
        QRect frame = rect();
        if (pressedLook != lowered)
            Frame3D(painter, frame, dark, light, 1);
        else
            Frame3D(painter, frame, light, dark, 1);
    };
    auto caption = [&](const QColor& color, QPoint offset) {
        if (g.caption.isEmpty() || (m_options & TExplorerButtonOption::boIconOnly))
            return;
        const QString text = m_wordWrap ? m_caption
                                        : fontMetrics().elidedText(m_caption, Qt::ElideRight,
                                                                   g.caption.width(), Qt::TextShowMnemonic);
        // A wrapped caption kept off the right edge may need a line more than measured.
        QRect place = g.caption;
        if (m_wordWrap)
            place.setBottom(qMax(place.bottom(), height() - 1));
        painter.setPen(color);
        painter.drawText(place.translated(offset), CaptionFlags(), text);
    };
    auto mark = [&](int extra, const QColor& color) {
        if (!ShowsPopupMark())
            return;
        if (hasBitmap)
            DrawDropDownMark(painter, g.image.left() + BitmapSize().width() + 3 + extra,
                             g.image.top() + g.image.height() / 2 + extra, color);
        else
            DrawDropDownMark(painter, g.caption.right() + 1 + 3 + extra,
                             g.caption.top() + g.caption.height() / 2 + extra, color);
    };
    const QColor fontColor = palette().color(QPalette::ButtonText);

    if (!isEnabled()) {
        if (m_down)
            bevel(true);
        if (!m_disabledBitmap.isNull()) {
            painter.drawImage(g.image.topLeft(), TransparentImage(m_disabledBitmap));
        } else if (hasBitmap) {
            painter.drawImage(g.image.topLeft() + QPoint(1, 1), Silhouette(m_bitmap, light));
            painter.drawImage(g.image.topLeft(), Silhouette(m_bitmap, dark));
        }
        caption(light, {1, 1});
        caption(dark, {0, 0});
    } else if ((m_pressed && m_hot) || m_down) {
        bevel(true);
        caption(fontColor, m_bevelStyle == TBevelStyle::bsRaised ? QPoint(1, 1) : QPoint(0, 0));
        if (hasBitmap)
            painter.drawImage(g.image.topLeft() + QPoint(1, 1), TransparentImage(m_bitmap));
        mark(1, fontColor);
    } else {
        if (m_hot)
            bevel(false);
        const QColor color = m_hot ? fontColor : Sys(m_unselectedFontColor);
        caption(color, lowered ? QPoint(1, 1) : QPoint(0, 0));
        if (hasBitmap) {
            const bool mono = !m_hot && (m_options & TExplorerButtonOption::boMonoDisplay);
            const QImage& image =
                !mono ? m_bitmap : (!m_noFocusBitmap.isNull() ? m_noFocusBitmap : m_greyBitmap);
            painter.drawImage(g.image.topLeft(), TransparentImage(image));
        }
        mark(0, color);
    }
}

void TOfficeButton::SetHot(bool hot)
{
    if (hot == m_hot)
        return;
    m_hot = hot;
    if (!m_down && isEnabled())
        update();
    if (hot)
        FireEvent(OnEnter, this);
    else
        FireEvent(OnExit, this);
}

void TOfficeButton::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    SetHot(true);
}

void TOfficeButton::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    SetHot(false);
}

void TOfficeButton::PressLeft()
{
    if (!isEnabled() || !isVisible())
        return;
    activateWindow();
    m_pressed = true;
    m_hot = true;
    repaint();
    if (m_dropDownMenu) {
        const QPointer<TOfficeButton> guard(this); // a menu action may delete the button
        m_dropDownMenu->exec(mapToGlobal(QPoint(0, height())));
        if (guard)
            AfterMenu();
    }
}

void TOfficeButton::AfterMenu()
{
    // The mouse went to the menu: a grab left behind is not this button's.
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    m_hot = rect().contains(mapFromGlobal(QCursor::pos()));
    m_pressed = false;
    update();
}

void TOfficeButton::ReleaseLeft(bool overNow)
{
    if (!m_pressed)
        return;
    m_pressed = false;
    if (m_hot && m_groupIndex != 0) {
        if (!m_down)
            SetDown(true);
        else if (m_allowAllUp) {
            m_down = false;
            update();
        }
    }
    if (m_hot) {
        m_hot = overNow;
        update();
        if (!m_dropDownMenu)
            FireEvent(OnClick, this);
    }
}

void TOfficeButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        PressLeft();
    else
        QWidget::mousePressEvent(event);
}

void TOfficeButton::mouseMoveEvent(QMouseEvent* event)
{
    // While the button is held the mouse is grabbed: follow it in and out.
    const QPoint pos = event->position().toPoint();
    if (m_pressed)
        SetHot(rect().contains(pos));
    FireEvent(OnMouseMove, this, event->buttons(), event->modifiers(), pos.x(), pos.y());
}

void TOfficeButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        if (m_pressed)
            SetHot(rect().contains(event->position().toPoint()));
        ReleaseLeft(rect().contains(event->position().toPoint()));
        return;
    }
    if (event->button() == Qt::RightButton && m_popupMenu) {
        const QPointer<TOfficeButton> guard(this); // a menu action may delete the button
        m_popupMenu->exec(event->globalPosition().toPoint());
        if (guard)
            AfterMenu();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void TOfficeButton::Click()
{
    if (!isEnabled() || !isVisible())
        return;
    m_hot = true;
    m_pressed = false;
    repaint();
    QPointer<TOfficeButton> guard(this);
    PressLeft();
    QApplication::processEvents();
    if (!guard)
        return;
    ReleaseLeft(true);
    if (guard && !rect().contains(mapFromGlobal(QCursor::pos()))) {
        m_hot = false;
        update();
    }
}
