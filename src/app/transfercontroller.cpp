#include "app/transfercontroller.h"

#include "app/localpane.h"
#include "app/prompts.h"
#include "app/remotepane.h"
#include "app/sessioncontroller.h"
#include "app/transfermeter.h"
#include "ftp/sessionlog.h"
#include "lang/multilang.h"
#include "transfer/ftptransfersession.h"
#include "transfer/queuefile.h"

#include <QFile>

TTransferController::TTransferController(const TTransferParts& parts)
    : m(parts), m_scheduler(std::make_unique<TScheduler>(m_queue))
{
    // The window's handlers of the engine's events come first: the session adapter keeps and calls them.
    recordSessionTransfers();
    m_browsing = std::make_unique<TFtpTransferSession>(m.session->Seja());
    m_scheduler->SetBrowsingSession(m_browsing.get());
    m_scheduler->Word = [this](const QString& key) { return m.words->GetWord(key); };
    m_scheduler->OnAsk = [this](const TExistsQuestion& question) { return m.ask(question); };
    m_scheduler->OnLog = [this](const QString& line) { m.log->KvadoUkazi(quint8(lkStatus), line, {}); };
    m_scheduler->OnFinished = [this] {
        m.local->Refresh();
        TFtpSeja& seja = m.session->Seja();
        if (seja.Connected() && !seja.PrenosTece()) {
            seja.Pla1OsveziFTPClick(); // the listing shows what the job made
        }
        SaveUnfinished();
        if (OnFinished) {
            OnFinished();
        }
    };
}

TTransferController::~TTransferController()
{
    // The engine outlives this controller: nothing of it may call back here.
    m_scheduler->OnFinished = nullptr;
    m_scheduler->OnAsk = nullptr;
    m_scheduler.reset();
    m_browsing.reset();
    TFtpSeja& seja = m.session->Seja();
    seja.OnTransferStarted = nullptr;
    seja.OnTransferProgress = nullptr;
    seja.OnTransferEnded = nullptr;
}

QString TTransferController::word(const char* key) const
{
    return m.words->GetWord(QString::fromLatin1(key));
}

void TTransferController::SetConnections(int count)
{
    count = qBound(0, count, TScheduler::kMaxConnections);
    if (count == m_connections) {
        return;
    }
    m_connections = count;
    if (m_connections == 0) {
        m_scheduler->SetConnections(0, {});
        return;
    }
    m_scheduler->SetConnections(m_connections, [this](int index) -> std::unique_ptr<TTransferSession> {
        // The browsing session's parameters as they are now: host, login, encryption, passive, encoding.
        auto session = std::make_unique<TFtpTransferSession>(
            m.session->Seja().Parametri(), m_timeOut,
            QString::number(index + 1)); // index 1..10; the browsing session is "1"
        session->OnLog = [this](TLogKind kind, const QString& text, const QString& argument) {
            m.log->KvadoUkazi(quint8(kind), text, argument);
        };
        session->Word = [this](const QString& key) { return m.words->GetWord(key); };
        session->AcceptCertificate = [this](const TCertificateInfo& info) {
            return m.acceptCertificate(info);
        };
        return session;
    });
}

bool TTransferController::Busy() const
{
    return m_scheduler->Busy() || m.session->Seja().PrenosTece();
}

bool TTransferController::CanTransfer() const
{
    // A job waits for the session when it is busy: the queue starts it once it is free.
    return m.session->Seja().Connected();
}

std::vector<TRemoteEntry> TTransferController::RemoteSelection() const
{
    const TRemoteListing& listing = m.session->Seja().Seznam();
    std::vector<TRemoteEntry> entries;
    for (int row : m.remote->SelectedRows()) {
        if (row > 0 && row < listing.Count()) {
            TRemoteEntry entry = listing.At(row);
            if (entry.kind != ekParent) {
                entries.push_back(std::move(entry));
            }
        }
    }
    return entries;
}

QString TTransferController::RemoteFolder() const
{
    return m.session->Seja().TrenutnaMapa();
}

