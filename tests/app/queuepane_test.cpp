// The transfer queue through the main window, in-process (offscreen), against
// a real pyftpdlib server: F5 on a local folder sends the whole tree, the queue
// pane appears with the items done and follows the user's commands; the queue
// file offers unfinished items at the next start.
#include "app/panedragdrop.h"
#include "app/queuepane.h"
#include "app/transfercontroller.h"
#include "app/windowfixture.h"
#include "core/utf8kept.h"
#include "support/ftppyftpdserver.h"
#include "transfer/queuefile.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QTest>
#include <QTreeView>
#include <QUrl>
#include <gtest/gtest.h>

using namespace windowfixture;

namespace {

// A local tree: files at two levels, an empty file, a name with a space and one with non-ASCII letters, an
// empty folder.
struct TTree {
    QString path;
    std::vector<std::pair<QString, QByteArray>> files;
};

TTree MakeTree(const QString& parent)
{
    TTree tree{parent + "/drevo", {}};
    tree.files = {{"a.txt", "prva datoteka\n"},
                  {"prazna", {}},
                  {"ime s presledki.bin", Pattern(70000, 5)},
                  {"pod/čšž.dat", Pattern(300000, 9)},
                  {"pod/globlje/zadnja", Pattern(1234, 1)}};
    QDir().mkpath(tree.path + "/pod/globlje");
    QDir().mkpath(tree.path + "/prazna mapa");
    for (const auto& [name, bytes] : tree.files) {
        WriteAll(tree.path + "/" + name, bytes);
    }
    return tree;
}

} // namespace

