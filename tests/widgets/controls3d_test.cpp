#include "widgets/button3d.h"
#include "widgets/hemispherebutton.h"
#include "widgets/panel3d.h"
#include "widgets/progressbar3d.h"
#include "widgets/sendmouse.h"

#include <QFontInfo>
#include <gtest/gtest.h>

TEST(ProgressBar3D, RoundsHalvesToEven)
{
    EXPECT_EQ(RoundHalfEven(45, 2), 22);
    EXPECT_EQ(RoundHalfEven(47, 2), 24);
    EXPECT_EQ(RoundHalfEven(-5, 2), -2);
    EXPECT_EQ(RoundHalfEven(-7, 2), -4);
    EXPECT_EQ(RoundHalfEven(7, -2), -4);
    EXPECT_EQ(ProgressPercent(1, 0, 8), 12) << "12.5 goes to 12";
    EXPECT_EQ(ProgressPercent(3, 0, 8), 38) << "37.5 goes to 38";
    EXPECT_EQ(ProgressPercent(5, 5, 5), 0) << "an empty range shows 0";
    EXPECT_EQ(ProgressPercent(150, 100, 200), 50);
    EXPECT_EQ(ProgressPercent(0, 10, 0), 100) << "min above max is taken as it stands";
    EXPECT_EQ(ProgressBarLength(50, 45), 22) << "22.5 goes to 22";
    EXPECT_EQ(ProgressBarLength(70, 45), 32) << "31.5 goes to 32";
}

TEST(ProgressBar3D, ProgressOutsideTheRangeIsIgnored)
{
    ProgressBar3D bar;
    bar.resize(133, 25);
    bar.SetProgress(150);
    EXPECT_EQ(bar.Progress(), 0);
    bar.SetProgress(-1);
    EXPECT_EQ(bar.Progress(), 0);
    bar.SetProgress(45);
    EXPECT_EQ(bar.Progress(), 45);
    EXPECT_EQ(bar.BarRect(), QRect(0, 0, 60, 25)); // round(133 * 0.45) = round(59.85)
    EXPECT_EQ(bar.Text(), QStringLiteral("45%"));
    bar.SetProgress(100);
    EXPECT_EQ(bar.BarRect().width(), 133);
    bar.SetProgress(0);
    EXPECT_TRUE(bar.BarRect().isEmpty());

    bar.SetOrientation(ProgressBar3DOrientation::BarVertical);
    bar.SetProgress(50);
    EXPECT_EQ(bar.size(), QSize(25, 133));
    EXPECT_EQ(bar.BarRect(), QRect(0, 133 - 66, 25, 66)); // 66.5 goes to 66
}

TEST(ProgressBar3D, ThePercentageStaysReadableOverTheBar)
{
    // The main window's bar: blue bar, blue text. Past the middle the text lies on the bar.
    ProgressBar3D bar;
    bar.resize(200, 24);
    bar.SetBarColor(0xFF0000);
    bar.SetFontColor(0xFF0000);
    const QColor blue(0, 0, 255);
    for (int progress : {0, 50, 100}) {
        bar.SetProgress(progress);
        bar.SetShowText(false);
        const QImage plain = bar.grab().toImage();
        bar.SetShowText(true);
        const QImage text = bar.grab().toImage();
        int strokes = 0; // pixels the text changed, and those that stand out from the colour beneath
        int clear = 0;
        for (int y = 0; y < plain.height(); ++y)
            for (int x = 0; x < plain.width(); ++x) {
                const QColor under = plain.pixelColor(x, y), over = text.pixelColor(x, y);
                if (under == over)
                    continue;
                ++strokes;
                clear += qAbs(under.lightness() - over.lightness()) >= 96 ? 1 : 0;
            }
        EXPECT_GT(strokes, 20) << progress;
        EXPECT_GE(clear, 8) << "the text is lost in the colour under it at " << progress;
    }
    EXPECT_EQ(TextColourOver(blue, blue), QColor(Qt::white));
    EXPECT_EQ(TextColourOver(QColor(Qt::yellow), QColor(Qt::yellow)), QColor(Qt::black));
    EXPECT_EQ(TextColourOver(blue, QColor(Qt::yellow)), QColor(Qt::yellow))
        << "a contrasting font colour is kept";
}

