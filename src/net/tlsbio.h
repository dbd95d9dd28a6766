#pragma once
// TTlsBio: the OpenSSL BIO a TLS connection reads and writes its socket
// through.
//
// Contract:
// - Every read is one WinsockAPI().recv and every write one
//   WinsockAPI().send on the handle, so the notification rules of the
//   socket library hold under TLS as they do without it: a read that takes
//   data asks for the next FD_READ, a write that would block asks for
//   FD_WRITE (see asyncselect.h).
// - A would-block read or write is a retry for OpenSSL; a read of 0 is the
//   end of the stream and marks PeerEnded(); any other failure is kept as a
//   Windows Sockets number in LastError() (0 when none) for the caller to
//   raise.
// - The BIO never closes the handle: the socket object owns it.
#include <openssl/types.h>

class TTlsBio {
public:
    // A new BIO for handle; OpenSSL owns it once handed to SSL_set_bio.
    static BIO* Create(int handle);
    // The Windows Sockets error of the last failed read or write (0 = none).
    static int LastError(BIO* bio);
    // Whether a read met the end of the stream.
    static bool PeerEnded(BIO* bio);
    // Moves the BIO to another handle (a duplicate of the first).
    static void SetHandle(BIO* bio, int handle);
};
