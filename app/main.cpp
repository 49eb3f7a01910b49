// Vexlo Pro: finds and replaces text in many files at once.
#include "app/MainWindow.h"
#include "app/Windows.h"
#include "base/Error.h"
#include "base/ProgramFolder.h"
#include "widgets/Platform.h"
#include "widgets/Widgets.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <optional>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexlo Pro"));
    // The desktop entry's name, so that the window gets its icon on Wayland too.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.vexlopro.VexloPro"));
    vexlo::ApplyProgramLook();

    std::optional<vexlo::ProgramFolder> folder;
    try {
        folder = vexlo::LocateProgramFolder(vexlo::ExecutableDirectory(), std::getenv("XDG_DATA_HOME"),
                                            std::getenv("HOME"));
    } catch (const vexlo::Error &e) {
        // No platform exists yet to show this through; nothing has been written.
        std::fprintf(stderr, "vexlopro: %s\n", e.what());
        QMessageBox::critical(nullptr, QStringLiteral("Vexlo Pro"), QString::fromLocal8Bit(e.what()));
        return 1;
    }
    vexlo::DesktopPlatform platform{*folder};
    vexlo::Windows windows(platform);
    // Closing the main window ends the program even while another window is open.
    QObject::connect(&windows.main(), &vexlo::MainWindow::closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    windows.main().showMaximized();
    return app.exec();
}
