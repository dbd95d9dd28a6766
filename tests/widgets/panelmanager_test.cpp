#include "widgets/floatpanel.h"
#include "widgets/mpanel.h"
#include "widgets/panelmanager.h"
#include "widgets/sendmouse.h"

#include "support/pump.h"

#include <QApplication>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// A manager with panels of the given heights, laid out at once.
struct Fixture {
    QWidget window;
    TPanelManager* manager = new TPanelManager(&window);
    QList<TMPanel*> panels;
    std::vector<std::pair<pnlAction, bool>> actions; // (action, CanDo as the handler saw it)
    int changes = 0;

    explicit Fixture(std::initializer_list<int> heights)
    {
        window.resize(400, 300);
        manager->resize(400, 10);
        int y = 0;
        for (int h : heights) {
            auto* panel = new TMPanel(manager);
            panel->setGeometry(0, y, 300, h);
            y += h;
            panels.append(panel);
        }
        manager->OnPanelAction = [this](TPanelManager*, QWidget*, pnlAction action, bool& canDo) {
            actions.emplace_back(action, canDo);
        };
        manager->OnPanelChange = [this](TPanelManager*, QWidget*) { ++changes; };
        window.show();
        manager->Realign();
    }

    QPoint GripOf(int index) const { return {4, panels[index]->y() + panels[index]->height() / 2}; }
    QPoint TabPoint() const { return {3, manager->height() - 2}; }
};

std::vector<pnlAction> ActionsOnly(const std::vector<std::pair<pnlAction, bool>>& actions)
{
    std::vector<pnlAction> result;
    for (const auto& [action, canDo] : actions)
        result.push_back(action);
    return result;
}

} // namespace

TEST(PanelLayout, TableSortsByPositionAndSumsShownAndCollapsedRuns)
{
    // Child order 0, 1, 2 with positions 50, 10, 30; the middle one (child 2) collapsed.
    const std::vector<TPanelInfo> panels{{50, 20, true, 0}, {10, 30, true, 0}, {30, 41, false, 25}};
    const auto table = LayoutPanelTable(panels);
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0].child, 1);
    EXPECT_EQ(table[1].child, 2);
    EXPECT_EQ(table[2].child, 0);
    EXPECT_EQ(table[0].start, 0);
    EXPECT_EQ(table[0].end, 30);
    EXPECT_TRUE(table[1].collapsed);
    EXPECT_EQ(table[1].start, 0);
    EXPECT_EQ(table[1].end, 41 + 25);
    EXPECT_EQ(table[2].start, 30);
    EXPECT_EQ(table[2].end, 50);
    EXPECT_EQ(PanelManagerHeight(table, 10, 1, TPanelBevel::bvNone, TPanelBevel::bvNone), 50 + 10 + 1);
}

TEST(PanelLayout, HeightOfTheMainWindowsStripAndOfAllCollapsed)
{
    EXPECT_EQ(PanelManagerHeight(LayoutPanelTable({{0, 41, true, 0}}), 10, 1, TPanelBevel::bvNone,
                                 TPanelBevel::bvNone),
              42);
    const auto collapsed = LayoutPanelTable({{0, 41, false, 0}, {41, 30, false, 12}});
    EXPECT_EQ(PanelManagerHeight(collapsed, 10, 1, TPanelBevel::bvNone, TPanelBevel::bvNone), 11);
    EXPECT_EQ(PanelManagerHeight(collapsed, 10, 2, TPanelBevel::bvLowered, TPanelBevel::bvRaised),
              10 + 2 * 3);

    Fixture f{41, 30};
    EXPECT_EQ(f.manager->height(), 72);
    for (TMPanel* panel : f.panels)
        panel->hide();
    f.manager->Realign();
    EXPECT_EQ(f.manager->height(), 11);
    // With no panel shown the grip column is gone: above the strip nothing is hit.
    EXPECT_EQ(f.manager->HitTest(4, 0, false), nullptr);
    EXPECT_EQ(f.manager->HitTest(4, 1, false), f.panels[0]);
}

