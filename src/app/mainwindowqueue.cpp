// The main window's transfer queue: its pane under the file panes, its totals
// in the status line, the drag and drop of the panes, and the file-exists
// question of the queue's jobs.
#include "app/desktopnotifier.h"
#include "app/localpane.h"
#include "app/mainwindow.h"
#include "app/panedragdrop.h"
#include "app/queuepane.h"
#include "app/remotepane.h"
#include "app/sejaokno.h"
#include "app/sessioncontroller.h"
#include "app/transfercontroller.h"
#include "dialogs/prepisidialog1.h"
#include "lang/multilang.h"
#include "sites/programpaths.h"

#include <QDateTime>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

void TGlavniObrazec::buildQueue()
{
    TTransferParts parts;
    parts.window = this;
    parts.words = ML1;
    parts.log = &m_log;
    parts.prompts = m_prompts;
    parts.session = m_session.get();
    parts.local = m_local;
    parts.remote = FTPDat1;
    parts.ask = [this](const TExistsQuestion& question) { return AskExists(question); };
    parts.acceptCertificate = [this](const TCertificateInfo& info) {
        return m_view->AcceptCertificate(info);
    };
    parts.queueFile = ProgramFilePath(QStringLiteral("Vrsta.kvq"));
    m_transfers = std::make_unique<TTransferController>(parts);

    m_queuePane = new TQueuePane(m_transfers->Queue(), centralWidget());
    m_queuePane->setVisible(false);
    m_queuePane->SetWords(ML1);
    m_queuePane->OnStop = [this](const std::vector<int>& rows) {
        for (int row : rows) {
            m_transfers->Scheduler().Stop(row);
        }
    };
    m_queuePane->OnRetried = [this] { m_transfers->Resume(); };
    m_queuePane->OnQueueChanged = [this] { queueChanged(); };
    static_cast<QVBoxLayout*>(centralWidget()->layout())->addWidget(m_queuePane);

    m_totalsLabel = new QLabel(statusBar());
    m_totalsLabel->setObjectName(QStringLiteral("VrstaSkupaj"));
    m_totalsLabel->setAccessibleName(QStringLiteral("VrstaSkupaj"));
    m_totalsLabel->setVisible(false);
    statusBar()->addPermanentWidget(m_totalsLabel);
    m_totalsTimer = new QTimer(this);
    m_totalsTimer->setSingleShot(true);
    m_totalsTimer->setInterval(
        250); // progress comes per block: the sums are made four times a second at most
    connect(m_totalsTimer, &QTimer::timeout, this, [this] { showTotals(); });
    m_transfers->OnFinished = [this] { showTotals(); };
    m_transfers->OnJob = [this] { showQueue(); };

    m_dragDrop = new TPaneDragDrop(*m_local, *FTPDat1, this);
    m_dragDrop->RemoteSelection = [this] { return m_transfers->RemoteSelection(); };
    m_dragDrop->RemoteFolder = [this] { return m_transfers->RemoteFolder(); };
    m_dragDrop->AcceptUpload = [this] { return m_transfers->CanTransfer(); };
    m_dragDrop->AcceptDownload = [this] { return m_transfers->CanTransfer(); };
    m_dragDrop->OnUpload = [this](const QStringList& paths, int remoteRow) {
        m_transfers->UploadInto(paths, remoteRow);
    };
    m_dragDrop->OnDownload = [this](const std::vector<TRemoteEntry>& entries, const QString& remoteFolder,
                                    const QString& localFolder) {
        m_transfers->Download(entries, remoteFolder, localFolder);
    };
}

void TGlavniObrazec::queueChanged()
{
    if (m_transfers->Queue().Empty() && m_queueShown) {
        m_queueShown = false;
        m_queuePane->setVisible(false);
        m_ukazi.OknoSkrijVrsto->setChecked(true);
    }
    if (!m_totalsTimer->isActive()) {
        m_totalsTimer->start();
    }
}

void TGlavniObrazec::showQueue()
{
    // A job of the queue shows the pane; the described transfers in the session
    // are recorded in the queue but leave the described layout as it is.
    if (!m_queueShown && !m_transfers->Queue().Empty()) {
        m_queueShown = true;
        m_queuePane->setVisible(true);
        m_ukazi.OknoSkrijVrsto->setChecked(false);
    }
    m_queuePane->View()->scrollToBottom(); // the new job's first items are the last rows
}

void TGlavniObrazec::showTotals()
{
    // Only for the queue's own jobs: a described transfer has the meter beside the panels.
    const QString text = m_transfers->Scheduler().Busy() ? m_transfers->TotalsText() : QString();
    m_totalsLabel->setText(text);
    m_totalsLabel->setVisible(!text.isEmpty());
    noticeTransfers();
}

