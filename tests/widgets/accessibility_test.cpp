#include "widgets/accessibility.h"
#include "widgets/aslink.h"
#include "widgets/button3d.h"
#include "widgets/gifimage.h"
#include "widgets/hemispherebutton.h"
#include "widgets/linkopener.h"
#include "widgets/mpanel.h"
#include "widgets/officebutton.h"
#include "widgets/panelmanager.h"
#include "widgets/progressbar3d.h"
#include "widgets/radiogroup.h"

#include "support/pump.h"

#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QAccessibleInterface* Of(QObject* object)
{
    return QAccessible::queryAccessibleInterface(object);
}

QString Name(QAccessibleInterface* iface)
{
    return iface->text(QAccessible::Name);
}

bool CanPress(QAccessibleInterface* iface)
{
    QAccessibleActionInterface* actions = iface->actionInterface();
    return actions && actions->actionNames().contains(QAccessibleActionInterface::pressAction());
}

void Press(QAccessibleInterface* iface)
{
    ASSERT_TRUE(CanPress(iface)) << Name(iface).toStdString();
    iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
}

} // namespace

TEST(Accessibility, CaptionsBecomeNamesWithoutTheirAccessKeyMarks)
{
    EXPECT_EQ(AccessibleCaption(QStringLiteral("&Poveži")), QStringLiteral("Poveži"));
    EXPECT_EQ(AccessibleCaption(QStringLiteral("P&rekliči")), QStringLiteral("Prekliči"));
    EXPECT_EQ(AccessibleCaption(QStringLiteral("Tom && Jerry &x")), QStringLiteral("Tom & Jerry x"));
    EXPECT_EQ(AccessibleCaption(QStringLiteral("end&")), QStringLiteral("end"));
}

TEST(Accessibility, FlatToolButtonIsANamedButtonWhosePressClicksItLater)
{
    InstallAccessibility(); // before the controls: Qt makes their interfaces when they are shown
    QWidget window;
    auto* connect = new TOfficeButton(&window);
    connect->SetHint(QStringLiteral("Poveže s FTP strežnikom"));
    auto* type = new TOfficeButton(&window);
    type->SetCaption(QStringLiteral("&Auto"));
    type->SetHint(QStringLiteral("Izbere tip prenosa datotek"));
    window.show();

    QAccessibleInterface* iface = Of(connect);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::PushButton);
    EXPECT_EQ(Name(iface), QStringLiteral("Poveže s FTP strežnikom"))
        << "a button without caption is named by its hint";
    EXPECT_TRUE(iface->text(QAccessible::Description).isEmpty());
    EXPECT_EQ(Name(Of(type)), QStringLiteral("Auto"));
    EXPECT_EQ(Of(type)->text(QAccessible::Description), QStringLiteral("Izbere tip prenosa datotek"));
    connect->setAccessibleName(QStringLiteral("HitriGumb1"));
    EXPECT_EQ(Name(iface), QStringLiteral("HitriGumb1")) << "a name the program gives wins";

    int clicks = 0;
    connect->OnClick = [&](QObject*) { ++clicks; };
    Press(iface);
    EXPECT_EQ(clicks, 0) << "the caller is answered before the click runs";
    ASSERT_TRUE(PumpUntil([&] { return clicks == 1; }));

    connect->setEnabled(false);
    EXPECT_TRUE(iface->state().disabled);
    Press(iface);
    PumpFor(50);
    EXPECT_EQ(clicks, 0 + 1) << "a disabled button ignores Press";

    // A grouped button is checkable and is checked once pressed.
    connect->setEnabled(true);
    connect->SetGroupIndex(1);
    EXPECT_TRUE(iface->state().checkable);
    EXPECT_FALSE(iface->state().checked);
    Press(iface);
    ASSERT_TRUE(PumpUntil([&] { return clicks == 2; }));
    EXPECT_TRUE(iface->state().checked);

    // Pressed and then destroyed before the event loop runs: nothing happens.
    Press(iface);
    delete connect;
    PumpFor(50);
    EXPECT_EQ(clicks, 2);
}

