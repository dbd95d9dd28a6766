#include "widgets/officebutton.h"
#include "widgets/sendmouse.h"

#include <QMenu>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QColor Highlight(0xEE, 0xEE, 0xEE);
const QColor Shadow(0x55, 0x55, 0x55);

QImage Picture(QRgb background, QRgb foreground)
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(background);
    image.setPixel(2, 2, foreground);
    return image;
}

struct Group {
    QWidget panel;
    TOfficeButton* first = new TOfficeButton(&panel);
    TOfficeButton* second = new TOfficeButton(&panel);
    TOfficeButton* elsewhere = new TOfficeButton(&panel);
    int clicks = 0;

    Group()
    {
        first->SetGroupIndex(1);
        second->SetGroupIndex(1);
        elsewhere->SetGroupIndex(2);
        elsewhere->SetDown(true);
        second->OnClick = [this](QObject*) { ++clicks; };
        panel.show();
    }
};

} // namespace

TEST(OfficeButtonShading, ThresholdsOfTheThreeShadingTypes)
{
    const auto medium = TExplorerButtonShadingType::stMedium;
    EXPECT_EQ(GreyShade(qRgb(255, 255, 255), medium, Highlight, Shadow), QColor(Qt::white));
    EXPECT_EQ(GreyShade(qRgb(255, 0, 0), medium, Highlight, Shadow), Highlight);
    EXPECT_EQ(GreyShade(qRgb(200, 200, 153), medium, Highlight, Shadow), Highlight) << "553 is not above 553";
    EXPECT_EQ(GreyShade(qRgb(200, 200, 154), medium, Highlight, Shadow), QColor(Qt::white));
    EXPECT_EQ(GreyShade(qRgb(57, 0, 0), medium, Highlight, Shadow), QColor(Qt::black));
    EXPECT_EQ(GreyShade(qRgb(58, 0, 0), medium, Highlight, Shadow), Shadow);
    EXPECT_EQ(GreyShade(qRgb(100, 100, 6), TExplorerButtonShadingType::stLight, Highlight, Shadow),
              QColor(Qt::white));
    EXPECT_EQ(GreyShade(qRgb(100, 100, 100), TExplorerButtonShadingType::stDark, Highlight, Shadow),
              Highlight);
    EXPECT_EQ(GreyShade(qRgb(100, 100, 50), TExplorerButtonShadingType::stDark, Highlight, Shadow), Shadow);
    EXPECT_EQ(GreyShade(qRgb(50, 50, 75), TExplorerButtonShadingType::stDark, Highlight, Shadow),
              QColor(Qt::black));
}

