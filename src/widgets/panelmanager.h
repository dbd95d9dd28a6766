#pragma once
// TPanelManager: stacks tool panels one under another. Each shown panel has a
// grip along the manager's left edge, each collapsed panel a slanted tab on a
// strip along its bottom edge. A click on a grip collapses its panel, a click
// on a tab shows it; dragging a grip or tab onto another panel reorders;
// dragging a TMPanel's grip out of the manager floats the panel in a
// TFloatPanel, which docks it back when closed. The manager sets its own
// height (setFixedHeight) to what its panels need.
//
// Contract:
// - OnPanelAction(sender, panel, action, CanDo) is asked before an action with
//   CanDo true (actions 0 show, 2 collapse, 4 float: clearing CanDo vetoes) and
//   told after one (1 collapsed, 3 shown, 5 floated, 6 docked back: CanDo is
//   ignored). OnPanelChange(sender, panel) follows every show and collapse,
//   after action 1 or 3. Handlers may change panels and properties; an
//   exception escaping them goes to ReportException.
// - Children that are panels (TCustomPanel) are laid out; at most 51 of them,
//   in child order: further panels are hidden and ignored.
// - The layout runs after children are added or removed, shown, hidden or
//   resized (posted, so a burst of changes lays out once), and at once on
//   Realign().
#include "widgets/custompanel.h"

#include <QPointer>
#include <functional>
#include <vector>

using pnlAction = int;

class TPanelManager;
using TPanelChangeEvent = std::function<void(TPanelManager* sender, QWidget* panel)>;
using TPanelActionEvent =
    std::function<void(TPanelManager* sender, QWidget* panel, pnlAction action, bool& CanDo)>;

// One row of the layout table.
struct TPanelEntry {
    int key = 0;   // the panel's vertical position at the last layout
    int start = 0; // shown: y range of its grip; collapsed: x range of its tab
    int end = 0;
    int child = 0; // index into the list the table was built from
    bool collapsed = false;
};

// What the layout needs to know of one panel.
struct TPanelInfo {
    int top = 0;
    int height = 0;
    bool visible = true;
    int captionWidth = 0; // width of TabCaption + "a", 0 without a tab caption
};

constexpr int MaxManagedPanels = 51;

// The layout table for panels (in child order): sorted by key, with start/end
// from the running shown height and collapsed length.
std::vector<TPanelEntry> LayoutPanelTable(const std::vector<TPanelInfo>& panels);

// The manager's height for a layout table.
int PanelManagerHeight(const std::vector<TPanelEntry>& table, int tabHeight, int bevelWidth,
                       TPanelBevel inner, TPanelBevel outer);

// The position in table hit by (x, y), or -1. gripRight is the right edge of
// the grip column, height the manager's height.
int HitTestPanelTable(const std::vector<TPanelEntry>& table, int x, int y, int gripRight, int height,
                      int tabHeight);

// The highlight colour for a tab colour: 192 added to each colour byte, capped at 255.
TColor TabHighlightOf(TColor tabColor);

class TPanelManager : public TCustomPanel {
    Q_OBJECT

public:
    explicit TPanelManager(QWidget* parent = nullptr);

    int TabWidth() const { return m_tabWidth; }
    void SetTabWidth(int width);
    int TabHeight() const { return m_tabHeight; }
    void SetTabHeight(int height);
    TColor TabColor() const { return m_tabColor; }
    void SetTabColor(TColor color); // also sets TabHighColor to TabHighlightOf(color)
    TColor TabHighColor() const { return m_tabHighColor; }
    void SetTabHighColor(TColor color);
    bool TabHighLight() const { return m_tabHighLight; }
    void SetTabHighLight(bool on);

    TPanelChangeEvent OnPanelChange;
    TPanelActionEvent OnPanelAction;

    // The layout step: rebuilds the table, places the panels, sets the height.
    void Realign();

    // Hit test in the manager's coordinates: the hit panel or nullptr. With
    // act, a hit collapsed panel is shown and a hit shown panel collapsed.
    QWidget* HitTest(int x, int y, bool act);

    // The panels in the layout table, in sorted order, and their states.
    QList<QWidget*> Panels() const;
    bool IsCollapsed(const QWidget* panel) const;

    // What a click on a panel's grip or tab does: a collapsed panel is shown,
    // a shown one collapsed (asked and told like a click). Not a panel of the
    // layout table: nothing.
    void TogglePanel(QWidget* panel);
    // Where the panel's grip (shown) or tab (collapsed) is, in the manager's
    // coordinates; empty for a panel not in the layout table.
    QRect HandleRect(const QWidget* panel) const;

    // Used by TFloatPanel when it docks a panel back.
    void PanelDocked(QWidget* panel);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void childEvent(QChildEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool Ask(QWidget* panel, pnlAction action);
    void Tell(QWidget* panel, pnlAction action);
    void ShowPanel(QWidget* panel);
    void CollapsePanel(QWidget* panel);
    void FloatPanel(QWidget* panel, const QPoint& globalPos);
    void RequestLayout();
    int CaptionWidth(const QWidget* panel) const;
    bool AnyShown() const;
    bool AnyCollapsed() const;
    int GripRight() const;
    void SetHighlight(int entry);
    void PaintGrip(QPainter& painter, const QRect& grip, QWidget* panel, bool highlighted);
    void PaintTab(QPainter& painter, int left, int right, bool first, QWidget* panel, bool highlighted);
    QColor TabColorFor(const QWidget* panel) const;
    QColor TabHighColorFor(const QWidget* panel) const;

    int m_tabWidth = 10;
    int m_tabHeight = 10;
    TColor m_tabColor = clBlue;
    TColor m_tabHighColor = 0xFFC0C0;
    bool m_tabHighLight = false;

    std::vector<TPanelEntry> m_table;
    std::vector<QPointer<QWidget>> m_panels; // the table's children, in child order
    int m_highlighted = -1;
    QPointer<QWidget> m_pressedPanel;
    QPoint m_pressPos;
    bool m_layoutRunning = false;
    bool m_dragging = false;
};
