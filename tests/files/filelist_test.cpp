#include "files/filelist.h"

#include "support/exceptionrecorder.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

// Readable failure messages.
void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// A directory tree built for one test.
class Tree {
public:
    Tree()
    {
        m_dir.setAutoRemove(false); // names that are not UTF-8 need the raw removal below
        // Readable by everybody, so that a test may look at it with the rights of an ordinary user.
        chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
    }
    ~Tree()
    {
        nftw(
            QFile::encodeName(m_dir.path()).constData(),
            [](const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }, 16,
            FTW_DEPTH | FTW_PHYS);
    }
    QString Path(const QString& relative = QString()) const
    {
        return relative.isEmpty() ? m_dir.path() + QLatin1Char('/')
                                  : m_dir.path() + QLatin1Char('/') + relative;
    }
    QByteArray Raw(const QByteArray& relative) const
    {
        return QFile::encodeName(m_dir.path()) + '/' + relative;
    }
    void File(const QString& relative, const QByteArray& content = QByteArray(), mode_t mode = 0666) const
    {
        RawFile(QFile::encodeName(relative), content, mode);
    }
    void RawFile(const QByteArray& relative, const QByteArray& content = QByteArray(),
                 mode_t mode = 0666) const
    {
        const QByteArray path = Raw(relative);
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
        ASSERT_GE(fd, 0) << path.constData();
        ASSERT_EQ(::write(fd, content.constData(), static_cast<size_t>(content.size())), content.size());
        ::close(fd);
        ::chmod(path.constData(), mode);
    }
    void Dir(const QString& relative, mode_t mode = 0777) const
    {
        const QByteArray path = Raw(QFile::encodeName(relative));
        ASSERT_EQ(::mkdir(path.constData(), 0700), 0) << path.constData();
        ::chmod(path.constData(), mode);
    }
    void SetModified(const QString& relative, const QDateTime& time) const
    {
        struct timespec times[2] = {{time.toSecsSinceEpoch(), 0}, {time.toSecsSinceEpoch(), 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, Raw(QFile::encodeName(relative)).constData(), times, 0), 0);
    }

private:
    QTemporaryDir m_dir;
};

QStringList Captions(const TFileList& list)
{
    QStringList captions;
    for (int i = 0; i < list.Items().Count(); ++i)
        captions.append(list.Items().Item(i)->Caption());
    return captions;
}

const TListItem* Row(const TFileList& list, const QString& caption)
{
    for (int i = 0; i < list.Items().Count(); ++i) {
        if (list.Items().Item(i)->Caption() == caption)
            return list.Items().Item(i);
    }
    return nullptr;
}

QString AttributesOf(const TFileList& list, const QString& caption)
{
    const TListItem* row = Row(list, caption);
    return row ? row->SubItems().value(list.ColumnOf(fiAttributes) - 1) : QStringLiteral("<no row>");
}

// Runs a block with the rights of an ordinary user when the tests run as root,
// so that permissions (read-only, unreadable) mean what they mean for a user.
class AsOrdinaryUser {
public:
    AsOrdinaryUser() : m_switched(geteuid() == 0 && seteuid(65534) == 0) {}
    ~AsOrdinaryUser()
    {
        if (m_switched)
            (void)seteuid(0);
    }
    bool Active() const { return m_switched || geteuid() != 0; }

private:
    bool m_switched;
};

const TFileInfos MainWindowColumns{fiName, fiSize, fiType, fiModified, fiAttributes};

} // namespace

TEST(FileList, StartsWithTheDescribedPropertiesAndNameAndSizeColumns)
{
    TFileList list;
    EXPECT_EQ(list.Directory(), QString());
    EXPECT_EQ(list.Mask(), QStringLiteral("*.*"));
    EXPECT_EQ(list.FileTypes(), (TFileTypes{ftArchive, ftReadonly}));
    EXPECT_TRUE(list.DisplayDirectory());
    EXPECT_FALSE(list.DisplayParentDir());
    EXPECT_EQ(list.SortColumn(), fiName);
    EXPECT_EQ(list.ViewColumns(), (TFileInfos{fiName, fiSize, fiType, fiModified}));
    EXPECT_EQ(list.Items().columnCount(), 4);
    EXPECT_EQ(list.Items().headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("Modified"));
    EXPECT_EQ(TFileInfos{fiAll}.Bits(), 1u << 10);
}

