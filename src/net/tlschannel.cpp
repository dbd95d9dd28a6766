#include "net/tlschannel.h"

#include "net/asyncselect.h"
#include "net/sockctrl.h"
#include "net/sockerror.h"
#include "net/tlsbio.h"
#include "net/tlscertificate.h"
#include "net/tlscloser.h"
#include "net/winsockapi.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace {

constexpr int kRecord = 16384;
constexpr int kShutdownSent = 10058;
constexpr int kConnectionReset = 10054;

int wouldBlock()
{
    WinsockAPI().WSASetLastError(WSAEWOULDBLOCK);
    return -1;
}

QString closedText()
{
    return QStringLiteral("The server closed the connection during the TLS handshake");
}

bool isAddress(const QByteArray& text)
{
    unsigned char address[16];
    return inet_pton(AF_INET, text.constData(), address) == 1 ||
           inet_pton(AF_INET6, text.constData(), address) == 1;
}

} // namespace

TTlsChannel::TTlsChannel(TSocketBase* socket, TTlsOptions options)
    : m_socket(socket), m_options(std::move(options))
{
    ERR_clear_error();
    m_ssl = TTlsContext::NewConnection(this);
    m_bio = m_ssl ? TTlsBio::Create(socket->Handle()) : nullptr;
    if (!m_bio) {
        SSL_free(m_ssl);
        m_ssl = nullptr;
        m_phase = TPhase::Failed;
        m_failure = FailureText(QStringLiteral("TLS could not be started: "));
        throw ESockError(m_failure);
    }
    SSL_set_bio(m_ssl, m_bio, m_bio);
    Configure();
}

TTlsChannel::~TTlsChannel()
{
    SSL_free(m_ssl); // frees the BIO; the handle stays the socket's
}

void TTlsChannel::Configure()
{
    SSL_set_connect_state(m_ssl);
    SSL_set_options(m_ssl, SSL_OP_NO_RENEGOTIATION);
    if (m_options.MinVersion)
        SSL_set_min_proto_version(m_ssl, m_options.MinVersion);
    if (m_options.MaxVersion)
        SSL_set_max_proto_version(m_ssl, m_options.MaxVersion);
    const QByteArray host = m_options.HostName.toUtf8();
    if (!host.isEmpty()) {
        if (isAddress(host)) {
            X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), host.constData());
        } else {
            SSL_set_tlsext_host_name(m_ssl, host.constData());
            SSL_set_hostflags(m_ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
            SSL_set1_host(m_ssl, host.constData());
        }
    }
    // Each connection resumes from a copy: a TLS 1.3 resumption changes the
    // session it was given, after which that object resumes nothing more,
    // and every data connection of an FTP session must resume.
    if (m_options.Session) {
        SSL_SESSION* copy = SSL_SESSION_dup(m_options.Session.get());
        SSL_set_session(m_ssl, copy);
        SSL_SESSION_free(copy);
    }
}

void TTlsChannel::VerifyError(int code)
{
    m_verifyErrors.push_back(code);
}

void TTlsChannel::NewSession(SSL_SESSION* session)
{
    m_session = TTlsSession(session, SSL_SESSION_free);
}

TTlsSession TTlsChannel::Session() const
{
    if (m_session)
        return m_session;
    SSL_SESSION* session = m_phase == TPhase::Established ? SSL_get1_session(m_ssl) : nullptr;
    return session ? TTlsSession(session, SSL_SESSION_free) : TTlsSession();
}

QString TTlsChannel::FailureText(const QString& prefix)
{
    return prefix + TTlsContext::TakeErrorText(QStringLiteral("unknown error"));
}

// --- the handshake ---------------------------------------------------------

TTlsChannel::TStep TTlsChannel::Step()
{
    ERR_clear_error();
    const int result = SSL_do_handshake(m_ssl);
    if (result == 1)
        return TStep::Done;
    const int error = SSL_get_error(m_ssl, result);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE)
        return TStep::Pending;
    const int code = TTlsBio::LastError(m_bio);
    if (TTlsBio::PeerEnded(m_bio) || code == kConnectionReset) {
        ERR_clear_error();
        m_failure = closedText();
    } else if (code) {
        ERR_clear_error();
        m_failure = QStringLiteral("TLS handshake failed: ") + SocketErrorText(code);
    } else {
        m_failure = FailureText(QStringLiteral("TLS handshake failed: "));
    }
    return TStep::Failed;
}