void TGlavniObrazec::noticeTransfers()
{
    const TTransferQueue& queue = m_transfers->Queue();
    const TQueueTotals totals = queue.Totals();
    const bool running = totals.running > 0 || m_transfers->Busy();
    if (running) {
        if (!m_runOn) {
            m_runOn = true;
            m_runClock.start();
            m_runDone = totals.filesDone;
            m_runFailed = totals.failed;
        }
        if (m_settings.Obvestila) {
            m_notifier->SetProgress(totals.bytes > 0 ? double(totals.bytesDone) / double(totals.bytes) : 0.0,
                                    true);
        }
        return;
    }
    if (!m_runOn) {
        return;
    }
    m_runOn = false;
    m_notifier->SetProgress(0.0, false);
    // A minimised window may keep the keyboard focus on some desktops: it is out of sight all the same.
    if (!m_settings.Obvestila || m_runClock.elapsed() < 10000 || (isActiveWindow() && !isMinimized())) {
        return;
    }
    const int done = qMax(0, totals.filesDone - m_runDone);
    const int failed = qMax(0, totals.failed - m_runFailed);
    // The last file done and the last that failed name the run (the newest rows are last).
    QString lastDone;
    QString lastFailed;
    for (int row = queue.Count() - 1; row >= 0 && (lastDone.isEmpty() || lastFailed.isEmpty()); --row) {
        const TQueueItem& item = queue.At(row);
        if (item.kind != ikFile) {
            continue;
        }
        if (item.state == tsDone && lastDone.isEmpty()) {
            lastDone = item.Name();
        } else if (item.state == tsFailed && lastFailed.isEmpty()) {
            lastFailed = item.Name() + QStringLiteral(": ") + item.reason;
        }
    }
    QString body = done == 1 ? lastDone : ML1->GetWord(QStringLiteral("@idObvDatotek")).arg(done);
    if (failed > 0) {
        body +=
            QLatin1Char('\n') + ML1->GetWord(QStringLiteral("@idObvNeuspelo")).arg(failed).arg(lastFailed);
    }
    m_notifier->Notify(
        ML1->GetWord(failed > 0 ? QStringLiteral("@idObvNeuspeh") : QStringLiteral("@idObvKoncano")), body);
}

void TGlavniObrazec::OknoSkrijVrstoClick()
{
    // The action has flipped its mark already: checked hides the pane.
    m_queueShown = !m_ukazi.OknoSkrijVrsto->isChecked();
    m_queuePane->setVisible(m_queueShown);
}

TExistsAnswer TGlavniObrazec::AskExists(const TExistsQuestion& question)
{
    // The described dialog, with the file's details; a job of several files
    // also offers the answers for the rest of the job.
    TExistsAnswer answer;
    if (m_prepisi == nullptr || m_closing || question.item == nullptr) {
        return answer; // skip
    }
    const TQueueItem& item = *question.item;
    auto time = [](qint64 seconds) {
        return seconds < 0 ? QDateTime() : QDateTime::fromSecsSinceEpoch(seconds);
    };
    TPrepisiPodatki details;
    details.name = item.Name();
    details.sourceSize = item.size;
    details.targetSize = question.targetSize;
    details.sourceModified = time(item.modified);
    details.targetModified = time(question.targetModified);
    details.several = question.several;
    m_prepisi->SetLanguage(ML1->ActiveLanguage());
    m_prepisi->SetPodatki(details);
    const int result = m_prepisi->exec();
    m_prepisi->ClearPodatki(); // the engine's own question keeps the described look
    switch (result) {
    case TPrepisiDialog1::prNadaljuj:
        answer.choice = TExistsAnswer::acResume;
        break;
    case TPrepisiDialog1::prPrepisi:
        answer.choice = TExistsAnswer::acOverwrite;
        break;
    case TPrepisiDialog1::prPrepisiVse:
        answer.choice = TExistsAnswer::acOverwriteAll;
        break;
    case TPrepisiDialog1::prNadaljujVse:
        answer.choice = TExistsAnswer::acResumeAll;
        break;
    case TPrepisiDialog1::prPreskociVse:
        answer.choice = TExistsAnswer::acSkipAll;
        break;
    case TPrepisiDialog1::prPrepisiNovejse:
        answer.choice = TExistsAnswer::acOverwriteIfDifferent;
        break;
    case TPrepisiDialog1::prPreimenuj: {
        answer.newName = item.Name();
        const bool given = m_prompts->InputBox(
            ML1->GetWord(QStringLiteral("@idVnesiIme")),
            ML1->GetWord(QStringLiteral("@idPre")) + answer.newName + QStringLiteral("\" v"), answer.newName);
        answer.choice = given ? TExistsAnswer::acRename : TExistsAnswer::acCancel;
        break;
    }
    default:
        answer.choice = TExistsAnswer::acCancel;
        break;
    }
    return answer;
}
