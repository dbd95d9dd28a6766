// Whole-transfer throughput of the session engine on loopback: a file (1 GiB
// unless given) downloaded and uploaded through TFtpSeja (with a window that
// shows nothing) next to curl and lftp moving the same file on the same server
// in the same run, in pairs (3 unless given) that alternate the clients; each
// "ratio" line is the median speed of Kvado over the peer's (higher is
// better). Runs: pyftpdlib in the clear, active and passive, against curl;
// vsftpd in the clear, active, passive and passive into tmpfs, against curl
// and lftp (lftp where installed); vsftpd with TLS required (data connections
// resuming the control session) against `curl --ssl-reqd -k` (curl cannot do
// active FTPS against vsftpd: Kvado alone there). vsftpd runs only as root.
// Also prints Kvado's CPU time per transfer (median) and the peak memory
// around its first download.
//
//   cmake --build build --target ftptransfer_bench && build/tools/bench/ftptransfer_bench [MiB] [pairs]
#include "ftp/ftpseja.h"

#include "benchwait.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// A window that shows nothing and answers every dialog with Overwrite.
class TNullView : public TSejaView {
public:
    QString LocalDir;
    std::vector<TLokalniVnos> Upload;
    int Listings = 0;
    int LocalRefreshes = 0;
    TRemoteListing Rows;
    std::vector<int> Selected;

    QString GetWord(const QString& key) override { return key; }
    int ActiveLanguage() override { return 1; }
    void KvadoUkazi(TLogKind, const QString&, const QString&) override {}
    void LogReply(const QString&) override {}
    void LogViewOnly(const QString&) override {}
    void SetStatusPanel(int, const QString&) override {}
    void SetItemEnabled(TSejaItem, bool) override {}
    bool ItemEnabled(TSejaItem) override { return true; }
    void SetCaption(const QString&) override {}
    void ShowTransferType(int) override {}
    void ClearRemoteRows() override {}
    void ShowRemoteRows(const TRemoteListing& table) override
    {
        Rows = table;
        ++Listings;
    }
    int RemoteFocusedRow() override { return Selected.empty() ? -1 : Selected.front(); }
    std::vector<int> RemoteSelectedRows() override { return Selected; }
    void SetRemoteRowSelected(int, bool) override {}
    QString RemoteRowCaption(int row) override { return Rows.At(row).name; }
    int RemoteRowCount() override { return Rows.Count(); }
    void SetRemoteBusyCursor(bool) override {}
    QString LocalDirectory() override { return LocalDir; }
    bool LocalHasFocusedEntry() override { return !Upload.empty(); }
    std::vector<TLokalniVnos> LocalSelectedEntries() override { return Upload; }
    void DeselectLocalEntry(const QString&) override {}
    void RefreshLocal() override { ++LocalRefreshes; }
    void SetProgress(int) override {}
    void ShowProgressText(bool) override {}
    void ShowTransferred(qint64, qint64) override {}
    void AnimateLogo(bool) override {}
    void Efekti(int) override {}
    TMsgResult MessageBox(const QString&, const QString&, TMsgIcon, TMsgButtons) override { return mrYes; }
    bool InputBox(const QString&, const QString&, QString&) override { return false; }
    TPrepisiIzbira PrepisiDialog() override { return piPrepisi; }
    bool AcceptCertificate(const TCertificateInfo&) override { return true; } // the bench's own certificate
};

// Where a run transfers: the server's port, the folder on disk that it
// serves as remoteDir, and whether the session is FTP over TLS.
struct TTarget {
    int port = 0;
    QString folder;
    QString remoteDir;
    bool tls = false;
};

bool writeTestFile(const QString& path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(4 << 20, '\0');
    for (int i = 0; i < block.size(); ++i)
        block[i] = char((i * 131 + i / 4093) & 0xFF);
    for (qint64 written = 0; written < size; written += block.size())
        if (file.write(block.constData(), qMin<qint64>(block.size(), size - written)) < 0)
            return false;
    return true;
}

bool sameFiles(const QString& a, const QString& b)
{
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    while (!fa.atEnd())
        if (fa.read(4 << 20) != fb.read(4 << 20))
            return false;
    return true;
}

double mbPerSecond(qint64 bytes, qint64 ms)
{
    return ms > 0 ? double(bytes) / 1e6 / (double(ms) / 1000.0) : 0.0;
}

// CPU milliseconds this process has used (Kvado's share of a transfer; the clients it starts are not
// counted).
double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Milliseconds a client process took; -1 when it failed.
qint64 timeProcess(const QString& program, const QStringList& arguments)
{
    QElapsedTimer clock;
    clock.start();
    return QProcess::execute(program, arguments) == 0 ? clock.elapsed() : -1;
}

