// Whole folders through the transfer queue, next to `lftp mirror` on the same
// server in the same run (lftp's wall time / Kvado's: higher is better):
//   1. 1,000 files of 4 KiB in 10 folders behind a 50 ms round trip
//      (delayftpd.py: every command and data connection 25 ms late): lftp
//      --parallel=4 against Kvado on 4 background connections, then lftp
//      --parallel=1 against Kvado in the browsing session;
//   2. 10,000 files in 1,000 folders on plain loopback, --parallel=4 against
//      4 connections;
//   3. a listing in the browsing session while 4 background connections
//      download the tree of 1: the time until it is shown.
// Each ratio is the median of alternating pairs (5 unless given). Both
// clients use passive data connections (lftp's default).
//
//   cmake --build build --target foldertransfer_bench && build/tools/bench/foldertransfer_bench [pairs]
#include "ftp/ftpseja.h"
#include "transfer/ftptransfersession.h"
#include "transfer/headlessview.h"
#include "transfer/scheduler.h"
#include "transfer/transferqueue.h"

#include "benchwait.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// folders × files of `size` bytes under root.
void makeTree(const QString& root, int folders, int files, int size)
{
    const QByteArray data(size, 'k');
    for (int f = 0; f < folders; ++f) {
        const QString dir = root + QStringLiteral("/d%1").arg(f, 4, 10, QLatin1Char('0'));
        QDir().mkpath(dir);
        for (int i = 0; i < files / folders; ++i) {
            QFile file(dir + QStringLiteral("/f%1.bin").arg(i, 5, 10, QLatin1Char('0')));
            if (file.open(QIODevice::WriteOnly))
                file.write(data);
        }
    }
}

int countFiles(const QString& root)
{
    int n = 0;
    QDir dir(root);
    for (const QFileInfo& info : dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        n += info.isDir() ? countFiles(info.filePath()) : 1;
    }
    return n;
}

// delayftpd.py serving root with the given delay (ms).
class Server {
public:
    Server(const QString& root, int delayMs)
    {
        m_process.setProgram(QStringLiteral("/usr/bin/python3"));
        m_process.setArguments({QStringLiteral(KVADO_SOURCE_DIR "/tools/bench/delayftpd.py"),
                                QStringLiteral("--root"), root, QStringLiteral("--delay"),
                                QString::number(delayMs)});
        m_process.start();
        m_process.waitForReadyRead(10000);
        const QByteArray line = m_process.readLine().trimmed();
        if (line.startsWith("PORT "))
            port = line.mid(5).toInt();
    }
    ~Server()
    {
        m_process.terminate();
        m_process.waitForFinished(3000);
    }
    int port = 0;

private:
    QProcess m_process;
};

TSejaParametri parametersOf(int port)
{
    TSejaParametri p;
    p.host = QStringLiteral("127.0.0.1");
    p.port = QString::number(port);
    p.user = QStringLiteral("bench");
    p.password = QStringLiteral("bench");
    p.loginKind = 1;
    p.dataConnection = 1;
    return p;
}

// A browsing session's window that counts the listings it was shown.
class CountingView : public THeadlessView {
public:
    int listings = 0;
    void ShowRemoteRows(const TRemoteListing&) override { ++listings; }
};

// The folders at the top of root, as the remote pane lists them.
std::vector<TRemoteEntry> topFolders(const QString& root)
{
    std::vector<TRemoteEntry> entries;
    for (const QString& name : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        TRemoteEntry e;
        e.name = name;
        e.kind = ekDirectory;
        entries.push_back(e);
    }
    return entries;
}

// Kvado downloads every folder of root into target: on `connections` background
// connections, or in the browsing session (0). The seconds it took, -1 on failure.
// duringTransfer runs once the first file has arrived (with the browsing session).
double kvadoMirror(int port, const QString& root, const QString& target, int connections,
                   const std::function<void(TFtpSeja&, CountingView&)>& duringTransfer = {})
{
    QElapsedTimer clock;
    clock.start();
    CountingView view;
    TFtpSeja browsing(&view);
    browsing.Parametri() = parametersOf(port);
    browsing.SetTimeOut(30);
    browsing.Povezi();
    if (!WaitUntil([&] { return view.listings > 0 && browsing.Ready(); }, 30000))
        return -1;
    TFtpTransferSession browsingSession(browsing);
    TTransferQueue queue;
    TScheduler scheduler(queue);
    scheduler.SetBrowsingSession(&browsingSession);
    scheduler.SetConnections(connections, [port](int index) -> std::unique_ptr<TTransferSession> {
        return std::make_unique<TFtpTransferSession>(parametersOf(port), 30, QString::number(index + 2));
    });
    bool finished = false;
    scheduler.OnFinished = [&] { finished = true; };
    scheduler.OnAsk = [](const TExistsQuestion&) {
        TExistsAnswer a;
        a.choice = TExistsAnswer::acOverwriteAll;
        return a;
    };
    scheduler.Download(topFolders(root), QStringLiteral("/"), target);
    if (duringTransfer) {
        if (!WaitUntil([&] { return queue.Totals().filesDone > 0 || finished; }, 60000))
            return -1;
        duringTransfer(browsing, view);
    }
    if (!WaitUntil([&] { return finished; }, 600000))
        return -1;
    const double seconds = clock.nsecsElapsed() / 1e9;
    const QString failed = queue.Totals().failed ? QStringLiteral(" (failed items)") : QString();
    if (!failed.isEmpty())
        std::printf("  Kvado: %d items failed\n", queue.Totals().failed);
    browsing.HitriGumb2Click();
    return failed.isEmpty() ? seconds : -1;
}

