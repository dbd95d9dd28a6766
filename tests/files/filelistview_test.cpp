#include "files/filelist.h"

#include "support/exceptionrecorder.h"
#include "support/pump.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <gtest/gtest.h>

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// A shown list with three rows.
class ShownList {
public:
    ShownList()
    {
        list.SetViewStyle(vsReport);
        list.SetReadOnly(false);
        list.SetMultiSelect(true);
        list.resize(500, 300);
        for (const char* name : {"alpha.txt", "beta.txt", "gamma.txt"})
            list.AddFile(QStringLiteral("/nonexistent/") + QLatin1String(name));
        list.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&list));
    }
    QAbstractItemView* View() const { return static_cast<QAbstractItemView*>(list.CurrentView()); }
    QPoint CentreOf(int row) const { return View()->visualRect(list.Items().index(row, 0)).center(); }

    TFileListView list;
};

} // namespace

TEST(FileListView, ClicksRaiseMouseEventsThenClickAndSelectTheRow)
{
    ShownList shown;
    QStringList events;
    auto& list = shown.list;
    list.OnMouseDown = [&](TFileListView*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        events << "down";
    };
    list.OnMouseUp = [&](TFileListView*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        events << "up";
    };
    list.OnClick = [&](TFileListView* sender) {
        events
            << QStringLiteral("click:%1").arg(sender->Selected() ? sender->Selected()->Caption() : QString());
    };
    list.OnDblClick = [&](TFileListView*) { events << "dblclick"; };
    list.OnChange = [&](TFileListView*, TListItem* item, TItemChange change) {
        if (change == ctState)
            events << QStringLiteral("state:%1=%2").arg(item->Caption()).arg(item->Selected());
    };

    QTest::mouseClick(shown.View()->viewport(), Qt::LeftButton, {}, shown.CentreOf(1));
    EXPECT_EQ(events, QStringList({"down", "state:beta.txt=1", "up", "click:beta.txt"}));

    events.clear();
    QTest::mouseClick(shown.View()->viewport(), Qt::LeftButton, Qt::ControlModifier, shown.CentreOf(2));
    EXPECT_EQ(list.SelCount(), 2);
    EXPECT_EQ(list.Selected()->Caption(), QStringLiteral("beta.txt"));

    events.clear();
    QTest::mouseDClick(shown.View()->viewport(), Qt::LeftButton, {}, shown.CentreOf(0));
    EXPECT_EQ(events.count(QStringLiteral("dblclick")), 1);
    EXPECT_EQ(list.Selected()->Caption(), QStringLiteral("alpha.txt"));
}

TEST(FileListView, KeysReachKeyDownAndKeyPressAndCanBeSwallowed)
{
    ShownList shown;
    auto& list = shown.list;
    std::vector<std::pair<int, Qt::KeyboardModifiers>> downs;
    QString pressed;
    bool swallowDown = false;
    list.OnKeyDown = [&](TFileListView*, int& key, Qt::KeyboardModifiers shift) {
        if (key != Qt::Key_Shift)
            downs.emplace_back(key, shift);
        if (swallowDown && key == Qt::Key_Down)
            key = 0;
    };
    list.OnKeyPress = [&](TFileListView*, QChar& key) { pressed += key; };

    shown.View()->setFocus();
    QTest::keyClick(shown.View(), Qt::Key_Backspace);
    QTest::keyClick(shown.View(), Qt::Key_Return);
    QTest::keyClick(shown.View(), Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(pressed, QStringLiteral("\b\r"));
    ASSERT_EQ(downs.size(), 3u);
    EXPECT_EQ(downs[2].first, Qt::Key_Delete);
    EXPECT_EQ(downs[2].second, Qt::ShiftModifier);

    shown.View()->setCurrentIndex(list.Items().index(0, 0));
    swallowDown = true;
    QTest::keyClick(shown.View(), Qt::Key_Down);
    EXPECT_EQ(shown.View()->currentIndex().row(), 0);
    swallowDown = false;
    QTest::keyClick(shown.View(), Qt::Key_Down);
    EXPECT_EQ(shown.View()->currentIndex().row(), 1);
}

TEST(FileListView, InPlaceEditAsksEditingThenEditedThenChangesTheCaption)
{
    ShownList shown;
    auto& list = shown.list;
    QStringList events;
    bool allow = false;
    list.OnEditing = [&](TFileListView*, TListItem* item, bool& allowEdit) {
        events << "editing:" + item->Caption();
        allowEdit = allow;
    };
    list.OnEdited = [&](TFileListView*, TListItem*, QString& text) {
        events << "edited:" + text;
        text = text.trimmed();
    };
    list.OnChanging = [&](TFileListView*, TListItem* item, TItemChange change, bool&) {
        if (change == ctText)
            events << "changing:" + item->Caption();
    };
    list.OnChange = [&](TFileListView*, TListItem* item, TItemChange change) {
        if (change == ctText)
            events << "change:" + item->Caption();
    };

    TListItem* beta = list.Items().Item(1);
    list.EditCaption(beta);
    EXPECT_EQ(shown.View()->findChild<QLineEdit*>(), nullptr); // refused
    EXPECT_EQ(events, QStringList({"editing:beta.txt"}));

    allow = true;
    events.clear();
    list.EditCaption(beta);
    auto* editor = shown.View()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral(" renamed.txt "));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(PumpUntil([&] { return beta->Caption() != QStringLiteral("beta.txt"); }));
    EXPECT_EQ(events, QStringList({"editing:beta.txt", "edited: renamed.txt ", "changing:beta.txt",
                                   "change:renamed.txt"}));
    EXPECT_EQ(beta->Caption(), QStringLiteral("renamed.txt"));

    // A read-only list does not edit at all.
    list.SetReadOnly(true);
    events.clear();
    list.EditCaption(beta);
    EXPECT_TRUE(events.isEmpty());
}