void TTransferController::DownloadSelection()
{
    const std::vector<TRemoteEntry> entries = RemoteSelection();
    const bool folder = std::any_of(entries.begin(), entries.end(),
                                    [](const TRemoteEntry& e) { return e.kind == ekDirectory; });
    // A job of the queue runs in the session: the new one waits behind it.
    if (Connections() == 0 && !folder && !m_scheduler->Busy()) {
        describedJob(int(entries.size()), [this] { m.session->Seja().Pla1PrenesiClick(); });
        return;
    }
    Download(entries, RemoteFolder(), m.local->Directory());
}

void TTransferController::UploadSelection()
{
    if (Connections() == 0 && !m.local->SelectionHasFolder() && !m_scheduler->Busy()) {
        describedJob(int(m.local->SelectedPaths().size()), [this] { m.session->Seja().Pla2PrenesiClick(); });
        return;
    }
    upload(m.local->SelectedPaths(), RemoteFolder(), &m.session->Seja().Seznam());
}

void TTransferController::describedJob(int files, const std::function<void()>& command)
{
    // One command of the engine is one job: its files are recorded as they start (the command
    // waits between files, so every file has started when it returns).
    m_sessionJob = 0;
    m_sessionFiles = files;
    m_inCommand = true;
    command();
    m_inCommand = false;
    if (m_sessionItem == 0) {
        m_sessionJob = 0;
    }
}

void TTransferController::Download(const std::vector<TRemoteEntry>& entries, const QString& remoteFolder,
                                   const QString& localFolder)
{
    if (entries.empty() || !m.session->Seja().Connected()) {
        return;
    }
    m_scheduler->Download(entries, remoteFolder, localFolder);
    jobAdded();
}

void TTransferController::jobAdded()
{
    if (OnJob) {
        OnJob();
    }
}