// A peer client: the time of one download (remote name to local path) or upload (local path to remote name).
struct TPeer {
    const char* name;
    std::function<qint64(const TTarget&, bool passive, bool upload, const QString& remote,
                         const QString& local)>
        run;
};

TPeer curlPeer()
{
    return {
        "curl",
        [](const TTarget& target, bool passive, bool upload, const QString& remote, const QString& local) {
            QStringList all{"-s", "-S"};
            if (target.tls) // curl's EPRT path fails on vsftpd's connection back ("inet_ntop() failed"): PORT
                all << "--ssl-reqd"
                    << "-k"
                    << "--disable-eprt";
            if (!passive) // "-P" makes it active like Kvado's default
                all << "-P"
                    << "127.0.0.1";
            const QString path = target.remoteDir.isEmpty() ? remote : target.remoteDir + "/" + remote;
            const QString url = QString("ftp://127.0.0.1:%1/%2").arg(target.port).arg(path);
            return timeProcess("curl", all + QStringList{upload ? "-T" : "-o", local, url});
        }};
}

TPeer lftpPeer()
{
    return {"lftp", [](const TTarget& target, bool passive, bool upload, const QString& remote,
                       const QString& local) {
                const QString transfer = upload ? QString("put %1 -o %2").arg(local, remote)
                                                : QString("get %1 -o %2").arg(remote, local);
                const QString script =
                    QString("set ftp:ssl-allow no; set ftp:passive-mode %1; set net:max-retries 1; "
                            "open -u anonymous,bench@kvado -p %2 127.0.0.1; cd /%3; %4")
                        .arg(passive ? "on" : "off")
                        .arg(target.port)
                        .arg(target.remoteDir, transfer);
                return timeProcess("lftp", {"-c", script});
            }};
}

// One session of Kvado's, logged in and listing the target's folder.
class TKvado {
public:
    TKvado(const TTarget& target, bool passive, const QString& local) : m_seja(&m_view)
    {
        m_view.LocalDir = local;
        m_seja.Parametri().host = "127.0.0.1";
        m_seja.Parametri().port = QString::number(target.port);
        m_seja.Parametri().remoteDirectory = target.remoteDir;
        m_seja.Parametri().encryption = target.tls ? 2 : 0;
        m_seja.Parametri().anonymousPassword = "bench@kvado";
        m_seja.Parametri().transferType = tpSlika;
        m_seja.Parametri().dataConnection = passive ? 1 : 0;
        m_seja.Povezi();
        m_ready = WaitUntil([&] { return m_view.Listings == 1; }, 20000);
    }
    bool Ready() const { return m_ready; }

    // Milliseconds for downloading name into the local folder; -1 when it did not end.
    qint64 Download(const QString& name)
    {
        m_view.Selected.clear();
        for (int i = 0; i < m_view.Rows.Count(); ++i)
            if (m_view.Rows.At(i).name == name)
                m_view.Selected = {i};
        const int refreshes = m_view.LocalRefreshes;
        QElapsedTimer clock;
        clock.start();
        m_seja.Pla1PrenesiClick();
        const bool done =
            WaitUntil([&] { return m_view.LocalRefreshes > refreshes && !m_seja.PrenosTece(); }, 600000);
        return done ? clock.elapsed() : -1;
    }

    // Milliseconds for uploading name from the local folder (ends with the listing after it).
    qint64 Upload(const QString& name)
    {
        m_view.Upload = {{name, QString()}};
        const int listings = m_view.Listings;
        QElapsedTimer clock;
        clock.start();
        m_seja.Pla2PrenesiClick();
        const bool done =
            WaitUntil([&] { return m_view.Listings > listings && !m_seja.PrenosTece(); }, 600000);
        return done ? clock.elapsed() : -1;
    }

private:
    TNullView m_view;
    TFtpSeja m_seja;
    bool m_ready = false;
};

// Times of one direction: Kvado's and each peer's, one per pair.
struct TTimes {
    std::vector<double> kvado;
    std::vector<double> kvadoCpu;
    std::vector<std::vector<double>> peers;
    bool ok = true;
};

void printTimes(const char* label, const char* direction, const TTimes& times,
                const std::vector<TPeer>& peers, qint64 size)
{
    const double kvado = Median(times.kvado);
    const double rate = mbPerSecond(size, qint64(kvado));
    const QByteArray verdict = QByteArray::number(Median(times.kvadoCpu), 'f', 0) + " ms CPU  " +
                               (times.ok ? "identical" : "FAILED");
    if (peers.empty())
        std::printf("%-12s %-9s Kvado %8.1f MB/s  %s\n", label, direction, rate, verdict.constData());
    for (size_t p = 0; p < peers.size(); ++p) {
        const double peerRate = mbPerSecond(size, qint64(Median(times.peers[p])));
        std::printf("%-12s %-9s %-4s %8.1f MB/s  Kvado %8.1f MB/s  ratio %.2f  %s\n", label, direction,
                    peers[p].name, peerRate, rate, peerRate > 0 ? rate / peerRate : 0.0, verdict.constData());
    }
}

