#pragma once
// TTlsCloser: ends a TLS connection in order after its socket object has
// closed its handle, without blocking and without a reset.
//
// Why: a close that finds unread input makes the system reset the
// connection, and a reset throws away what the peer has not read yet. Over
// TLS 1.3 the server's session tickets are such input even on a connection
// the program only writes to (an upload), and they may still be on their
// way when the program closes. And the close_notify that ends an upload may
// not fit into a send buffer the last record has filled.
//
// Contract:
// - Finish(ssl, handle) takes a duplicate of the closed socket's descriptor
//   (it keeps the connection open) and, when the close_notify did not fit,
//   the TLS connection (else nullptr). It sends the rest of the close_notify
//   as soon as the socket takes it, then ends the sending direction (the peer
//   sees the end), and reads and drops whatever still arrives until the
//   peer closes too. Then, or after 10 seconds, the handle is closed and
//   everything freed. Nothing is reported to anyone.
// - Runs on the UI thread's event loop; what is unfinished when the
//   application ends is freed with it.
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <openssl/ssl.h>

class TTlsCloser : public QObject {
public:
    static void Finish(SSL* ssl, int handle);
    ~TTlsCloser() override;

private:
    TTlsCloser(SSL* ssl, int handle);
    // Sends what is left of the close_notify; true once nothing is left.
    bool Notified();
    // Ends the sending direction and starts dropping the input.
    void Drain();
    // Drops what has arrived; true once the peer has closed.
    bool Drained();

    SSL* m_ssl;
    int m_handle;
    QSocketNotifier m_writable;
    QSocketNotifier m_readable;
    QTimer m_limit;
};
