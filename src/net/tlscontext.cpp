#include "net/tlscontext.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

namespace {

TTlsContext::TListener* listenerOf(const SSL* ssl)
{
    return static_cast<TTlsContext::TListener*>(SSL_get_app_data(ssl));
}

int verifyCallback(int, X509_STORE_CTX* store)
{
    const int error = X509_STORE_CTX_get_error(store);
    if (error != X509_V_OK) {
        auto* ssl =
            static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
        if (TTlsContext::TListener* listener = ssl ? listenerOf(ssl) : nullptr)
            listener->VerifyError(error);
    }
    return 1; // go on: the user decides about an unverified server
}

int newSessionCallback(SSL* ssl, SSL_SESSION* session)
{
    TTlsContext::TListener* listener = listenerOf(ssl);
    if (!listener)
        return 0;
    listener->NewSession(session);
    return 1; // the listener keeps the reference
}

SSL_CTX* clientContext()
{
    static SSL_CTX* context = [] {
        SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
        if (!ctx)
            return ctx;
        SSL_CTX_set_default_verify_paths(ctx);
        SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, verifyCallback);
        SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        SSL_CTX_set_read_ahead(ctx, 1);
        SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
        SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
        SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
        SSL_CTX_sess_set_new_cb(ctx, newSessionCallback);
        return ctx;
    }();
    return context;
}

} // namespace

SSL* TTlsContext::NewConnection(TListener* listener)
{
    SSL_CTX* ctx = clientContext();
    SSL* ssl = ctx ? SSL_new(ctx) : nullptr;
    if (ssl)
        SSL_set_app_data(ssl, listener);
    return ssl;
}

QString TTlsContext::TakeErrorText(const QString& fallback)
{
    const unsigned long error = ERR_get_error();
    ERR_clear_error();
    const char* reason = error ? ERR_reason_error_string(error) : nullptr;
    if (!reason)
        return fallback;
    const QString detail = QString::fromUtf8(reason);
    if (ERR_GET_LIB(error) != ERR_LIB_SSL)
        return detail;
    switch (ERR_GET_REASON(error)) {
    case SSL_R_WRONG_VERSION_NUMBER:
    case SSL_R_PACKET_LENGTH_TOO_LONG:
    case SSL_R_UNEXPECTED_MESSAGE:
        return QStringLiteral("the server did not answer in TLS (%1)").arg(detail);
    case SSL_R_TLSV1_ALERT_PROTOCOL_VERSION:
    case SSL_R_UNSUPPORTED_PROTOCOL:
    case SSL_R_NO_PROTOCOLS_AVAILABLE:
        return QStringLiteral("the server and this program have no TLS version in common (%1)").arg(detail);
    case SSL_R_SSLV3_ALERT_HANDSHAKE_FAILURE:
    case SSL_R_NO_CIPHERS_AVAILABLE:
    case SSL_R_NO_SHARED_CIPHER:
        return QStringLiteral("the server and this program have no cipher in common (%1)").arg(detail);
    default:
        return detail;
    }
}