TEST(ProgressBar3D, SizeRuleOfEachOrientation)
{
    const auto horizontal = ProgressBar3DOrientation::BarHorizontal;
    const auto vertical = ProgressBar3DOrientation::BarVertical;
    EXPECT_EQ(ProgressBarSize({30, 80}, horizontal), QSize(80, 30));
    EXPECT_EQ(ProgressBarSize({10, 5}, horizontal), QSize(50, 20));
    EXPECT_EQ(ProgressBarSize({80, 30}, vertical), QSize(30, 80));
    EXPECT_EQ(ProgressBarSize({0, 0}, vertical), QSize(20, 50));
    ProgressBar3D bar;
    bar.show();
    bar.resize(30, 80);
    EXPECT_EQ(bar.size(), QSize(80, 30));
}

TEST(Button3D, CaptionCopiesOfEachBevel)
{
    TButton3DLook look;
    look.highlight = Qt::white;
    look.shadow = Qt::darkGray;
    look.font = Qt::black;
    look.shadowSize = 2;

    look.bevel = TButton3DBevel::bvShadow;
    EXPECT_EQ(Button3DCaptionCopies(look, false, true),
              (QList<TCaptionCopy>{{{2, 2}, Qt::darkGray}, {{0, 0}, Qt::black}}));
    EXPECT_EQ(Button3DCaptionCopies(look, true, true), (QList<TCaptionCopy>{{{1, 1}, Qt::black}}))
        << "no shadow while pressed";

    look.bevel = TButton3DBevel::bvRaised;
    EXPECT_EQ(Button3DCaptionCopies(look, false, true),
              (QList<TCaptionCopy>{{{-2, -2}, Qt::white}, {{2, 2}, Qt::darkGray}, {{0, 0}, Qt::black}}));
    EXPECT_EQ(Button3DCaptionCopies(look, true, true),
              (QList<TCaptionCopy>{{{-1, -1}, Qt::white}, {{3, 3}, Qt::darkGray}, {{1, 1}, Qt::black}}));
    look.pressState = TButton3DPressState::bvPress;
    EXPECT_EQ(Button3DCaptionCopies(look, true, true).first().color, QColor(Qt::darkGray));
    EXPECT_EQ(Button3DCaptionCopies(look, false, true).first().color, QColor(Qt::white));

    look.bevel = TButton3DBevel::bvLowered;
    look.pressState = TButton3DPressState::bvNonePress;
    EXPECT_EQ(Button3DCaptionCopies(look, false, true).first().color, QColor(Qt::darkGray));

    EXPECT_EQ(Button3DCaptionCopies(look, false, false),
              (QList<TCaptionCopy>{{{1, 1}, Qt::white}, {{0, 0}, QColor(0x80, 0x80, 0x80)}}));
}

TEST(Panel3D, FrameStartsBelowTheTopEvenWithoutTitle)
{
    EXPECT_EQ(Panel3DFrameOffset(1, 12), 7);
    EXPECT_EQ(Panel3DFrameOffset(3, 13), 9) << "half of 13 rounds toward zero";
    TPanel3D panel;
    QFont title;
    title.setPixelSize(16);
    panel.SetFontTitle(title);
    ASSERT_TRUE(panel.Title().isEmpty());
    EXPECT_EQ(panel.FrameTop(), 1 + QFontInfo(panel.FontTitle()).pixelSize() / 2);
    panel.SetShadowSizeTitle(4);
    EXPECT_EQ(panel.FrameTop(), 4 + 8);
}

