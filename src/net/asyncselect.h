#pragma once
// TAsyncSelect: socket notifications routed to a component's notification
// object, with the re-enabling rules of WSAAsyncSelect.
//
// Contract (per selected socket handle; all on the UI thread):
// - FD_ACCEPT: once when a connection waits on a listening socket; again only
//   after the next accept.
// - FD_CONNECT: once when a non-blocking connect finishes, carrying the
//   connect's error (0 on success). A connect that fails at once (refused,
//   unreachable) is reported the same way, so the caller always sees a
//   would-block connect followed by FD_CONNECT.
// - FD_WRITE: once after a connect succeeded, once after selecting a
//   connected (accepted) or datagram socket, and again only after a send that
//   would have blocked.
// - FD_READ: once when data can be read; again only after the next recv or
//   recvfrom (posted again at once when data remains). A recv that leaves
//   data behind posts the next FD_READ straight away, without waiting for the
//   socket to be polled (TCP sockets report what remains with each receive).
//   An FD_READ is checked as it is delivered when a receive may have taken
//   its data meanwhile and dropped when nothing is left, so a handler never
//   sees a read notification with nothing to read.
// - FD_CLOSE: once, after the peer closed the connection (error 0) or reset it
//   (error 10054), and only after the FD_READs for data still unread: it is
//   found when a receive has emptied the socket. With FD_READ not selected, a
//   connection whose unread data is never received reports no FD_CLOSE.
// - The notifiers are disabled while a notification is outstanding, so a
//   program that never receives costs nothing (no busy loop).
// - Each notification is posted as message `msg` (first parameter: the handle;
//   second: low word the event bit, high word the error) and carries the
//   serial of its selection. This layer is the dispatcher's notice gate
//   (sockdispatcher.h): Admit() unpacks a notification as it is about to be
//   handled and refuses it when that selection no longer exists (closing the
//   handle ends it, so a notification posted before the close is never
//   mistaken for one of a later socket that reuses the number) or when it is
//   a stale FD_READ.
// - A held notification that is voided instead of handled comes back through
//   Dropped(): the selection raises it again while it still holds, so a
//   voided FD_READ or FD_CLOSE of another connection of the same component is
//   not lost for good.
// tWinsockAPI calls the After*/Connect*/Listening hooks from its own recv,
// send, accept, connect and listen; socket classes need not call them.
#include "net/sockmessage.h"

class TSockWindow;

class TAsyncSelect {
public:
    // Selects (mask non-zero) or cancels (mask 0) notifications for handle s.
    static void Select(int s, TSockWindow* window, int msg, long mask);
    // Ends the selection of s (called before the handle is closed).
    static void Cancel(int s);
    static void CancelAll();
    // A notification is about to be handled: its notice, and whether it
    // still should be.
    static bool Admit(const TSockMessage& message, TSockNotice& notice);
    // A held notification was voided without being handled.
    static void Dropped(const TSockMessage& message);

    // How many receives on s have taken data (or a datagram) so far; 0 for
    // a handle not selected.
    static quint64 Receipts(int s);

    // After a receive on s. count: what it returned (-1: it failed). left:
    // bytes the socket still holds after it (> 0: that many, or 1 for its
    // end), 0 when none are known to remain, -1 when the receive filled its
    // buffer and the socket did not say what remains.
    static void AfterRecv(int s, qint64 count = -1, int left = 0);
    static void AfterSend(int s, bool wouldBlock);
    static void AfterAccept(int s);
    // Connect issued: error 0 = connected at once, EINPROGRESS = pending,
    // anything else = failed at once (errno value).
    static void ConnectStarted(int s, int error);
    static void Listening(int s);
};
