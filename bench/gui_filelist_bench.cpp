// Fills a file list shown in a QListView with 100,000 paths, then scrolls it from top to bottom.
// Run with QT_QPA_PLATFORM=offscreen for a figure without a desktop.
#include "targets/TargetListModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QScrollBar>

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
        paths.push_back("/home/user/projects/site/pages/section" + std::to_string(i / 100) + "/page"
                        + std::to_string(i) + ".html");

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
            result.append("/home/user/projects/site/page" + std::to_string(i) + ".html");
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

    std::printf("add %d paths in one batch: %lld ms\n", Count, static_cast<long long>(addMs));
    std::printf("add %d paths in batches of 500 with event processing: %lld ms\n", Count,
                static_cast<long long>(batchedMs));
    std::printf("scroll through %d pages with repaint: %lld ms (%.2f ms a page)\n", pages,
                static_cast<long long>(scrollMs), pages ? double(scrollMs) / pages : 0.0);
    std::printf("check all + remove selected on %d entries: %lld ms\n", model.count() + 1,
                static_cast<long long>(removeMs));
    return 0;
}
