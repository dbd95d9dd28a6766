// The remote pane over a real listing table: the date column's texts and
// captions, and sorting by header clicks while the engine-facing row
// functions keep naming table entries.
#include "app/remotepane.h"

#include "ftp/listingparser.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLocale>
#include <QScopeGuard>
#include <QTest>

#include <gtest/gtest.h>
#include <time.h>

namespace {
// Directories and files mixed, names in mixed case, sizes whose texts sort
// otherwise than their numbers, MLSD dates in UTC and one entry without a date.
const QByteArray kListing = "type=file;size=300;modify=20240105101500; beta.TXT\r\n"
                            "type=dir;modify=20230101000000; gamma\r\n"
                            "type=file;size=1000;modify=20220301120000; Alpha.bin\r\n"
                            "type=file;size=20; nodate\r\n"
                            "type=dir;modify=20250101000000; alpha\r\n"
                            "type=file;size=20;modify=20210101000000; Zeta\r\n";

class RemotePaneTest : public testing::Test {
protected:
    void SetUp() override
    {
        QByteArray raw = kListing;
        RazcleniSeznam(raw, lfMlsd, table);
        ASSERT_EQ(table.Count(), 7);
        pane.resize(900, 300);
        pane.show();
        pane.Show(table);
    }

    // The names in view order.
    std::string shown() const
    {
        QStringList names;
        for (int row = 0; row < pane.RowCount(); ++row)
            names << pane.model()->index(row, 0).data().toString();
        return names.join(" | ").toStdString();
    }

    void clickHeader(int column)
    {
        QHeaderView* header = pane.header();
        const QPoint point(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                           header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, point);
    }

    int entryNamed(const QString& name) const
    {
        for (int entry = 0; entry < table.Count(); ++entry)
            if (table.At(entry).name == name)
                return entry;
        return -1;
    }

