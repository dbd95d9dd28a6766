#pragma once
// TLS peers for the socket tests: certificates made in code (a test CA that
// the client trusts through SSL_CERT_FILE, and server certificates signed by
// it or by themselves) and an OpenSSL server that plays a script on its own
// thread with blocking sockets, on 127.0.0.1.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

struct TKeyCert {
    std::shared_ptr<EVP_PKEY> Key;
    std::shared_ptr<X509> Cert;
};

struct TCertRequest {
    const char* CommonName = "localhost";
    const char* AltNames = "DNS:localhost,IP:127.0.0.1";
    long ValidFromDays = -1;
    long ValidToDays = 30;
    bool SelfSigned = false;
};

// The test CA, written to a file that SSL_CERT_FILE names: call Pki() before
// the first TLS connection of a test, so the client's trust store is the CA.
class TTestPki {
public:
    static TTestPki& Get()
    {
        static TTestPki pki;
        return pki;
    }
    TKeyCert Issue(const TCertRequest& request) const
    {
        TKeyCert made{NewKey(), nullptr};
        X509* cert = X509_new();
        X509_set_version(cert, 2);
        static long serial = 1;
        ASN1_INTEGER_set(X509_get_serialNumber(cert), ++serial);
        X509_gmtime_adj(X509_getm_notBefore(cert), request.ValidFromDays * 86400);
        X509_gmtime_adj(X509_getm_notAfter(cert), request.ValidToDays * 86400);
        X509_set_pubkey(cert, made.Key.get());
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>("Kvado Test"), -1, -1, 0);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(request.CommonName), -1, -1, 0);
        const bool isCa = request.AltNames == nullptr;
        X509* issuer = isCa || request.SelfSigned ? cert : m_ca.Cert.get();
        EVP_PKEY* signer = isCa || request.SelfSigned ? made.Key.get() : m_ca.Key.get();
        X509_set_issuer_name(cert, X509_get_subject_name(issuer));
        X509V3_CTX ctx;
        X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
        AddExtension(cert, &ctx, NID_basic_constraints, isCa ? "critical,CA:TRUE" : "CA:FALSE");
        if (!isCa)
            AddExtension(cert, &ctx, NID_subject_alt_name, request.AltNames);
        X509_sign(cert, signer, EVP_sha256());
        made.Cert.reset(cert, X509_free);
        return made;
    }
    const TKeyCert& Ca() const { return m_ca; }

private:
    TTestPki()
    {
        TCertRequest request;
        request.CommonName = "Kvado Test CA";
        request.AltNames = nullptr;
        request.ValidToDays = 3650;
        m_ca = Issue(request);
        const QString path = m_dir.filePath(QStringLiteral("ca.pem"));
        FILE* file = fopen(path.toLocal8Bit().constData(), "w");
        PEM_write_X509(file, m_ca.Cert.get());
        fclose(file);
        qputenv("SSL_CERT_FILE", path.toLocal8Bit());
        qputenv("SSL_CERT_DIR", m_dir.path().toLocal8Bit());
        ::signal(SIGPIPE, SIG_IGN); // the server's writes to a client that has gone
    }
    static std::shared_ptr<EVP_PKEY> NewKey() { return {EVP_EC_gen("P-256"), EVP_PKEY_free}; }
    static void AddExtension(X509* cert, X509V3_CTX* ctx, int nid, const char* value)
    {
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, ctx, nid, value);
        X509_add_ext(cert, extension, -1);
        X509_EXTENSION_free(extension);
    }

    QTemporaryDir m_dir;
    TKeyCert m_ca;
};

// The SHA-256 of a certificate's DER form, computed apart from the library.
inline QByteArray DerSha256(X509* cert)
{
    unsigned char* der = nullptr;
    const int length = i2d_X509(cert, &der);
    unsigned char digest[32];
    unsigned int size = 0;
    EVP_Digest(der, size_t(length), digest, &size, EVP_sha256(), nullptr);
    OPENSSL_free(der);
    return QByteArray(reinterpret_cast<char*>(digest), int(size));
}

