#include "net/tlsbio.h"

#include "net/winsockapi.h"

#include <openssl/bio.h>

#include <limits>

namespace {

struct TBioState {
    int Handle = -1;
    int Error = 0;
    bool Ended = false;
};

TBioState* stateOf(BIO* bio)
{
    return static_cast<TBioState*>(BIO_get_data(bio));
}

int clampLength(size_t length)
{
    return int(qMin<size_t>(length, size_t(std::numeric_limits<int>::max())));
}

// A failed receive or send: a would-block is a retry, anything else an error.
void noteFailure(BIO* bio, TBioState* state, bool reading)
{
    const int error = WinsockAPI().WSAGetLastError();
    if (error != WSAEWOULDBLOCK)
        state->Error = error;
    else if (reading)
        BIO_set_retry_read(bio);
    else
        BIO_set_retry_write(bio);
}

int bioRead(BIO* bio, char* buf, size_t length, size_t* read)
{
    BIO_clear_retry_flags(bio);
    TBioState* state = stateOf(bio);
    state->Error = 0;
    const int n = WinsockAPI().recv(state->Handle, buf, clampLength(length), 0);
    if (n < 0) {
        noteFailure(bio, state, true);
        return 0;
    }
    if (n == 0) {
        state->Ended = true;
        return 0;
    }
    *read = size_t(n);
    return 1;
}

int bioWrite(BIO* bio, const char* buf, size_t length, size_t* written)
{
    BIO_clear_retry_flags(bio);
    TBioState* state = stateOf(bio);
    state->Error = 0;
    const int n = WinsockAPI().send(state->Handle, buf, clampLength(length), 0);
    if (n < 0) {
        noteFailure(bio, state, false);
        return 0;
    }
    *written = size_t(n);
    return 1;
}

long bioCtrl(BIO*, int command, long, void*)
{
    // OpenSSL flushes after every record it writes; sends are never held back here.
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int bioCreate(BIO* bio)
{
    BIO_set_data(bio, new TBioState);
    BIO_set_init(bio, 1);
    return 1;
}

int bioDestroy(BIO* bio)
{
    delete stateOf(bio);
    BIO_set_data(bio, nullptr);
    return 1;
}

BIO_METHOD* socketMethod()
{
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "kvado socket");
        BIO_meth_set_read_ex(m, bioRead);
        BIO_meth_set_write_ex(m, bioWrite);
        BIO_meth_set_ctrl(m, bioCtrl);
        BIO_meth_set_create(m, bioCreate);
        BIO_meth_set_destroy(m, bioDestroy);
        return m;
    }();
    return method;
}

} // namespace

BIO* TTlsBio::Create(int handle)
{
    BIO* bio = BIO_new(socketMethod());
    if (bio)
        stateOf(bio)->Handle = handle;
    return bio;
}

int TTlsBio::LastError(BIO* bio)
{
    return bio ? stateOf(bio)->Error : 0;
}

bool TTlsBio::PeerEnded(BIO* bio)
{
    return bio && stateOf(bio)->Ended;
}

void TTlsBio::SetHandle(BIO* bio, int handle)
{
    if (bio)
        stateOf(bio)->Handle = handle;
}