TEST(FileList, MainWindowColumnsGiveSizeTypeModifiedAndAttributesAsSubItems)
{
    Tree tree;
    tree.File(QStringLiteral("notes.txt"), "hello");
    tree.Dir(QStringLiteral("sub"));
    const QDateTime when(QDate(2021, 3, 4), QTime(5, 6, 7));
    tree.SetModified(QStringLiteral("notes.txt"), when);

    TFileList list;
    list.SetViewColumns(MainWindowColumns);
    list.SetDirectory(tree.Path());
    ASSERT_EQ(Captions(list), QStringList({"sub", "notes.txt"}));

    const QStringList file = Row(list, QStringLiteral("notes.txt"))->SubItems();
    ASSERT_EQ(file.size(), 4);
    EXPECT_EQ(file[0], QStringLiteral("         5"));
    EXPECT_FALSE(file[1].isEmpty());
    const QLocale locale = QLocale::system();
    // The user's short date, two spaces, the time without seconds.
    const QString date = QRegularExpression::escape(locale.toString(when.date(), QLocale::ShortFormat));
    EXPECT_TRUE(QRegularExpression("^" + date + "  \\D*0?5[:.]06\\D*$").match(file[2]).hasMatch())
        << file[2].toStdString();
    EXPECT_EQ(file[3], QString()); // a plain writable file has no letters

    const QStringList directory = Row(list, QStringLiteral("sub"))->SubItems();
    EXPECT_EQ(directory[0], QString());
    EXPECT_EQ(directory[3], QStringLiteral("D"));
    EXPECT_NE(directory[1], file[1]);

    // Sizes longer than the field are not cut.
    tree.File(QStringLiteral("big.bin"));
    ASSERT_EQ(truncate(tree.Raw("big.bin").constData(), 12345678901LL), 0);
    list.Reload();
    EXPECT_EQ(Row(list, QStringLiteral("big.bin"))->SubItems().value(0), QStringLiteral("12345678901"));
}

TEST(FileList, SubItemKStaysInListColumnKPlusOneWithColumnsThatHaveNoText)
{
    Tree tree;
    tree.Dir(QStringLiteral("sub"));
    TFileList list;
    list.SetViewColumns({fiName, fiSize, fiModified, fiCreated, fiAttributes, fiPath});
    list.SetDirectory(tree.Path());
    ASSERT_EQ(list.Items().columnCount(), 6);
    EXPECT_EQ(list.ColumnOf(fiType), -1);
    EXPECT_EQ(list.ColumnOf(fiAttributes), 4);
    EXPECT_EQ(list.KindOfColumn(3), fiCreated);
    const QStringList texts = Row(list, QStringLiteral("sub"))->SubItems();
    ASSERT_EQ(texts.size(), 5);
    EXPECT_EQ(texts[2], QString());           // Created
    EXPECT_EQ(texts[3], QStringLiteral("D")); // Attributes
    EXPECT_EQ(texts[4], tree.Path());         // Path
    EXPECT_EQ(list.Items().data(list.Items().index(0, 4), Qt::DisplayRole).toString(), QStringLiteral("D"));
}

TEST(FileList, AttributeFilterHidesHiddenAndSystemEntriesByDefault)
{
    Tree tree;
    tree.File(QStringLiteral("plain.txt"));
    tree.File(QStringLiteral(".hidden.txt"));
    tree.Dir(QStringLiteral(".hiddendir"));
    tree.Dir(QStringLiteral("visible"));
    ASSERT_EQ(mkfifo(tree.Raw("pipe.fifo").constData(), 0666), 0);

    TFileList list;
    list.SetViewColumns(MainWindowColumns);
    list.SetDirectory(tree.Path());
    EXPECT_EQ(Captions(list), QStringList({"visible", "plain.txt"}));

    list.SetFileTypes({ftArchive, ftReadonly, ftHidden});
    EXPECT_EQ(Captions(list), QStringList({".hiddendir", "visible", ".hidden.txt", "plain.txt"}));
    EXPECT_EQ(AttributesOf(list, QStringLiteral(".hiddendir")), QStringLiteral("DH"));

    list.SetFileTypes({ftSystem});
    EXPECT_EQ(Captions(list), QStringList({"visible", "pipe.fifo", "plain.txt"}));
    EXPECT_EQ(AttributesOf(list, QStringLiteral("pipe.fifo")), QStringLiteral("S"));

    list.SetFileTypes({ftAll});
    EXPECT_EQ(list.Items().Count(), 5);
}

