#include "transfer/ftptransfersession.h"

#include "net/sockerror.h"

#include <QMetaObject>

#include <utility>

TFtpTransferSession::TFtpTransferSession(std::unique_ptr<THeadlessView> view, const QString& name)
    : m_view(std::move(view)), m_own(std::make_unique<TFtpSeja>(m_view.get())), m_seja(*m_own), m_name(name)
{
    m_view->Prefix = QStringLiteral("[%1] ").arg(name);
    m_view->OnLog = [this](TLogKind kind, const QString& text, const QString& argument) {
        if (OnLog)
            OnLog(kind, text, argument);
    };
    m_view->Word = [this](const QString& key) { return Word ? Word(key) : QString(); };
    m_view->OnCertificate = [this](const TCertificateInfo& info) {
        return AcceptCertificate ? AcceptCertificate(info) : false;
    };
    m_seja.SetBackground(true);
    Bind();
}

TFtpTransferSession::TFtpTransferSession(const TSejaParametri& parameters, int timeOutSeconds,
                                         const QString& name)
    : TFtpTransferSession(std::make_unique<THeadlessView>(), name)
{
    m_parameters = parameters;
    m_timeOut = timeOutSeconds;
}

TFtpTransferSession::TFtpTransferSession(TFtpSeja& browsing) : m_seja(browsing)
{
    Bind();
}

TFtpTransferSession::~TFtpTransferSession()
{
    Unbind(); // an owned engine closing as it goes tells nobody
}

void TFtpTransferSession::Bind()
{
    m_savedReady = m_seja.OnReady;
    m_savedClosed = m_seja.OnClosed;
    m_savedDone = m_seja.OnOperationDone;
    m_savedProgress = m_seja.OnTransferProgress;
    m_seja.OnReady = [this] {
        if (m_savedReady)
            m_savedReady();
        EngineReady();
    };
    m_seja.OnClosed = [this](const QString& reason, bool tooMany) {
        if (m_savedClosed)
            m_savedClosed(reason, tooMany);
        EngineClosed(reason, tooMany);
    };
    m_seja.OnOperationDone = [this](const TOperationResult& result) {
        if (m_savedDone)
            m_savedDone(result);
        EngineDone(result);
    };
    m_seja.OnTransferProgress = [this](qint64 bytes) {
        if (m_savedProgress)
            m_savedProgress(bytes);
        EngineProgress(bytes);
    };
}

void TFtpTransferSession::Unbind()
{
    m_seja.OnReady = m_savedReady;
    m_seja.OnClosed = m_savedClosed;
    m_seja.OnOperationDone = m_savedDone;
    m_seja.OnTransferProgress = m_savedProgress;
}

void TFtpTransferSession::Post(std::function<void()> action)
{
    QMetaObject::invokeMethod(
        &m_context,
        [this, generation = m_generation, action = std::move(action)] {
            if (generation == m_generation)
                action();
        },
        Qt::QueuedConnection);
}

void TFtpTransferSession::Open()
{
    if (m_seja.Connected() || !m_own) {
        if (!m_seja.Connected()) { // the browsing session has no connection to offer
            const QString reason = m_seja.Parametri().host;
            return Post([this, reason] {
                if (OnClosed)
                    OnClosed(this, reason, false);
            });
        }
        m_opening = true;
        if (m_seja.Ready())
            EngineReady();
        return;
    }
    m_opening = true;
    m_seja.Parametri() = m_parameters;
    m_seja.SetTimeOut(m_timeOut);
    // Povezi first ends the connection before (one Close() ended): its OnClosed is not this one's.
    m_closing = true;
    try {
        m_seja.Povezi();
        m_closing = false;
    } catch (const ESockError& e) {
        m_closing = false;
        m_opening = false;
        const QString reason = e.Message();
        Post([this, reason] {
            if (OnClosed)
                OnClosed(this, reason, false);
        });
    }
}

void TFtpTransferSession::Close()
{
    ++m_generation;
    m_opening = false;
    m_progressPosted = false;
    m_closing = true;
    if (m_running)
        m_seja.StopOperation();
    if (m_own && m_seja.Connected())
        m_seja.HitriGumb2Click();
    else if (m_own) // still connecting
        m_seja.Odjemalec1.Close();
    m_running = false;
    m_closing = false;
}

void TFtpTransferSession::Begin()
{
    ++m_operation;
    m_running = true;
    m_listing = false;
}

void TFtpTransferSession::List(const QString& remoteFolder)
{
    Begin();
    m_listing = true;
    m_seja.ListFolder(remoteFolder);
}

void TFtpTransferSession::MakeFolder(const QString& remoteFolder)
{
    Begin();
    m_seja.MakeFolder(remoteFolder);
}

void TFtpTransferSession::Fetch(const QString& remotePath, const QString& localPath, qint64 offset,
                                qint64 size)
{
    Begin();
    m_seja.FetchFile(remotePath, localPath, offset, size);
}

void TFtpTransferSession::Send(const QString& localPath, const QString& remotePath, qint64 offset)
{
    Begin();
    m_seja.SendFile(localPath, remotePath, offset);
}

void TFtpTransferSession::Stop()
{
    if (m_running)
        m_seja.StopOperation();
}

void TFtpTransferSession::EngineReady()
{
    if (!m_opening || m_closing)
        return;
    Post([this] {
        // Busy again by now (the user's own command): the engine's next OnReady tells.
        if (!m_opening || !m_seja.Ready() || m_running)
            return;
        m_opening = false;
        if (OnReady)
            OnReady(this);
    });
}

void TFtpTransferSession::EngineClosed(const QString& reason, bool tooMany)
{
    if (m_closing)
        return;
    m_opening = false;
    Post([this, reason, tooMany] {
        if (OnClosed)
            OnClosed(this, reason, tooMany);
    });
}

void TFtpTransferSession::EngineDone(const TOperationResult& result)
{
    if (!m_running || m_closing)
        return;
    m_running = false;
    if (m_listing && result.ok) {
        auto entries = std::make_shared<std::vector<TRemoteEntry>>(result.entries);
        Post([this, entries] {
            if (OnListed)
                OnListed(this, *entries);
        });
    }
    TSessionResult done;
    done.ok = result.ok;
    done.stopped = result.stopped;
    done.exists = result.exists;
    done.reason = result.reason;
    Post([this, done] {
        if (OnDone)
            OnDone(this, done);
    });
}

void TFtpTransferSession::EngineProgress(qint64 bytes)
{
    if (!m_running)
        return;
    m_bytes = bytes;
    if (std::exchange(m_progressPosted, true))
        return;
    // Posted before its operation's OnDone (the engine reports bytes before
    // the end), so it runs before it even when the operation has ended meanwhile.
    Post([this, operation = m_operation] {
        m_progressPosted = false;
        if (operation == m_operation && OnProgress)
            OnProgress(this, m_bytes);
    });
}
