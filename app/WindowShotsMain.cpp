// Saves pictures of the gathering and backup windows with sample content, each with a strip
// below it that shows every button's picture beside its hint. Usage: vexlopro-window-shots
// <out-dir>; run with QT_QPA_PLATFORM=offscreen.
#include "app/MainWindow.h"
#include "app/Windows.h"
#include "backup/BackupWindows.h"
#include "targets/AdvancedAddWindows.h"
#include "targets/DirectoryPicker.h"
#include "targets/TargetListModel.h"
#include "widgets/Platform.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <QToolButton>

#include <cstdio>

namespace {

void Settle()
{
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
}

// The window, then one row per button it shows: its picture and its hint.
template <class Window> bool Save(Window &window, const QString &path)
{
    window.show();
    Settle();
    const QPixmap shot = window.grab();
    const QList<QToolButton *> &buttons = window.buttons();
    QList<QToolButton *> named;
    for (QToolButton *button : buttons) {
        if (button->objectName().startsWith(QStringLiteral("SpeedButton")) && button->isVisibleTo(&window))
            named << button;
    }
    constexpr int Row = 34;
    QPixmap out(shot.width(), shot.height() + 12 + Row * int(named.size()));
    out.fill(QColor(0xf4, 0xf4, 0xf4));
    QPainter painter(&out);
    painter.drawPixmap(0, 0, shot);
    int y = shot.height() + 8;
    for (QToolButton *button : named) {
        painter.drawPixmap(10, y + 1, button->icon().pixmap(28, 28));
        painter.drawText(QRect(48, y, out.width() - 56, Row), Qt::AlignVCenter,
                         button->objectName() + QStringLiteral(": \"") + button->toolTip() +
                             QStringLiteral("\""));
        y += Row;
    }
    window.hide();
    return out.save(path);
}

void Touch(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("sample\n");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexlo Pro"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <out-dir>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));

    // A scratch program folder and a small site to gather from.
    QTemporaryDir folder;
    QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/vexlopro.ini"),
                folder.filePath(QStringLiteral("vexlopro.ini")));
    const QString site = folder.filePath(QStringLiteral("site"));
    QDir().mkpath(site + QStringLiteral("/css"));
    QDir().mkpath(site + QStringLiteral("/news"));
    for (const char *name : {"index.html", "about.html", "contact.html", "css/main.css", "news/2024.html"})
        Touch(site + QLatin1Char('/') + QLatin1String(name));
    QFile index(folder.filePath(QStringLiteral("BackUp.vexloPro")));
    if (index.open(QIODevice::WriteOnly))
        index.write("BackUp1\r\nBefore the copyright change\r\nBackUp3\r\n");
    index.close();

    vexlo::DesktopPlatform platform{vexlo::ProgramFolder(vexlo::ToBytes(folder.path()))};
    vexlo::Windows windows(platform);
    for (const char *name : {"index.html", "about.html", "contact.html", "css/main.css", "news/2024.html"})
        windows.main().fileListModel().appendChecked(
            vexlo::ToBytes(site + QLatin1Char('/') + QLatin1String(name)));

    bool ok = true;
    vexlo::AdvancedAddWindow &gather = windows.advancedAdd();
    gather.show();
    gather.picker().setDirectory(site);
    gather.addDirectory();
    gather.picker().setDirectory(site + QStringLiteral("/news"));
    gather.addDirectory();
    gather.gathered().setChecked(1, false);
    gather.maskEdit()->setText(QStringLiteral("*.html"));
    ok &= Save(gather, out.filePath(QStringLiteral("advanced-add.png")));

    vexlo::AddDirectoryWindow &add = windows.addDirectory();
    add.show();
    add.picker().setDirectory(site);
    ok &= Save(add, out.filePath(QStringLiteral("add-directory.png")));

    ok &= Save(windows.doBackup(), out.filePath(QStringLiteral("do-backup.png")));
    ok &= Save(windows.recovery(), out.filePath(QStringLiteral("recovery.png")));
    vexlo::DeleteBackupWindow &remove = windows.deleteBackup();
    remove.show();
    remove.backupList()->setCurrentRow(1);
    ok &= Save(remove, out.filePath(QStringLiteral("delete-backup.png")));
    return ok ? 0 : 1;
}
