// The main window: runs started from it, the layout it remembers, its panels, menus and errors.
#include "FakePlatform.h"

#include "app/HelpWindow.h"
#include "app/InputNotebook.h"
#include "app/MainWindow.h"
#include "app/OptionsColumn.h"
#include "app/RunController.h"
#include "app/TargetNotebook.h"
#include "app/Windows.h"
#include "base/Error.h"
#include "settings/SettingsFile.h"
#include "targets/AdvancedAddWindows.h"
#include "targets/DirectoryPicker.h"
#include "targets/ScanDirectoryWindow.h"
#include "targets/TargetListModel.h"
#include "widgets/Guarded.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <memory>

using namespace vexlo;
using vexlo::test::FakePlatform;

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> m_program; // the program folder
    std::unique_ptr<QTemporaryDir> m_data;    // target files
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<Windows> m_windows;

    MainWindow &window() { return m_windows->main(); }
    template <class T> T *find(const char *name)
    {
        T *widget = window().findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qWarning("no widget %s", name);
        return widget;
    }
    QString iniPath() const { return m_program->filePath(QStringLiteral("vexlopro.ini")); }
    std::string ini(const char *section, const char *key)
    {
        return SettingsFile(ToBytes(iniPath())).read(section, key, "<missing>");
    }
    void setIni(const char *section, const char *key, const char *value)
    {
        SettingsFile settings(ToBytes(iniPath()));
        settings.write(section, key, value);
    }
    QString dataFile(const char *name, const QByteArray &bytes)
    {
        const QString path = m_data->filePath(QString::fromLatin1(name));
        WriteAll(path, bytes);
        return path;
    }
    void restart()
    {
        m_windows.reset();
        m_windows = std::make_unique<Windows>(*m_platform);
    }
    void clickRun() { find<QToolButton>("SpeedButton29")->click(); }

  private slots:
    void init()
    {
        m_program = std::make_unique<QTemporaryDir>();
        m_data = std::make_unique<QTemporaryDir>();
        QVERIFY(QFile::copy(QStringLiteral(VEXLO_SOURCE_DIR "/resources/vexlopro.ini"), iniPath()));
        QFile::setPermissions(iniPath(), QFile::ReadOwner | QFile::WriteOwner);
        m_platform = std::make_unique<FakePlatform>(ProgramFolder(ToBytes(m_program->path())));
        m_windows = std::make_unique<Windows>(*m_platform);
    }
    void cleanup()
    {
        m_windows.reset();
        m_platform.reset();
    }

    void oneLineRunRewritesCheckedFilesAndRecordsHistories_data()
    {
        QTest::addColumn<bool>("fromMenu");
        QTest::newRow("Let`s go button") << false;
        QTest::newRow("Replace > Start") << true;
    }
    void oneLineRunRewritesCheckedFilesAndRecordsHistories()
    {
        QFETCH(bool, fromMenu);
        const QString checked = dataFile("one.txt", "foo foo\nxfoo");
        const QString unchecked = dataFile("two.txt", "foo\n");
        window().fileListModel().appendChecked(ToBytes(checked));
        window().fileListModel().append(ToBytes(unchecked));
        find<QLineEdit>("Edit1")->setText(QStringLiteral("foo"));
        find<QLineEdit>("Edit2")->setText(QStringLiteral("bar"));

        if (fromMenu)
            window().menu().start->trigger();
        else
            clickRun();

        QCOMPARE(ReadAll(checked), QByteArray("bar foo\r\nxbar\r\n"));
        QCOMPARE(ReadAll(unchecked), QByteArray("foo\n"));
        QVERIFY(m_platform->messages.isEmpty());
        // The installed counters stand at 9, so slot 0 is next.
        QCOMPARE(ini("Add_File_Procedure", "WhatToFindHistory"), std::string("0"));
        QCOMPARE(ini("Add_File_Procedure", "ReplaceWithHistory"), std::string("0"));
        QCOMPARE(ReadAll(m_program->filePath("WhatToFind0.vexlopro")), QByteArray("foo\r\n"));
        QCOMPARE(ReadAll(m_program->filePath("ReplaceWith0.vexlopro")), QByteArray("bar\r\n"));
    }

    void checkBoxesReachTheEngine()
    {
        const QString path = dataFile("case.txt", "FOO foo\n");
        window().fileListModel().appendChecked(ToBytes(path));
        find<QLineEdit>("Edit1")->setText(QStringLiteral("foo"));
        find<QLineEdit>("Edit2")->setText(QStringLiteral("bar"));
        find<QCheckBox>("CheckBox1")->setChecked(true); // "Match Case"
        QVERIFY(window().runRequest().options.matchCase);
        clickRun();
        QCOMPARE(ReadAll(path), QByteArray("FOO bar\r\n"));
    }

    void multiLineRunReplacesTheBlock()
    {
        const QString path = dataFile("block.txt", "1 begin 2\nmid\n3 end 4\nrest\n");
        window().fileListModel().appendChecked(ToBytes(path));
        window().inputNotebook().setCurrentIndex(InputNotebook::MultiLinePage);
        find<QPlainTextEdit>("Memo1")->setPlainText(QStringLiteral("begin\nmid\nend"));
        find<QPlainTextEdit>("Memo2")->setPlainText(QStringLiteral("X"));
        clickRun();
        QCOMPARE(ReadAll(path), QByteArray("1 X 4\r\nrest\r\n"));
        QCOMPARE(ReadAll(m_program->filePath("WhatToFindMultiLine0.vexlopro")),
                 QByteArray("begin\r\nmid\r\nend\r\n"));
    }

    void multiLineRunWithoutFindLinesAsksWhatToFind()
    {
        const QString path = dataFile("keep.txt", "a\nb");
        window().fileListModel().appendChecked(ToBytes(path));
        window().inputNotebook().setCurrentIndex(InputNotebook::MultiLinePage);
        find<QPlainTextEdit>("Memo2")->setPlainText(QStringLiteral("X"));
        clickRun();
        QCOMPARE(m_platform->messages, QStringList{QStringLiteral("What to find?")});
        QCOMPARE(ReadAll(path), QByteArray("a\nb"));
    }

    void directoryRunScansCheckedDirectoriesWithTheMask()
    {
        const QString x = dataFile("x.txt", "foo\n");
        const QString y = dataFile("y.txt", "a foo\n");
        const QString other = dataFile("z.dat", "foo\n");
        window().directoryListModel().appendChecked(ToBytes(m_data->path()));
        find<QLineEdit>("Edit5")->setText(QStringLiteral("*.txt"));
        window().targetNotebook().setCurrentIndex(1);
        find<QLineEdit>("Edit1")->setText(QStringLiteral("foo"));
        find<QLineEdit>("Edit2")->setText(QStringLiteral("bar"));
        clickRun();

        QCOMPARE(ReadAll(x), QByteArray("bar\r\n"));
        QCOMPARE(ReadAll(y), QByteArray("a bar\r\n"));
        QCOMPARE(ReadAll(other), QByteArray("foo\n"));
        const QList<QByteArray> listed = ReadAll(m_program->filePath("a.txt")).split('\n');
        QCOMPARE(listed.size(), 3); // two lines and the empty rest after the last CR LF
        QVERIFY(listed.contains(QFile::encodeName(x) + '\r'));
        QVERIFY(listed.contains(QFile::encodeName(y) + '\r'));
        QVERIFY(m_platform->messages.isEmpty());
    }

    void directoryRunWithoutMaskAsksForOne()
    {
        const QString x = dataFile("x.txt", "foo\n");
        window().directoryListModel().appendChecked(ToBytes(m_data->path()));
        window().targetNotebook().setCurrentIndex(1);
        find<QLineEdit>("Edit1")->setText(QStringLiteral("foo"));
        clickRun();
        QCOMPARE(m_platform->messages,
                 QStringList{QStringLiteral("Please select mask! and after try again.")});
        QCOMPARE(ReadAll(x), QByteArray("foo\n"));
        QVERIFY(!QFile::exists(m_program->filePath("a.txt")));
    }

    void stopDuringTheDirectoryPassSkipsEveryFile()
    {
        const QString x = dataFile("x.txt", "foo\n");
        window().directoryListModel().appendChecked(ToBytes(m_data->path()));
        find<QLineEdit>("Edit5")->setText(QStringLiteral("*.txt"));
        window().targetNotebook().setCurrentIndex(1);
        find<QLineEdit>("Edit1")->setText(QStringLiteral("foo"));

        // Both reach the window only when the scan lets pending events in: "Stop", then a
        // second start, which must be ignored while the first run is in progress.
        QMetaObject::invokeMethod(
            &window(), [this] { window().menu().stop->trigger(); }, Qt::QueuedConnection);
        QMetaObject::invokeMethod(
            &window(), [this] { clickRun(); }, Qt::QueuedConnection);
        QSignalSpy finished(&window().runController(), &RunController::finished);
        clickRun();

        QCOMPARE(finished.count(), 1);
        QCOMPARE(ReadAll(x), QByteArray("foo\n"));
        QVERIFY(ReadAll(m_program->filePath("a.txt")).contains(QFile::encodeName(x)));
        QCOMPARE(window().runController().flag().value(), std::string("0"));
        QCOMPARE(ini("Add_File_Procedure", "WhatToFindHistory"), std::string("0")); // recorded once
        QVERIFY(!window().runController().isRunning());

        clickRun(); // the next run starts afresh
        QCOMPARE(ReadAll(x), QByteArray("\r\n"));
    }

    void badHistoryCounterShowsMistakeAndTouchesNoFile()
    {
        setIni("Add_File_Procedure", "WhatToFindHistory", "x9");
        const QString path = dataFile("one.txt", "foo\n");
        window().fileListModel().appendChecked(ToBytes(path));
        find<QLineEdit>("Edit1")->setText(QStringLiteral("foo"));
        clickRun();
        QCOMPARE(m_platform->messages, QStringList{QStringLiteral("mistake!")});
        QCOMPARE(ReadAll(path), QByteArray("foo\n"));
        QVERIFY(!window().runController().isRunning());
    }

    void targetErrorEndsTheRunWithItsMessage()
    {
        const QString first = dataFile("first.txt", "foo\n");
        const QString missing = m_data->filePath(QStringLiteral("missing.txt"));
        const QString last = dataFile("last.txt", "foo\n");
        for (const QString &path : {first, missing, last})
            window().fileListModel().appendChecked(ToBytes(path));
        find<QLineEdit>("Edit1")->setText(QStringLiteral("foo"));
        find<QLineEdit>("Edit2")->setText(QStringLiteral("bar"));
        clickRun();
        QCOMPARE(ReadAll(first), QByteArray("bar\r\n"));
        QCOMPARE(ReadAll(last), QByteArray("foo\n"));
        QCOMPARE(m_platform->messages.size(), 1);
        const QString message = m_platform->messages.first();
        QVERIFY(message.contains(missing));
        QVERIFY(message.contains(QStringLiteral("The run stopped at this file.")));
        QVERIFY(message.contains(QStringLiteral("The 1 file before it was rewritten")));
        QVERIFY(message.contains(QStringLiteral("the later ones were left as they were")));
        QVERIFY(window().statusBar()->currentMessage().isEmpty());
    }

    // The folder trees of the gathering windows are handed to the run: none watches its
    // folders while the run lasts, and each watches again after it, also after a run that
    // ended with an error or with a bad history counter.
    void folderTreesStopWatchingDuringEveryRun_data()
    {
        QTest::addColumn<bool>("badCounter");
        QTest::newRow("a file that cannot be read") << false;
        QTest::newRow("a bad history counter") << true;
    }
    void folderTreesStopWatchingDuringEveryRun()
    {
        QFETCH(bool, badCounter);
        const std::vector<QFileSystemModel *> trees{&m_windows->scanDirectory().picker().model(),
                                                    &m_windows->advancedAdd().picker().model(),
                                                    &m_windows->addDirectory().picker().model()};
        QCOMPARE(window().runController().folderWatchers().models(), trees);
        auto watching = [&trees] {
            int count = 0;
            for (QFileSystemModel *tree : trees)
                count += !tree->testOption(QFileSystemModel::DontWatchForChanges);
            return count;
        };
        QCOMPARE(watching(), 3);

        if (badCounter)
            setIni("Add_File_Procedure", "WhatToFindHistory", "x9");
        window().fileListModel().appendChecked(ToBytes(m_data->filePath(QStringLiteral("missing.txt"))));
        find<QLineEdit>("Edit1")->setText(QStringLiteral("foo"));
        int watchingDuringRun = -1;
        connect(&window().runController(), &RunController::started, this,
                [&] { watchingDuringRun = watching(); });
        clickRun();

        QCOMPARE(watchingDuringRun, 0);
        QCOMPARE(watching(), 3);
        QCOMPARE(m_platform->messages.size(), 1); // the error was shown
        QVERIFY(!window().runController().isRunning());
        QVERIFY(!QApplication::overrideCursor());
    }

    void stoppedRunMessageCountsTheFilesBeforeTheFailure()
    {
        QVERIFY(StoppedRunMessage(QStringLiteral("cannot write 'x': denied"), 0)
                    .startsWith(
                        QStringLiteral("cannot write 'x': denied\n\nThe run stopped at this file. No file")));
        QVERIFY(StoppedRunMessage(QStringLiteral("e"), 1234)
                    .contains(QStringLiteral("The 1,234 files before it were")));
    }

    // 2,000 files through the window with a clock that advances 10 ms at every reading:
    // pending events are let in every few files, and "Stop" chosen among them ends the run
    // after the file being committed.
    void longRunKeepsTheWindowAliveAndStopsWhereAsked()
    {
        constexpr int Count = 2000;
        QStringList paths;
        std::vector<std::string> entries;
        for (int i = 0; i < Count; ++i) {
            paths << dataFile(qPrintable(QStringLiteral("file%1.txt").arg(i, 4, 10, QLatin1Char('0'))),
                              "foo\n");
            entries.push_back(ToBytes(paths.last()));
        }
        window().fileListModel().appendMany(std::move(entries), true);
        find<QLineEdit>("Edit1")->setText(QStringLiteral("foo"));
        find<QLineEdit>("Edit2")->setText(QStringLiteral("bar"));
        m_platform->tickStep = 10;

        int passes = 0;
        QStringList statusTexts;
        bool lockedDuringRun = true, busyCursor = true, watching = false;
        // The Scan directory(s) window's folder tree, which must not watch folders meanwhile.
        auto *tree = window().findChild<QFileSystemModel *>();
        QVERIFY(tree && !tree->testOption(QFileSystemModel::DontWatchForChanges));
        QSignalSpy finished(&window().runController(), &RunController::finished);
        std::function<void()> probe = [&] {
            ++passes;
            statusTexts << window().statusBar()->currentMessage();
            lockedDuringRun = lockedDuringRun && !find<QWidget>("TabbedNotebook1")->isEnabled() &&
                              !find<QWidget>("TabbedNotebook2")->isEnabled() &&
                              !find<QToolButton>("SpeedButton29")->isEnabled() &&
                              !window().menu().start->isEnabled() && window().menu().stop->isEnabled();
            watching = watching || tree->testOption(QFileSystemModel::DontWatchForChanges) == false;
            busyCursor = busyCursor && QApplication::overrideCursor() &&
                         QApplication::overrideCursor()->shape() == Qt::BusyCursor;
            if (passes == 2)
                window().runController().start(window().runRequest()); // ignored: one is running
            if (passes < 20)
                QMetaObject::invokeMethod(&window(), probe, Qt::QueuedConnection);
            else
                window().menu().stop->trigger();
        };
        QMetaObject::invokeMethod(&window(), probe, Qt::QueuedConnection);
        clickRun();

        QCOMPARE(passes, 20);
        QCOMPARE(finished.count(), 1);
        QVERIFY(lockedDuringRun);
        QVERIFY(busyCursor);
        QVERIFY(!watching);
        QVERIFY(!tree->testOption(QFileSystemModel::DontWatchForChanges));
        const QRegularExpression progress(
            QStringLiteral("^\\d{1,3}(,\\d{3})* of 2,000 files \u2014 .*file\\d{4}\\.txt$"));
        QVERIFY2(progress.match(statusTexts.last()).hasMatch(), qPrintable(statusTexts.last()));

        // Earlier files rewritten, later ones untouched, with one boundary between them.
        const std::size_t rewritten = window().runController().lastResult().filesRewritten;
        QVERIFY(rewritten > 0 && rewritten < std::size_t(Count));
        for (int i = 0; i < Count; ++i)
            QCOMPARE(ReadAll(paths[i]),
                     std::size_t(i) < rewritten ? QByteArray("bar\r\n") : QByteArray("foo\n"));

        QVERIFY(window().statusBar()->currentMessage().isEmpty());
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(find<QWidget>("TabbedNotebook2")->isEnabled() && window().menu().start->isEnabled());
        QVERIFY(m_platform->messages.isEmpty()); // a stopped run says nothing
        QCOMPARE(ini("Add_File_Procedure", "WhatToFindHistory"), std::string("0")); // one run only
    }

    void closingDuringARunStopsItThenCloses()
    {
        std::vector<std::string> entries;
        for (int i = 0; i < 200; ++i)
            entries.push_back(ToBytes(dataFile(qPrintable(QStringLiteral("f%1.txt").arg(i)), "foo\n")));
        const QString last = FromBytes(entries.back());
        window().fileListModel().appendMany(std::move(entries), true);
        find<QLineEdit>("Edit1")->setText(QStringLiteral("foo"));
        window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        QSignalSpy closed(&window(), &MainWindow::closed);
        QMetaObject::invokeMethod(
            &window(), [this] { window().close(); }, Qt::QueuedConnection);
        clickRun();

        QCOMPARE(closed.count(), 0); // not while the run was using the window
        QCOMPARE(ReadAll(last), QByteArray("foo\n"));
        QTRY_COMPARE(closed.count(), 1);
        QVERIFY(!window().isVisible());
    }

    void errorHandlerReportsConversionsAndSettingsWritesOnly()
    {
        guarded([] { throw Error(ErrorKind::Io, "f", "cannot read 'f': no such file"); });
        guarded([] { throw std::runtime_error("anything"); });
        QVERIFY(m_platform->messages.isEmpty());
        guarded([] { ToInt("abc"); });
        guarded([] {
            throw Error(ErrorKind::SettingsWrite, "/x/vexlopro.ini", "Unable to write to /x/vexlopro.ini");
        });
        QCOMPARE(m_platform->messages, (QStringList{QStringLiteral("mistake!"),
                                                    QStringLiteral("Unable to write to /x/vexlopro.ini")}));
    }

    void layoutSurvivesARestart()
    {
        find<QToolButton>("SpeedButton55")->click();
        window().inputNotebook().setCurrentIndex(2);
        window().targetNotebook().setCurrentIndex(2);
        QSignalSpy closed(&window(), &MainWindow::closed);
        find<QToolButton>("SpeedButton30")->click(); // "Quit Vexlo Pro"
        QCOMPARE(closed.count(), 1);
        QCOMPARE(ini("Wich_Option_Top", "aGB"), std::string("2"));
        QCOMPARE(ini("Wich_Option_Top", "aTabbedNotebook1PageIndex"), std::string("2"));
        QCOMPARE(ini("Wich_Option_Top", "aTabbedNotebook2PageIndex"), std::string("2"));

        restart();
        QCOMPARE(window().options().optionPanel(), OptionPanel::WordEngine);
        QVERIFY(find<QGroupBox>("aGB2")->isEnabled());
        QCOMPARE(window().inputNotebook().currentIndex(), 2);
        QCOMPARE(window().targetNotebook().currentIndex(), 2);
    }

    void storedLayoutValuesAreReadStrictly_data()
    {
        QTest::addColumn<QByteArray>("panel");
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<int>("expectedPanel");
        QTest::addColumn<int>("expectedPage");
        QTest::newRow("engine panel as 4") << QByteArray("4") << QByteArray("1") << 4 << 1;
        QTest::newRow("3 also means the engine panel") << QByteArray("3") << QByteArray("2") << 4 << 2;
        QTest::newRow("7 means the own engine") << QByteArray("7") << QByteArray("3") << 1 << 0;
        QTest::newRow("key default") << QByteArray("aGB") << QByteArray(" 1") << 1 << 0;
    }
    void storedLayoutValuesAreReadStrictly()
    {
        QFETCH(QByteArray, panel);
        QFETCH(QByteArray, page);
        QFETCH(int, expectedPanel);
        QFETCH(int, expectedPage);
        setIni("Wich_Option_Top", "aGB", panel.constData());
        setIni("Wich_Option_Top", "aTabbedNotebook1PageIndex", page.constData());
        setIni("Wich_Option_Top", "aTabbedNotebook2PageIndex", page.constData());
        restart();
        QCOMPARE(int(window().options().optionPanel()), expectedPanel);
        QCOMPARE(window().inputNotebook().currentIndex(), expectedPage);
        QCOMPARE(window().targetNotebook().currentIndex(), expectedPage);

        window().close(); // the engine panel is stored as "4", whatever was read
        QCOMPARE(ini("Wich_Option_Top", "aGB"), std::to_string(expectedPanel));
    }

    void missingSettingsFileStartsWithDefaultsAndIsCreatedAtClose()
    {
        QVERIFY(QFile::remove(iniPath()));
        restart();
        QCOMPARE(window().options().optionPanel(), OptionPanel::TextEngine);
        QCOMPARE(window().inputNotebook().currentIndex(), 0);
        window().close();
        QCOMPARE(ini("Wich_Option_Top", "aGB"), std::string("1"));
        QCOMPARE(ini("Wich_Option_Top", "aTabbedNotebook2PageIndex"), std::string("0"));
    }

    void failedLayoutWriteIsShownAndTheWindowStillCloses()
    {
        // A program folder that has gone away: nothing can be written into it.
        const QString gone = m_program->filePath(QStringLiteral("gone"));
        m_windows.reset();
        m_platform = std::make_unique<FakePlatform>(ProgramFolder(ToBytes(gone)));
        m_windows = std::make_unique<Windows>(*m_platform);
        QSignalSpy closed(&window(), &MainWindow::closed);
        window().close();
        QCOMPARE(closed.count(), 1);
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(m_platform->messages.first(),
                 QStringLiteral("Unable to write to ") + gone + "/vexlopro.ini");
    }

    void exactlyOneOptionPanelIsShown()
    {
        const std::pair<const char *, const char *> selectors[] = {
            {"SpeedButton53", "aGB4"}, {"SpeedButton54", "aGB1"}, {"SpeedButton55", "aGB2"}};
        window().show();
        for (const auto &[selector, panel] : selectors) {
            find<QToolButton>(selector)->click();
            for (const char *name : {"aGB1", "aGB2", "aGB4"}) {
                auto *box = find<QGroupBox>(name);
                const bool shown = qstrcmp(name, panel) == 0;
                QCOMPARE(box->isVisible(), shown);
                QCOMPARE(box->isEnabled(), shown);
            }
        }
        // The engine choice starts on the own engine and is read by the run.
        QCOMPARE(window().runRequest().engine, EngineKind::Text);
        find<QRadioButton>("RadioGroup2_Item1")->setChecked(true);
        QCOMPARE(window().runRequest().engine, EngineKind::Office);
    }

    void helpOpensTheHelpFileOfTheProgramFolder()
    {
        find<QToolButton>("SpeedButton31")->click();
        window().menu().helpContents->trigger();
        const QString help = m_program->filePath(QStringLiteral("help.txt"));
        QCOMPARE(m_platform->opened, (QStringList{help, help}));
    }

    void helpWithoutADesktopViewerOpensInAWindowOfOurOwn()
    {
        m_platform->shellOpenSucceeds = false;
        const QString help = m_program->filePath(QStringLiteral("help.txt"));
        WriteAll(help, "Vexlo Pro help\nsecond line\n");
        find<QToolButton>("SpeedButton31")->click();
        QCOMPARE(m_platform->opened, QStringList{help}); // the desktop was asked first
        HelpWindow *shown = window().helpWindow();
        QVERIFY(shown && shown->isVisible());
        QVERIFY(shown->text()->isReadOnly());
        QCOMPARE(shown->text()->toPlainText(), QStringLiteral("Vexlo Pro help\nsecond line\n"));

        // Shown again from the menu: the same window, with the file as it is now.
        shown->close();
        WriteAll(help, "changed\n");
        window().menu().helpContents->trigger();
        QCOMPARE(window().helpWindow(), shown);
        QVERIFY(shown->isVisible());
        QCOMPARE(shown->text()->toPlainText(), QStringLiteral("changed\n"));

        // A missing file says why in the window instead of showing nothing.
        QFile::remove(help);
        window().menu().helpContents->trigger();
        QVERIFY(shown->text()->toPlainText().startsWith(QStringLiteral("cannot read '") + help));
        QVERIFY(m_platform->messages.isEmpty());
    }

    void menuBarHasItsVisibleAndHiddenItems()
    {
        QStringList visibleMenus;
        for (QAction *top : window().menuBar()->actions())
            if (top->isVisible())
                visibleMenus << top->text();
        QCOMPARE(visibleMenus, (QStringList{"File List", "BackUp", "Replace", "Help"}));
        QVERIFY(!window().menu().clearFileList->isVisible());
        QVERIFY(window().menu().start->isVisible() && window().menu().stop->isVisible());

        window().fileListModel().appendChecked("a");
        window().menu().clearFileList->trigger();
        QCOMPARE(window().fileListModel().count(), 0);
    }

    void fileListItemsCarryTheirNames()
    {
        const QList<QPair<const char *, const char *>> items = {
            {"Addfiles1", "Add Files"},           {"AdvancedAddFiles3", "Advanced Add Files"},
            {"Scandirectory1", "Scan Directory"}, {"AdvancedAddFiles1", "Advanced Add Directory"},
            {"AddFiles3", "Add Files"},           {"AdvancedAddFiles4", "Advanced Add Files"},
            {"ScanDirectory3", "Scan Directory"}, {"AdvancedAddDirectory1", "Advanced Add Directory"},
        };
        for (const auto &[name, caption] : items) {
            const QList<QAction *> found = window().findChildren<QAction *>(QString::fromLatin1(name));
            QCOMPARE(found.size(), 1);
            QCOMPARE(found.front()->text(), QString::fromLatin1(caption));
        }
        QCOMPARE(window().menu().addFiles->objectName(), QStringLiteral("Addfiles1"));
        QCOMPARE(window().menu().advancedAddFiles->objectName(), QStringLiteral("AdvancedAddFiles3"));
        QCOMPARE(window().menu().advancedAddDirectory->objectName(), QStringLiteral("AdvancedAddFiles1"));
        QCOMPARE(window().menu().scanDirectory->objectName(), QStringLiteral("Scandirectory1"));

        window().findChild<QAction *>(QStringLiteral("Addfiles1"))->trigger(); // the dialog, cancelled
        QCOMPARE(m_platform->dialogRequests.size(), 1);
    }

    void everyButtonHasAPictureAndAHint()
    {
        const QList<QToolButton *> buttons = window().findChildren<QToolButton *>();
        int named = 0;
        for (QToolButton *button : buttons) {
            if (!button->objectName().startsWith(QStringLiteral("SpeedButton")))
                continue;
            ++named;
            QVERIFY2(!button->icon().pixmap(16, 16).isNull(), qPrintable(button->objectName()));
            // The copy button of the fourth note is the one button without a hint.
            if (button->window()->objectName() == QLatin1String("TForm12") &&
                button->objectName() == QLatin1String("SpeedButton9"))
                continue;
            QVERIFY2(!button->toolTip().isEmpty(), qPrintable(button->objectName()));
        }
        QVERIFY(named >= 50);
        for (const char *name : {"SpeedButton25", "SpeedButton26", "SpeedButton27", "SpeedButton28",
                                 "SpeedButton40", "SpeedButton39", "SpeedButton46", "SpeedButton47",
                                 "SpeedButton48", "SpeedButton49", "SpeedButton37", "SpeedButton50"})
            QVERIFY2(find<QToolButton>(name), name);
        QCOMPARE(find<QToolButton>("SpeedButton6")->toolTip(),
                 QStringLiteral("History - \"What to find\" strings..."));
    }

    void fieldsFollowTheWidthsOfTheirBoxes()
    {
        window().resize(1000, 700);
        window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        auto *notebook = find<QTabWidget>("TabbedNotebook1");
        // Make the input notebook 577 pixels wide.
        window().resize(window().width() + 577 - notebook->width(), 700);
        QTest::qWait(0);
        QCOMPARE(notebook->width(), 577);
        notebook->setCurrentIndex(InputNotebook::RealTimePage);
        QTest::qWait(0);

        auto *findBox = find<QGroupBox>("GroupBox9");
        auto *replaceBox = find<QGroupBox>("GroupBox10");
        QCOMPARE(findBox->width(), 280);
        QCOMPARE(replaceBox->width(), 280);
        QCOMPARE(replaceBox->x(), findBox->x() + 287);
        QCOMPARE(find<QWidget>("Panel7")->width(), 567);
        QCOMPARE(find<QPlainTextEdit>("Memo4")->width(), 280 - 16);
        QCOMPARE(find<QLineEdit>("Edit4")->width(), 280 - 45);
        auto *edit3 = find<QLineEdit>("Edit3");
        QCOMPARE(find<QToolButton>("SpeedButton48")->x(), edit3->x() + edit3->width() + 4);

        notebook->setCurrentIndex(InputNotebook::MultiLinePage);
        window().resize(820, 620);
        QTest::qWait(0);
        QCOMPARE(notebook->currentIndex(), int(InputNotebook::MultiLinePage));
        const int multiLineBox = find<QGroupBox>("GroupBox3")->width();
        for (const char *name : {"Memo1", "Memo2"})
            QCOMPARE(find<QWidget>(name)->width(), multiLineBox - 14);
        notebook->setCurrentIndex(InputNotebook::OneLinePage);
        QTest::qWait(0);
        const int oneLineBox = find<QGroupBox>("GroupBox1")->width();
        QCOMPARE(oneLineBox, multiLineBox);
        for (const char *name : {"Edit1", "Edit2"})
            QCOMPARE(find<QWidget>(name)->width(), oneLineBox - 14);
    }

    void staysUsableAt800x600()
    {
        window().resize(800, 600);
        window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        QVERIFY(window().width() <= 800 && window().height() <= 600);
        auto *list = find<QWidget>("CheckListBox1");
        QVERIFY(list->height() >= 100);
        QVERIFY(find<QWidget>("Edit1")->width() >= 300);
        const QRect quit = find<QToolButton>("SpeedButton30")->geometry();
        QVERIFY(quit.right() < window().width());
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
