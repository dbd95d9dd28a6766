#include "widgets/aslink.h"
#include "widgets/hetreeview.h"
#include "widgets/linkopener.h"
#include "widgets/radiogroup.h"
#include "widgets/sendmouse.h"
#include "widgets/srichedit.h"
#include "widgets/wallpaper.h"

#include <QPainter>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextBlock>
#include <gtest/gtest.h>

namespace {

// Records opened links instead of opening them, for the life of the test.
struct LinkRecorder {
    QStringList links;
    TLinkOpener previous = SetLinkOpener([this](const QString& link) { links << link; });
    ~LinkRecorder() { SetLinkOpener(previous); }
};

QStringList Texts(QTreeWidgetItem* parent)
{
    QStringList texts;
    for (int i = 0; i < parent->childCount(); ++i)
        texts << parent->child(i)->text(0);
    return texts;
}

} // namespace

TEST(ASLink, ClickOpensTheCaptionWithTheSchemePrefix)
{
    LinkRecorder recorder;
    TASLink link;
    link.SetCaption(QStringLiteral("www.zorvek.si"));
    link.SetURLType(TURLType::utHttp);
    QStringList order;
    link.OnClick = [&](QObject*) { order << QStringLiteral("click, %1 opened").arg(recorder.links.size()); };
    Click(&link, {3, 3});
    EXPECT_EQ(recorder.links, QStringList{QStringLiteral("http://www.zorvek.si")});
    EXPECT_EQ(order, QStringList{QStringLiteral("click, 0 opened")}) << "OnClick comes first";

    link.SetURLTypeAdd(false);
    Click(&link, {3, 3});
    EXPECT_EQ(recorder.links.last(), QStringLiteral("www.zorvek.si"));

    link.SetURLEnabled(false);
    Click(&link, {3, 3});
    link.SetURLEnabled(true);
    link.SetCaption(QString());
    Click(&link, {3, 3});
    Press(&link, {3, 3});
    Release(&link, {500, 3}); // released off the label
    EXPECT_EQ(recorder.links.size(), 2);
    EXPECT_EQ(order.size(), 4);

    EXPECT_EQ(LinkTarget(QStringLiteral("a@b.si"), TURLType::utMailto, true),
              QStringLiteral("mailto:a@b.si"));
    EXPECT_EQ(URLPrefix(TURLType::utWais), QStringLiteral("wais:"));
    EXPECT_EQ(URLPrefix(TURLType::utFile), QStringLiteral("file://"));
}

TEST(ASLink, ShadowPlacesAndHoverColour)
{
    EXPECT_EQ(ShadowOffsets(TShadowPosition::spLeftTop, 2).text, QPoint(2, 2));
    EXPECT_EQ(ShadowOffsets(TShadowPosition::spLeftTop, 2).shadow, QPoint(0, 0));
    EXPECT_EQ(ShadowOffsets(TShadowPosition::spLeftBottom, 2).text, QPoint(2, 0));
    EXPECT_EQ(ShadowOffsets(TShadowPosition::spLeftBottom, 2).shadow, QPoint(0, 2));
    EXPECT_EQ(ShadowOffsets(TShadowPosition::spRightBottom, 2).shadow, QPoint(2, 2));
    EXPECT_EQ(ShadowOffsets(TShadowPosition::spRightTop, 2).text, QPoint(0, 2));

    TASLink link;
    link.SetFontColor(0x00FF00);
    Enter(&link);
    EXPECT_EQ(link.FontColor(), clBlue);
    Leave(&link);
    EXPECT_EQ(link.FontColor(), 0x00FF00u);
    Leave(&link);
    EXPECT_EQ(link.FontColor(), 0x00FF00u) << "a second leave restores nothing";
}

TEST(ASLink, AutoSizeTakesTextAndShadow)
{
    TASLink link;
    link.SetCaption(QStringLiteral("www.zorvek.si"));
    const QSize text = link.fontMetrics().size(0, QStringLiteral("www.zorvek.si"));
    link.SetShadowSize(3);
    EXPECT_EQ(link.size(), QSize(text.width() + 3 + 2, text.height() + 3));
    link.SetCaption(QString());
    EXPECT_GT(link.height(), 3) << "an empty caption keeps a line's height";

    link.SetAutoSize(false);
    link.SetAlignment(TAlignment::taRightJustify);
    link.setGeometry(100, 0, 200, 20);
    link.SetAutoSize(true);
    link.SetCaption(QStringLiteral("abc"));
    EXPECT_EQ(link.geometry().right(), 299) << "a right-aligned label keeps its right edge";
}

TEST(Wallpaper, TilesFromTheTopLeftAndClipsToTheInnerRectangle)
{
    EXPECT_EQ(WallpaperTiles(QRect(2, 2, 96, 46), QSize(400, 300)), QList<QPoint>{QPoint(2, 2)});
    EXPECT_EQ(WallpaperTiles(QRect(0, 0, 50, 20), QSize(20, 20)).size(), 3 * 2);
    EXPECT_TRUE(WallpaperTiles(QRect(0, 0, 50, 20), QSize(0, 20)).isEmpty());

    TWallpaper panel;
    panel.resize(100, 50);
    panel.SetBevelOuter(TPanelBevel::bvRaised);
    panel.SetBorderWidth(1);
    QPixmap picture(400, 300);
    picture.fill(Qt::red);
    panel.SetWallpaper(picture);
    const QImage shot = panel.grab().toImage();
    EXPECT_NE(shot.pixelColor(0, 0), QColor(Qt::red)) << "bevel stays";
    EXPECT_NE(shot.pixelColor(1, 1), QColor(Qt::red)) << "border stays";
    EXPECT_EQ(shot.pixelColor(2, 2), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(97, 47), QColor(Qt::red));
    EXPECT_NE(shot.pixelColor(98, 48), QColor(Qt::red));
}