TEST(FileList, ReadOnlyAndUnreadableEntriesFollowTheUsersRights)
{
    Tree tree;
    tree.File(QStringLiteral("mine.txt"), "x", 0666);
    tree.File(QStringLiteral("locked.txt"), "x", 0444);
    tree.File(QStringLiteral("secret.txt"), "x", 0000);
    tree.Dir(QStringLiteral("rodir"), 0555);
    tree.Dir(QStringLiteral("closed"), 0000);
    tree.File(QStringLiteral("rodir/inside.txt"));

    AsOrdinaryUser user;
    if (!user.Active())
        GTEST_SKIP() << "cannot drop root rights (seteuid failed), so permissions do not apply";
    if (DIR* probe = opendir(tree.Raw("closed").constData())) {
        closedir(probe);
        GTEST_SKIP() << "a directory with mode 000 is still readable here, so nothing is unreadable";
    }
    TFileList list;
    list.SetViewColumns(MainWindowColumns);
    list.SetDirectory(tree.Path());
    EXPECT_EQ(Captions(list), QStringList({"closed", "rodir", "locked.txt", "mine.txt", "secret.txt"}));
    EXPECT_EQ(AttributesOf(list, QStringLiteral("locked.txt")), QStringLiteral("R"));
    EXPECT_EQ(AttributesOf(list, QStringLiteral("mine.txt")), QString());
    EXPECT_EQ(AttributesOf(list, QStringLiteral("rodir")), QStringLiteral("DR"));
    EXPECT_EQ(AttributesOf(list, QStringLiteral("secret.txt")), QStringLiteral("R"));

    list.SetFileTypes({ftArchive});
    EXPECT_EQ(Captions(list), QStringList({"mine.txt"}));

    // An unreadable directory adds nothing and reports nothing; the others still show.
    list.SetFileTypes({ftArchive, ftReadonly});
    list.SetDirectory(tree.Path(QStringLiteral("closed")) + QLatin1Char(';') +
                      tree.Path(QStringLiteral("rodir")));
    EXPECT_EQ(Captions(list), QStringList({"inside.txt"}));
    EXPECT_EQ(ExceptionRecorder::Count(), 0u);
}

TEST(FileList, ParentEntryOnlyOutsideTheRootAndOnlyWithDirectories)
{
    Tree tree;
    tree.Dir(QStringLiteral("sub"));
    TFileList list;
    list.SetDirectory(tree.Path());
    EXPECT_EQ(Row(list, QStringLiteral("..")), nullptr);

    list.SetDisplayParentDir(true);
    ASSERT_NE(Row(list, QStringLiteral("..")), nullptr);
    EXPECT_EQ(Captions(list).first(), QStringLiteral(".."));
    EXPECT_EQ(Row(list, QStringLiteral(".")), nullptr);

    list.SetDisplayDirectory(false);
    EXPECT_EQ(Captions(list), QStringList());

    list.SetDisplayDirectory(true);
    list.SetMask(QStringLiteral("no-such-name.xyz"));
    list.SetDirectory(QStringLiteral("/"));
    EXPECT_EQ(Row(list, QStringLiteral("..")), nullptr);
    EXPECT_GT(list.Items().Count(), 0); // the root's directories are there
}

TEST(FileList, DirectoryTextIsCutSortedAndReadBackWithSlashes)
{
    Tree tree;
    tree.Dir(QStringLiteral("b"));
    tree.Dir(QStringLiteral("a"));
    tree.File(QStringLiteral("a/one.txt"));
    tree.File(QStringLiteral("b/two.txt"));
    tree.File(QStringLiteral("top.txt"));

    TFileList list;
    list.SetDirectory(tree.Path(QStringLiteral("b")) + QStringLiteral(";;") +
                      tree.Path(QStringLiteral("a/")) + QLatin1Char(';'));
    EXPECT_EQ(list.Directory(),
              tree.Path(QStringLiteral("a/")) + QLatin1Char(';') + tree.Path(QStringLiteral("b/")));
    EXPECT_EQ(Captions(list), QStringList({"one.txt", "two.txt"}));

    list.SetDirectory(QString());
    EXPECT_EQ(list.Directory(), QString());
    EXPECT_EQ(list.Items().Count(), 0);

    list.SetDirectory(tree.Path(QStringLiteral("missing")) + QLatin1Char(';') +
                      tree.Path(QStringLiteral("top.txt")));
    EXPECT_EQ(list.Items().Count(), 0);
}

TEST(FileList, MaskFiltersFilesButNeverDirectories)
{
    Tree tree;
    tree.File(QStringLiteral("a.txt"));
    tree.File(QStringLiteral("b.doc"));
    tree.File(QStringLiteral("Makefile"));
    tree.Dir(QStringLiteral("src"));

    TFileList list;
    list.SetDirectory(tree.Path());
    EXPECT_EQ(Captions(list), QStringList({"src", "a.txt", "b.doc"}));
    list.SetMask(QStringLiteral("*.txt , *.doc"));
    EXPECT_EQ(list.Mask(), QStringLiteral("*.doc;*.txt"));
    EXPECT_EQ(Captions(list), QStringList({"src", "a.txt", "b.doc"}));
    list.SetMask(QStringLiteral("*"));
    EXPECT_EQ(Captions(list), QStringList({"src", "a.txt", "b.doc", "Makefile"}));
    list.SetMask(QStringLiteral("MAKE"));
    EXPECT_EQ(Captions(list), QStringList({"src", "Makefile"}));
}

