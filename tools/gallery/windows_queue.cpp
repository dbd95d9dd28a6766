// The main window with its transfer queue showing: items waiting, running,
// done, failed with a reason and skipped, and the totals in the status line.
#include "tools/gallery/windowgallery.h"

#include "app/mainwindow.h"
#include "app/queuepane.h"
#include "app/transfercontroller.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTreeView>

namespace {

QString QueueHome()
{
    static QTemporaryDir home;
    qputenv("KVADO_HOME", home.path().toLocal8Bit());
    return home.path();
}

void FillQueue(TTransferQueue& queue)
{
    const quint32 job = queue.NewJob(tdUpload, 6);
    auto add = [&](TItemKind kind, const QString& name, qint64 size) {
        TQueueItem item;
        item.job = job;
        item.kind = kind;
        item.direction = tdUpload;
        item.localPath = QStringLiteral("/home/ana/spletna stran/") + name;
        item.remotePath = QStringLiteral("/www/") + name;
        item.size = size;
        return queue.Add(item);
    };
    const quint32 folder = add(ikFolder, QStringLiteral("slike"), 0);
    const quint32 done = add(ikFile, QStringLiteral("index.html"), 18342);
    const quint32 running = add(ikFile, QStringLiteral("slike/poletje-2026.jpg"), 4812733);
    const quint32 failed = add(ikFile, QStringLiteral("slike/zima.jpg"), 2210458);
    const quint32 skipped = add(ikFile, QStringLiteral("slog.css"), 5120);
    add(ikFile, QStringLiteral("skripte/meni.js"), 9311);
    add(ikFile, QStringLiteral("o nas.html"), 7415);
    queue.SetState(folder, tsDone);
    queue.SetState(done, tsDone);
    queue.SetProgress(done, 18342, 0);
    queue.SetState(running, tsRunning);
    queue.SetProgress(running, 1903211, 412000);
    queue.SetState(failed, tsFailed, QStringLiteral("553 Could not create file."));
    queue.SetProgress(failed, 65536, 0);
    queue.SetState(skipped, tsSkipped);
}

} // namespace

KVADO_GALLERY_WINDOW("main-queue", [](int language) -> QWidget* {
    const QString home = QueueHome();
    QFile ini(home + QStringLiteral("/Kvado.ini"));
    ini.open(QIODevice::WriteOnly | QIODevice::Truncate);
    ini.write(QStringLiteral("[General]\nLokMapa=%1\nJezik=%2\n").arg(home).arg(language + 1).toUtf8());
    ini.close();
    auto* window = new TGlavniObrazec;
    window->FormCreate();
    window->resize(900, 560);
    FillQueue(window->Transfers().Queue());
    window->Ukazi()
        .OknoSkrijVrsto->trigger(); // items added here directly are no job: show them as the menu does
    window->setWindowTitle(QStringLiteral("Kvado - [ftp.example.org/www]"));
    window->TotalsLabel()->setText(window->Transfers().TotalsText());
    window->TotalsLabel()->setVisible(true);
    // The failed item selected: the buttons that act on it are enabled.
    QTreeView* view = window->QueuePane()->View();
    view->selectionModel()->select(view->model()->index(3, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return window;
});
