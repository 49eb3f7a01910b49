// Times a run over 20,000 files through the main window (offscreen, the files in the File
// List, "Let`s go..." pressed) against vexlopro-cli rewriting the same files, and prints the
// median of each. Every timed run starts from a fresh copy of the same files.
//
// usage: QT_QPA_PLATFORM=offscreen window_run_bench [--runs N] [--files N] [--dir DIR]
//   DIR (default /dev/shm/vexlo-window-bench) holds the pristine files and the working copy;
//   vexlopro-cli is taken from beside this program.
#include "app/MainWindow.h"
#include "app/RunController.h"
#include "app/Windows.h"
#include "base/ProgramFolder.h"
#include "run/RunDriver.h"
#include "targets/TargetListModel.h"
#include "widgets/Platform.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QToolButton>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// The desktop, except that messages go to standard error instead of a modal box.
class BenchPlatform : public vexlo::DesktopPlatform {
  public:
    using DesktopPlatform::DesktopPlatform;
    void message(QWidget *, const QString &text) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
};

bool Run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// Small source-like files, a few lines of each with the find word.
void MakePristine(const QString &dir, int count)
{
    static const char *const Words[] = {"alpha",  "beta",  "gamma",  "value", "index", "count",
                                        "return", "const", "buffer", "line",  "text",  "path"};
    std::mt19937 rng(7);
    for (int i = 0; i < count; ++i) {
        const QString folder = dir + QStringLiteral("/d%1").arg(i / 100, 3, 10, QLatin1Char('0'));
        QDir().mkpath(folder);
        QByteArray bytes;
        const int lines = 20 + int(rng() % 60);
        for (int l = 0; l < lines; ++l) {
            const int words = 3 + int(rng() % 9);
            for (int w = 0; w < words; ++w) {
                if (w)
                    bytes += ' ';
                bytes += (rng() % 50 == 0) ? "foo" : Words[rng() % std::size(Words)];
            }
            bytes += ";\n";
        }
        QFile file(folder + QStringLiteral("/f%1.txt").arg(i, 5, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(file.fileName()));
    }
}

// CPU seconds (user + system) of this process or of its finished children.
double CpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int runs = 5, count = 20000;
    bool watch = false; // --watch 1: a folder tree (as in Scan directory(s)) shows the folders
    QString dir = QStringLiteral("/dev/shm/vexlo-window-bench");
    const QStringList args = QApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--runs"))
            runs = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--files"))
            count = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--dir"))
            dir = args[i + 1];
        else if (args[i] == QLatin1String("--watch"))
            watch = args[i + 1] == QLatin1String("1");
    }
    const QString cli = QApplication::applicationDirPath() + QStringLiteral("/vexlopro-cli");
    const QString pristine = dir + QStringLiteral("/pristine");
    const QString work = dir + QStringLiteral("/work");
    const QString marker = pristine + QStringLiteral("/.complete-%1").arg(count);
    if (!QFile::exists(marker)) {
        QDir(pristine).removeRecursively();
        std::printf("making %d files in %s ...\n", count, qPrintable(pristine));
        MakePristine(pristine, count);
        QFile(marker).open(QIODevice::WriteOnly);
    }
    auto freshCopy = [&] {
        QDir(work).removeRecursively();
        if (!Run(QStringLiteral("cp"), {QStringLiteral("-a"), pristine, work}))
            qFatal("cannot copy the files");
        Run(QStringLiteral("sync"), {});
    };

    std::vector<std::string> paths;
    QStringList cliArguments{QStringLiteral("--find"), QStringLiteral("foo"), QStringLiteral("--replace"),
                             QStringLiteral("bar"), QStringLiteral("--")};
    for (int i = 0; i < count; ++i) {
        const QString path = work + QStringLiteral("/d%1/f%2.txt")
                                        .arg(i / 100, 3, 10, QLatin1Char('0'))
                                        .arg(i, 5, 10, QLatin1Char('0'));
        paths.push_back(vexlo::ToBytes(path));
        cliArguments << path;
    }

    // The program folder: the installed settings file, histories written by each run.
    QTemporaryDir programDir;
    QFile::copy(QApplication::applicationDirPath() + QStringLiteral("/vexlopro.ini"),
                programDir.filePath(QStringLiteral("vexlopro.ini")));
    QFile::setPermissions(programDir.filePath(QStringLiteral("vexlopro.ini")),
                          QFile::ReadOwner | QFile::WriteOwner);
    BenchPlatform platform{vexlo::ProgramFolder(vexlo::ToBytes(programDir.path()))};
    vexlo::Windows windows(platform);
    vexlo::MainWindow &window = windows.main();
    window.resize(1280, 800);
    window.show();
    window.fileListModel().appendMany(std::vector<std::string>(paths), true);
    window.findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QStringLiteral("foo"));
    window.findChild<QLineEdit *>(QStringLiteral("Edit2"))->setText(QStringLiteral("bar"));
    QApplication::processEvents();
    auto *go = window.findChild<QToolButton *>(QStringLiteral("SpeedButton29"));

    // The same core call as the window's, in this process without the window: tells the
    // window's own work apart from what running inside a larger process costs.
    vexlo::RunRequest coreRequest = window.runRequest();
    auto coreRun = [&] {
        vexlo::RunFlag flag;
        vexlo::RunObserver quiet;
        return vexlo::RunReplace(coreRequest, platform.programFolder(), flag, quiet).filesRewritten;
    };

    std::vector<double> windowTimes, cliTimes, coreTimes, windowCpu, cliCpu, coreCpu;
    QElapsedTimer clock;
    std::unique_ptr<QFileSystemModel> tree;
    auto timeWindow = [&] {
        freshCopy();
        if (watch) { // the folders listed by a tree view, which watches them for changes
            tree = std::make_unique<QFileSystemModel>(&window); // as the windows hold theirs
            window.runController().folderWatchers().add(*tree);
            tree->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
            const QModelIndex root = tree->setRootPath(work);
            QElapsedTimer wait;
            wait.start();
            while (wait.elapsed() < 2000)
                QApplication::processEvents(QEventLoop::AllEvents, 50);
            for (int row = 0; row < tree->rowCount(root); ++row)
                tree->fetchMore(tree->index(row, 0, root));
            wait.restart();
            while (wait.elapsed() < 2000)
                QApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        clock.start();
        const double cpu = CpuSeconds(RUSAGE_SELF);
        go->click();
        windowTimes.push_back(clock.nsecsElapsed() / 1e9);
        windowCpu.push_back(CpuSeconds(RUSAGE_SELF) - cpu);
        tree.reset();
        const std::size_t rewritten = window.runController().lastResult().filesRewritten;
        if (rewritten != std::size_t(count))
            std::fprintf(stderr, "window run rewrote %zu of %d files\n", rewritten, count);
    };
    auto timeCli = [&] {
        freshCopy();
        const double cpu = CpuSeconds(RUSAGE_CHILDREN);
        clock.start();
        if (!Run(cli, cliArguments))
            std::fprintf(stderr, "vexlopro-cli failed\n");
        cliTimes.push_back(clock.nsecsElapsed() / 1e9);
        cliCpu.push_back(CpuSeconds(RUSAGE_CHILDREN) - cpu);
    };
    auto timeCore = [&] {
        freshCopy();
        clock.start();
        const double cpu = CpuSeconds(RUSAGE_SELF);
        const std::size_t rewritten = coreRun();
        coreTimes.push_back(clock.nsecsElapsed() / 1e9);
        coreCpu.push_back(CpuSeconds(RUSAGE_SELF) - cpu);
        if (rewritten != std::size_t(count))
            std::fprintf(stderr, "core run rewrote %zu of %d files\n", rewritten, count);
    };
    for (int r = 0; r < runs; ++r) {
        // The order changes from run to run, so a drift in the machine's load hits all three.
        if (r % 2 == 0) {
            timeWindow();
            timeCli();
            timeCore();
        } else {
            timeCli();
            timeCore();
            timeWindow();
        }
        std::printf("run %d: window %.3f s (cpu %.3f), vexlopro-cli %.3f s (cpu %.3f), core in this "
                    "process %.3f s (cpu %.3f)\n",
                    r + 1, windowTimes.back(), windowCpu.back(), cliTimes.back(), cliCpu.back(),
                    coreTimes.back(), coreCpu.back());
        std::fflush(stdout);
    }
    const double w = Median(windowTimes), c = Median(cliTimes), k = Median(coreTimes);
    std::printf("%d files, median of %d runs: window %.3f s, vexlopro-cli %.3f s (window/cli %.2f), "
                "core in this process %.3f s; cpu seconds: window %.3f, vexlopro-cli %.3f, core %.3f\n",
                count, runs, w, c, c > 0 ? w / c : 0.0, k, Median(windowCpu), Median(cliCpu),
                Median(coreCpu));
    QDir(work).removeRecursively();
    return 0;
}