void TTransferController::UploadInto(const QStringList& localPaths, int remoteRow)
{
    const TRemoteListing& listing = m.session->Seja().Seznam();
    const QString current = RemoteFolder();
    if (remoteRow > 0 && remoteRow < listing.Count()) {
        const TRemoteEntry entry = listing.At(remoteRow);
        if (entry.kind == ekDirectory && IsSafeLocalName(entry.name)) {
            const QString folder =
                current + (current.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + entry.name;
            upload(localPaths, folder, nullptr);
            return;
        }
    }
    upload(localPaths, current, &listing);
}

void TTransferController::upload(const QStringList& localPaths, const QString& remoteFolder,
                                 const TRemoteListing* knownTarget)
{
    if (localPaths.isEmpty() || !m.session->Seja().Connected()) {
        return;
    }
    m_scheduler->Upload(localPaths, remoteFolder, knownTarget);
    jobAdded();
}

void TTransferController::Stop()
{
    if (m_scheduler->Busy()) {
        m_scheduler->StopAll();
        return;
    }
    m.session->Seja().STOPFTPClick();
}

void TTransferController::SessionReady()
{
    // Items loaded from the queue file go once there is a server to take them.
    // Nothing else starts here: a job the user stopped stays stopped.
    if (m_startPending && m.session->Seja().Connected()) {
        m_startPending = false;
        m_scheduler->Start();
    }
}

void TTransferController::Resume()
{
    if (m.session->Seja().Connected()) {
        m_scheduler->Start();
    } else {
        m_startPending = true;
    }
}

void TTransferController::recordSessionTransfers()
{
    // The described transfers in the session are carried out by the engine;
    // the queue records them as items. The queue's own transfers in the
    // session (the scheduler is busy then) are its items already. A listener
    // of the engine's events set before this one is called first.
    TFtpSeja& seja = m.session->Seja();
    auto started = seja.OnTransferStarted;
    seja.OnTransferStarted = [this, started](const TFileTransfer& transfer) {
        if (started) {
            started(transfer);
        }
        if (m_scheduler->Busy()) {
            return;
        }
        const TDirection direction = transfer.upload ? tdUpload : tdDownload;
        if (m_sessionJob == 0) {
            m_sessionJob = m_queue.NewJob(direction, m_inCommand ? qMax(1, m_sessionFiles) : 1);
        }
        TQueueItem item;
        item.job = m_sessionJob;
        item.direction = direction;
        item.state = tsRunning;
        item.localPath = transfer.localPath;
        const QString folder = m.session->Seja().TrenutnaMapa();
        item.remotePath = transfer.remote.startsWith(QLatin1Char('/'))
                              ? transfer.remote
                              : folder +
                                    (folder.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) +
                                    transfer.remote;
        item.size = transfer.size;
        item.done = transfer.offset;
        m_sessionItem = m_queue.Add(item);
        m_sessionClock.start();
        m_sessionOffset = transfer.offset;
    };
    auto progress = seja.OnTransferProgress;
    seja.OnTransferProgress = [this, progress](qint64 bytes) {
        if (progress) {
            progress(bytes);
        }
        if (m_sessionItem == 0 || m_queue.RowOf(m_sessionItem) < 0) {
            return;
        }
        const qint64 ms = m_sessionClock.elapsed();
        m_queue.SetProgress(m_sessionItem, bytes, ms > 200 ? (bytes - m_sessionOffset) * 1000 / ms : 0);
    };
    auto ended = seja.OnTransferEnded;
    seja.OnTransferEnded = [this, ended](bool ok, bool stopped, const QString& reason) {
        if (ended) {
            ended(ok, stopped, reason);
        }
        const quint32 id = m_sessionItem;
        m_sessionItem = 0;
        if (!m_inCommand) {
            m_sessionJob = 0; // a double-click's download was a job of its own
        }
        if (id == 0 || m_queue.RowOf(id) < 0) {
            return;
        }
        if (ok) {
            m_queue.SetState(id, tsDone);
        } else {
            m_queue.SetState(id, tsFailed, stopped ? word("@idVrUstavljeno") : reason);
        }
        if (!m.session->Seja().PrenosTece()) {
            SaveUnfinished();
        }
    };
}

QString TTransferController::TotalsText() const
{
    const TQueueTotals totals = m_queue.Totals();
    if (totals.running == 0) {
        return {};
    }
    const QString left =
        totals.secondsLeft >= 0 ? TTransferMeter::Duration(totals.secondsLeft) : QStringLiteral("?");
    return word("@idVrSkupaj")
        .arg(totals.filesDone)
        .arg(totals.files)
        .arg(TTransferMeter::Size(totals.bytesDone), TTransferMeter::Size(totals.bytes),
             TTransferMeter::Size(totals.speed), left);
}

void TTransferController::SaveUnfinished()
{
    if (m.queueFile.isEmpty()) {
        return;
    }
    QString error;
    if (!TQueueFile::Save(m_queue, m.queueFile, &error)) {
        m.prompts->ErrorBox(error);
    }
}

void TTransferController::OfferUnfinished()
{
    if (m.queueFile.isEmpty() || !QFile::exists(m.queueFile)) {
        return;
    }
    const auto word = [this](const QString& key) { return m.words->GetWord(key); };
    TTransferQueue saved; // read once to count, and to set a damaged file aside before anything asks
    const TQueueFile::TLoaded loaded = TQueueFile::Load(m.queueFile, saved, word);
    if (loaded.damaged) {
        m.prompts->MessageBox(loaded.message.isEmpty() ? this->word("@idVrstaPokvarjena").arg(loaded.setAside)
                                                       : loaded.message,
                              QStringLiteral("Kvado"), miExclamation, mbOk);
        return;
    }
    if (loaded.items == 0) {
        QFile::remove(m.queueFile);
        return;
    }
    const TMsgResult answer = m.prompts->MessageBox(this->word("@idVrstaNadaljuj").arg(loaded.items),
                                                    QStringLiteral("Kvado"), miQuestion, mbYesNo);
    if (answer == mrYes) {
        TQueueFile::Load(m.queueFile, m_queue, word);
        Resume(); // at once when connected, else at the first listing
        jobAdded();
    } else {
        QFile::remove(m.queueFile);
    }
}
