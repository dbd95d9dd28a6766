// Odd property values and sizes paint without crashing or dividing by zero.
#include "widgets/aslink.h"
#include "widgets/button3d.h"
#include "widgets/hemispherebutton.h"
#include "widgets/mpanel.h"
#include "widgets/officebutton.h"
#include "widgets/panel3d.h"
#include "widgets/panelmanager.h"
#include "widgets/progressbar3d.h"
#include "widgets/srichedit.h"
#include "widgets/wallpaper.h"
#include "widgets/winsplit.h"

#include <QMenu>
#include <gtest/gtest.h>

namespace {

const QList<QSize> OddSizes{{0, 0}, {1, 1}, {2, 7}, {3, 3}, {7, 2}, {600, 4}};

// Paints the widget at every odd size; the picture must come out of the right size.
void PaintAtOddSizes(QWidget& widget)
{
    for (const QSize& size : OddSizes) {
        widget.resize(size);
        const QPixmap picture = widget.grab();
        EXPECT_EQ(picture.isNull(), widget.size().isEmpty()) << size.width() << "x" << size.height();
    }
}

QString Huge()
{
    return QString(5000, QLatin1Char('W')) + QStringLiteral("\n&x");
}

} // namespace

TEST(BadInput, PanelsPaintAtAnySize)
{
    TPanelManager manager;
    manager.SetTabHeight(0);
    manager.SetTabWidth(-5);
    auto* collapsed = new TMPanel(&manager);
    collapsed->SetTabCaption(Huge());
    collapsed->hide();
    new TMPanel(&manager);
    manager.Realign();
    manager.SetTabHighLight(true);
    PaintAtOddSizes(manager);

    TPanel3D panel;
    panel.SetCaption(Huge());
    panel.SetTitle(Huge());
    panel.SetBorderTitle(TPanelBevel::bvRaised);
    panel.SetBevelInner(TPanelBevel::bvLowered);
    panel.SetBorderWidth(50);
    panel.SetShadowSizeCaption(255);
    panel.SetShadowSizeTitle(255);
    PaintAtOddSizes(panel);
    panel.setEnabled(false);
    panel.SetAlignmentTitle(TAlignment::taCenter);
    PaintAtOddSizes(panel);

    TWallpaper wallpaper;
    wallpaper.SetBorderWidth(-3);
    PaintAtOddSizes(wallpaper);
    wallpaper.SetWallpaper(QPixmap(1, 1));
    PaintAtOddSizes(wallpaper);

    TWinSplit split;
    split.SetBevelWidth(-1);
    EXPECT_EQ(split.BevelWidth(), 1);
    PaintAtOddSizes(split);
}

TEST(BadInput, ButtonsPaintAtAnySize)
{
    TOfficeButton office;
    office.SetCaption(Huge());
    PaintAtOddSizes(office);
    QImage single(1, 1, QImage::Format_RGB32);
    single.fill(Qt::red);
    office.SetBitmap(single);
    office.SetWordWrap(true);
    office.SetLayout(TExplorerButtonLayout::blBitmapLeft);
    QMenu menu;
    office.SetDropDownMenu(&menu);
    PaintAtOddSizes(office);
    office.SetGroupIndex(1);
    office.SetDown(true);
    office.setEnabled(false);
    PaintAtOddSizes(office);

    TButton3D button;
    button.SetCaption(Huge());
    button.SetShadowSize(255);
    button.setDefault(true);
    button.setDown(true);
    PaintAtOddSizes(button);

    THemisphereButton dome;
    dome.SetCaption(Huge());
    dome.SetBevelWidth(1000);
    dome.SetBevelInner(THemisphereBevel::hbRaised);
    dome.SetBorderStyle(TBorderStyle::bsSingle);
    PaintAtOddSizes(dome);
    dome.SetPressed(true);
    PaintAtOddSizes(dome);
}

TEST(BadInput, ProgressAndLabelsPaintWithAnyValues)
{
    ProgressBar3D bar;
    bar.SetMinValue(10);
    bar.SetMaxValue(10);
    PaintAtOddSizes(bar);
    bar.SetMinValue(INT_MIN);
    bar.SetMaxValue(INT_MAX);
    bar.SetProgress(INT_MAX);
    EXPECT_EQ(bar.Percent(), 100);
    PaintAtOddSizes(bar);
    bar.SetMinValue(100);
    bar.SetMaxValue(0);
    bar.SetOrientation(ProgressBar3DOrientation::BarVertical);
    PaintAtOddSizes(bar);

    TASLink link;
    link.SetAutoSize(false);
    link.SetCaption(QStringLiteral("&"));
    link.SetShadowSize(255);
    link.SetLayout(TTextLayout::tlBottom);
    link.SetWordWrap(true);
    PaintAtOddSizes(link);
    link.setEnabled(false);
    link.SetShadowSize(0);
    link.SetCaption(Huge());
    PaintAtOddSizes(link);

    TSRichEdit edit;
    edit.ScrollToLine(5); // empty document
    EXPECT_EQ(edit.CaretLine(), 0);
    PaintAtOddSizes(edit);
}