TEST(FileList, SortKeepsDirectoriesOnTopInBothDirectionsAndHeaderClicksToggle)
{
    Tree tree;
    tree.Dir(QStringLiteral("b_dir"));
    tree.Dir(QStringLiteral("Y_dir"));
    tree.File(QStringLiteral("a.txt"), QByteArray(100, 'x'));
    tree.File(QStringLiteral("M.txt"), QByteArray(5, 'x'));
    tree.File(QStringLiteral("z.txt"), QByteArray(20, 'x'));
    tree.SetModified(QStringLiteral("a.txt"), QDateTime(QDate(2020, 1, 1), QTime(12, 0)));
    tree.SetModified(QStringLiteral("M.txt"), QDateTime(QDate(2022, 1, 1), QTime(12, 0)));
    tree.SetModified(QStringLiteral("z.txt"), QDateTime(QDate(2019, 12, 31), QTime(12, 0)));

    TFileList list;
    list.SetViewColumns(MainWindowColumns);
    list.SetViewStyle(vsReport);
    list.resize(600, 300);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    list.SetDirectory(tree.Path());
    EXPECT_EQ(Captions(list), QStringList({"b_dir", "Y_dir", "a.txt", "M.txt", "z.txt"}));

    std::vector<int> clicked;
    list.OnColumnClick = [&](TFileListView*, int column) { clicked.push_back(column); };
    auto* view = qobject_cast<QTreeView*>(list.CurrentView());
    ASSERT_NE(view, nullptr);
    auto clickHeader = [&](int column) {
        QHeaderView* header = view->header();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    };

    clickHeader(0); // the same column: descending
    EXPECT_EQ(Captions(list), QStringList({"Y_dir", "b_dir", "z.txt", "M.txt", "a.txt"}));
    clickHeader(0);
    EXPECT_EQ(Captions(list), QStringList({"b_dir", "Y_dir", "a.txt", "M.txt", "z.txt"}));
    EXPECT_EQ(clicked, (std::vector<int>{0, 0}));

    clickHeader(1); // size, compared as right-aligned text, so by value
    EXPECT_EQ(Captions(list), QStringList({"b_dir", "Y_dir", "M.txt", "z.txt", "a.txt"}));
    EXPECT_EQ(list.SortColumn(), fiSize);

    // Date columns are reversed once more: newest first while ascending, compared by time.
    list.SetSortColumn(fiModified);
    EXPECT_FALSE(list.SortDescending());
    EXPECT_EQ(Captions(list).mid(2), QStringList({"M.txt", "a.txt", "z.txt"}));
    list.SetSortColumn(fiModified);
    EXPECT_EQ(Captions(list).mid(2), QStringList({"z.txt", "a.txt", "M.txt"}));
    EXPECT_EQ(Captions(list).mid(0, 2), QStringList({"b_dir", "Y_dir"})); // still on top

    // A kind that is not shown is ignored.
    list.SetSortColumn(fiPath);
    EXPECT_EQ(list.SortColumn(), fiModified);
    list.SetSortColumn(fiAll);
    EXPECT_EQ(list.SortColumn(), fiModified);
}

