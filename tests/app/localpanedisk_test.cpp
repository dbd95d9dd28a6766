// The local pane following the disk: its path field, changes made outside Kvado, the columns.
#include "app/localpanefixture.h"
#include "files/folderwatch.h"

#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

TEST_F(LocalPaneTest, ThePathFieldAndTheListFollowTheDisk)
{
    Write(QStringLiteral("kept.txt"), "k");
    pane.Start(work);
    EXPECT_EQ(pane.PathField()->text(), work + QLatin1Char('/'));

    // Changes made outside: the list follows by itself, keeping the selection by name.
    Select({QStringLiteral("kept.txt")});
    Write(QStringLiteral("new.txt"), "n");
    ASSERT_TRUE(PumpUntil([&] { return Row(QStringLiteral("new.txt")) != nullptr; }));
    ASSERT_TRUE(QFile::rename(work + QStringLiteral("/new.txt"), work + QStringLiteral("/renamed.txt")));
    ASSERT_TRUE(
        PumpUntil([&] { return Row(QStringLiteral("renamed.txt")) && !Row(QStringLiteral("new.txt")); }));
    ASSERT_TRUE(QFile::remove(work + QStringLiteral("/renamed.txt")));
    ASSERT_TRUE(PumpUntil([&] { return !Row(QStringLiteral("renamed.txt")); }));
    ASSERT_NE(Row(QStringLiteral("kept.txt")), nullptr);
    EXPECT_TRUE(Row(QStringLiteral("kept.txt"))->Selected());

    // A burst of changes is answered by a few readings, not one per change.
    int readings = 0;
    const auto counting = pane.Watch()->OnChanged;
    pane.Watch()->OnChanged = [&](TFolderWatch* watch) {
        ++readings;
        counting(watch);
    };
    for (int i = 0; i < 200; ++i)
        Write(QStringLiteral("burst%1").arg(i), "b");
    ASSERT_TRUE(PumpUntil([&] { return Row(QStringLiteral("burst199")) != nullptr; }));
    EXPECT_LE(readings, 5);

    // A folder's longer names widen their column (the pane is 400 wide: up to 200).
    Write(QStringLiteral("sub/deeper/a-rather-long-name-for-file.txt"), "l");
    QTreeView* report = pane.List()->ReportView();
    const int nameWidth =
        report->fontMetrics().horizontalAdvance(QStringLiteral("a-rather-long-name-for-file.txt"));
    ASSERT_LT(nameWidth, 180);
    ASSERT_GT(nameWidth, report->columnWidth(0)) << "the name must not fit the column as it is";
    // A typed path: Enter goes there; a wrong one is refused with the text kept for mending.
    const struct {
        QString typed;
        QString shown; // empty: refused
    } paths[] = {{work + QStringLiteral("/sub/deeper"), work + QStringLiteral("/sub/deeper/")},
                 {QStringLiteral("~"), base + QStringLiteral("/home/")},
                 {work + QStringLiteral("/missing"), {}}};
    for (const auto& path : paths) {
        const QString before = pane.Directory();
        pane.PathField()->setText(path.typed);
        QTest::keyClick(pane.PathField(), Qt::Key_Return);
        EXPECT_EQ(pane.Directory(), path.shown.isEmpty() ? before : path.shown) << path.typed.toStdString();
        EXPECT_EQ(pane.PathField()->text(), path.shown.isEmpty() ? path.typed : path.shown);
        EXPECT_EQ(QFile::decodeName(CurrentDir()) + QLatin1Char('/'), pane.Directory());
    }
    EXPECT_EQ(prompts.Last(QStringLiteral("message")), QStringLiteral("Vnešena mapa ne obstaja!"));
    pane.Start(work + QStringLiteral("/sub/deeper"));
    EXPECT_GE(report->columnWidth(0), nameWidth);
    QTest::keyClick(pane.PathField(), Qt::Key_Escape);
    EXPECT_EQ(pane.PathField()->text(), pane.Directory());
}
