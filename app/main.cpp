// Vexlo Pro: finds and replaces text in many files at once.
#include "app/MainWindow.h"
#include "app/Windows.h"
#include "base/ProgramFolder.h"
#include "widgets/Platform.h"
#include "widgets/Widgets.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexlo Pro"));
    vexlo::ApplyProgramLook();

    vexlo::DesktopPlatform platform{vexlo::ProgramFolder(vexlo::ExecutableDirectory())};
    vexlo::Windows windows(platform);
    // Closing the main window ends the program even while another window is open.
    QObject::connect(&windows.main(), &vexlo::MainWindow::closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    windows.main().showMaximized();
    return app.exec();
}
