// Whole-transfer throughput of the session engine on loopback: a 1 GiB file
// downloaded from and uploaded to pyftpdlib through TFtpSeja (with a window
// that shows nothing), next to curl downloading and uploading the same file on
// the same server in the same run, in active and then passive mode; then the
// same over TLS against vsftpd (explicit TLS required, data connections
// resuming the control session) next to `curl --ssl-reqd -k`, when vsftpd can
// run here (as root). Prints MB/s, the ratio to curl and the peak memory.
//
//   cmake --build build --target ftptransfer_bench && build/tools/bench/ftptransfer_bench [MiB]
#include "ftp/ftpseja.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
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

bool pumpUntil(const std::function<bool()>& done, int seconds)
{
    QDeadlineTimer deadline(seconds * 1000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

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

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
// One mode's figures: curl and Kvado, each downloading and uploading the file.
struct TModeRun {
    qint64 curlDownMs = 0, curlUpMs = 0, downMs = 0, upMs = 0;
    bool curlOk = false, downOk = false, upOk = false;
    long memoryBefore = 0, memoryAfter = 0;
};

// curl against the same server in the same mode: "-P" makes it active like Kvado's default.
qint64 timeCurl(const QStringList& arguments, bool passive, bool tls, bool* ok)
{
    QStringList all{"-s", "-S"};
    if (tls) // curl's EPRT path fails on vsftpd's connection back ("inet_ntop() failed"): PORT
        all << "--ssl-reqd"
            << "-k"
            << "--disable-eprt";
    if (!passive)
        all << "-P"
            << "127.0.0.1";
    QElapsedTimer clock;
    clock.start();
    *ok = QProcess::execute("curl", all + arguments) == 0;
    return clock.elapsed();
}

TModeRun runMode(bool passive, const TTarget& target, const QString& local)
{
    TModeRun run;
    const QString root = target.folder;
    const QString url = QString("ftp://127.0.0.1:%1/%2").arg(target.port).arg(target.remoteDir) + "/";
    // curl (7.88) cannot take vsftpd's connection back over TLS ("inet_ntop() failed"): Kvado alone then.
    const bool withCurl = passive || !target.tls;
    bool curlDown = !withCurl, curlUp = !withCurl;
    if (withCurl) {
        run.curlDownMs =
            timeCurl({"-o", local + "/curl.bin", url + "big.bin"}, passive, target.tls, &curlDown);
        run.curlUpMs =
            timeCurl({"-T", local + "/curl.bin", url + "curl-up.bin"}, passive, target.tls, &curlUp);
        curlUp = curlUp && sameFiles(root + "/big.bin", root + "/curl-up.bin");
    }
    run.curlOk = curlDown && curlUp;
    QFile::remove(local + "/curl.bin");
    QFile::remove(root + "/curl-up.bin");

    TNullView view;
    view.LocalDir = local;
    TFtpSeja seja(&view);
    seja.Parametri().host = "127.0.0.1";
    seja.Parametri().port = QString::number(target.port);
    seja.Parametri().remoteDirectory = target.remoteDir;
    seja.Parametri().encryption = target.tls ? 2 : 0;
    seja.Parametri().anonymousPassword = "bench@kvado";
    seja.Parametri().transferType = tpSlika;
    seja.Parametri().dataConnection = passive ? 1 : 0;
    seja.Povezi();
    if (!pumpUntil([&] { return view.Listings == 1; }, 20))
        return run;
    for (int i = 0; i < view.Rows.Count(); ++i)
        if (view.Rows.At(i).name == "big.bin")
            view.Selected = {i};

    run.memoryBefore = peakKiB();
    QElapsedTimer clock;
    clock.start();
    seja.Pla1PrenesiClick();
    const bool downloaded = pumpUntil([&] { return view.LocalRefreshes == 1 && !seja.PrenosTece(); }, 600);
    run.downMs = clock.elapsed();
    run.memoryAfter = peakKiB();
    run.downOk = downloaded && sameFiles(root + "/big.bin", local + "/big.bin");

    QFile::rename(local + "/big.bin", local + "/up.bin");
    view.Upload = {{"up.bin", QString()}};
    const int listings = view.Listings;
    clock.restart();
    seja.Pla2PrenesiClick();
    const bool uploaded = pumpUntil([&] { return view.Listings > listings && !seja.PrenosTece(); }, 600);
    run.upMs = clock.elapsed();
    run.upOk = uploaded && sameFiles(local + "/up.bin", root + "/up.bin");
    QFile::remove(local + "/up.bin");
    QFile::remove(root + "/up.bin");
    return run;
}

void printMode(const char* mode, const TModeRun& run, qint64 size)
{
    const auto line = [&](const char* what, qint64 ms, qint64 curlMs, bool ok) {
        const double rate = mbPerSecond(size, ms), curlRate = mbPerSecond(size, curlMs);
        if (curlMs == 0)
            std::printf("%-8s %-9s curl        -       Kvado %8.1f MB/s              %s\n", mode, what, rate,
                        ok ? "identical" : "FAILED");
        else
            std::printf("%-8s %-9s curl %8.1f MB/s  Kvado %8.1f MB/s  ratio %.2f  %s\n", mode, what, curlRate,
                        rate, rate / curlRate, ok ? "identical" : "FAILED");
    };
    line("download", run.downMs, run.curlDownMs, run.downOk && run.curlOk);
    line("upload", run.upMs, run.curlUpMs, run.upOk && run.curlOk);
    std::printf("%-8s peak memory %ld MiB before the download, %ld MiB after\n", mode,
                run.memoryBefore / 1024, run.memoryAfter / 1024);
}
// vsftpd with FTP over TLS required for the login and the data (each data
// connection resuming the control session), anonymous, writable folder
// "upload" (owned by ftp) below root; a self-signed certificate made with
// openssl. Empty when it cannot run here.
QString startVsftpd(QProcess& server, const QString& dir, int port, QString* folder)
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
    QProcess openssl;
    openssl.setStandardOutputFile(QProcess::nullDevice());
    openssl.setStandardErrorFile(QProcess::nullDevice());
    openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", pem, "-out", pem,
                              "-days", "2", "-subj", "/CN=127.0.0.1"});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        return "openssl could not make a certificate";
    QFile config(dir + "/vsftpd.conf");
    if (!config.open(QIODevice::WriteOnly))
        return "cannot write vsftpd.conf";
    const QStringList lines{"background=NO",
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
                            "connect_from_port_20=NO",
                            "ssl_enable=YES",
                            "allow_anon_ssl=YES",
                            "force_anon_logins_ssl=YES",
                            "force_anon_data_ssl=YES",
                            "require_ssl_reuse=YES",
                            "ssl_ciphers=HIGH",
                            "rsa_cert_file=" + pem,
                            "rsa_private_key_file=" + pem};
    config.write(lines.join('\n').toUtf8() + "\n");
    config.close();
    server.start("/usr/sbin/vsftpd", {config.fileName()});
    if (!server.waitForStarted())
        return "vsftpd did not start";
    *folder = root + "/upload";
    return {};
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

    // Active then passive against one target, printed; true when every run succeeded.
    const auto runBothModes = [&](const TTarget& target, const char* activeName, const char* passiveName) {
        bool ok = true;
        for (const bool passive : {false, true}) {
            const TModeRun run = runMode(passive, target, local);
            printMode(passive ? passiveName : activeName, run, size);
            ok = ok && run.curlOk && run.downOk && run.upOk;
        }
        return ok;
    };
    std::printf("file %lld MiB, pyftpdlib on loopback\n", size >> 20);
    bool allOk = runBothModes({port, root, QString(), false}, "active", "passive");
    server.terminate();
    server.waitForFinished(3000);

    // The same over TLS, against vsftpd.
    QProcess vsftpd;
    TTarget tls{freePort(), QString(), "upload", true};
    const QString why = startVsftpd(vsftpd, dir.path(), tls.port, &tls.folder);
    if (!why.isEmpty()) {
        std::printf("TLS runs skipped: %s\n", qPrintable(why));
        return allOk ? 0 : 1;
    }
    QFile::rename(root + "/big.bin", tls.folder + "/big.bin");
    QFile::setPermissions(tls.folder + "/big.bin", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    pumpUntil([] { return false; }, 1); // vsftpd listens
    std::printf("file %lld MiB, vsftpd with TLS required on loopback\n", size >> 20);
    allOk = runBothModes(tls, "tls-act", "tls-pas") && allOk;
    vsftpd.terminate();
    vsftpd.waitForFinished(3000);
    return allOk ? 0 : 1;
}