void TTlsChannel::Begin()
{
    // A handshake decided already here (a fast server on loopback may finish
    // it in one go, or the peer has gone) is reported from the socket's next
    // read notification, asked for now, never from inside StartTls.
    const TStep step = Step();
    if (step == TStep::Pending)
        return;
    m_failedEarly = step == TStep::Failed;
    TAsyncSelect::AfterRecv(m_socket->Handle(), 0, 2);
}

void TTlsChannel::Continue()
{
    if (m_phase != TPhase::Handshaking)
        return;
    if (m_failedEarly) {
        Fail(m_failure);
        return;
    }
    switch (Step()) {
    case TStep::Pending:
        return;
    case TStep::Done:
        Complete();
        return;
    case TStep::Failed:
        Fail(m_failure);
        return;
    }
}

void TTlsChannel::PeerClosed()
{
    if (m_phase != TPhase::Handshaking)
        return;
    if (!m_failedEarly && SSL_is_init_finished(m_ssl))
        Complete(); // finished before the close was seen
    else
        Fail(m_failedEarly ? m_failure : closedText());
}

void TTlsChannel::Complete()
{
    m_phase = TPhase::Established;
    TTlsOutcome outcome;
    outcome.Ok = true;
    outcome.SessionReused = SSL_session_reused(m_ssl) == 1;
    outcome.Certificate = TTlsCertificateReader::Read(m_ssl, m_verifyErrors);
    outcome.Certificate.host = m_options.HostName;
    outcome.Certificate.port = m_options.Port;
    m_certificate = outcome.Certificate;
    // The owner may send now (OnWrite as after a connect), and reads what
    // came with the handshake's last flight.
    TAsyncSelect::AfterSend(m_socket->Handle(), true);
    ReportReceipt(0, true);
    Fire(outcome);
}

void TTlsChannel::Fail(const QString& text)
{
    m_phase = TPhase::Failed;
    m_failure = text;
    TTlsOutcome outcome;
    outcome.Error = text;
    Fire(outcome);
}

void TTlsChannel::Fire(const TTlsOutcome& outcome)
{
    // The handler may close the socket or destroy the component, and this with it.
    const TTlsDoneEvent handler = m_options.OnDone;
    if (handler)
        handler(m_socket->Owner(), m_socket, outcome);
}

// --- data --------------------------------------------------------------------

void TTlsChannel::ReportReceipt(qint64 count, bool mayHoldMore)
{
    // "left" above 1 means data certainly remains (see asyncselect.h). Bytes
    // OpenSSL holds undecrypted count only right after it gave data (or
    // finished the handshake): they may be whole records, or the start of
    // one, which a receive that found nothing must not announce again (that
    // would spin until the rest arrives). A receive that took nothing from
    // the socket itself re-enables its read notifications here, so the
    // peer's close is still found.
    int left = SSL_pending(m_ssl);
    if (left == 0 && mayHoldMore && SSL_has_pending(m_ssl))
        left = 2;
    TAsyncSelect::AfterRecv(m_socket->Handle(), count, left > 0 ? qMax(2, left) : 0);
}

// Whether plaintext may move now: not while the handshake runs; after a
// failed one every receive and send raises its text.
bool TTlsChannel::CarriesData() const
{
    if (m_phase == TPhase::Failed)
        throw ESockError(m_failure);
    return m_phase == TPhase::Established;
}

int TTlsChannel::Recv(void* buf, int len)
{
    if (!CarriesData())
        return wouldBlock();
    if (len <= 0)
        return 0;
    ERR_clear_error();
    size_t taken = 0;
    const int result = SSL_read_ex(m_ssl, buf, size_t(len), &taken);
    if (result != 1)
        return Fault(result, true);
    ReportReceipt(qint64(taken), true);
    return int(taken);
}

int TTlsChannel::Send(const void* buf, int len)
{
    if (!CarriesData())
        return wouldBlock();
    if (len <= 0)
        return 0;
    if (SSL_get_shutdown(m_ssl) & SSL_SENT_SHUTDOWN) {
        WinsockAPI().WSASetLastError(kShutdownSent);
        return -1;
    }
    ERR_clear_error();
    size_t sent = 0;
    const int result = SSL_write_ex(m_ssl, buf, size_t(qMin(len, kRecord)), &sent);
    m_writeBlocked = result != 1;
    if (result != 1)
        return Fault(result, false);
    return int(sent);
}