TEST(Panel3D, TitleBoxAndCaptionPlacement)
{
    using Span = QPair<int, int>;
    EXPECT_EQ(Panel3DTitleSpan(TAlignment::taLeftJustify, 100, 40), Span(5, 50));
    EXPECT_EQ(Panel3DTitleSpan(TAlignment::taLeftJustify, 100, 97), Span(5, 100));
    EXPECT_EQ(Panel3DTitleSpan(TAlignment::taRightJustify, 100, 40), Span(50, 95));
    EXPECT_EQ(Panel3DTitleSpan(TAlignment::taCenter, 100, 40), Span(30, 70));
    EXPECT_EQ(Panel3DTitleSpan(TAlignment::taCenter, 100, 140), Span(0, 120));
    EXPECT_EQ(Panel3DCaptionTop(TPanel3DVertAlignment::vaTop, 10, 110, 20, 2), 12);
    EXPECT_EQ(Panel3DCaptionTop(TPanel3DVertAlignment::vaCenter, 10, 110, 20, 2), 52);
    EXPECT_EQ(Panel3DCaptionTop(TPanel3DVertAlignment::vaBottom, 10, 110, 20, 2), 88);
}

TEST(HemisphereButton, PicturesAreLitFromOppositeSides)
{
    THemisphereLook look;
    look.bevelOuter = THemisphereBevel::hbNone;
    const QImage out = HemisphereImage({60, 40}, false, look);
    const QImage in = HemisphereImage({60, 40}, true, look);
    EXPECT_EQ(qAlpha(out.pixel(0, 0)), 0) << "corners are transparent";
    EXPECT_EQ(qAlpha(out.pixel(59, 39)), 0);
    const int upperLeft = qGray(out.pixel(18, 10)), lowerRight = qGray(out.pixel(41, 29));
    EXPECT_GT(upperLeft, lowerRight);
    EXPECT_LT(qGray(in.pixel(18, 10)), qGray(in.pixel(41, 29)));
    // Every dome pixel lies between the dark and the bright colour.
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            if (qAlpha(out.pixel(x, y)) != 0) {
                ASSERT_GE(qGray(out.pixel(x, y)), 0x80);
                ASSERT_LE(qGray(out.pixel(x, y)), 0xFF);
            }
    EXPECT_TRUE(HemisphereImage({0, 10}, false, look).isNull());
}

TEST(HemisphereButton, OnlyTheEllipseTakesPresses)
{
    EXPECT_TRUE(HemisphereHit({60, 40}, 0, {30, 20}));
    EXPECT_FALSE(HemisphereHit({60, 40}, 0, {2, 2}));
    EXPECT_TRUE(HemisphereHit({60, 40}, 0, {1, 20}));
    EXPECT_FALSE(HemisphereHit({60, 40}, 2, {1, 20})) << "the bevel ring is not the button";
    EXPECT_FALSE(HemisphereHit({4, 4}, 5, {2, 2})) << "bevels wider than the button: nothing hits";

    THemisphereButton button;
    button.resize(60, 40);
    int clicks = 0;
    button.OnClick = [&](QObject*) { ++clicks; };
    Press(&button, {1, 1});
    EXPECT_FALSE(button.Pressed());
    Release(&button, {1, 1});
    EXPECT_EQ(clicks, 0);
    Press(&button, {30, 20});
    EXPECT_TRUE(button.Pressed());
    Move(&button, {59, 0});
    EXPECT_FALSE(button.Pressed()) << "follows the mouse off the dome";
    Move(&button, {30, 21});
    EXPECT_TRUE(button.Pressed());
    Release(&button, {30, 21});
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button.Pressed()) << "without a group it comes up again";

    button.SetBevelWidth(0);
    EXPECT_EQ(button.BevelWidth(), 1);
}

TEST(HemisphereButton, GroupedButtonsToggle)
{
    QWidget owner;
    auto* a = new THemisphereButton(&owner);
    auto* b = new THemisphereButton(&owner);
    a->SetGroupIndex(3);
    b->SetGroupIndex(3);
    Click(a, {25, 25});
    EXPECT_TRUE(a->Pressed());
    Click(b, {25, 25});
    EXPECT_TRUE(b->Pressed());
    EXPECT_FALSE(a->Pressed());
    Click(b, {25, 25});
    EXPECT_TRUE(b->Pressed()) << "stays down without AllowAllUp";
    a->SetAllowAllUp(true);
    EXPECT_TRUE(b->AllowAllUp());
    Click(b, {25, 25});
    EXPECT_FALSE(b->Pressed());
    // Released off the dome: nothing changes.
    Press(a, {25, 25});
    Release(a, {0, 0});
    EXPECT_FALSE(a->Pressed());
}
