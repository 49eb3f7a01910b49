// Fills a file list shown in a QListView with 100,000 paths, scrolls it from top to bottom, and
// scans a 100,000-file tree through the Scan directory(s) window. Run with QT_QPA_PLATFORM=offscreen.
#include "targets/ScanDirectoryWindow.h"
#include "targets/TargetListModel.h"
#include "widgets/Platform.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    constexpr int Count = 100000;

    vexlo::TargetListModel model;
    QListView view;
    view.setUniformItemSizes(true);
    view.setModel(&model);
    view.resize(600, 400);
    view.show();
    QApplication::processEvents();

    std::vector<std::string> paths;
    paths.reserve(Count);
    for (int i = 0; i < Count; ++i)
        paths.push_back("/home/user/projects/site/pages/section" + std::to_string(i / 100) + "/page" +
                        std::to_string(i) + ".html");

    QElapsedTimer clock;
    clock.start();
    model.appendMany(std::move(paths), true);
    QApplication::processEvents(); // layout and first paint
    const qint64 addMs = clock.elapsed();

    // The same through a scan's batches of a few hundred entries.
    vexlo::TargetListModel batched;
    QListView batchedView;
    batchedView.setUniformItemSizes(true);
    batchedView.setModel(&batched);
    batchedView.resize(600, 400);
    batchedView.show();
    clock.restart();
    {
        vexlo::ModelScanResult result(batched);
        for (int i = 0; i < Count; ++i) {
            result.fileDone("/home/user/projects/site/page" + std::to_string(i) + ".html",
                            vexlo::Outcome::Found);
            if (i % 500 == 499) {
                result.flush();
                QApplication::processEvents();
            }
        }
    }
    QApplication::processEvents();
    const qint64 batchedMs = clock.elapsed();

    clock.restart();
    QScrollBar *bar = view.verticalScrollBar();
    int pages = 0;
    for (int value = bar->minimum(); value <= bar->maximum(); value += bar->pageStep(), ++pages) {
        bar->setValue(value);
        view.viewport()->repaint();
    }
    const qint64 scrollMs = clock.elapsed();

    clock.restart();
    model.checkAll();
    model.removeSelected(Count / 2);
    QApplication::processEvents();
    const qint64 removeMs = clock.elapsed();

    // The Scan directory(s) window over 100 folders of 1,000 files each, "*.txt" with
    // subfolders: the whole tree goes through the work list, every file into the file list.
    QTemporaryDir tree;
    QTemporaryDir settings;
    for (int d = 0; d < 100; ++d) {
        const QString folder = tree.filePath(QStringLiteral("d%1").arg(d));
        QDir().mkdir(folder);
        for (int f = 0; f < 1000; ++f)
            QFile(folder + QStringLiteral("/f%1.txt").arg(f)).open(QIODevice::WriteOnly);
    }
    vexlo::DesktopPlatform platform{vexlo::ProgramFolder(settings.path().toStdString())};
    vexlo::TargetListModel fileList;
    QListView fileView;
    fileView.setUniformItemSizes(true);
    fileView.setModel(&fileList);
    fileView.show();
    vexlo::ScanDirectoryWindow window(platform, fileList);
    window.show();
    window.setDirectory(tree.path());
    window.findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QStringLiteral("*.txt"));
    window.findChild<QCheckBox *>(QStringLiteral("CheckBox1"))->setChecked(true);
    QApplication::processEvents();

    // A zero timer stands for the user: the longest pause between its turns is the longest
    // time the window would not answer.
    QElapsedTimer turn;
    qint64 longestPause = 0;
    int turns = 0;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (window.isScanning()) {
            longestPause = std::max(longestPause, turn.elapsed());
            ++turns;
        }
        turn.restart();
    });
    watcher.start(0);
    QTimer::singleShot(0, &window, [&] {
        turn.restart();
        window.scan();
    });
    clock.restart();
    while (window.isVisible())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 scanMs = clock.elapsed();
    watcher.stop();

    std::printf("add %d paths in one batch: %lld ms\n", Count, static_cast<long long>(addMs));
    std::printf("add %d paths in batches of 500 with event processing: %lld ms\n", Count,
                static_cast<long long>(batchedMs));
    std::printf("scroll through %d pages with repaint: %lld ms (%.2f ms a page)\n", pages,
                static_cast<long long>(scrollMs), pages ? double(scrollMs) / pages : 0.0);
    std::printf("check all + remove selected on %d entries: %lld ms\n", model.count() + 1,
                static_cast<long long>(removeMs));
    std::printf("scan window, 100 folders x 1000 files, \"*.txt\" with subfolders: %lld ms, %d entries, "
                "longest pause %lld ms over %d event turns\n",
                static_cast<long long>(scanMs), fileList.count(), static_cast<long long>(longestPause),
                turns);
    return 0;
}