TEST(HETreeView, SortTypeSortsEveryLevelAndKeepsViewState)
{
    THETreeView tree;
    for (const char* name : {"c", "a", "b"}) {
        auto* node = new QTreeWidgetItem(&tree, {QString::fromLatin1(name)});
        for (const char* child : {"z", "x", "y"})
            new QTreeWidgetItem(node, {QString::fromLatin1(child)});
    }
    QTreeWidgetItem* c = tree.topLevelItem(0);
    c->setExpanded(true);
    tree.setCurrentItem(c->child(1));

    tree.SetSortType(TSortType::stData);
    EXPECT_EQ(Texts(tree.invisibleRootItem()), (QStringList{"c", "a", "b"})) << "stData needs OnCompare";
    tree.SetSortType(TSortType::stText);
    EXPECT_EQ(Texts(tree.invisibleRootItem()), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(Texts(tree.topLevelItem(1)), (QStringList{"x", "y", "z"}));
    EXPECT_TRUE(c->isExpanded());
    EXPECT_EQ(tree.currentItem(), c->child(0)) << "the current node is still x";

    tree.OnCompare = [](THETreeView*, QTreeWidgetItem* a, QTreeWidgetItem* b, qintptr, int& compare) {
        compare = QString::compare(b->text(0), a->text(0));
    };
    tree.SetSortType(TSortType::stData);
    EXPECT_EQ(Texts(tree.invisibleRootItem()), (QStringList{"c", "b", "a"}));
    tree.CustomSort([](QTreeWidgetItem* a, QTreeWidgetItem* b,
                       qintptr data) { return int(data) * QString::compare(a->text(0), b->text(0)); },
                    1);
    EXPECT_EQ(Texts(tree.invisibleRootItem()), (QStringList{"a", "b", "c"}));
}

TEST(SRichEdit, LineOperations)
{
    TSRichEdit edit;
    EXPECT_EQ(edit.VisibleLineCount(), -1) << "not visible";
    edit.resize(200, 100);
    edit.setLineWrapMode(QTextEdit::NoWrap);
    QStringList lines;
    for (int i = 0; i < 100; ++i)
        lines << QStringLiteral("line %1").arg(i);
    edit.SetText(lines.join('\n'));
    edit.show();
    EXPECT_EQ(edit.LineCount(), 100);
    EXPECT_EQ(edit.VisibleLineCount(), edit.viewport()->height() / edit.fontMetrics().lineSpacing());

    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(edit.document()->findBlockByNumber(42).position() + 3);
    edit.setTextCursor(cursor);
    EXPECT_EQ(edit.CaretLine(), 42);

    int vscrolls = 0;
    edit.OnVScroll = [&](QObject*) { ++vscrolls; };
    edit.ScrollToLine(30);
    EXPECT_EQ(edit.FirstVisibleLine(), 30);
    edit.ScrollToLine(-7);
    EXPECT_EQ(edit.verticalScrollBar()->value(), 0);
    edit.ScrollToLine(100000);
    EXPECT_EQ(edit.verticalScrollBar()->value(), edit.verticalScrollBar()->maximum());
    EXPECT_EQ(vscrolls, 0) << "scrolling from code is no scroll-bar action";

    edit.ScrollToLine(0);
    edit.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(vscrolls, 0) << "raised after the action, not within it";
    QApplication::sendPostedEvents();
    EXPECT_EQ(vscrolls, 1);
    EXPECT_GT(edit.FirstVisibleLine(), 0);
}

TEST(RadioGroup, PropertiesByNameAndUserPicks)
{
    TRadioGroup group;
    QObject* object = &group;
    EXPECT_TRUE(object->inherits("TRadioGroup"));
    object->setProperty("Caption", QStringLiteral("Način"));
    object->setProperty("Items", QStringList{"Auto", "Binarno", "Besedilo"});
    object->setProperty("ItemIndex", 2);
    EXPECT_EQ(group.Caption(), QStringLiteral("Način"));
    EXPECT_EQ(group.ItemIndex(), 2);
    EXPECT_TRUE(group.Button(2)->isChecked());

    object->setProperty("Items", QStringList{"Auto", "Binary", "Text"});
    EXPECT_EQ(group.ItemIndex(), 2) << "a language switch keeps the choice";
    EXPECT_EQ(group.Button(1)->text(), QStringLiteral("Binary"));

    int clicks = 0;
    group.OnClick = [&](QObject*) { ++clicks; };
    group.show();
    group.Button(0)->click();
    EXPECT_EQ(group.ItemIndex(), 0);
    EXPECT_EQ(clicks, 1);

    group.SetItemIndex(7);
    EXPECT_EQ(group.ItemIndex(), -1);
    EXPECT_FALSE(group.Button(0)->isChecked());
    group.SetItems({"one"});
    EXPECT_EQ(group.ItemIndex(), -1);
    group.SetItemIndex(0);
    group.SetItems({});
    EXPECT_EQ(group.ItemIndex(), -1);
    EXPECT_EQ(clicks, 1) << "changes from code fire nothing";
}
