// The two target lists, their panels and menus, and "Add Files".
#include "FakePlatform.h"

#include "app/TargetNotebook.h"
#include "base/Error.h"
#include "settings/SettingsFile.h"
#include "targets/AddFiles.h"
#include "targets/DirectoryListPanel.h"
#include "targets/FileListPanel.h"
#include "targets/TargetListModel.h"
#include "widgets/Guarded.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QKeySequence>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace vexlo;
using vexlo::test::FakePlatform;

namespace {

std::vector<std::pair<std::string, bool>> contents(const TargetListModel &model)
{
    std::vector<std::pair<std::string, bool>> out;
    for (const TargetEntry &entry : model.entries())
        out.emplace_back(entry.path, entry.checked);
    return out;
}

using Entries = std::vector<std::pair<std::string, bool>>;

// Drags `urls` onto a list's viewport as a file manager does, and drops them. Returns whether
// the list accepted the drag.
bool dropOn(QListView *view, const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = view->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &drop);
    return drop.isAccepted();
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TargetListsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakePlatform> m_platform;
    std::vector<std::exception_ptr> m_errors;

    QString iniPath() const { return m_dir->filePath(QStringLiteral("vexlopro.ini")); }
    void writeIni(const QByteArray &text)
    {
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

  private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_platform = std::make_unique<FakePlatform>(ProgramFolder(m_dir->path().toStdString()));
        m_errors.clear();
        SetErrorHandler([this](std::exception_ptr error) { m_errors.push_back(error); });
    }
    void cleanup() { SetErrorHandler({}); }