TEST(QueuePane, F5OnALocalFolderSendsTheTreeAndThePaneFollowsTheQueue)
{
    QTemporaryDir home;
    const QString local = home.path() + "/local";
    ASSERT_TRUE(QDir().mkpath(local));
    // UTF-8: names as on disk. Passive: pyftpdlib loses a STOR's data now and
    // then in active mode on several connections (the folder tests say more).
    UseHome(home, {{"LokMapa", local}, {"Jezik", "1"}, {"KodiranjeImen", "1"}, {"PodatkovnaPovezava", "1"}});
    const TTree tree = MakeTree(local);
    PyftpdServer server;
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    ASSERT_TRUE(server.MakeDir("upload"));

    ScriptedPrompts prompts;
    {
        TGlavniObrazec window(&prompts);
        window.FormCreate();
        window.CreateDialogs();
        window.show();
        EXPECT_FALSE(window.QueuePane()->isVisible()); // the described layout while the queue is empty
        EXPECT_TRUE(window.Ukazi().OknoSkrijVrsto->isChecked());
        ASSERT_TRUE(QuickConnect(window, server.Port(), "upload"))
            << window.LogView()->toPlainText().toStdString();
        ASSERT_TRUE(EnterRemote(window, "upload"));

        SelectLocal(window.LocalPane(), "drevo");
        ASSERT_TRUE(PumpUntil([&] { return window.Ukazi().Pla2Prenesi->isEnabled(); }));
        window.Ukazi().Pla2Prenesi->trigger();
        TTransferQueue& queue = window.Transfers().Queue();
        ASSERT_TRUE(PumpUntil([&] { return window.QueuePane()->isVisible(); }));
        EXPECT_FALSE(window.Ukazi().OknoSkrijVrsto->isChecked());
        ASSERT_TRUE(PumpUntil(
            [&] {
                const TQueueTotals totals = queue.Totals();
                return !window.Transfers().Busy() && totals.files > 0 && totals.filesDone == totals.files;
            },
            20000))
            << window.LogView()->toPlainText().toStdString();

        const QString copy = server.RootPath() + "/upload/drevo";
        for (const auto& [name, bytes] : tree.files) {
            EXPECT_EQ(ReadAll(copy + "/" + name), bytes) << name.toStdString();
            EXPECT_TRUE(QFileInfo(copy + "/" + name).isFile()) << name.toStdString();
        }
        EXPECT_TRUE(QFileInfo(copy + "/prazna mapa").isDir());

        // The pane shows every item of the queue, all done, in the window's language.
        TQueueModel& model = window.QueuePane()->Model();
        ASSERT_EQ(model.rowCount(), queue.Count());
        EXPECT_EQ(queue.Totals().files, int(tree.files.size()));
        for (int row = 0; row < queue.Count(); ++row) {
            EXPECT_EQ(queue.At(row).state, tsDone) << queue.At(row).remotePath.toStdString();
            EXPECT_EQ(model.index(row, TQueueModel::qcState).data().toString(), "končano");
            EXPECT_EQ(model.index(row, TQueueModel::qcName).data().toString(), queue.At(row).Name());
        }
        EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Ime");

        // The user's commands on rows: the model follows each change of the queue.
        QTreeView* view = window.QueuePane()->View();
        const quint32 last = queue.At(queue.Count() - 1).id;
        view->selectionModel()->select(model.index(queue.Count() - 1, 0),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        window.QueuePane()->MoveSelectedUp();
        EXPECT_EQ(queue.RowOf(last), queue.Count() - 2);
        EXPECT_EQ(model.index(queue.Count() - 2, TQueueModel::qcRemote).data().toString(),
                  queue.At(queue.Count() - 2).remotePath);
        EXPECT_EQ(window.QueuePane()->SelectedRows(), std::vector<int>{queue.Count() - 2});
        window.QueuePane()->RemoveSelected();
        EXPECT_EQ(queue.RowOf(last), -1);
        EXPECT_EQ(model.rowCount(), queue.Count());
        view->selectAll();
        QTest::keyClick(view, Qt::Key_Delete);
        EXPECT_TRUE(queue.Empty());
        EXPECT_EQ(model.rowCount(), 0);
        EXPECT_FALSE(window.QueuePane()->isVisible());
        EXPECT_TRUE(window.Ukazi().OknoSkrijVrsto->isChecked());

        // A file alone in the session is the described upload, recorded as an item of the queue.
        SelectLocal(window.LocalPane(), "drevo");
        window.LocalPane()->Refresh();
        ASSERT_TRUE(WriteAll(local + "/ena.bin", Pattern(5000, 2)));
        window.LocalPane()->Refresh();
        SelectLocal(window.LocalPane(), "ena.bin");
        ASSERT_TRUE(PumpUntil([&] { return window.Ukazi().Pla2Prenesi->isEnabled(); }));
        window.Ukazi().Pla2Prenesi->trigger();
        ASSERT_TRUE(PumpUntil([&] { return queue.Count() == 1 && queue.At(0).state == tsDone; }, 10000))
            << window.LogView()->toPlainText().toStdString();
        EXPECT_EQ(queue.At(0).remotePath, "/upload/ena.bin");
        EXPECT_EQ(queue.At(0).localPath, local + "/ena.bin");
        EXPECT_EQ(ReadAll(server.RootPath() + "/upload/ena.bin"), Pattern(5000, 2));
        EXPECT_FALSE(window.QueuePane()->isVisible()); // the described layout: the Okno command shows it
        window.Ukazi().OknoSkrijVrsto->trigger();
        EXPECT_TRUE(window.QueuePane()->isVisible());

        // Two background connections bring the tree back down into another folder.
        window.Transfers().SetConnections(2);
        const QString back = home.path() + "/nazaj";
        ASSERT_TRUE(QDir().mkpath(back));
        window.LocalPane()->Start(back);
        ASSERT_TRUE(PumpUntil([&] { return RowOf(window.RemotePane(), "drevo") > 0; }));
        window.RemotePane()->setCurrentIndex(window.RemotePane()->model()->index(
            window.RemotePane()->RowOfEntry(RowOf(window.RemotePane(), "drevo")), 0));
        window.Ukazi().Pla1Prenesi->trigger();
        ASSERT_TRUE(PumpUntil(
            [&] {
                const TQueueTotals totals = queue.Totals();
                return !window.Transfers().Busy() && totals.files > 1 && totals.filesDone == totals.files;
            },
            20000))
            << window.LogView()->toPlainText().toStdString();
        for (const auto& [name, bytes] : tree.files) {
            EXPECT_EQ(ReadAll(back + "/drevo/" + name), bytes) << name.toStdString();
        }
        EXPECT_TRUE(QFileInfo(back + "/drevo/prazna mapa").isDir());
        EXPECT_TRUE(window.LogView()->toPlainText().contains("[2] "))
            << "background lines carry their connection";
        window.close();
    }
    EXPECT_FALSE(QFile::exists(home.path() + "/Vrsta.kvq")); // nothing was left unfinished
    EXPECT_TRUE(prompts.asked.isEmpty()) << prompts.asked.join('|').toStdString();
}

TEST(QueuePane, TheQueueFileOffersUnfinishedItemsAtTheNextStart)
{
    // A queue of two waiting uploads as a previous run left it.
    TTransferQueue left;
    const quint32 job = left.NewJob(tdUpload, 2);
    for (const char* name : {"ena.txt", "dve.txt"}) {
        TQueueItem item;
        item.job = job;
        item.direction = tdUpload;
        item.localPath = QStringLiteral("/tmp/") + name;
        item.remotePath = QStringLiteral("/upload/") + name;
        item.size = 10;
        left.Add(item);
    }
    const QByteArray saved = TQueueFile::Encode(left);
    ASSERT_FALSE(saved.isEmpty());

    struct TCase {
        const char* what;
        QByteArray file;
        TMsgResult answer;
        int itemsAfter;     // in the queue once the start is over
        bool fileAfterExit; // the queue file after the window closed
    };
    const TCase cases[] = {
        {"continued", saved, mrYes, 2, true},
        {"declined", saved, mrNo, 0, false},
        {"damaged", saved.left(saved.size() / 2) + "junk", mrOk, 0, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir home;
        UseHome(home, {{"LokMapa", home.path()}, {"Jezik", "1"}});
        const QString path = home.path() + "/Vrsta.kvq";
        ASSERT_TRUE(WriteAll(path, c.file));
        ScriptedPrompts prompts;
        prompts.answers = {c.answer};
        {
            TGlavniObrazec window(&prompts);
            window.FormCreate();
            window.CreateDialogs();
            window.show();
            ASSERT_TRUE(PumpUntil([&] { return window.FirstActivationDone(); }));
            ASSERT_EQ(prompts.asked.size(), 1);
            EXPECT_EQ(window.Transfers().Queue().Count(), c.itemsAfter);
            EXPECT_EQ(window.QueuePane()->isVisible(), c.itemsAfter > 0);
            if (c.answer == mrOk) {
                EXPECT_TRUE(prompts.asked.front().contains("poškodovana"))
                    << prompts.asked.front().toStdString();
                EXPECT_TRUE(QFile::exists(path + ".damaged"));
            } else {
                EXPECT_TRUE(prompts.asked.front().contains("nadaljevati"))
                    << prompts.asked.front().toStdString();
            }
            window.close();
        }
        EXPECT_EQ(QFile::exists(path), c.fileAfterExit);
        if (c.fileAfterExit) {
            TTransferQueue again;
            EXPECT_EQ(TQueueFile::Load(path, again, [](const QString&) { return QString(); }).items, 2);
        }
    }
}

TEST(QueuePane, DraggedPathsKeepTheirBytesAndOnlyLocalFilesCount)
{
    // Kvado's own drag: exact bytes, also of a name that is no valid UTF-8.
    const QStringList own = {FromUtf8Kept("/tmp/a b/%41#?.txt"), FromUtf8Kept("/tmp/\xE8rka\xFF"),
                             QString::fromUtf8("/tmp/čšž")};
    std::unique_ptr<QMimeData> data(TPaneDragDrop::LocalPathsData(own));
    EXPECT_EQ(TPaneDragDrop::LocalPaths(data.get()), own);
    // What a file manager reads of it: the URLs alone, with the same bytes.
    QMimeData urlsOnly;
    urlsOnly.setUrls(data->urls());
    EXPECT_EQ(TPaneDragDrop::LocalPaths(&urlsOnly), own);

    // A desktop drag: file: URLs count (percent-encoded bytes kept), other schemes do not.
    const struct {
        const char* url;
        QStringList paths;
    } cases[] = {
        {"file:///home/ana/mapa%20z%20imenom", {"/home/ana/mapa z imenom"}},
        {"file:///tmp/%E8", {FromUtf8Kept("/tmp/\xE8")}},
        {"file://localhost/tmp/x", {"/tmp/x"}},
        {"https://example.org/a.txt", {}},
        {"sftp://host/a.txt", {}},
    };
    for (const auto& c : cases) {
        QMimeData drop;
        drop.setUrls({QUrl::fromEncoded(c.url)});
        EXPECT_EQ(TPaneDragDrop::LocalPaths(&drop), c.paths) << c.url;
    }
}
