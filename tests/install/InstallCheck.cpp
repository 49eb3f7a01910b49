// A run through the main window with the program folder an installed executable gets: the
// folder is chosen from the installed bin folder given as the first argument, exactly as the
// program's start chooses it from its own, then the file given second is rewritten by a
// one-line run ("foo" -> "bar") and the main window is closed. Exit status 0 when the run
// rewrote the file and showed no message.
#include "FakePlatform.h"

#include "app/MainWindow.h"
#include "app/Windows.h"
#include "base/Error.h"
#include "base/ProgramFolder.h"
#include "targets/TargetListModel.h"

#include <QApplication>
#include <QLineEdit>
#include <QToolButton>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: vexlopro-install-check INSTALLED_BIN_DIR FILE\n");
        return 2;
    }
    try {
        const vexlo::ProgramFolder folder =
            vexlo::LocateProgramFolder(argv[1], std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
        std::printf("%s\n", folder.dir().c_str());
        vexlo::test::FakePlatform platform(folder);
        vexlo::Windows windows(platform);
        vexlo::MainWindow &main = windows.main();
        main.show();
        main.fileListModel().appendChecked(argv[2]);
        main.findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QStringLiteral("foo"));
        main.findChild<QLineEdit *>(QStringLiteral("Edit2"))->setText(QStringLiteral("bar"));
        main.findChild<QToolButton *>(QStringLiteral("SpeedButton29"))->click();
        main.close();
        for (const QString &message : platform.messages)
            std::fprintf(stderr, "message: %s\n", qPrintable(message));
        return platform.messages.isEmpty() ? 0 : 1;
    } catch (const vexlo::Error &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