double lftpMirror(int port, const QString& target, int parallel)
{
    QElapsedTimer clock;
    clock.start();
    QProcess lftp;
    lftp.start(QStringLiteral("lftp"),
               {QStringLiteral("-c"),
                QStringLiteral("set ftp:passive-mode on; set net:max-retries 1; "
                               "open -u bench,bench -p %1 127.0.0.1; mirror --parallel=%2 / %3")
                    .arg(port)
                    .arg(parallel)
                    .arg(target)});
    // A peer that hangs (seen once: lftp waiting on four idle connections) costs the pair, not the run.
    if (!lftp.waitForFinished(180000) || lftp.exitCode() != 0) {
        lftp.kill();
        lftp.waitForFinished(3000);
        std::printf("  lftp failed or hung: %s\n", lftp.readAllStandardError().constData());
        return -1;
    }
    return clock.nsecsElapsed() / 1e9;
}

// Pairs of lftp and Kvado, alternating which goes first; prints each pair and the median ratio.
void compare(const char* title, const QString& root, int delayMs, int parallel, int connections, int pairs,
             int expectedFiles)
{
    Server server(root, delayMs);
    if (!server.port) {
        std::printf("%s: the server did not start\n", title);
        return;
    }
    std::vector<double> ratios, kvadoTimes, lftpTimes;
    for (int i = 0; i < pairs; ++i) {
        double kvado = 0, peer = 0;
        for (int turn = 0; turn < 2; ++turn) {
            QTemporaryDir target;
            if ((turn == 0) == (i % 2 == 0)) {
                kvado = kvadoMirror(server.port, root, target.path(), connections);
                if (countFiles(target.path()) != expectedFiles)
                    kvado = -1;
            } else {
                peer = lftpMirror(server.port, target.path(), parallel);
                if (countFiles(target.path()) != expectedFiles)
                    peer = -1;
            }
        }
        std::printf("  pair %d: lftp %.3f s, Kvado %.3f s\n", i + 1, peer, kvado);
        std::fflush(stdout);
        if (kvado > 0 && peer > 0) {
            ratios.push_back(peer / kvado);
            kvadoTimes.push_back(kvado);
            lftpTimes.push_back(peer);
        }
    }
    std::printf("%s: lftp %.3f s, Kvado %.3f s, ratio %.2f (median of %zu pairs)\n", title, Median(lftpTimes),
                Median(kvadoTimes), Median(ratios), ratios.size());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int pairs = argc > 1 ? qMax(1, atoi(argv[1])) : 5;
    if (QStandardPaths::findExecutable(QStringLiteral("lftp")).isEmpty()) {
        std::printf("lftp is not installed (tools/install-deps installs it)\n");
        return 1;
    }

    QTemporaryDir small;
    makeTree(small.path(), 10, 1000, 4096);
    compare("1,000 files of 4 KiB in 10 folders, 50 ms round trip, lftp --parallel=4 / Kvado 4 connections",
            small.path(), 25, 4, 4, pairs, 1000);
    compare("1,000 files of 4 KiB in 10 folders, 50 ms round trip, lftp --parallel=1 / Kvado in the session",
            small.path(), 25, 1, 0, pairs, 1000);

    QTemporaryDir large;
    makeTree(large.path(), 1000, 10000, 4096);
    compare("10,000 files in 1,000 folders, plain loopback, lftp --parallel=4 / Kvado 4 connections",
            large.path(), 0, 4, 4, qMin(pairs, 3), 10000);

    // A listing of the browsing session while the background connections work.
    {
        Server server(small.path(), 25);
        QTemporaryDir target;
        double shownAfter = -1;
        kvadoMirror(server.port, small.path(), target.path(), 4, [&](TFtpSeja& browsing, CountingView& view) {
            QElapsedTimer clock;
            clock.start();
            const int before = view.listings;
            browsing.Pla1OsveziFTPClick();
            if (WaitUntil([&] { return view.listings > before; }, 10000))
                shownAfter = clock.nsecsElapsed() / 1e6;
        });
        std::printf(
            "a listing in the browsing session while 4 background connections transfer: shown after %.0f "
            "ms (goal: within 1000 ms)\n",
            shownAfter);
    }
    return 0;
}