TEST(OfficeButtonShading, GreyImageKeepsTheTransparentColour)
{
    const QImage grey = GreyImage(Picture(qRgb(255, 0, 255), qRgb(255, 0, 0)),
                                  TExplorerButtonShadingType::stMedium, Highlight, Shadow);
    EXPECT_EQ(grey.pixel(0, 0), qRgb(255, 0, 255));
    EXPECT_EQ(grey.pixel(3, 3), qRgb(255, 0, 255)) << "same as the top-left pixel: left alone";
    EXPECT_EQ(QColor(grey.pixel(2, 2)), Highlight);
    EXPECT_TRUE(GreyImage(QImage(), TExplorerButtonShadingType::stMedium, Highlight, Shadow).isNull());

    const QImage transparent = TransparentImage(Picture(qRgb(1, 2, 3), qRgb(9, 9, 9)));
    EXPECT_EQ(qAlpha(transparent.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(transparent.pixel(2, 2)), 255);

    TOfficeButton button;
    button.SetBitmap(Picture(qRgb(255, 0, 255), qRgb(255, 255, 255)));
    EXPECT_EQ(button.GreyBitmap().pixel(2, 2), qRgb(255, 255, 255));
}

TEST(OfficeButtonGroup, DownNeedsAGroupAndOneButtonOfAGroupIsDown)
{
    TOfficeButton loose;
    loose.SetDown(true);
    EXPECT_FALSE(loose.Down());

    Group g;
    Click(g.first, {10, 10});
    EXPECT_TRUE(g.first->Down());
    Click(g.second, {10, 10});
    EXPECT_TRUE(g.second->Down());
    EXPECT_FALSE(g.first->Down()) << "the second raises the first";
    EXPECT_TRUE(g.elsewhere->Down()) << "another group is left alone";
    Click(g.second, {10, 10});
    EXPECT_TRUE(g.second->Down()) << "a down button stays down without AllowAllUp";
    EXPECT_EQ(g.clicks, 2);

    g.first->SetAllowAllUp(true);
    EXPECT_TRUE(g.second->AllowAllUp()) << "AllowAllUp is shared by the group";
    EXPECT_FALSE(g.elsewhere->AllowAllUp());
    Click(g.second, {10, 10});
    EXPECT_FALSE(g.second->Down());

    g.elsewhere->SetGroupIndex(0);
    EXPECT_FALSE(g.elsewhere->Down()) << "leaving the group raises it";
}

TEST(OfficeButtonMouse, ClickNeedsPressAndReleaseOnTheButton)
{
    TOfficeButton button;
    button.show();
    int clicks = 0, enters = 0, exits = 0;
    button.OnClick = [&](QObject* sender) {
        EXPECT_EQ(sender, &button);
        ++clicks;
    };
    button.OnEnter = [&](QObject*) { ++enters; };
    button.OnExit = [&](QObject*) { ++exits; };
    Enter(&button);
    EXPECT_TRUE(button.Hot());
    Press(&button, {10, 10});
    EXPECT_TRUE(button.Pressed());
    Move(&button, {200, 10});
    EXPECT_FALSE(button.Hot()) << "leaving while held";
    Release(&button, {200, 10});
    EXPECT_EQ(clicks, 0);
    EXPECT_FALSE(button.Pressed());

    // Released outside without a move in between: still no click.
    Press(&button, {10, 10});
    Release(&button, {-5, 10});
    EXPECT_EQ(clicks, 0);

    Press(&button, {10, 10});
    Release(&button, {12, 12});
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(enters, 1) << "a press makes the button hot without an enter";
    EXPECT_EQ(exits, 2);

    button.setEnabled(false);
    Click(&button, {10, 10});
    EXPECT_EQ(clicks, 1) << "a disabled button does not click";
}

TEST(OfficeButtonMouse, DropDownButtonOpensItsMenuAndNeverClicks)
{
    QWidget window;
    TOfficeButton button(&window);
    QMenu menu;
    menu.addAction(QStringLiteral("Auto"));
    button.SetDropDownMenu(&menu);
    window.show();
    int clicks = 0;
    bool menuOpened = false;
    button.OnClick = [&](QObject*) { ++clicks; };
    QTimer::singleShot(0, &menu, [&] {
        menuOpened = menu.isVisible();
        menu.close();
    });
    Press(&button, {10, 10});
    Release(&button, {10, 10});
    EXPECT_TRUE(menuOpened);
    EXPECT_FALSE(button.Pressed());
    EXPECT_EQ(clicks, 0);
    {
        auto* gone = new QMenu;
        button.SetDropDownMenu(gone);
        delete gone;
        EXPECT_EQ(button.DropDownMenu(), nullptr) << "a destroyed menu is let go";
    }
}

TEST(OfficeButtonHint, IconOnlyUsesTheCaptionWithoutAcceleratorsAsHint)
{
    EXPECT_EQ(StripAccelChars(QStringLiteral("&Poveži")), QStringLiteral("Poveži"));
    EXPECT_EQ(StripAccelChars(QStringLiteral("A&&B&")), QStringLiteral("A&B"));
    TOfficeButton button;
    button.SetCaption(QStringLiteral("&Poveži"));
    button.SetOptions(button.Options() | TExplorerButtonOption::boIconOnly);
    EXPECT_EQ(button.Hint(), QStringLiteral("Poveži"));
    EXPECT_TRUE(button.ShowHint());
    EXPECT_EQ(button.toolTip(), QStringLiteral("Poveži"));
    button.SetCaption(QStringLiteral("&Prekini"));
    EXPECT_EQ(button.Hint(), QStringLiteral("Prekini"));
    button.SetOptions(button.Options() & ~TExplorerButtonOptions(TExplorerButtonOption::boIconOnly));
    EXPECT_TRUE(button.Hint().isEmpty());
    EXPECT_FALSE(button.ShowHint());
    EXPECT_TRUE(button.toolTip().isEmpty());
}

TEST(OfficeButtonLayout, ImageAndCaptionPlacement)
{
    TOfficeButtonLayoutInput in;
    in.button = {50, 40};
    in.caption = {30, 13};
    in.gap = 2;
    in.image = {16, 16};
    in.hasBitmap = true;
    TOfficeButtonGeometry g = OfficeButtonGeometry(in);
    EXPECT_EQ(g.image, QRect(17, 4, 16, 16)); // (40 - 13 - 16 - 2) / 2 = 4
    EXPECT_EQ(g.caption, QRect(10, 22, 30, 13));

    in.layout = TExplorerButtonLayout::blBitmapBottom;
    in.alignment = TAlignment::taRightJustify;
    g = OfficeButtonGeometry(in);
    EXPECT_EQ(g.caption.topLeft(), QPoint(17, 4));
    EXPECT_EQ(g.image.topLeft(), QPoint(31, 19));

    in.layout = TExplorerButtonLayout::blBitmapLeft;
    in.alignment = TAlignment::taLeftJustify;
    g = OfficeButtonGeometry(in);
    EXPECT_EQ(g.caption.width(), 50 - 2 - 16 - 4) << "the caption is cut to fit beside the image";
    EXPECT_EQ(g.image.topLeft(), QPoint(3, 12));
    EXPECT_EQ(g.caption.topLeft(), QPoint(21, 13));

    in.layout = TExplorerButtonLayout::blBitmapRight;
    in.alignment = TAlignment::taCenter;
    in.caption = {10, 13};
    g = OfficeButtonGeometry(in);
    EXPECT_EQ(g.caption.left(), (50 - 28) / 2);
    EXPECT_EQ(g.image.left(), (50 - 28) / 2 + 12);

    TOfficeButtonLayoutInput text;
    text.button = {50, 20};
    text.caption = {20, 13};
    text.popupMark = true;
    g = OfficeButtonGeometry(text);
    EXPECT_EQ(g.caption, QRect(10, 3, 20, 13)) << "centred with room for the mark";
}

TEST(OfficeButtonKeyboard, AcceleratorClicksTheButton)
{
    QWidget window;
    auto* button = new TOfficeButton(&window);
    button->SetCaption(QStringLiteral("&Poveži"));
    int clicks = 0;
    button->OnClick = [&](QObject*) { ++clicks; };
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button->Pressed());
}
