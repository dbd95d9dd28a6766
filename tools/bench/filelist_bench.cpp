// Reload of the local file list on directories of 10,000 and 100,000 files,
// next to `ls -l` of the same directories in the same run. The directories are
// made once in a temporary directory; names cycle through common extensions so
// that the MIME look-ups and the per-type cache do real work.
#include "files/filelist.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <map>

namespace {

QTemporaryDir* Root()
{
    static QTemporaryDir root;
    return &root;
}

QString DirectoryOf(int count)
{
    static std::map<int, QString> made;
    auto found = made.find(count);
    if (found != made.end())
        return found->second;
    static const char* const extensions[] = {".txt", ".cpp", ".h", ".png", ".pdf", ".tar.gz", ".html", ""};
    const QString path = Root()->path() + QStringLiteral("/d%1/").arg(count);
    QDir().mkpath(path);
    const QByteArray base = QFile::encodeName(path);
    for (int i = 0; i < count; ++i) {
        const QByteArray name = base + "file" + QByteArray::number(i) + extensions[i % 8];
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0) {
            if (i % 3 == 0)
                (void)::write(fd, "0123456789", 10);
            ::close(fd);
        }
    }
    for (int i = 0; i < count / 1000; ++i)
        QDir().mkdir(path + QStringLiteral("sub%1").arg(i));
    made[count] = path;
    return path;
}

void Reload(benchmark::State& state)
{
    const QString directory = DirectoryOf(static_cast<int>(state.range(0)));
    TFileList list;
    list.SetViewColumns({fiName, fiSize, fiType, fiModified, fiAttributes});
    list.SetViewStyle(vsReport);
    list.SetMask(QStringLiteral("*"));
    list.resize(800, 600);
    list.show();
    list.SetDirectory(directory); // warms the MIME and icon caches
    QCoreApplication::processEvents();
    for (auto _ : state) {
        list.Reload();
        QCoreApplication::processEvents(); // the views lay out the new rows
    }
    state.counters["rows"] = list.Items().Count();
}

void LsLong(benchmark::State& state)
{
    const QString directory = DirectoryOf(static_cast<int>(state.range(0)));
    const std::string command = "ls -l --color=never '" + directory.toStdString() + "' > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("ls -l failed");
    }
}

BENCHMARK(LsLong)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(Reload)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
