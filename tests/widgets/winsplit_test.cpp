#include "widgets/sendmouse.h"
#include "widgets/winsplit.h"

#include <gtest/gtest.h>

namespace {

// A parent with a target aligned left (90 wide) or bottom (50 high) and its bar.
struct Scene {
    QWidget parent;
    QWidget* target = new QWidget(&parent);
    TWinSplit* bar = new TWinSplit(&parent);
    QStringList events;

    explicit Scene(TAlign align)
    {
        parent.resize(400, 300);
        SetControlAlign(target, align);
        if (align == TAlign::alLeft) {
            target->setGeometry(0, 0, 90, 300);
            bar->setGeometry(90, 0, 3, 300);
        } else {
            target->setGeometry(0, 250, 400, 50);
            bar->setGeometry(0, 247, 400, 3);
        }
        bar->SetTargetControl(target);
        bar->OnBeginSplit = [this](TWinSplit*) { events << "begin"; };
        bar->OnMoveSplit = [this](TWinSplit*) { events << "move"; };
        bar->OnEndSplit = [this](TWinSplit*) {
            events << QStringLiteral("end %1x%2").arg(target->width()).arg(target->height());
        };
        parent.show();
    }
};

} // namespace

TEST(WinSplit, SizeForOffsetFollowsTheAlignmentAndTheLimits)
{
    const QSize target(90, 50);
    bool limited = true;
    EXPECT_EQ(SplitTargetSize(TAlign::alLeft, target, {30, 0}, 0, 0, &limited), 120);
    EXPECT_FALSE(limited);
    EXPECT_EQ(SplitTargetSize(TAlign::alRight, target, {30, 0}, 0, 0), 60);
    EXPECT_EQ(SplitTargetSize(TAlign::alTop, target, {0, -20}, 0, 0), 30);
    EXPECT_EQ(SplitTargetSize(TAlign::alBottom, target, {0, -20}, 0, 0), 70);
    EXPECT_EQ(SplitTargetSize(TAlign::alLeft, target, {30, 0}, 0, 100, &limited), 100);
    EXPECT_TRUE(limited);
    EXPECT_EQ(SplitTargetSize(TAlign::alBottom, target, {0, 200}, 2, 0, &limited), 2);
    EXPECT_TRUE(limited);
    EXPECT_EQ(SplitTargetSize(TAlign::alLeft, target, {-500, 0}, 0, 0, &limited), 0) << "never negative";
    EXPECT_EQ(SplitOffsetForSize(TAlign::alRight, target, 100), QPoint(-10, 0));
}

TEST(WinSplit, MinAndMaxNeverCross)
{
    TWinSplit bar;
    bar.SetMinTargetSize(10);
    bar.SetMaxTargetSize(5);
    EXPECT_EQ(bar.MaxTargetSize(), 10u);
    bar.SetMaxTargetSize(0);
    EXPECT_EQ(bar.MaxTargetSize(), 0u) << "0 is no limit";
    bar.SetMaxTargetSize(50);
    bar.SetMinTargetSize(60);
    EXPECT_EQ(bar.MinTargetSize(), 50u);
    bar.SetMinTargetSize(20);
    EXPECT_EQ(bar.MinTargetSize(), 20u);
}

TEST(WinSplit, TakesOnlyAlignedTargets)
{
    QWidget parent;
    TWinSplit bar(&parent);
    QWidget target(&parent);
    bar.SetTargetControl(&target);
    EXPECT_EQ(bar.TargetControl(), nullptr) << "aligned none";
    SetControlAlign(&target, TAlign::alClient);
    bar.SetTargetControl(&target);
    EXPECT_EQ(bar.TargetControl(), nullptr);
    bar.SetTargetControl(&bar);
    EXPECT_EQ(bar.TargetControl(), nullptr);
    SetControlAlign(&target, TAlign::alRight);
    bar.SetTargetControl(&target);
    EXPECT_EQ(bar.TargetControl(), &target);
    EXPECT_TRUE(bar.Vertical());
    EXPECT_EQ(ControlAlign(&bar), TAlign::alRight);
    EXPECT_EQ(bar.cursor().shape(), Qt::SplitHCursor);
    SetControlAlign(&target, TAlign::alTop);
    bar.SetTargetControl(&target);
    EXPECT_FALSE(bar.Vertical());
    EXPECT_EQ(bar.cursor().shape(), Qt::SplitVCursor);
}

TEST(WinSplit, DragResizesTheTargetOnReleaseOnly)
{
    Scene scene(TAlign::alLeft);
    Press(scene.bar, {1, 10});
    Release(scene.bar, {1, 10});
    EXPECT_EQ(scene.target->width(), 90) << "no move keeps the size";

    scene.events.clear();
    Press(scene.bar, {1, 10});
    Move(scene.bar, {30, 12});
    EXPECT_EQ(scene.target->width(), 90) << "nothing changes while dragging";
    EXPECT_EQ(scene.bar->DragOffset(), QPoint(30, 0));
    Release(scene.bar, {30, 12});
    EXPECT_EQ(scene.target->width(), 120);
    EXPECT_EQ(scene.bar->x(), 120) << "the bar stays next to its target";
    EXPECT_EQ(scene.events, (QStringList{"begin", "move", "end 90x300"}));
    EXPECT_EQ(scene.bar->DragOffset(), QPoint(0, 0));
}

TEST(WinSplit, LimitsStopTheLineAndCapTheSize)
{
    Scene left(TAlign::alLeft);
    left.bar->SetMaxTargetSize(100);
    Press(left.bar, {1, 10});
    Move(left.bar, {5, 10});
    EXPECT_EQ(left.bar->DragOffset(), QPoint(5, 0));
    Move(left.bar, {60, 10});
    EXPECT_EQ(left.bar->DragOffset(), QPoint(10, 0)) << "the line stops at the limit";
    Release(left.bar, {60, 10});
    EXPECT_EQ(left.target->width(), 100);

    Scene log(TAlign::alBottom);
    log.bar->SetMinTargetSize(2);
    Press(log.bar, {10, 1});
    Move(log.bar, {10, 200}); // far below the log's bottom
    Release(log.bar, {10, 200});
    EXPECT_EQ(log.target->height(), 2);
    EXPECT_EQ(log.target->geometry().bottom(), 299) << "the bottom edge stays";
}

TEST(WinSplit, OnlyAPlainLeftPressStartsADrag)
{
    Scene scene(TAlign::alLeft);
    SendMouse(scene.bar, QEvent::MouseButtonPress, {1, 10}, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_FALSE(scene.bar->Dragging());
    SendMouse(scene.bar, QEvent::MouseButtonPress, {1, 10}, Qt::RightButton);
    EXPECT_FALSE(scene.bar->Dragging());
    EXPECT_TRUE(scene.events.isEmpty());
}

TEST(WinSplit, DestroyingTheTargetEndsTheDrag)
{
    Scene scene(TAlign::alLeft);
    Press(scene.bar, {1, 10});
    Move(scene.bar, {20, 10});
    delete scene.target;
    EXPECT_FALSE(scene.bar->Dragging());
    EXPECT_EQ(scene.bar->TargetControl(), nullptr);
    Move(scene.bar, {30, 10});
    Release(scene.bar, {30, 10}); // nothing left to resize: no crash
    EXPECT_EQ(ControlAlign(scene.bar), TAlign::alNone);
}