TEST(Accessibility, DropDownToolButtonOpensItsMenuAfterThePressReturns)
{
    InstallAccessibility(); // before the controls: Qt makes their interfaces when they are shown
    QWidget window;
    auto* type = new TOfficeButton(&window);
    type->SetCaption(QStringLiteral("Auto"));
    QMenu menu;
    menu.addAction(QStringLiteral("Samodejno"));
    type->SetDropDownMenu(&menu);
    window.show();

    QAccessibleInterface* iface = Of(type);
    EXPECT_EQ(iface->role(), QAccessible::ButtonMenu);
    EXPECT_TRUE(iface->state().hasPopup);

    bool opened = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (menu.isVisible()) {
            opened = true;
            menu.close();
        }
    });
    closer.start(10);
    Press(iface);
    EXPECT_FALSE(menu.isVisible());
    ASSERT_TRUE(PumpUntil([&] { return opened; }));
    EXPECT_TRUE(PumpUntil([&] { return !type->Pressed(); })) << "the button comes up when the menu closes";
}

TEST(Accessibility, DomeButtonsLinkAndLogoArePressable)
{
    InstallAccessibility(); // before the controls: Qt makes their interfaces when they are shown
    QWidget window;
    auto* first = new THemisphereButton(&window);
    auto* second = new THemisphereButton(&window);
    for (THemisphereButton* b : {first, second}) {
        b->resize(30, 30);
        b->SetGroupIndex(3);
    }
    first->SetCaption(QStringLiteral("&Ena"));
    auto* link = new TASLink(&window);
    link->SetCaption(QStringLiteral("www.zorvek.si"));
    link->SetURLType(TURLType::utHttp);
    auto* logo = new TGIFImage(&window);
    logo->setToolTip(QStringLiteral("O Kvado"));
    window.show();

    // Pressing the second dome of a group releases the first.
    QAccessibleInterface* dome = Of(first);
    EXPECT_EQ(dome->role(), QAccessible::PushButton);
    EXPECT_EQ(Name(dome), QStringLiteral("Ena"));
    Press(dome);
    ASSERT_TRUE(PumpUntil([&] { return first->Pressed(); }));
    EXPECT_TRUE(dome->state().checked);
    Press(Of(second));
    ASSERT_TRUE(PumpUntil([&] { return second->Pressed(); }));
    EXPECT_FALSE(dome->state().checked);

    QStringList opened;
    TLinkOpener previous = SetLinkOpener([&](const QString& target) { opened << target; });
    QAccessibleInterface* linkIface = Of(link);
    EXPECT_EQ(linkIface->role(), QAccessible::Link);
    EXPECT_EQ(Name(linkIface), QStringLiteral("www.zorvek.si"));
    EXPECT_EQ(linkIface->text(QAccessible::Description), QStringLiteral("http://www.zorvek.si"));
    Press(linkIface);
    EXPECT_TRUE(PumpUntil([&] { return !opened.isEmpty(); }));
    SetLinkOpener(previous);
    EXPECT_EQ(opened, QStringList{QStringLiteral("http://www.zorvek.si")});

    // The logo can be pressed only once clicking it does something.
    QAccessibleInterface* logoIface = Of(logo);
    EXPECT_EQ(logoIface->role(), QAccessible::Graphic);
    EXPECT_EQ(Name(logoIface), QStringLiteral("O Kvado"));
    EXPECT_FALSE(CanPress(logoIface));
    int aboutOpened = 0;
    logo->OnClick = [&](TGIFImage*) { ++aboutOpened; };
    Press(logoIface);
    EXPECT_TRUE(PumpUntil([&] { return aboutOpened == 1; }));
}

TEST(Accessibility, ProgressBarTellsItsValue)
{
    InstallAccessibility(); // before the controls: Qt makes their interfaces when they are shown
    ProgressBar3D bar;
    bar.SetProgress(40);
    bar.show();
    QAccessibleInterface* iface = Of(&bar);
    EXPECT_EQ(iface->role(), QAccessible::ProgressBar);
    QAccessibleValueInterface* value = iface->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), 40);
    EXPECT_EQ(value->minimumValue().toInt(), 0);
    EXPECT_EQ(value->maximumValue().toInt(), 100);
    EXPECT_EQ(iface->text(QAccessible::Value), QStringLiteral("40%"));
    bar.SetMaxValue(200);
    EXPECT_EQ(iface->text(QAccessible::Value), QStringLiteral("20%"));
}

