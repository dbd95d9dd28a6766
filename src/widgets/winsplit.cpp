#include "widgets/winsplit.h"

#include "widgets/events.h"

#include <QLayout>
#include <QMouseEvent>
#include <QPainter>

namespace {

// The drag line: inverts what lies beneath it.
class TSplitLine : public QWidget {
public:
    explicit TSplitLine(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        painter.fillRect(rect(), Qt::white);
    }
};

bool IsVerticalAlign(TAlign align)
{
    return align == TAlign::alLeft || align == TAlign::alRight;
}

} // namespace

int SplitTargetSize(TAlign align, QSize target, QPoint offset, unsigned min, unsigned max, bool* limited)
{
    int size = 0;
    switch (align) {
    case TAlign::alLeft:
        size = target.width() + offset.x();
        break;
    case TAlign::alRight:
        size = target.width() - offset.x();
        break;
    case TAlign::alTop:
        size = target.height() + offset.y();
        break;
    case TAlign::alBottom:
        size = target.height() - offset.y();
        break;
    default:
        size = IsVerticalAlign(align) ? target.width() : target.height();
        break;
    }
    bool wasLimited = false;
    if (size < 0 || unsigned(size) < min) {
        size = int(qMin(min, unsigned(INT_MAX)));
        wasLimited = true;
    } else if (max != 0 && unsigned(size) > max) {
        size = int(qMin(max, unsigned(INT_MAX)));
        wasLimited = true;
    }
    if (limited)
        *limited = wasLimited;
    return size;
}

QPoint SplitOffsetForSize(TAlign align, QSize target, int size)
{
    switch (align) {
    case TAlign::alLeft:
        return {size - target.width(), 0};
    case TAlign::alRight:
        return {target.width() - size, 0};
    case TAlign::alTop:
        return {0, size - target.height()};
    case TAlign::alBottom:
        return {0, target.height() - size};
    default:
        return {};
    }
}

TWinSplit::TWinSplit(QWidget* parent) : TCustomPanel(parent)
{
    resize(3, 100);
    SetParentColor(true);
    setFocusPolicy(Qt::NoFocus);
}

TWinSplit::~TWinSplit()
{
    disconnect(m_targetDestroyed);
    delete m_line.data();
}

void TWinSplit::ClearTarget()
{
    disconnect(m_targetDestroyed);
    m_target = nullptr;
    SetControlAlign(this, TAlign::alNone);
    setCursor(Qt::ArrowCursor);
}

void TWinSplit::SetTargetControl(QWidget* target)
{
    const TAlign align = ControlAlign(target);
    if (!target || target == this || align == TAlign::alNone || align == TAlign::alClient) {
        ClearTarget();
        return;
    }
    if (target != m_target) {
        disconnect(m_targetDestroyed);
        m_targetDestroyed = connect(target, &QObject::destroyed, this, [this] {
            if (m_dragging) {
                m_dragging = false;
                HideLine();
                m_offset = {};
            }
            ClearTarget();
        });
    }
    m_target = target;
    SetControlAlign(this, align);
    m_vertical = IsVerticalAlign(align);
    setCursor(m_vertical ? Qt::SplitHCursor : Qt::SplitVCursor);
}

void TWinSplit::SetMinTargetSize(unsigned size)
{
    m_min = (m_max != 0 && size >= m_max) ? m_max : size;
}

void TWinSplit::SetMaxTargetSize(unsigned size)
{
    m_max = (size != 0 && size <= m_min) ? m_min : size;
}

void TWinSplit::ShowLine()
{
    if (!parentWidget())
        return;
    if (!m_line)
        m_line = new TSplitLine(parentWidget());
    const QRect bar = geometry();
    m_line->setGeometry(bar.translated(m_offset));
    m_line->raise();
    m_line->show();
}

void TWinSplit::HideLine()
{
    if (m_line)
        m_line->hide();
}

void TWinSplit::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || event->buttons() != Qt::LeftButton ||
        event->modifiers() != Qt::NoModifier)
        return;
    SetTargetControl(m_target);
    if (!m_target || !parentWidget() || m_vertical != IsVerticalAlign(ControlAlign(this)))
        return;
    FireEvent(OnBeginSplit, this);
    m_dragging = true;
    m_offset = {};
    ShowLine();
}

void TWinSplit::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging)
        return;
    FireEvent(OnMoveSplit, this);
    if (!m_dragging || !m_target)
        return;
    const QPoint pos = event->position().toPoint();
    const QPoint wanted = m_vertical ? QPoint(pos.x(), 0) : QPoint(0, pos.y());
    const TAlign align = ControlAlign(this);
    bool limited = false;
    const int size = SplitTargetSize(align, m_target->size(), wanted, m_min, m_max, &limited);
    // A limited position stops the line at the limit itself.
    m_offset = limited ? SplitOffsetForSize(align, m_target->size(), size) : wanted;
    ShowLine();
}

void TWinSplit::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_dragging || event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    FireEvent(OnEndSplit, this);
    HideLine();
    if (m_target)
        ResizeTarget(SplitTargetSize(ControlAlign(this), m_target->size(), m_offset, m_min, m_max));
    m_offset = {};
}

void TWinSplit::ResizeTarget(int size)
{
    QWidget* parent = m_target->parentWidget();
    const TAlign align = ControlAlign(this);
    if (parent && parent->layout() && parent->layout()->indexOf(m_target) >= 0) {
        if (m_vertical)
            m_target->setFixedWidth(size);
        else
            m_target->setFixedHeight(size);
        return;
    }
    // No layout: keep the target's aligned edge and sit right next to it again.
    QRect target = m_target->geometry();
    switch (align) {
    case TAlign::alLeft:
        target.setWidth(size);
        move(target.right() + 1, y());
        break;
    case TAlign::alRight:
        target.setLeft(target.right() + 1 - size);
        move(target.left() - width(), y());
        break;
    case TAlign::alTop:
        target.setHeight(size);
        move(x(), target.bottom() + 1);
        break;
    case TAlign::alBottom:
        target.setTop(target.bottom() + 1 - size);
        move(x(), target.top() - height());
        break;
    default:
        return;
    }
    m_target->setGeometry(target);
}