// Pairs of downloads and uploads by Kvado and the peers, the clients taking
// turns; every copy is compared with the original. Prints the medians; true when all succeeded.
bool runMode(const char* label, bool passive, const TTarget& target, const QString& local,
             const std::vector<TPeer>& peers, int pairs, qint64 size)
{
    const QString original = target.folder + "/big.bin";
    TKvado kvado(target, passive, local);
    if (!kvado.Ready()) {
        std::printf("%-12s Kvado could not log in\n", label);
        return false;
    }
    TTimes down, up;
    down.peers.resize(peers.size());
    up.peers.resize(peers.size());
    long memoryBefore = 0, memoryAfter = 0;
    // Each copy is compared once its transfer has ended.
    const auto record = [](TTimes& times, std::vector<double>& into, qint64 ms, const QString& original,
                           const QString& copy) {
        into.push_back(double(ms));
        times.ok = times.ok && ms >= 0 && sameFiles(original, copy);
        QFile::remove(copy);
    };
    for (int pair = 0; pair < pairs; ++pair) {
        for (size_t p = 0; p < peers.size(); ++p)
            record(down, down.peers[p], peers[p].run(target, passive, false, "big.bin", local + "/peer.bin"),
                   original, local + "/peer.bin");
        memoryBefore = memoryBefore ? memoryBefore : peakKiB();
        double cpu = cpuMs();
        const qint64 downMs = kvado.Download("big.bin");
        down.kvadoCpu.push_back(cpuMs() - cpu);
        memoryAfter = memoryAfter ? memoryAfter : peakKiB();
        QFile::rename(local + "/big.bin", local + "/up.bin");
        record(down, down.kvado, downMs, original, local + "/up.bin");
        QFile::copy(original, local + "/up.bin");
        for (size_t p = 0; p < peers.size(); ++p)
            record(up, up.peers[p], peers[p].run(target, passive, true, "peer-up.bin", local + "/up.bin"),
                   original, target.folder + "/peer-up.bin");
        cpu = cpuMs();
        const qint64 upMs = kvado.Upload("up.bin");
        up.kvadoCpu.push_back(cpuMs() - cpu);
        record(up, up.kvado, upMs, original, target.folder + "/up.bin");
        QFile::remove(local + "/up.bin");
    }
    printTimes(label, "download", down, peers, size);
    printTimes(label, "upload", up, peers, size);
    std::printf("%-12s peak memory %ld MiB before the first download, %ld MiB after\n", label,
                memoryBefore / 1024, memoryAfter / 1024);
    return down.ok && up.ok;
}

// A free port of 127.0.0.1 a moment ago.
int freePort()
{
    const int handle = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(handle);
    return ntohs(address.sin_port);
}
// Whether a connection to 127.0.0.1:port is taken (loopback: at once).
bool listens(int port)
{
    const int handle = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(port));
    const bool taken = ::connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(handle);
    return taken;
}