TEST(FileListView, EnterAndExitOnlyWhenTheFocusComesInOrLeaves)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* list = new TFileListView;
    auto* other = new QLineEdit;
    layout->addWidget(list);
    layout->addWidget(other);
    list->SetViewStyle(vsReport);
    list->AddFile(QStringLiteral("/nonexistent/a.txt"));
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QStringList events;
    list->OnEnter = [&](TFileListView*) { events << "enter"; };
    list->OnExit = [&](TFileListView*) { events << "exit"; };

    other->setFocus();
    list->setFocus();
    EXPECT_EQ(events, QStringList({"enter"}));
    list->EditCaption(list->Items().Item(0)); // the caption editor is inside the control
    list->SetViewStyle(vsList);               // so is the other style's view
    EXPECT_EQ(events, QStringList({"enter"}));
    other->setFocus();
    EXPECT_EQ(events, QStringList({"enter", "exit"}));
}

TEST(FileListView, RowsRaiseInsertAndDeletionAndAlphaSortUsesOnCompare)
{
    TFileListView list;
    QStringList inserted;
    QStringList deleted;
    list.OnInsert = [&](TFileListView*, TListItem* item) { inserted << item->Caption(); };
    list.OnDeletion = [&](TFileListView*, TListItem* item) { deleted << item->Caption(); };
    for (const char* name : {"b", "c", "a"})
        list.AddFile(QLatin1String(name));
    EXPECT_EQ(inserted, QStringList({"b", "c", "a"}));

    list.AlphaSort();
    EXPECT_EQ(list.Items().Item(0)->Caption(), QStringLiteral("a"));
    list.OnCompare = [](TFileListView*, TListItem* a, TListItem* b, int& compare) {
        compare = b->Caption().compare(a->Caption()); // reverse
    };
    list.Items().Item(2)->SetSelected(true); // "c"
    list.AlphaSort();
    EXPECT_EQ(list.Items().Item(0)->Caption(), QStringLiteral("c"));
    EXPECT_TRUE(list.Items().Item(0)->Selected()); // the selection follows its row

    list.Items().Clear();
    deleted.sort();
    EXPECT_EQ(deleted, QStringList({"a", "b", "c"}));
    EXPECT_EQ(list.Items().Count(), 0);
}