// One TCP connection of the server thread, first plain, then TLS after Accept().
class TServerPeer {
public:
    TServerPeer(int fd, SSL_CTX* ctx) : m_fd(fd), m_ctx(ctx)
    {
        const timeval limit{10, 0}; // a client that stops answering cannot hold the thread
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    }
    ~TServerPeer()
    {
        SSL_free(m_ssl);
        ::close(m_fd);
    }
    int Fd() const { return m_fd; }
    void PlainSend(const QByteArray& bytes)
    {
        ::send(m_fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
    }
    QByteArray PlainLine()
    {
        QByteArray line;
        char c;
        while (::recv(m_fd, &c, 1, 0) == 1 && c != '\n')
            line += c;
        return line.trimmed();
    }
    bool Accept()
    {
        m_ssl = SSL_new(m_ctx);
        SSL_set_fd(m_ssl, m_fd);
        const bool ok = SSL_accept(m_ssl) == 1;
        m_reused = ok && SSL_session_reused(m_ssl);
        return ok;
    }
    bool Reused() const { return m_reused; }
    bool Write(const QByteArray& bytes) { return Write(bytes.constData(), bytes.size()); }
    bool Write(const char* data, qint64 size)
    {
        for (qint64 done = 0; done < size;) {
            size_t n = 0;
            if (SSL_write_ex(m_ssl, data + done, size_t(size - done), &n) != 1)
                return false;
            done += qint64(n);
        }
        return true;
    }
    // Reads up to size bytes; 0 at the client's close_notify or close, -1 on an error.
    int Read(char* buf, int size)
    {
        if (!m_pending.isEmpty()) {
            const int n = qMin(size, int(m_pending.size()));
            memcpy(buf, m_pending.constData(), size_t(n));
            m_pending.remove(0, n);
            return n;
        }
        size_t n = 0;
        const int result = SSL_read_ex(m_ssl, buf, size_t(size), &n);
        if (result == 1)
            return int(n);
        m_sawCloseNotify = SSL_get_error(m_ssl, result) == SSL_ERROR_ZERO_RETURN;
        ERR_clear_error();
        return m_sawCloseNotify ? 0 : -1;
    }
    bool SawCloseNotify() const { return m_sawCloseNotify; }
    QByteArray ReadLine()
    {
        for (;;) {
            const int at = m_pending.indexOf("\r\n");
            if (at >= 0) {
                const QByteArray line = m_pending.left(at);
                m_pending.remove(0, at + 2);
                return line;
            }
            char chunk[4096];
            size_t n = 0;
            if (SSL_read_ex(m_ssl, chunk, sizeof chunk, &n) != 1)
                return {};
            m_pending.append(chunk, int(n));
        }
    }
    void Shutdown() { SSL_shutdown(m_ssl); }
    // Sends one record in two parts, `pauseMs` apart (a slow link).
    void WriteSplit(const QByteArray& bytes, int pauseMs)
    {
        BIO* socketBio = SSL_get_wbio(m_ssl);
        BIO_up_ref(socketBio);
        BIO* memory = BIO_new(BIO_s_mem());
        SSL_set0_wbio(m_ssl, memory);
        SSL_write(m_ssl, bytes.constData(), int(bytes.size()));
        char* data = nullptr;
        const long length = BIO_get_mem_data(memory, &data);
        const QByteArray record(data, int(length));
        SSL_set0_wbio(m_ssl, socketBio);
        PlainSend(record.left(record.size() / 2));
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        PlainSend(record.mid(record.size() / 2));
    }

private:
    int m_fd;
    SSL_CTX* m_ctx;
    SSL* m_ssl = nullptr;
    bool m_reused = false;
    bool m_sawCloseNotify = false;
    QByteArray m_pending;
};

using TServerScript = std::function<void(TServerPeer&)>;

// A TLS server with one certificate; plays a script per connection on a thread.
class TTlsTestServer {
public:
    explicit TTlsTestServer(const TKeyCert& identity, int maxVersion = 0)
    {
        m_ctx = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate(m_ctx, identity.Cert.get());
        SSL_CTX_use_PrivateKey(m_ctx, identity.Key.get());
        const unsigned char context[] = "kvado-test";
        SSL_CTX_set_session_id_context(m_ctx, context, sizeof context - 1);
        if (maxVersion)
            SSL_CTX_set_max_proto_version(m_ctx, maxVersion);
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 8);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~TTlsTestServer()
    {
        for (std::thread& thread : m_threads)
            thread.join();
        ::close(m_listener);
        SSL_CTX_free(m_ctx);
    }
    quint16 Port() const { return m_port; }

    // Accepts `count` connections, each on a thread of its own playing script.
    void Serve(int count, TServerScript script)
    {
        for (int i = 0; i < count; ++i)
            m_threads.emplace_back([this, script] {
                int fd = -1;
                for (pollfd wanted{m_listener, POLLIN, 0}; fd < 0;) {
                    if (::poll(&wanted, 1, 10000) != 1)
                        return;
                    fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC); // another thread may win it
                }
                const int blocking = 0;
                ::ioctl(fd, FIONBIO, &blocking);
                Play(fd, script);
            });
    }
    // Connects to the client's listening port (an active-mode data
    // connection) and plays script as the TLS server on it.
    void ConnectTo(quint16 port, TServerScript script)
    {
        m_threads.emplace_back([this, port, script] {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(port);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                ::close(fd);
                return;
            }
            Play(fd, script);
        });
    }
    // Whether each TLS connection so far resumed a session, in the order they ended.
    std::vector<bool> Reused()
    {
        std::lock_guard lock(m_mutex);
        return m_reused;
    }
    int Finished() const { return m_finished; }

private:
    void Play(int fd, const TServerScript& script)
    {
        TServerPeer peer(fd, m_ctx);
        script(peer);
        {
            std::lock_guard lock(m_mutex);
            m_reused.push_back(peer.Reused());
        }
        ++m_finished;
    }

    SSL_CTX* m_ctx = nullptr;
    int m_listener = -1;
    quint16 m_port = 0;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::vector<bool> m_reused;
    std::atomic<int> m_finished{0};
};