    TRemoteListing table;
    TRemotePane pane;
};

TEST_F(RemotePaneTest, HeaderClicksSortWhileTheEngineStillNamesEntries)
{
    // Listing order until a header is clicked.
    EXPECT_EQ(shown(), ".. | beta.TXT | gamma | Alpha.bin | nodate | alpha | Zeta");

    clickHeader(0);
    EXPECT_EQ(shown(), ".. | alpha | gamma | Alpha.bin | beta.TXT | nodate | Zeta");
    clickHeader(0);
    EXPECT_EQ(shown(), ".. | gamma | alpha | Zeta | nodate | beta.TXT | Alpha.bin");

    // Sizes as numbers (the text "1,000" would sort before "300"); equal sizes by name.
    clickHeader(1);
    EXPECT_EQ(shown(), ".. | alpha | gamma | nodate | Zeta | beta.TXT | Alpha.bin");

    // Dates as times, no date first; reversed on the second click, folders still first.
    clickHeader(TRemoteModel::kDateColumn);
    EXPECT_EQ(shown(), ".. | gamma | alpha | nodate | Zeta | Alpha.bin | beta.TXT");
    clickHeader(TRemoteModel::kDateColumn);
    EXPECT_EQ(shown(), ".. | alpha | gamma | beta.TXT | Alpha.bin | Zeta | nodate");
    EXPECT_TRUE(pane.header()->isSortIndicatorShown());
    EXPECT_EQ(pane.header()->sortIndicatorOrder(), Qt::DescendingOrder);

    // The engine's row functions speak in table entries whatever the view order.
    const int zeta = entryNamed("Zeta");
    const int gamma = entryNamed("gamma");
    EXPECT_EQ(pane.RowOfEntry(zeta), 5);
    EXPECT_EQ(pane.EntryOfRow(5), zeta);
    pane.setCurrentIndex(pane.model()->index(5, 0)); // the user clicks the "Zeta" row
    EXPECT_EQ(pane.FocusedRow(), zeta);
    pane.SetRowSelected(gamma, true);
    EXPECT_EQ(pane.SelectedRows(), (std::vector<int>{gamma, zeta}));
    EXPECT_TRUE(pane.selectionModel()->isRowSelected(2, {}));
    EXPECT_EQ(pane.RowCaption(zeta), "Zeta");

    // The selection follows its entries through another sort.
    clickHeader(0);
    EXPECT_EQ(shown(), ".. | alpha | gamma | Alpha.bin | beta.TXT | nodate | Zeta");
    EXPECT_EQ(pane.SelectedRows(), (std::vector<int>{gamma, zeta}));
    EXPECT_EQ(pane.FocusedRow(), zeta);
    EXPECT_TRUE(pane.selectionModel()->isRowSelected(6, {}));

    // An in-place edit is told with its entry, and RowCaption answers the typed text for it.
    int edited = -1;
    pane.OnEdited = [&] { edited = pane.FocusedRow(); };
    ASSERT_TRUE(pane.model()->setData(pane.model()->index(6, 0), "Able", Qt::EditRole));
    EXPECT_EQ(edited, zeta);
    EXPECT_EQ(pane.RowCaption(zeta), "Able");
    // The engine renames the entry once the server agreed: the next sort goes by the new name.
    table.SetName(zeta, "Able");
    clickHeader(0);
    clickHeader(0);
    EXPECT_EQ(shown(), ".. | alpha | gamma | Able | Alpha.bin | beta.TXT | nodate");
    clickHeader(0);
    EXPECT_EQ(shown(), ".. | gamma | alpha | nodate | beta.TXT | Alpha.bin | Able");

    // "Select all" leaves ".." out in any order; the next listing keeps the chosen order.
    pane.SelectAllButParent();
    EXPECT_EQ(pane.SelectedRows().size(), 6u);
    EXPECT_EQ(pane.SelectedRows().front(), 1);
    pane.Show(table);
    EXPECT_EQ(shown(), ".. | gamma | alpha | nodate | beta.TXT | Alpha.bin | Able");
}

TEST_F(RemotePaneTest, TheDateColumnShowsLocalTimesInTheLocaleFormat)
{
    pane.SetLanguage(0);
    EXPECT_EQ(pane.model()->headerData(TRemoteModel::kDateColumn, Qt::Horizontal).toString(), "Datum");
    pane.SetLanguage(1);
    EXPECT_EQ(pane.model()->headerData(TRemoteModel::kDateColumn, Qt::Horizontal).toString(), "Date");

    // This computer one hour east of UTC, so that a conversion shows.
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "CET-1");
    tzset();
    const auto restoreZone = qScopeGuard([&] {
        zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
        tzset();
    });
    const QLocale locale = QLocale::system();
    const auto dateOf = [&](const QString& name) {
        return pane.model()
            ->index(pane.RowOfEntry(entryNamed(name)), TRemoteModel::kDateColumn)
            .data()
            .toString();
    };
    // A machine-listing time is UTC: shown in this computer's time.
    EXPECT_EQ(dateOf("beta.TXT"),
              locale.toString(QDateTime(QDate(2024, 1, 5), QTime(11, 15)), QLocale::ShortFormat));
    EXPECT_EQ(dateOf("nodate"), "");
    EXPECT_EQ(pane.model()->index(0, TRemoteModel::kDateColumn).data().toString(), "");

    // A LIST time is the server's clock, shown as listed; a year alone gives the date alone.
    QByteArray raw = "-rw-r--r-- 1 u g 5 Mar  3  2021 day\n"
                     "-rw-r--r-- 1 u g 5 Mar  3 12:34 clock\n";
    TRemoteListing listed;
    RazcleniSeznam(raw, listed);
    pane.Show(listed);
    EXPECT_EQ(pane.model()->index(1, TRemoteModel::kDateColumn).data().toString(),
              locale.toString(QDate(2021, 3, 3), QLocale::ShortFormat));
    const QString clock = pane.model()->index(2, TRemoteModel::kDateColumn).data().toString();
    EXPECT_TRUE(clock.contains(locale.toString(QTime(12, 34), QLocale::ShortFormat))) << clock.toStdString();
}
} // namespace
