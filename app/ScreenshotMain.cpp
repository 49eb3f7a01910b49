// Saves a picture of the main window with sample content, for the documentation.
// Usage: vexlopro-screenshot <out.png> [width height [input-page target-page panel]];
// run with QT_QPA_PLATFORM=offscreen. The panel is the "aGB" code: 1, 2 or 4.
// With the width "scan" the picture is of the "Scan directory(s)" window instead.
#include "app/InputNotebook.h"
#include "app/MainWindow.h"
#include "app/OptionsColumn.h"
#include "app/TargetNotebook.h"
#include "app/Windows.h"
#include "targets/ScanDirectoryWindow.h"
#include "targets/TargetListModel.h"
#include "widgets/Platform.h"
#include "widgets/Widgets.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexlo Pro"));
    vexlo::ApplyProgramLook();
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <out.png> [width height [input-page target-page panel]]\n", argv[0]);
        return 2;
    }
    const bool scanWindow = argc >= 3 && QByteArray(argv[2]) == "scan";
    const int width = argc >= 4 && !scanWindow ? std::atoi(argv[2]) : 1280;
    const int height = argc >= 4 ? std::atoi(argv[3]) : 800;

    // A scratch program folder, so the picture never changes the real settings.
    QTemporaryDir folder;
    QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/vexlopro.ini"),
                folder.filePath(QStringLiteral("vexlopro.ini")));
    vexlo::DesktopPlatform platform{vexlo::ProgramFolder(vexlo::ToBytes(folder.path()))};
    vexlo::Windows windows(platform);
    vexlo::MainWindow &window = windows.main();

    window.inputNotebook().fields().oneLineFind->setText(QStringLiteral("Copyright 2023 Example Ltd."));
    window.inputNotebook().fields().oneLineReplace->setText(QStringLiteral("Copyright 2024 Example Ltd."));
    const char *const files[] = {"/home/ann/site/index.html", "/home/ann/site/about.html",
                                 "/home/ann/site/contact.html", "/home/ann/site/css/main.css",
                                 "/home/ann/site/news/2024.html"};
    for (const char *file : files)
        window.fileListModel().appendChecked(file);
    window.fileListModel().append("/home/ann/site/draft.html");

    if (argc >= 7) {
        window.inputNotebook().setCurrentIndex(std::atoi(argv[4]));
        window.targetNotebook().setCurrentIndex(std::atoi(argv[5]));
        window.options().showOptionPanel(static_cast<vexlo::OptionPanel>(std::atoi(argv[6])));
    }
    window.resize(width, height);
    window.show();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    QWidget *shown = &window;
    if (scanWindow) {
        shown = &windows.scanDirectory();
        shown->show();
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
    if (!shown->grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
