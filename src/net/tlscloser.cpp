#include "net/tlscloser.h"

#include "net/tlsbio.h"

#include <QCoreApplication>

#include <openssl/err.h>

#include <cerrno>

#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int kLimitMs = 10000;
} // namespace

void TTlsCloser::Finish(SSL* ssl, int handle)
{
    if (ssl)
        TTlsBio::SetHandle(SSL_get_wbio(ssl), handle);
    new TTlsCloser(ssl, handle);
}

TTlsCloser::TTlsCloser(SSL* ssl, int handle)
    : QObject(QCoreApplication::instance()), m_ssl(ssl), m_handle(handle),
      m_writable(handle, QSocketNotifier::Write), m_readable(handle, QSocketNotifier::Read)
{
    m_writable.setEnabled(false);
    m_readable.setEnabled(false);
    connect(&m_writable, &QSocketNotifier::activated, this, [this] {
        if (Notified()) {
            m_writable.setEnabled(false);
            Drain();
        }
    });
    connect(&m_readable, &QSocketNotifier::activated, this, [this] {
        if (Drained()) {
            m_readable.setEnabled(false);
            deleteLater();
        }
    });
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, [this] { deleteLater(); });
    m_limit.start(kLimitMs);
    if (Notified())
        Drain();
    else
        m_writable.setEnabled(true);
}

TTlsCloser::~TTlsCloser()
{
    SSL_free(m_ssl);
    ::close(m_handle); // a duplicate: the binding never selected it
}

bool TTlsCloser::Notified()
{
    if (!m_ssl)
        return true;
    ERR_clear_error();
    const int result = SSL_shutdown(m_ssl); // 0 also while the alert waits to be written
    const bool blocked = result <= 0 && SSL_get_error(m_ssl, result) == SSL_ERROR_WANT_WRITE;
    ERR_clear_error();
    return !blocked;
}

void TTlsCloser::Drain()
{
    ::shutdown(m_handle, SHUT_WR);
    m_readable.setEnabled(true);
}

bool TTlsCloser::Drained()
{
    char dropped[16384];
    for (;;) {
        const ssize_t n = ::recv(m_handle, dropped, sizeof dropped, MSG_DONTWAIT);
        if (n > 0)
            continue;
        return n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
    }
}