int TTlsChannel::Fault(int result, bool reading)
{
    if (reading)
        ReportReceipt(0, false);
    switch (SSL_get_error(m_ssl, result)) {
    case SSL_ERROR_WANT_READ:
    case SSL_ERROR_WANT_WRITE:
        return wouldBlock();
    case SSL_ERROR_ZERO_RETURN:
        AnswerCloseNotify();
        return 0;
    case SSL_ERROR_SYSCALL:
        ERR_clear_error();
        if (const int code = TTlsBio::LastError(m_bio)) {
            WinsockAPI().WSASetLastError(code);
            return -1;
        }
        if (reading && TTlsBio::PeerEnded(m_bio))
            return 0; // the end of the stream
        if (!reading) {
            WinsockAPI().WSASetLastError(kConnectionReset);
            return -1;
        }
        break; // OpenSSL gave up without a reason: what is left unread can never be taken
    default:
        break;
    }
    // Broken for good (damaged records, or bytes that are not TLS at all):
    // later receives and sends raise the same text without reading on.
    m_phase = TPhase::Failed;
    m_failure = FailureText(QStringLiteral("TLS error: "));
    throw ESockError(m_failure);
}

quint32 TTlsChannel::PlainWaiting()
{
    if (m_phase != TPhase::Established)
        return 0;
    if (SSL_pending(m_ssl) == 0 && !(SSL_get_shutdown(m_ssl) & SSL_RECEIVED_SHUTDOWN)) {
        quint32 raw = 0;
        WinsockAPI().ioctlsocket(m_socket->Handle(), FIONREAD, &raw);
        if (SSL_has_pending(m_ssl) || raw > 0) {
            // Decrypts the next record, if it has arrived whole.
            ERR_clear_error();
            char probe;
            size_t seen = 0;
            const int result = SSL_peek_ex(m_ssl, &probe, 1, &seen);
            if (result != 1 && SSL_get_error(m_ssl, result) == SSL_ERROR_ZERO_RETURN)
                AnswerCloseNotify();
            ERR_clear_error();
            ReportReceipt(0, false);
        }
    }
    return quint32(SSL_pending(m_ssl));
}

bool TTlsChannel::PeerEnded() const
{
    return m_phase == TPhase::Established && m_ssl && (SSL_get_shutdown(m_ssl) & SSL_RECEIVED_SHUTDOWN);
}

void TTlsChannel::AnswerCloseNotify()
{
    if (!(SSL_get_shutdown(m_ssl) & SSL_RECEIVED_SHUTDOWN))
        return;
    SendCloseNotify();
}

void TTlsChannel::SendCloseNotify()
{
    // A record the owner was never told had gone out is cut off, not ended.
    if (m_phase != TPhase::Established || (SSL_get_shutdown(m_ssl) & SSL_SENT_SHUTDOWN) || m_writeBlocked ||
        Resetting())
        return;
    ERR_clear_error();
    const int result = SSL_shutdown(m_ssl); // 0 also while the alert waits to be written
    m_closeNotifyBlocked = result <= 0 && SSL_get_error(m_ssl, result) == SSL_ERROR_WANT_WRITE;
    ERR_clear_error();
}

int TTlsChannel::KeepForClosing() const
{
    if (m_phase != TPhase::Established || Resetting())
        return -1;
    return ::fcntl(m_socket->Handle(), F_DUPFD_CLOEXEC, 0);
}

void TTlsChannel::FinishClosing(int keptHandle)
{
    SSL* rest = nullptr;
    if (m_closeNotifyBlocked) {
        rest = std::exchange(m_ssl, nullptr);
        m_bio = nullptr;
    }
    TTlsCloser::Finish(rest, keptHandle);
    m_phase = TPhase::Failed;
    m_failure = SocketErrorText(kShutdownSent);
}

bool TTlsChannel::Resetting() const
{
    linger value{};
    socklen_t length = sizeof value;
    return ::getsockopt(m_socket->Handle(), SOL_SOCKET, SO_LINGER, &value, &length) == 0 && value.l_onoff &&
           value.l_linger == 0;
}