    void modelOperationsKeepOrderAndDuplicates()
    {
        TargetListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.append("/a");
        model.appendChecked("/b");
        model.append("/a");
        QCOMPARE(model.count(), 3);
        QCOMPARE(contents(model), (Entries{{"/a", false}, {"/b", true}, {"/a", false}}));
        QCOMPARE(model.data(model.index(1), Qt::DisplayRole).toString(), QStringLiteral("/b"));
        QCOMPARE(model.data(model.index(0), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));

        // The user's tick goes through setData.
        QVERIFY(model.setData(model.index(0), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(model.isChecked(0));
        QVERIFY(model.flags(model.index(0)) & Qt::ItemIsUserCheckable);

        model.appendMany({"/c", "/d"}, false);
        QCOMPARE(model.count(), 5);
        model.checkAll();
        for (int i = 0; i < model.count(); ++i)
            QVERIFY(model.isChecked(i));
        model.clear();
        QCOMPARE(model.count(), 0);
        model.clear(); // an empty list stays empty, nothing asked
        QCOMPARE(model.count(), 0);
    }

    void removeSelectedBringsTheRestBackChecked()
    {
        TargetListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.appendMany({"/a", "/b", "/c", "/b"}, false);
        model.setChecked(0, true);
        model.removeSelected(1);
        QCOMPARE(contents(model), (Entries{{"/a", true}, {"/c", true}, {"/b", true}}));

        model.setChecked(1, false);
        model.removeSelected(-1); // nothing selected: nothing goes, everything is checked
        QCOMPARE(contents(model), (Entries{{"/a", true}, {"/c", true}, {"/b", true}}));
    }

    void scanResultArrivesInBatches()
    {
        TargetListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        {
            ModelScanResult result(model);
            for (int i = 0; i < 1000; ++i)
                result.fileDone("/f" + std::to_string(i), Outcome::Found);
            QCOMPARE(model.count(), 0);
            result.flush();
            result.fileDone("/last", Outcome::Found);
        }
        QCOMPARE(model.count(), 1001);
        QCOMPARE(inserted.count(), 2);
        QCOMPARE(model.path(1000), std::string("/last"));
        QVERIFY(!model.isChecked(0));
    }

    void fileListShortcutsAndContextMenu()
    {
        FileListPanel panel(*m_platform);
        QAbstractItemModelTester tester(&panel.model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        panel.model().appendMany({"/a", "/b", "/c"}, false);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QApplication::setActiveWindow(&panel);
        QVERIFY(QTest::qWaitForWindowActive(&panel));

        auto *view = panel.findChild<QListView *>(QStringLiteral("CheckListBox1"));
        QVERIFY(view);
        QVERIFY(view->uniformItemSizes());

        QStringList captions;
        for (QAction *item : panel.contextMenu()->actions())
            captions << (item->isSeparator() ? QStringLiteral("-") : item->text());
        QCOMPARE(captions,
                 (QStringList{"Add Files", "Advanced Add Files", "Scan Directory", "Advanced Add Directory",
                              "-", "Remove selected file from File List          ", "Clear File List"}));
        QCOMPARE(panel.contextMenu()->objectName(), QStringLiteral("PopupMenu2"));

        // The menu gives the list the focus before it pops up, and forwards the adding commands.
        QSignalSpy add(&panel, &FileListPanel::addFilesRequested);
        QSignalSpy advanced(&panel, &FileListPanel::advancedAddRequested);
        QSignalSpy scan(&panel, &FileListPanel::scanDirectoryRequested);
        view->clearFocus();
        for (const char *choice :
             {"Add Files", "Advanced Add Files", "Advanced Add Directory", "Scan Directory"}) {
            m_platform->popupChoices.push_back(QString::fromLatin1(choice));
            emit view->customContextMenuRequested(QPoint(4, 4));
        }
        QVERIFY(view->hasFocus());
        QCOMPARE(add.count(), 1);
        QCOMPARE(advanced.count(), 2);
        QCOMPARE(scan.count(), 1);

        view->setCurrentIndex(panel.model().index(1));
        QTest::keyClick(view, Qt::Key_Delete);
        QCOMPARE(contents(panel.model()), (Entries{{"/a", true}, {"/c", true}}));

        QTest::keyClick(view, Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(panel.model().count(), 0);
    }

    void maskMenuAndEditMenuActOnEdit5()
    {
        DirectoryListPanel panel(*m_platform);
        QAbstractItemModelTester tester(&panel.model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        auto *edit = panel.findChild<QLineEdit *>(QStringLiteral("Edit5"));
        QVERIFY(edit);
        edit->setText(QStringLiteral("typed"));

        m_platform->popupChoices.push_back(QStringLiteral("*.jsp"));
        QTest::mouseClick(panel.findChild<QToolButton *>(QStringLiteral("SpeedButton51")), Qt::LeftButton);
        QCOMPARE(panel.maskText(), QStringLiteral("*.jsp"));
        QCOMPARE(panel.mask(), std::string("*.jsp"));

        auto *create = panel.findChild<QToolButton *>(QStringLiteral("SpeedButton52"));
        QVERIFY(create);
        QCOMPARE(create->toolTip(), QStringLiteral("Create file list..."));
        QTest::mouseClick(create, Qt::LeftButton); // carries no action
        QCOMPARE(panel.maskText(), QStringLiteral("*.jsp"));

        auto *menu = edit->findChild<QMenu *>(QStringLiteral("PopupMenu16"));
        QVERIFY(menu);
        QStringList captions;
        for (QAction *item : menu->actions())
            captions << (item->isSeparator() ? QStringLiteral("-") : item->text());
        QCOMPARE(captions, (QStringList{"Undo", "-", "Cut", "Copy", "Paste", "Clear", "-", "Select All"}));
        // Clear is one undoable step.
        menu->actions().at(5)->trigger();
        QCOMPARE(edit->text(), QString());
        menu->actions().at(0)->trigger();
        QCOMPARE(edit->text(), QStringLiteral("*.jsp"));

        // Opening greys out what would do nothing; the keys stand beside the items.
        edit->setText(QStringLiteral("*.txt")); // a fresh text: nothing to undo
        edit->deselect();
        QApplication::clipboard()->clear();
        emit menu->aboutToShow();
        for (int item : {0, 2, 3, 4})
            QVERIFY2(!menu->actions().at(item)->isEnabled(), qPrintable(menu->actions().at(item)->text()));
        QCOMPARE(menu->actions().at(4)->shortcut(), QKeySequence(QKeySequence::Paste));
        QCOMPARE(menu->actions().at(7)->shortcut(), QKeySequence(QKeySequence::SelectAll));
        edit->selectAll();
        emit menu->aboutToShow();
        QVERIFY(menu->actions().at(2)->isEnabled() && menu->actions().at(3)->isEnabled());
    }

    void addFilesRemembersFolderAndFilter()
    {
        writeIni("[Add_File_Procedure]\r\nLast_Opened_Directory=\r\nExtension_Filter=5\r\n");
        TargetListModel list;
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        list.append("/x/one.txt");

        m_platform->dialogAnswers.push_back(OpenFileResult{{"/x/one.txt", "/x/two.txt"}, 2});
        guarded([&] { AddFileProcedure(nullptr, *m_platform, list); });
        QVERIFY(m_errors.empty());
        QCOMPARE(contents(list),
                 (Entries{{"/x/one.txt", false}, {"/x/one.txt", true}, {"/x/two.txt", true}}));
        QCOMPARE(m_platform->dialogRequests.size(), 1);
        const OpenFileRequest &first = m_platform->dialogRequests.at(0);
        QVERIFY(first.multiple);
        QCOMPARE(first.filterIndex, 5);
        QCOMPARE(first.directory, QString());
        QCOMPARE(first.filters.size(), 5);
        QCOMPARE(first.filters.at(1), QStringLiteral("Text files (*.txt; *.diz) (*.txt *.diz)"));

        m_platform->dialogAnswers.push_back(OpenFileResult{{"/y/three.htm"}, 1});
        guarded([&] { AddFileProcedure(nullptr, *m_platform, list); });
        const OpenFileRequest &second = m_platform->dialogRequests.at(1);
        QCOMPARE(second.directory, QStringLiteral("/x/"));
        QCOMPARE(second.filterIndex, 2);
        QCOMPARE(list.count(), 4);

        // Cancel: nothing added, nothing written.
        const QByteArray before = readAll(iniPath());
        guarded([&] { AddFileProcedure(nullptr, *m_platform, list); });
        QCOMPARE(m_platform->dialogRequests.at(2).directory, QStringLiteral("/y/"));
        QCOMPARE(list.count(), 4);
        QCOMPARE(readAll(iniPath()), before);
        QVERIFY(m_platform->messages.isEmpty());
        QCOMPARE(m_platform->terminations, 0);
    }

    void addFilesDialogShowsTheCaptionsAndReadsEveryPattern()
    {
        writeIni("[Add_File_Procedure]\r\nLast_Opened_Directory=\r\nExtension_Filter=2\r\n");
        TargetListModel list;
        guarded([&] { AddFileProcedure(nullptr, *m_platform, list); }); // cancelled
        QCOMPARE(m_platform->dialogRequests.size(), 1);
        const OpenFileRequest request = m_platform->dialogRequests.at(0);

        // The dialog itself, as the desktop shows it (its own widgets, offscreen).
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        ConfigureOpenFileDialog(dialog, request);
        auto *types = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        QVERIFY(types);
        const QStringList captions = {
            QStringLiteral("HTML files (*.html; *.htm; *.asp; *.css; *.jsp)"),
            QStringLiteral("Text files (*.txt; *.diz)"), QStringLiteral("Delphi files (*.pas; *.dpr)"),
            QStringLiteral("C++ files (*.cpp; *.c; *.h)"), QStringLiteral("All files (*.*)")};
        QCOMPARE(types->count(), captions.size());
        for (int i = 0; i < captions.size(); ++i)
            QCOMPARE(types->itemText(i), captions.at(i));
        QCOMPARE(types->currentIndex(), 1); // the remembered filter
        QCOMPARE(SelectedFilterIndex(dialog, request), 2);

        auto *files = dialog.findChild<QFileSystemModel *>();
        QVERIFY(files);
        const QList<QStringList> patterns = {
            {"*.html", "*.htm", "*.asp", "*.css", "*.jsp"},
            {"*.txt", "*.diz"},
            {"*.pas", "*.dpr"},
            {"*.cpp", "*.c", "*.h"},
            {"*"}, // "All files" lists names without a dot too
        };
        for (int i = 0; i < request.filters.size(); ++i) {
            dialog.selectNameFilter(request.filters.at(i));
            QCOMPARE(files->nameFilters(), patterns.at(i));
            QCOMPARE(SelectedFilterIndex(dialog, request), i + 1); // what "Extension_Filter" keeps
        }
    }

    void addFilesBadFilterIsAConversionError()
    {
        writeIni("[Add_File_Procedure]\r\nLast_Opened_Directory=/x/\r\n");
        TargetListModel list;
        m_platform->dialogAnswers.push_back(OpenFileResult{{"/x/one.txt"}, 1});
        guarded([&] { AddFileProcedure(nullptr, *m_platform, list); });

        QCOMPARE(m_errors.size(), std::size_t(1));
        try {
            std::rethrow_exception(m_errors.front());
        } catch (const Error &error) {
            QCOMPARE(error.kind(), ErrorKind::Conversion);
        } catch (...) {
            QFAIL("not a vexlo::Error");
        }
        QVERIFY(m_platform->dialogRequests.isEmpty());
        QCOMPARE(list.count(), 0);
        QCOMPARE(m_platform->terminations, 0);
    }

    void addFilesWithoutSettingsFileStopsTheProgram()
    {
        TargetListModel list;
        m_platform->dialogAnswers.push_back(OpenFileResult{{"/x/one.txt"}, 1});
        guarded([&] { AddFileProcedure(nullptr, *m_platform, list); });
        QVERIFY(m_platform->dialogRequests.isEmpty());
        QCOMPARE(
            m_platform->messages,
            QStringList{QStringLiteral("Critical mistake!, Error Code: [001]\r\nSetup Vexlo Pro again..")});
        QCOMPARE(m_platform->terminations, 1);
        QCOMPARE(list.count(), 0);
        QVERIFY(m_errors.empty());
    }

    // Pictures of the two panels for a look by eye: VEXLO_GRAB_DIR=<folder>.
    // A file manager's drag: files in the order given, each checked, after what is there; a
    // folder in between is scanned with the Directory List's mask at its place.
    void filesAndFoldersDroppedOnTheFileList()
    {
        QDir root(m_dir->path());
        QVERIFY(root.mkpath(QStringLiteral("tree/sub.txt")));
        for (const char *name : {"b.txt", "a.dat", "tree/x.txt", "tree/y.dat", "tree/sub.txt/z.txt"}) {
            QFile file(root.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        auto path = [&](const char *name) { return ToBytes(root.filePath(QString::fromLatin1(name))); };
        auto url = [&](const char *name) {
            return QUrl::fromLocalFile(root.filePath(QString::fromLatin1(name)));
        };

        TargetNotebook notebook(*m_platform);
        FileListPanel &files = *notebook.fileList();
        files.model().append("kept unchecked");
        notebook.directoryList()->maskEdit()->setText(QStringLiteral("*.txt"));

        QVERIFY(dropOn(files.view(), {url("b.txt"), url("tree"), url("a.dat")}));
        Entries expected{{"kept unchecked", false}, {path("b.txt"), true}};
        for (const std::string &found : ScanDir(path("tree"), "*.txt"))
            expected.emplace_back(found, true);
        expected.emplace_back(path("a.dat"), true);
        QCOMPARE(contents(files.model()), expected);
        // The scan is the one "Scan directory(s)" makes: the matching subfolder and its file
        // come in, the file not matching the mask does not.
        QCOMPARE(expected.size(), std::size_t(6));

        // An empty mask takes every name; the same folder twice is added twice.
        notebook.directoryList()->maskEdit()->clear();
        const int before = files.model().count();
        QVERIFY(dropOn(files.view(), {url("tree/sub.txt")}));
        QCOMPARE(files.model().count(), before + 1);
        QCOMPARE(files.model().path(before), path("tree/sub.txt/z.txt"));

        // Only the lists changed: nothing dropped reaches the Directory List.
        QCOMPARE(notebook.directoryList()->model().count(), 0);
        QVERIFY(m_errors.empty());
    }

    void foldersDroppedOnTheDirectoryListAndWhatNoListTakes()
    {
        QDir root(m_dir->path());
        QVERIFY(root.mkpath(QStringLiteral("one")));
        QVERIFY(root.mkpath(QStringLiteral("two")));
        {
            QFile file(root.filePath(QStringLiteral("file.txt")));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        auto url = [&](const char *name) {
            return QUrl::fromLocalFile(root.filePath(QString::fromLatin1(name)));
        };
        DirectoryListPanel dirs(*m_platform);
        dirs.model().append("kept");
        QVERIFY(dropOn(dirs.view(), {url("two"), url("file.txt"), url("one")}));
        QCOMPARE(contents(dirs.model()), (Entries{{"kept", false},
                                                  {ToBytes(root.filePath(QStringLiteral("two"))), true},
                                                  {ToBytes(root.filePath(QStringLiteral("one"))), true}}));

        // Web addresses and plain text are refused at the drag, on both lists.
        FileListPanel files(*m_platform);
        QVERIFY(!dropOn(files.view(), {QUrl(QStringLiteral("https://example.org/a.txt"))}));
        QVERIFY(!dropOn(dirs.view(), {}));
        QCOMPARE(files.model().count(), 0);
        QCOMPARE(dirs.model().count(), 3);
        QVERIFY(m_errors.empty());
    }

    void grabPanels()
    {
        const QString out = qEnvironmentVariable("VEXLO_GRAB_DIR");
        if (out.isEmpty())
            QSKIP("VEXLO_GRAB_DIR not set");
        FileListPanel files(*m_platform);
        files.model().appendMany({"/home/user/site/index.html", "/home/user/site/about.html"}, true);
        files.model().append("/home/user/site/old.html");
        files.resize(420, 200);
        files.show();
        QVERIFY(files.grab().save(out + QStringLiteral("/filelist.png")));
        DirectoryListPanel dirs(*m_platform);
        dirs.model().appendChecked("/home/user/site");
        dirs.maskEdit()->setText(QStringLiteral("*.html"));
        dirs.resize(420, 200);
        dirs.show();
        QVERIFY(dirs.grab().save(out + QStringLiteral("/directorylist.png")));
    }
};

QTEST_MAIN(TargetListsTest)
#include "tst_targetlists.moc"
