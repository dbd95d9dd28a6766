#pragma once
// TWinSplit: a thin bar next to an aligned target control; dragging the bar
// resizes the target. While dragging, an inverted line over the parent shows
// where the edge will be; the target is resized only on release.
//
// Contract:
// - OnBeginSplit fires when a drag starts (left button, no modifier), before
//   the line is drawn; OnMoveSplit on every mouse move during the drag;
//   OnEndSplit when the button is released, before the target is resized.
// - The target must be aligned (ControlAlign) left, right, top or bottom; the
//   bar takes that alignment. Any other target is not taken.
// - A target is resized with setFixedWidth/Height when a layout manages it,
//   otherwise by keeping its aligned edge in place, the bar moving along to
//   stay next to it.
// - A drag past MinTargetSize or MaxTargetSize stops the line exactly at the
//   limit.
// - Destroying the target ends a running drag and clears TargetControl.
#include "widgets/custompanel.h"

#include <QPointer>
#include <functional>

class TWinSplit;
using TSplitEvent = std::function<void(TWinSplit* sender)>;

// The target's size for a drag offset, held within min and max (max 0 = no
// limit). limited tells whether a limit applied.
int SplitTargetSize(TAlign align, QSize target, QPoint offset, unsigned min, unsigned max,
                    bool* limited = nullptr);

// The offset along the split axis at which the target's size is exactly size.
QPoint SplitOffsetForSize(TAlign align, QSize target, int size);

class TWinSplit : public TCustomPanel {
    Q_OBJECT

public:
    explicit TWinSplit(QWidget* parent = nullptr);
    ~TWinSplit() override;

    QWidget* TargetControl() const { return m_target; }
    void SetTargetControl(QWidget* target);
    unsigned MinTargetSize() const { return m_min; }
    void SetMinTargetSize(unsigned size);
    unsigned MaxTargetSize() const { return m_max; }
    void SetMaxTargetSize(unsigned size);

    bool Vertical() const { return m_vertical; }
    bool Dragging() const { return m_dragging; }
    QPoint DragOffset() const { return m_offset; }

    TSplitEvent OnBeginSplit;
    TSplitEvent OnMoveSplit;
    TSplitEvent OnEndSplit;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ClearTarget();
    void ShowLine();
    void HideLine();
    void ResizeTarget(int size);

    QPointer<QWidget> m_target;
    QMetaObject::Connection m_targetDestroyed;
    unsigned m_min = 0;
    unsigned m_max = 0;
    bool m_vertical = false;
    bool m_dragging = false;
    QPoint m_offset;
    QPointer<QWidget> m_line; // the inverted drag line, a child of the parent
};