TEST(FileList, HeaderClicksKeepTheParentOnTopAndSortHugeSizesAsNumbers)
{
    Tree tree;
    tree.Dir(QStringLiteral("here"));
    tree.Dir(QStringLiteral("here/Sub"));
    tree.Dir(QStringLiteral("here/.hidden"));
    tree.File(QStringLiteral("here/nine.bin"), QByteArray(9, 'x'));
    tree.File(QStringLiteral("here/Small.txt"), QByteArray(1, 'x'));
    // Sparse files of 9 and 12 GB: sizes of ten and eleven digits.
    for (const auto& [name, size] : {std::pair{"big.iso", 9LL << 30}, std::pair{"huge.img", 12LL << 30}}) {
        tree.File(QStringLiteral("here/") + QLatin1String(name));
        ASSERT_EQ(::truncate(tree.Raw(QByteArray("here/") + name).constData(), size), 0);
    }

    TFileList list;
    list.SetViewColumns(MainWindowColumns);
    list.SetDisplayParentDir(true);
    list.SetFileTypes({ftArchive, ftReadonly, ftHidden});
    list.SetMultiSelect(true);
    list.SetViewStyle(vsReport);
    list.resize(600, 300);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    list.SetDirectory(tree.Path(QStringLiteral("here")));
    ASSERT_EQ(Captions(list).first(), "..");

    auto* view = qobject_cast<QTreeView*>(list.CurrentView());
    ASSERT_NE(view, nullptr);
    const auto clickHeader = [&](int column) {
        QHeaderView* header = view->header();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    };
    // ".." sorts after ".hidden" by its text, yet stays on top in both directions.
    clickHeader(0);
    EXPECT_EQ(Captions(list),
              QStringList({"..", "Sub", ".hidden", "Small.txt", "nine.bin", "huge.img", "big.iso"}));
    clickHeader(1); // another column keeps the direction
    EXPECT_EQ(Captions(list),
              QStringList({"..", "Sub", ".hidden", "huge.img", "big.iso", "nine.bin", "Small.txt"}));
    clickHeader(1);
    EXPECT_EQ(Captions(list),
              QStringList({"..", ".hidden", "Sub", "Small.txt", "nine.bin", "big.iso", "huge.img"}));

    // The selection and the rows' exact paths follow their entries through a sort.
    view->selectionModel()->select(view->model()->index(6, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    clickHeader(0);
    ASSERT_EQ(list.SelectedItems().size(), 1u);
    EXPECT_EQ(list.SelectedItems().front()->Caption(), "huge.img");
    EXPECT_EQ(list.SelectedItems().front()->PathBytes(), tree.Raw("here/huge.img"));
    EXPECT_EQ(list.SelectedItems().front()->Index(), 4);
}

TEST(FileList, ColumnTableIsSharedAndWidthChangesRebuildTheColumns)
{
    TFileList first;
    TFileList second;
    first.SetViewStyle(vsReport);
    auto* view = qobject_cast<QTreeView*>(first.CurrentView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->header()->sectionSize(1), 60);

    first.SetColumnWidth(fiSize, 85);
    EXPECT_EQ(view->header()->sectionSize(1), 85);
    first.SetColumnCaption(fiName, QStringLiteral("Ime"));
    EXPECT_EQ(first.Items().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("Name"));
    second.BuildColumns();
    EXPECT_EQ(second.Items().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("Ime"));

    // A Name column that is not in ViewColumns is there with no width.
    first.SetViewColumns({fiSize});
    EXPECT_TRUE(view->isColumnHidden(0));
    EXPECT_EQ(first.Items().columnCount(), 2);

    first.SetColumnCaption(fiName, QStringLiteral("Name"));
    first.SetColumnWidth(fiSize, 60);
}

TEST(FileList, AColumnWidthTheUserChoseSurvivesAReload)
{
    Tree tree;
    tree.File(QStringLiteral("a.txt"));
    TFileList list;
    list.SetViewStyle(vsReport);
    list.SetDirectory(tree.Path());
    auto* view = qobject_cast<QTreeView*>(list.CurrentView());
    ASSERT_NE(view, nullptr);
    view->header()->resizeSection(0, 222);
    list.Reload();
    EXPECT_EQ(view->header()->sectionSize(0), 222);
    EXPECT_EQ(view->header()->sectionSize(1), 60);
}

TEST(FileList, OnFileAddReportsEveryRowWithItsDirectoryAndAVanishedFileKeepsAPlainRow)
{
    Tree tree;
    tree.File(QStringLiteral("a.txt"), "abc");
    tree.Dir(QStringLiteral("d"));
    TFileList list;
    QStringList seen;
    list.OnFileAdd = [&](TFileList* sender, TListItem* item, const QString& path, const TFindData& data) {
        EXPECT_EQ(sender, &list);
        EXPECT_EQ(QString::fromUtf8(data.Name), item->Caption());
        EXPECT_FALSE(item->SubItems().isEmpty()); // texts are filled before the event
        seen.append(path + item->Caption());
    };
    list.SetDirectory(tree.Path());
    seen.sort();
    EXPECT_EQ(seen, QStringList({tree.Path(QStringLiteral("a.txt")), tree.Path(QStringLiteral("d"))}));

    seen.clear();
    TListItem* gone = list.AddFile(tree.Path(QStringLiteral("vanished.txt")));
    EXPECT_EQ(gone->Caption(), QStringLiteral("vanished.txt"));
    EXPECT_GE(gone->ImageIndex(), 0);
    EXPECT_TRUE(gone->SubItems().isEmpty());
    EXPECT_TRUE(seen.isEmpty());

    TListItem* added = list.AddFile(tree.Path(QStringLiteral("a.txt")));
    EXPECT_EQ(added->SubItems().value(0), QStringLiteral("         3"));
    EXPECT_EQ(seen, QStringList({tree.Path(QStringLiteral("a.txt"))}));
}

TEST(FileList, OddNamesAndDanglingLinksShowWhatCanBeShown)
{
    Tree tree;
    tree.RawFile(QByteArray("bad-\xff\xfe.txt"), "12345");
    tree.File(QStringLiteral("two\nlines.txt"), "1");
    const QString longName = QString(251, QLatin1Char('n')) + QStringLiteral(".txt");
    tree.File(longName);
    ASSERT_EQ(symlink("/nonexistent/target", tree.Raw("dangling.lnk").constData()), 0);
    ASSERT_EQ(symlink(tree.Raw("two\nlines.txt").constData(), tree.Raw("good.lnk").constData()), 0);

    TFileList list;
    list.SetViewColumns(MainWindowColumns);
    list.SetViewStyle(vsReport);
    list.SetDirectory(tree.Path());
    ASSERT_EQ(list.Items().Count(), 5);
    EXPECT_NE(Row(list, longName), nullptr);
    EXPECT_EQ(AttributesOf(list, QStringLiteral("dangling.lnk")), QString());
    EXPECT_EQ(Row(list, QStringLiteral("good.lnk"))->SubItems().value(0), QStringLiteral("         1"));
    const TListItem* bad = Row(list, QFile::decodeName(QByteArray("bad-\xff\xfe.txt")));
    ASSERT_NE(bad, nullptr);
    EXPECT_EQ(bad->SubItems().value(0), QStringLiteral("         5")); // described from the raw name

    // A newline is drawn as a visible symbol; the caption keeps the real name.
    const TListItem* twoLines = Row(list, QStringLiteral("two\nlines.txt"));
    ASSERT_NE(twoLines, nullptr);
    const QString shown =
        list.Items().data(list.Items().index(twoLines->Index(), 0), Qt::DisplayRole).toString();
    EXPECT_FALSE(shown.contains(QLatin1Char('\n')));
}

TEST(FileList, ReloadRestoresViewRedrawAndCursorAndAReloadFromAHandlerTakesOver)
{
    Tree tree;
    tree.Dir(QStringLiteral("first"));
    tree.Dir(QStringLiteral("second"));
    for (int i = 0; i < 50; ++i)
        tree.File(QStringLiteral("first/f%1.txt").arg(i));
    tree.File(QStringLiteral("second/only.txt"));

    TFileList list;
    list.SetViewStyle(vsReport);
    std::vector<TViewStyle> stylesDuringScan;
    int calls = 0;
    list.OnFileAdd = [&](TFileList* sender, TListItem*, const QString&, const TFindData&) {
        stylesDuringScan.push_back(sender->ViewStyle());
        if (++calls == 3)
            sender->SetDirectory(tree.Path(QStringLiteral("second")));
    };
    list.SetDirectory(tree.Path(QStringLiteral("first")));
    EXPECT_EQ(Captions(list), QStringList({"only.txt"}));
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(stylesDuringScan.front(), vsList);
    EXPECT_EQ(list.ViewStyle(), vsReport);
    EXPECT_TRUE(list.updatesEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // A handler that throws ends the Reload; everything is restored all the same.
    list.OnFileAdd = [](TFileList*, TListItem*, const QString&, const TFindData&) {
        throw Exception("stop");
    };
    EXPECT_THROW(list.SetDirectory(tree.Path(QStringLiteral("first"))), Exception);
    EXPECT_EQ(list.ViewStyle(), vsReport);
    EXPECT_TRUE(list.updatesEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(FileList, UserEventsRunDuringReloadAndAReloadStartedThereTakesOver)
{
    Tree tree;
    tree.Dir(QStringLiteral("a"));
    tree.Dir(QStringLiteral("b"));
    tree.Dir(QStringLiteral("c"));
    for (int i = 0; i < 2000; ++i)
        tree.File(QStringLiteral("a/f%1.txt").arg(i));
    tree.File(QStringLiteral("b/b.txt"));
    tree.File(QStringLiteral("c/c.txt"));

    TFileList list;
    list.SetViewStyle(vsReport);
    bool reloading = false;
    int rowsSeen = -1;
    TViewStyle styleSeen = vsIcon;
    QTimer::singleShot(0, &list, [&] {
        EXPECT_TRUE(reloading); // a user action in the middle of Reload
        rowsSeen = list.Items().Count();
        styleSeen = list.ViewStyle();
        list.SetViewStyle(vsSmallIcon); // the user's choice is shown once the Reload ends
        list.SetDirectory(tree.Path(QStringLiteral("c")));
    });
    reloading = true;
    list.SetDirectory(tree.Path(QStringLiteral("a")) + QLatin1Char(';') + tree.Path(QStringLiteral("b")));
    reloading = false;
    EXPECT_GE(rowsSeen, 0);
    EXPECT_EQ(styleSeen, vsList);
    EXPECT_EQ(Captions(list), QStringList({"c.txt"}));
    EXPECT_EQ(list.ViewStyle(), vsSmallIcon);
    EXPECT_TRUE(list.updatesEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(FileList, DestroyingTheListFromAHandlerDuringReloadIsSafe)
{
    Tree tree;
    tree.File(QStringLiteral("a.txt"));
    tree.File(QStringLiteral("b.txt"));
    auto* list = new TFileList;
    list->OnFileAdd = [](TFileList* sender, TListItem*, const QString&, const TFindData&) { delete sender; };
    list->SetDirectory(tree.Path());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(FileList, ADirectoryWhoseNameHoldsASemicolonIsOneDirectory)
{
    Tree tree;
    tree.Dir(QStringLiteral("x;y"));
    tree.File(QStringLiteral("x;y/f.txt"));
    tree.Dir(QStringLiteral("x"));
    tree.File(QStringLiteral("x/g.txt"));
    TFileList list;
    list.SetDirectory(tree.Path(QStringLiteral("x;y")));
    EXPECT_EQ(Captions(list), QStringList({"f.txt"}));
    EXPECT_EQ(list.Directory(), tree.Path(QStringLiteral("x;y/")));

    // A text that is no directory as a whole is still a list.
    list.SetDirectory(tree.Path(QStringLiteral("x")) + QLatin1Char(';') + tree.Path(QStringLiteral("x;y")));
    EXPECT_EQ(Captions(list), QStringList({"g.txt"})); // ".../x" and "y" (which does not exist)
}

TEST(FileList, RowsKeepTheRawBytesOfNamesThatAreNotUtf8)
{
    Tree tree;
    tree.RawFile(QByteArray("bad-\xff"), "1");
    tree.File(QStringLiteral("bad-\uFFFD"), "22");
    ASSERT_EQ(::mkdir(tree.Raw("dir-\xfe").constData(), 0755), 0);
    tree.RawFile(QByteArray("dir-\xfe/inner.txt"), "333");

    TFileList list;
    list.SetViewColumns(MainWindowColumns);
    list.SetViewStyle(vsReport);
    list.SetMask(QStringLiteral("*"));
    list.SetDirectory(tree.Path());
    QSet<QByteArray> names;
    for (int i = 0; i < list.Items().Count(); ++i) {
        const TListItem* item = list.Items().Item(i);
        EXPECT_EQ(item->DirectoryBytes(), QFile::encodeName(tree.Path()));
        EXPECT_EQ(::access(item->PathBytes().constData(), F_OK), 0) << item->PathBytes().constData();
        names.insert(item->NameBytes());
    }
    EXPECT_EQ(names, QSet<QByteArray>(
                         {QByteArray("bad-\xff"), QByteArray("bad-\xef\xbf\xbd"), QByteArray("dir-\xfe")}));

    // A directory whose name is not UTF-8 can be listed through its bytes.
    list.SetDirectoryBytes(tree.Raw("dir-\xfe"));
    ASSERT_EQ(Captions(list), QStringList({"inner.txt"}));
    EXPECT_EQ(list.Items().Item(0)->PathBytes(), tree.Raw("dir-\xfe/inner.txt"));
    EXPECT_EQ(list.Items().Item(0)->SubItems().value(0), QStringLiteral("         3"));

    TListItem* added = list.AddFile(QFile::decodeName(tree.Raw("bad-\xef\xbf\xbd")));
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->PathBytes(), tree.Raw("bad-\xef\xbf\xbd"));
}

TEST(FileList, HandlersThatReloadFromInsideAddingARowDoNotTouchTheFreedRow)
{
    Tree tree;
    tree.Dir(QStringLiteral("a"));
    tree.Dir(QStringLiteral("b"));
    for (int i = 0; i < 5; ++i)
        tree.File(QStringLiteral("a/f%1.txt").arg(i));
    tree.File(QStringLiteral("b/b.txt"));

    TFileList list;
    int inserts = 0;
    list.OnInsert = [&](TFileListView*, TListItem*) {
        if (++inserts == 2)
            list.SetDirectory(tree.Path(QStringLiteral("b")));
    };
    list.SetDirectory(tree.Path(QStringLiteral("a")));
    EXPECT_EQ(Captions(list), QStringList({"b.txt"}));

    // The same from OnChanging while the new row gets its icon.
    int changes = 0;
    list.OnInsert = nullptr;
    list.OnChanging = [&](TFileListView*, TListItem*, TItemChange change, bool&) {
        if (change == ctImage && ++changes == 3)
            list.Items().Clear();
    };
    list.SetDirectory(tree.Path(QStringLiteral("a")));
    EXPECT_EQ(list.Items().Count(), 2); // the rows added after the clear
    list.OnChanging = [&](TFileListView*, TListItem*, TItemChange, bool&) { list.Items().Clear(); };
    EXPECT_EQ(list.AddFile(tree.Path(QStringLiteral("b/b.txt"))), nullptr);
}

TEST(FileList, EntriesThatCannotBeDescribedStillPassTheHiddenFilter)
{
    Tree tree;
    tree.Dir(QStringLiteral("locked"));
    tree.File(QStringLiteral("locked/.secret"));
    tree.File(QStringLiteral("locked/plain.txt"));
    tree.Dir(QStringLiteral("locked/.hiddendir"));
    ::chmod(tree.Raw("locked").constData(), 0744); // listable, but its entries cannot be looked at
    AsOrdinaryUser user;
    if (!user.Active())
        GTEST_SKIP() << "cannot drop root rights (seteuid failed), so permissions do not apply";

    TFileList list;
    list.SetDisplayParentDir(true);
    list.SetDirectory(tree.Path(QStringLiteral("locked")));
    QStringList captions = Captions(list);
    EXPECT_EQ(captions, QStringList({"..", "plain.txt"}));
    const TListItem* parent = Row(list, QStringLiteral(".."));
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(parent->Index(), 0); // a directory, sorted first

    list.SetFileTypes({ftArchive, ftReadonly, ftHidden});
    captions = Captions(list);
    captions.sort();
    EXPECT_EQ(captions, QStringList({"..", ".hiddendir", ".secret", "plain.txt"}));
}

TEST(FileList, ColumnsChosenDuringAReloadApplyToTheStyleThatComesBack)
{
    Tree tree;
    tree.File(QStringLiteral("a.txt"));
    tree.File(QStringLiteral("b.txt"));
    TFileList list;
    list.SetViewStyle(vsReport);
    bool changed = false;
    list.OnFileAdd = [&](TFileList* sender, TListItem*, const QString&, const TFindData&) {
        if (!changed) {
            changed = true;
            sender->SetViewColumns({fiName, fiSize, fiPath});
        }
    };
    list.SetDirectory(tree.Path());
    ASSERT_EQ(list.Items().Count(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(list.Items().Item(i)->SubItems().value(list.ColumnOf(fiPath) - 1), tree.Path());
}

TEST(FileList, AddFileOfADirectoryWithATrailingSlashReportsItsParent)
{
    Tree tree;
    tree.Dir(QStringLiteral("d"));
    TFileList list;
    QString reported;
    list.OnFileAdd = [&](TFileList*, TListItem*, const QString& path, const TFindData&) { reported = path; };
    TListItem* item = list.AddFile(tree.Path(QStringLiteral("d/")));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Caption(), QStringLiteral("d"));
    EXPECT_EQ(reported, tree.Path());
    EXPECT_TRUE(item->SubItems().value(0).isEmpty()); // a directory has no size text
}

TEST(FileList, RebuildingTheColumnsKeepsTheSelection)
{
    Tree tree;
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        tree.File(QLatin1String(name));
    TFileList list;
    list.SetViewStyle(vsReport);
    list.SetMultiSelect(true);
    list.SetDirectory(tree.Path());
    ASSERT_EQ(list.Items().Count(), 3);
    list.Items().Item(1)->SetSelected(true);
    ASSERT_EQ(list.SelCount(), 1);

    list.SetColumnCaption(fiName, QStringLiteral("Ime")); // as after a change of language
    list.BuildColumns();
    EXPECT_EQ(list.SelCount(), 1);
    EXPECT_EQ(list.Selected(), list.Items().Item(1));
    EXPECT_EQ(list.Items().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Ime"));

    list.SetColumnWidth(fiSize, 85);
    EXPECT_EQ(list.SelCount(), 1);
    EXPECT_TRUE(list.Items().Item(1)->Selected());
    const auto* view = qobject_cast<QTreeView*>(list.CurrentView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->header()->sectionSize(1), 85);

    // The column table is shared by every list: put it back.
    list.SetColumnCaption(fiName, QStringLiteral("Name"));
    list.SetColumnWidth(fiSize, 60);
}