TEST(Accessibility, ToolPanelTabsAreNamedPageTabsThatToggleTheirPanels)
{
    InstallAccessibility(); // before the controls: Qt makes their interfaces when they are shown
    QWidget window;
    window.resize(400, 200);
    auto* manager = new TPanelManager(&window);
    manager->resize(400, 10);
    auto* tools = new TMPanel(manager);
    tools->SetTabCaption(QStringLiteral("Orodja"));
    tools->setGeometry(0, 0, 300, 42);
    auto* other = new TMPanel(manager);
    other->setGeometry(0, 42, 300, 30);
    std::vector<pnlAction> actions;
    manager->OnPanelAction = [&](TPanelManager*, QWidget*, pnlAction action, bool&) {
        actions.push_back(action);
    };
    window.show();
    manager->Realign();

    QAccessibleInterface* iface = Of(manager);
    EXPECT_EQ(iface->role(), QAccessible::PageTabList);
    EXPECT_EQ(Name(Of(tools)), QStringLiteral("Orodja"));
    EXPECT_EQ(Of(tools)->role(), QAccessible::ToolBar);
    ASSERT_GE(iface->childCount(), 4) << "two tabs, then the two panels";
    QAccessibleInterface* tab = iface->child(0);
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->role(), QAccessible::PageTab);
    EXPECT_EQ(Name(tab), QStringLiteral("Orodja"));
    EXPECT_EQ(tab->parent(), iface);
    EXPECT_EQ(iface->indexOfChild(tab), 0);
    EXPECT_EQ(iface->child(0), tab) << "the same tab object on every query";
    EXPECT_EQ(iface->indexOfChild(Of(tools)), 2);
    EXPECT_TRUE(tab->state().expanded);
    EXPECT_TRUE(QRect(manager->mapToGlobal(QPoint(0, 0)), manager->size()).contains(tab->rect()));

    Press(tab);
    ASSERT_TRUE(PumpUntil([&] { return manager->IsCollapsed(tools); }));
    EXPECT_EQ(actions, (std::vector<pnlAction>{2, 1})) << "asked and told as a click on the grip";
    EXPECT_TRUE(tab->state().collapsed);
    EXPECT_FALSE(tab->rect().isEmpty());

    Press(tab);
    ASSERT_TRUE(PumpUntil([&] { return !manager->IsCollapsed(tools); }));
    EXPECT_EQ(actions.back(), 3);

    // The tab of a destroyed panel is gone, and its index goes to the next one.
    delete tools;
    manager->Realign();
    EXPECT_EQ(iface->childCount(), 2);
    EXPECT_TRUE(Name(iface->child(0)).isEmpty());
}

TEST(Accessibility, RadioGroupItemsChosenOverTheBusMoveItsIndexAndRaiseOnClick)
{
    InstallAccessibility(); // before the controls: Qt makes their interfaces when they are shown
    QWidget window;
    auto* button = new TButton3D(&window);
    button->SetCaption(QStringLiteral("&Poveži"));
    auto* group = new TRadioGroup(&window);
    group->SetCaption(QStringLiteral("Tip prijave"));
    group->SetItems({QStringLiteral("Anonymous"), QStringLiteral("Normal")});
    group->SetItemIndex(0);
    int clicks = 0;
    group->OnClick = [&](QObject*) { ++clicks; };
    window.show();

    EXPECT_EQ(Of(button)->role(), QAccessible::PushButton) << "a 3D button is Qt's own push button";
    EXPECT_EQ(Name(Of(button)), QStringLiteral("Poveži"));
    EXPECT_EQ(Of(group)->role(), QAccessible::Grouping);
    EXPECT_EQ(Name(Of(group)), QStringLiteral("Tip prijave"));

    // Toggle (what a screen reader offers for a radio button) must move the
    // group's index as a click does, or the form reads the old choice.
    QAccessibleInterface* normal = Of(group->Button(1));
    EXPECT_EQ(normal->role(), QAccessible::RadioButton);
    EXPECT_EQ(Name(normal), QStringLiteral("Normal"));
    EXPECT_FALSE(normal->state().checked);
    normal->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    ASSERT_TRUE(PumpUntil([&] { return group->ItemIndex() == 1; }));
    EXPECT_TRUE(normal->state().checked);
    EXPECT_EQ(clicks, 1);
    Press(Of(group->Button(0)));
    ASSERT_TRUE(PumpUntil([&] { return group->ItemIndex() == 0; }));
    EXPECT_EQ(clicks, 2);

    // A radio button outside a radio group stays Qt's own.
    QRadioButton plain(QStringLiteral("Sam"), &window);
    plain.show();
    EXPECT_EQ(Of(&plain)->role(), QAccessible::RadioButton);
    EXPECT_EQ(Name(Of(&plain)), QStringLiteral("Sam"));
}
