// Which control of the main window opens the gathering and backup windows, and the program's
// own error handler on a backup counter that is not a number.
#include "FakePlatform.h"

#include "app/MainWindow.h"
#include "app/TargetNotebook.h"
#include "app/Windows.h"
#include "settings/SettingsFile.h"
#include "targets/FileListPanel.h"
#include "targets/TargetListModel.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>

using namespace vexlo;
using vexlo::test::FakePlatform;

class OpenersTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> m_program;
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<Windows> m_windows;

    // Runs `open`, notes which modal window came up and closes it once its own event loop
    // runs (a showing may process events itself before that).
    QString opened(const std::function<void()> &open)
    {
        QString name;
        int ticks = 0;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, this, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            name = modal->objectName();
            if (++ticks < 3)
                return;
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
        });
        poll.start();
        open();
        return name;
    }
    QToolButton *button(const char *name) const
    {
        return m_windows->main().findChild<QToolButton *>(QString::fromLatin1(name));
    }

  private slots:
    void init()
    {
        m_program = std::make_unique<QTemporaryDir>();
        m_platform = std::make_unique<FakePlatform>(ProgramFolder(m_program->path().toStdString()));
        m_windows = std::make_unique<Windows>(*m_platform);
    }
    void cleanup() { m_windows.reset(); }

    void eachOpenerShowsItsWindow()
    {
        QCOMPARE(opened([this] { button("SpeedButton26")->click(); }), QStringLiteral("TForm4"));
        QCOMPARE(opened([this] { button("SpeedButton27")->click(); }), QStringLiteral("TForm13"));
        QCOMPARE(opened([this] { button("SpeedButton28")->click(); }), QStringLiteral("TForm14"));
        const MainMenu &menu = m_windows->main().menu();
        QCOMPARE(opened([&] { menu.deleteBackupFiles->trigger(); }), QStringLiteral("TForm15"));
        QCOMPARE(opened([&] { menu.advancedAddFiles->trigger(); }), QStringLiteral("TForm3"));
        QCOMPARE(opened([&] { menu.advancedAddDirectory->trigger(); }), QStringLiteral("TForm3"));
        // The "Options" menu is hidden in the bar, but its item still opens the window.
        QCOMPARE(opened([&] { menu.computerSpeed->trigger(); }), QStringLiteral("TForm16"));
        QMenu *popup = m_windows->main().targetNotebook().fileList()->contextMenu();
        for (QAction *item : popup->actions()) {
            if (item->text().startsWith(QStringLiteral("Advanced Add")))
                QCOMPARE(opened([item] { item->trigger(); }), QStringLiteral("TForm3"));
        }
    }

    void aCounterThatIsNoNumberShowsMistake()
    {
        SettingsFile(m_platform->programFolder().file(MainSettingsName))
            .write("Add_File_Procedure", "BackupCount", "many");
        opened([this] { button("SpeedButton27")->click(); });
        QCOMPARE(m_platform->messages, QStringList{QStringLiteral("mistake!")});
    }
};

QTEST_MAIN(OpenersTest)
#include "tst_gatherandbackupopeners.moc"