TEST(PanelLayout, HitTestCoversGripsAndSlantedTabsOnly)
{
    // One shown panel 0..40, two collapsed tabs 0..30 and 30..60 in a manager 51 high.
    const auto table = LayoutPanelTable({{0, 40, true, 0}, {40, 30, false, 0}, {80, 30, false, 0}});
    const int height = 51, gripRight = 10, tab = 10;
    EXPECT_EQ(HitTestPanelTable(table, 5, 20, gripRight, height, tab), 0);
    EXPECT_EQ(HitTestPanelTable(table, 11, 20, gripRight, height, tab), -1); // right of the grips
    EXPECT_EQ(HitTestPanelTable(table, 5, 40, gripRight, height, tab), 0);   // the grip's last row
    EXPECT_EQ(HitTestPanelTable(table, 20, 41, gripRight, height, tab), 1);  // first tab, top row
    EXPECT_EQ(HitTestPanelTable(table, 35, 41, gripRight, height, tab), 2);  // second tab, top row
    // On the bottom row (d = 9) the second tab has moved 9 pixels left.
    EXPECT_EQ(HitTestPanelTable(table, 23, 50, gripRight, height, tab), 2);
    EXPECT_EQ(HitTestPanelTable(table, 52, 50, gripRight, height, tab), -1);
    EXPECT_EQ(HitTestPanelTable(table, 20, 51, gripRight, height, tab), -1); // below the strip
}

TEST(PanelManager, TabColorSetsTheHighlightByAdding192PerByte)
{
    EXPECT_EQ(TabHighlightOf(0xFF0000), 0xFFC0C0u);
    EXPECT_EQ(TabHighlightOf(0x000080), 0xC0C0FFu);
    EXPECT_EQ(TabHighlightOf(0x123456), 0xD2F4FFu);
    TPanelManager manager;
    EXPECT_EQ(manager.TabHighColor(), 0xFFC0C0u);
    manager.SetTabColor(0x000080);
    EXPECT_EQ(manager.TabHighColor(), 0xC0C0FFu);
    manager.SetTabHighColor(0x010203);
    EXPECT_EQ(manager.TabHighColor(), 0x010203u);
}

TEST(PanelManager, ClickOnGripCollapsesAndClickOnTabShowsAgain)
{
    Fixture f{41, 30};
    // Press on the first grip, release 4 pixels off to the right and down: still a click.
    const QPoint grip = f.GripOf(0);
    Press(f.manager, grip);
    Release(f.manager, grip + QPoint(4, 4));
    EXPECT_TRUE(f.panels[0]->isHidden());
    EXPECT_EQ(ActionsOnly(f.actions), (std::vector<pnlAction>{2, 1}));
    EXPECT_EQ(f.changes, 1);
    EXPECT_EQ(f.manager->height(), 30 + 10 + 1);
    EXPECT_EQ(f.panels[1]->y(), 0);

    f.actions.clear();
    Click(f.manager, f.TabPoint());
    EXPECT_FALSE(f.panels[0]->isHidden());
    EXPECT_EQ(ActionsOnly(f.actions), (std::vector<pnlAction>{0, 3}));
    EXPECT_EQ(f.changes, 2);
    EXPECT_EQ(f.manager->height(), 72);
    EXPECT_EQ(f.panels[0]->y(), 0) << "a shown panel returns to its place in the order";
}

TEST(PanelManager, VetoOfCollapseKeepsEveryPanelShown)
{
    Fixture f{41, 30};
    f.manager->OnPanelAction = [&](TPanelManager*, QWidget*, pnlAction action, bool& canDo) {
        f.actions.emplace_back(action, canDo);
        if (action == 2)
            canDo = false;
    };
    Click(f.manager, f.GripOf(0));
    Click(f.manager, f.GripOf(1));
    EXPECT_FALSE(f.panels[0]->isHidden());
    EXPECT_FALSE(f.panels[1]->isHidden());
    EXPECT_EQ(ActionsOnly(f.actions), (std::vector<pnlAction>{2, 2}));
    EXPECT_TRUE(f.actions[0].second) << "CanDo starts true";
    EXPECT_EQ(f.changes, 0);
}

TEST(PanelManager, DraggingAGripOntoAnotherPanelReorders)
{
    Fixture f{41, 30, 20};
    Press(f.manager, f.GripOf(2));
    Release(f.manager, f.GripOf(0));
    EXPECT_EQ(f.manager->Panels(), (QList<QWidget*>{f.panels[2], f.panels[0], f.panels[1]}));
    EXPECT_EQ(f.panels[2]->y(), 0);
    EXPECT_EQ(f.panels[0]->y(), 20);
    EXPECT_TRUE(f.actions.empty()) << "a reorder of a shown panel asks nothing";
}