TEST(FileListView, SelectionCountAndFirstSelectedFollowEveryChange)
{
    TFileListView list;
    list.SetMultiSelect(true);
    list.Items().BeginUpdate();
    for (int i = 0; i < 1000; ++i)
        list.Items().Add(QStringLiteral("f%1").arg(i));
    list.Items().EndUpdate();
    int changes = 0;
    list.OnChange = [&](TFileListView*, TListItem*, TItemChange change) { changes += change == ctState; };

    list.SelectAll();
    EXPECT_EQ(list.SelCount(), 1000);
    EXPECT_EQ(changes, 1000);
    list.SelectAll(); // already selected: nothing changes
    EXPECT_EQ(list.SelCount(), 1000);
    list.Items().Item(0)->SetSelected(false);
    list.Items().Item(500)->SetSelected(false);
    EXPECT_EQ(list.SelCount(), 998);
    EXPECT_EQ(list.Selected(), list.Items().Item(1));
    EXPECT_EQ(list.SelectedItems().size(), 998u);
    list.Items().Clear();
    EXPECT_EQ(list.SelCount(), 0);
    EXPECT_EQ(list.Selected(), nullptr);
}

TEST(FileListView, DroppedLocalFilesReachOnFileDropAfterTheDropOnlyWhileAcceptingCopies)
{
    ShownList shown;
    auto& list = shown.list;
    QStringList files;
    QPoint at;
    int drops = 0;
    list.OnFileDrop = [&](const QStringList& dropped, int x, int y) {
        ++drops;
        files = dropped;
        at = QPoint(x, y);
    };
    Qt::DropAction performed = Qt::IgnoreAction;
    auto drop = [&](const QList<QUrl>& urls, QPoint point, Qt::DropActions offered = Qt::CopyAction) {
        QMimeData mime;
        mime.setUrls(urls);
        QWidget* viewport = shown.View()->viewport();
        QDragEnterEvent enter(point, offered, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(viewport, &enter);
        QDropEvent dropped(QPointF(point), offered, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(viewport, &dropped);
        performed = dropped.isAccepted() ? dropped.dropAction() : Qt::IgnoreAction;
        return enter.isAccepted();
    };
    const QList<QUrl> urls{QUrl::fromLocalFile(QStringLiteral("/tmp/z.txt")),
                           QUrl(QStringLiteral("https://127.0.0.1/remote.txt")),
                           QUrl::fromLocalFile(QStringLiteral("/tmp/a b.txt"))};

    drop(urls, QPoint(10, 20));
    PumpFor(20);
    EXPECT_EQ(drops, 0);

    list.SetAcceptFiles(true);
    EXPECT_TRUE(shown.View()->viewport()->acceptDrops());
    EXPECT_TRUE(drop(urls, QPoint(10, 20), Qt::CopyAction | Qt::MoveAction));
    EXPECT_EQ(performed, Qt::CopyAction);
    EXPECT_EQ(drops, 0); // raised once the drop has ended
    ASSERT_TRUE(PumpUntil([&] { return drops == 1; }));
    EXPECT_EQ(files, QStringList({"/tmp/z.txt", "/tmp/a b.txt"}));
    EXPECT_EQ(at, shown.View()->viewport()->mapTo(&list, QPoint(10, 20)));

    EXPECT_FALSE(drop({QUrl(QStringLiteral("https://127.0.0.1/x"))}, QPoint(1, 1)));
    // A drag that offers only Move would let its source delete the originals.
    EXPECT_FALSE(drop(urls, QPoint(1, 1), Qt::MoveAction));
    EXPECT_EQ(performed, Qt::IgnoreAction);
    PumpFor(20);
    EXPECT_EQ(drops, 1);
}

TEST(FileListView, HandlersThatClearTheListNeverTouchAFreedRow)
{
    TFileListView list;
    list.OnInsert = [&](TFileListView*, TListItem* item) {
        if (item->Caption() == QStringLiteral("clear-on-insert"))
            list.Items().Clear();
    };
    list.AddFile(QStringLiteral("/nonexistent/keep"));
    EXPECT_EQ(list.AddFile(QStringLiteral("/nonexistent/clear-on-insert")), nullptr);
    EXPECT_EQ(list.Items().Count(), 0);

    list.OnChanging = [&](TFileListView*, TListItem* item, TItemChange change, bool&) {
        if (change == ctImage || item->Caption() == QStringLiteral("renamed"))
            list.Items().Clear();
    };
    EXPECT_EQ(list.AddFile(QStringLiteral("/nonexistent/a")), nullptr);
    list.OnChanging = nullptr;
    TListItem* row = list.AddFile(QStringLiteral("/nonexistent/b"));
    ASSERT_NE(row, nullptr);
    list.OnChanging = [&](TFileListView*, TListItem*, TItemChange, bool&) { list.Items().Clear(); };
    row->SetCaption(QStringLiteral("renamed")); // the hook frees the row; the change is dropped
    EXPECT_EQ(list.Items().Count(), 0);
    list.OnChanging = nullptr;

    // OnDeletion that adds or clears while Clear() runs: every old row is reported once and freed.
    for (const char* name : {"x", "y", "z"})
        list.AddFile(QStringLiteral("/nonexistent/") + QLatin1String(name));
    QStringList deleted;
    list.OnDeletion = [&](TFileListView*, TListItem* item) {
        deleted << item->Caption();
        EXPECT_EQ(item->Index(), -1);
        if (item->Caption() == QStringLiteral("x"))
            list.AddFile(QStringLiteral("/nonexistent/added"));
        if (item->Caption() == QStringLiteral("y"))
            list.Items().Clear();
    };
    list.Items().Clear();
    EXPECT_EQ(deleted, QStringList({"x", "y", "added", "z"}));
    EXPECT_EQ(list.Items().Count(), 0);
}

TEST(FileListView, InvisibleControlsInNamesAreDrawnAsVisibleSymbols)
{
    TFileListView list;
    const QString spoof = QStringLiteral("invoice\u202Etxt.exe");
    const QStringList names{spoof, QStringLiteral("a\u200Fb\u2066c\u061Cd"), QStringLiteral("del\u007F"),
                            QStringLiteral("c1\u0085\u009F"), QStringLiteral("tab\tname")};
    for (const QString& name : names)
        list.Items().Add(name);
    for (int i = 0; i < names.size(); ++i) {
        const QString shown = list.Items().data(list.Items().index(i, 0), Qt::DisplayRole).toString();
        EXPECT_EQ(shown.size(), names[i].size());
        for (QChar c : shown) {
            const char16_t code = c.unicode();
            EXPECT_FALSE(code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x061C || code == 0x200E ||
                         code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
                         (code >= 0x2066 && code <= 0x2069))
                << "U+" << std::hex << int(code) << " drawn as it is in row " << i;
        }
        EXPECT_EQ(list.Items().Item(i)->Caption(), names[i]); // the caption keeps the real name
    }
    EXPECT_EQ(list.Items().data(list.Items().index(0, 0), Qt::DisplayRole).toString(),
              QStringLiteral("invoice\u2426txt.exe"));
}

TEST(FileListView, FourViewStylesShowTheSameRowsAndRenderThem)
{
    QTemporaryDir dir;
    for (const char* name : {"readme.txt", "photo.png", "paper.pdf", "main.cpp", "archive.tar.gz",
                             "page.html", "a-rather-long-file-name-that-does-not-fit.txt"}) {
        QFile file(dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1234, 'x'));
    }
    QDir(dir.path()).mkdir(QStringLiteral("Documents"));
    QDir(dir.path()).mkdir(QStringLiteral("Music"));

    TFileList list;
    list.SetViewColumns({fiName, fiSize, fiType, fiModified, fiAttributes});
    list.SetViewStyle(vsReport);
    list.SetMultiSelect(true);
    list.resize(620, 260);
    list.SetDirectory(dir.path());
    list.Items().Item(3)->SetSelected(true);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));

    const QString gallery = QStringLiteral(KVADO_BINARY_DIR "/gallery");
    QDir().mkpath(gallery);
    const std::pair<TViewStyle, const char*> styles[] = {
        {vsIcon, "icon"}, {vsSmallIcon, "smallicon"}, {vsList, "list"}, {vsReport, "report"}};
    for (const auto& [style, name] : styles) {
        list.SetViewStyle(style);
        PumpFor(50);
        auto* view = static_cast<QAbstractItemView*>(list.CurrentView());
        EXPECT_EQ(view->model()->rowCount(), 9);
        EXPECT_TRUE(view->selectionModel()->isRowSelected(3, QModelIndex())) << name;
        if (auto* icons = qobject_cast<QListView*>(view)) {
            EXPECT_EQ(icons->viewMode() == QListView::IconMode, style == vsIcon) << name;
            EXPECT_EQ(icons->flow() == QListView::TopToBottom, style == vsList) << name;
        } else {
            EXPECT_EQ(style, vsReport);
        }
        const QImage image = list.grab().toImage();
        EXPECT_TRUE(image.save(gallery + QStringLiteral("/filelist-%1.png").arg(QLatin1String(name))));
    }
}
