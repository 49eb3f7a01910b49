// Backs up and restores 20,000 small files through the "Do backup" and "Recovery" windows and
// times `cp -r` of the same files for comparison; prints the longest stretch the window went
// without processing events. Run with QT_QPA_PLATFORM=offscreen; argument: where the files go
// (default /dev/shm or the temporary folder), file count (default 20000).
#include "backup/BackupWindows.h"
#include "targets/TargetListModel.h"
#include "widgets/Platform.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The desktop without its message boxes and beeps.
class BenchPlatform : public vexlo::DesktopPlatform {
  public:
    using DesktopPlatform::DesktopPlatform;
    QStringList messages;
    void message(QWidget *, const QString &text) override { messages << text; }
    void beep() override {}
};

// Notes the longest gap between two ticks of a 5 ms timer while it runs.
struct GapMeter {
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    GapMeter()
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.elapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
    }
    void start()
    {
        longest = 0;
        clock.start();
        last = 0;
        timer.start();
    }
};

double Seconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

double TimeCommand(const std::string &command)
{
    QElapsedTimer timer;
    timer.start();
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "failed: %s\n", command.c_str());
    return Seconds(timer);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                  : (QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                               : QDir::tempPath());
    const int count = argc > 2 ? std::atoi(argv[2]) : 20000;
    QTemporaryDir work(base + QStringLiteral("/vexlo-backup-bench-XXXXXX"));
    const QString tree = work.filePath(QStringLiteral("tree"));
    const QString program = work.filePath(QStringLiteral("program"));
    QDir().mkpath(program);

    vexlo::TargetListModel fileList, directoryList;
    std::vector<std::string> paths;
    const QByteArray body = QByteArray("int value = 42; // a line of a small source file\n").repeated(40);
    for (int i = 0; i < count; ++i) {
        const QString dir = tree + QStringLiteral("/d%1").arg(i / 200);
        if (i % 200 == 0)
            QDir().mkpath(dir);
        const QString path = dir + QStringLiteral("/f%1.cpp").arg(i);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write(body);
        paths.push_back(path.toStdString());
    }
    fileList.appendMany(std::move(paths), true);
    std::printf("%d files of %lld bytes in %s\n", count, static_cast<long long>(body.size()),
                qPrintable(tree));

    const std::string treeName = tree.toStdString();
    const std::string quotedTree = "'" + treeName + "'";
    const double cpSeconds = TimeCommand("cp -r " + quotedTree + " " + quotedTree + ".cp");
    TimeCommand("rm -rf " + quotedTree + ".cp");

    BenchPlatform platform{vexlo::ProgramFolder(program.toStdString())};
    QFile ini(program + QStringLiteral("/vexlopro.ini"));
    if (!ini.open(QIODevice::WriteOnly))
        return 1;
    ini.write("[Add_File_Procedure]\r\nBackupCount=0\r\n");
    ini.close();

    GapMeter gaps;
    vexlo::DoBackupWindow backup(platform, fileList, directoryList, [] { return 0; });
    backup.show();
    gaps.start();
    QElapsedTimer timer;
    timer.start();
    backup.findChild<QToolButton *>(QStringLiteral("SpeedButton1"))->click();
    const double backupSeconds = Seconds(timer);
    const qint64 backupGap = gaps.longest;

    vexlo::RecoveryWindow recovery(platform);
    recovery.show();
    recovery.findChild<QListWidget *>(QStringLiteral("ListBox1"))->setCurrentRow(0);
    gaps.start();
    timer.start();
    recovery.findChild<QToolButton *>(QStringLiteral("SpeedButton1"))->click();
    const double restoreSeconds = Seconds(timer);
    const qint64 restoreGap = gaps.longest;

    for (const QString &message : platform.messages)
        std::printf("message: %s\n", qPrintable(message.split(QLatin1Char('\r')).front()));
    std::printf("cp -r:   %.3f s\n", cpSeconds);
    std::printf("backup:  %.3f s (%.2f x cp), longest time without events %lld ms\n", backupSeconds,
                backupSeconds / cpSeconds, static_cast<long long>(backupGap));
    std::printf("restore: %.3f s (%.2f x cp), longest time without events %lld ms\n", restoreSeconds,
                restoreSeconds / cpSeconds, static_cast<long long>(restoreGap));
    return 0;
}