TEST(PanelManager, DraggingOutFloatsAndClosingDocksBack)
{
    Fixture f{41, 30};
    Press(f.manager, f.GripOf(1));
    Release(f.manager, QPoint(50, 200)); // below the manager
    auto* window = qobject_cast<TFloatPanel*>(f.panels[1]->parentWidget());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tools"));
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(f.panels[1]->Floating());
    EXPECT_EQ(ActionsOnly(f.actions), (std::vector<pnlAction>{4, 5}));
    EXPECT_EQ(f.manager->height(), 42) << "the floating panel no longer counts";

    f.actions.clear();
    window->close();
    EXPECT_EQ(f.panels[1]->parentWidget(), f.manager);
    EXPECT_FALSE(f.panels[1]->Floating());
    EXPECT_FALSE(f.panels[1]->isHidden());
    EXPECT_EQ(ActionsOnly(f.actions), (std::vector<pnlAction>{6}));
    EXPECT_EQ(f.manager->height(), 72);
}

TEST(PanelManager, FloatingWindowTitleSizeAndRefusals)
{
    Fixture f{41, 30};
    f.panels[0]->SetTabCaption(QStringLiteral("Orodja"));
    f.panels[0]->SetFloatX(7);
    f.panels[0]->SetFloatY(3);
    auto* tool = new QToolButton(f.panels[0]);
    tool->setGeometry(20, 2, 30, 25);
    auto* window = new TFloatPanel(f.panels[0], &f.window);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Orodja"));
    EXPECT_EQ(window->size(), QSize(50 + 7, 27 + 3));
    window->close();

    // A panel that may not float, and a vetoed float, stay docked.
    f.panels[1]->SetFloatable(false);
    Press(f.manager, f.GripOf(1));
    Release(f.manager, QPoint(50, 200));
    EXPECT_EQ(f.panels[1]->parentWidget(), f.manager);
    f.manager->OnPanelAction = [](TPanelManager*, QWidget*, pnlAction action, bool& canDo) {
        canDo = action != 4;
    };
    Press(f.manager, f.GripOf(0));
    Release(f.manager, QPoint(50, 200));
    EXPECT_EQ(f.panels[0]->parentWidget(), f.manager);
}

TEST(PanelManager, RefusesPanelsBeyondFiftyOne)
{
    TPanelManager manager;
    manager.resize(200, 10);
    for (int i = 0; i < 53; ++i)
        (new TMPanel(&manager))->setGeometry(0, i, 100, 2);
    manager.Realign();
    EXPECT_EQ(manager.Panels().size(), MaxManagedPanels);
    EXPECT_EQ(manager.height(), 51 * 2 + 1);
    int hidden = 0;
    for (QObject* child : manager.children())
        hidden += qobject_cast<QWidget*>(child)->isHidden() ? 1 : 0;
    EXPECT_EQ(hidden, 2);
}

TEST(PanelManager, LaysOutAgainWhenPanelsComeAndGo)
{
    Fixture f{41};
    auto* added = new TMPanel(f.manager);
    added->setGeometry(0, 100, 300, 20);
    added->show(); // a child added to a visible parent starts hidden
    QApplication::sendPostedEvents(f.manager, QEvent::LayoutRequest);
    EXPECT_EQ(f.manager->height(), 62);
    delete added;
    QApplication::sendPostedEvents(f.manager, QEvent::LayoutRequest);
    EXPECT_EQ(f.manager->height(), 42);
}

TEST(MPanel, ArangeButtonsLinesUpVisibleToolButtonsOnly)
{
    TMPanel panel;
    auto* first = new QToolButton(&panel);
    first->setGeometry(100, 30, 25, 20);
    auto* hidden = new QToolButton(&panel);
    hidden->setGeometry(5, 5, 25, 20);
    hidden->hide();
    auto* second = new QToolButton(&panel);
    second->setGeometry(0, 0, 40, 20);
    auto* other = new QWidget(&panel);
    other->setGeometry(7, 9, 10, 10);
    panel.SetArangeButtons(true);
    EXPECT_EQ(first->pos(), QPoint(20, 2));
    EXPECT_EQ(second->pos(), QPoint(45, 2));
    EXPECT_EQ(hidden->pos(), QPoint(5, 5));
    EXPECT_EQ(other->pos(), QPoint(7, 9));
}