// vsftpd, anonymous, writable folder "upload" (owned by ftp) below root; with
// tls, FTP over TLS required for the login and the data (each data connection
// resuming the control session) with a self-signed certificate made by
// openssl. Returns why it cannot run here, empty when it runs.
QString startVsftpd(QProcess& server, const QString& dir, int port, bool tls, QString* folder)
{
    const passwd* ftp = getpwnam("ftp");
    if (geteuid() != 0 || !ftp || !QFileInfo::exists("/usr/sbin/vsftpd"))
        return "vsftpd needs root and the ftp user";
    const QString root = dir + "/vsroot", pem = dir + "/vsftpd.pem", empty = dir + "/empty";
    QDir().mkpath(root + "/upload");
    QDir().mkpath(empty);
    const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                      QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    for (const QString& folder : {dir, root, root + "/upload", empty})
        QFile::setPermissions(folder, open);
    if (chown(QFile::encodeName(root + "/upload").constData(), ftp->pw_uid, ftp->pw_gid) != 0)
        return "cannot give the upload folder to ftp";
    if (tls) {
        QProcess openssl;
        openssl.setStandardOutputFile(QProcess::nullDevice());
        openssl.setStandardErrorFile(QProcess::nullDevice());
        openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", pem, "-out",
                                  pem, "-days", "2", "-subj", "/CN=127.0.0.1"});
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
            return "openssl could not make a certificate";
    }
    QFile config(dir + (tls ? "/vsftpd-tls.conf" : "/vsftpd.conf"));
    if (!config.open(QIODevice::WriteOnly))
        return "cannot write vsftpd.conf";
    QStringList lines{"background=NO",
                      "seccomp_sandbox=NO",
                      "listen=YES",
                      "listen_ipv6=NO",
                      "listen_address=127.0.0.1",
                      QString("listen_port=%1").arg(port),
                      "anonymous_enable=YES",
                      "local_enable=NO",
                      "anon_root=" + root,
                      "ftp_username=ftp",
                      "secure_chroot_dir=" + empty,
                      "write_enable=YES",
                      "anon_upload_enable=YES",
                      "anon_other_write_enable=YES",
                      "anon_umask=022",
                      "pasv_enable=YES",
                      "pasv_address=127.0.0.1",
                      "port_enable=YES",
                      "connect_from_port_20=NO"};
    if (tls)
        lines << QStringList{
            "ssl_enable=YES",          "allow_anon_ssl=YES",         "force_anon_logins_ssl=YES",
            "force_anon_data_ssl=YES", "require_ssl_reuse=YES",      "ssl_ciphers=HIGH",
            "rsa_cert_file=" + pem,    "rsa_private_key_file=" + pem};
    config.write(lines.join('\n').toUtf8() + "\n");
    config.close();
    server.start("/usr/sbin/vsftpd", {config.fileName()});
    if (!server.waitForStarted())
        return "vsftpd did not start";
    *folder = root + "/upload";
    if (!WaitUntil([&] { return listens(port); }, 5000))
        return "vsftpd does not listen";
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 size = (argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024) << 20;
    QTemporaryDir dir;
    const QString root = dir.filePath("root");
    const QString local = dir.filePath("local");
    QDir().mkpath(root);
    QDir().mkpath(local);
    if (!writeTestFile(root + "/big.bin", size)) {
        std::fprintf(stderr, "cannot write the test file\n");
        return 1;
    }

    // pyftpdlib with anonymous write access, from the test support folder.
    const QString script = QStringLiteral(KVADO_SOURCE_DIR "/tests/support/ftppyftpdserver.py");
    QProcess server;
    server.start("/usr/bin/python3", {script, "--root", root, "--anon-write"});
    if (!server.waitForStarted() || !server.waitForReadyRead(10000)) {
        std::fprintf(stderr, "pyftpdlib did not start\n");
        return 1;
    }
    const int port = server.readLine().trimmed().mid(5).toInt();

    const int pairs = argc > 2 ? qMax(1, QByteArray(argv[2]).toInt()) : 3;
    std::vector<TPeer> peers{curlPeer()};
    std::printf("file %lld MiB, %d pairs, pyftpdlib on loopback\n", size >> 20, pairs);
    const TTarget pyftpd{port, root, QString(), false};
    bool allOk = runMode("active", false, pyftpd, local, peers, pairs, size);
    allOk = runMode("passive", true, pyftpd, local, peers, pairs, size) && allOk;
    server.terminate();
    server.waitForFinished(3000);

    // vsftpd in the clear, then with TLS, on the same folder.
    if (!QStandardPaths::findExecutable("lftp").isEmpty())
        peers.push_back(lftpPeer());
    else
        std::printf("lftp is not installed: no comparisons with it\n");
    for (const bool tls : {false, true}) {
        QProcess vsftpd;
        TTarget target{freePort(), QString(), "upload", tls};
        const QString why = startVsftpd(vsftpd, dir.path(), target.port, tls, &target.folder);
        if (!why.isEmpty()) {
            std::printf("vsftpd runs skipped: %s\n", qPrintable(why));
            break;
        }
        QFile::rename(root + "/big.bin", target.folder + "/big.bin");
        QFile::setPermissions(target.folder + "/big.bin",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        if (tls) {
            std::printf("file %lld MiB, vsftpd with TLS required on loopback\n", size >> 20);
            // curl (7.88) cannot take vsftpd's connection back over TLS ("inet_ntop() failed"): Kvado alone
            // then.
            allOk = runMode("tls-act", false, target, local, {}, pairs, size) && allOk;
            allOk = runMode("tls-pas", true, target, local, {curlPeer()}, pairs, size) && allOk;
        } else {
            std::printf("file %lld MiB, vsftpd in the clear on loopback\n", size >> 20);
            allOk = runMode("vs-act", false, target, local, peers, pairs, size) && allOk;
            allOk = runMode("vs-pas", true, target, local, peers, pairs, size) && allOk;
            QTemporaryDir tmpfs(QStringLiteral("/dev/shm/kvado-bench-XXXXXX"));
            if (tmpfs.isValid())
                allOk = runMode("vs-pas-tmpfs", true, target, tmpfs.path(), peers, pairs, size) && allOk;
        }
        QFile::rename(target.folder + "/big.bin", root + "/big.bin");
        vsftpd.terminate();
        vsftpd.waitForFinished(3000);
    }
    return allOk ? 0 : 1;
}
