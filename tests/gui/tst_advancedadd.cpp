// The "Advanced Add Directory or Files" and "Add directory" windows on a small tree.
#include "FakePlatform.h"

#include "settings/SettingsFile.h"
#include "targets/AdvancedAddWindows.h"
#include "targets/DirectoryPicker.h"
#include "targets/TargetListModel.h"
#include "widgets/Guarded.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>

using namespace vexlo;
using vexlo::test::FakePlatform;

using Paths = std::vector<std::string>;

class AdvancedAddTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> m_program;
    std::unique_ptr<QTemporaryDir> m_tree; // D: x.html, y.txt, a/ (a.html, b/ (c.html)), s.html/ (in.txt)
    std::unique_ptr<FakePlatform> m_platform;
    TargetListModel m_fileList;
    TargetListModel m_directoryList;
    int m_oneLineShown = 0;
    int m_directoryPageShown = 0;
    std::vector<std::exception_ptr> m_errors;

    std::string d(const char *relative = "") const
    {
        return (m_tree->path() + "/" + QString::fromLatin1(relative)).toStdString();
    }
    static void touch(const QString &path)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    std::unique_ptr<AdvancedAddWindow> advancedWindow()
    {
        return std::make_unique<AdvancedAddWindow>(
            *m_platform, m_fileList, m_directoryList,
            MainPages{[this] { ++m_oneLineShown; }, [this] { ++m_directoryPageShown; }});
    }
    template <class T> static T *child(QWidget &window, const char *name)
    {
        T *found = window.findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }
    static void press(QWidget &window, const char *name)
    {
        QTest::mouseClick(child<QToolButton>(window, name), Qt::LeftButton);
    }
    static Paths paths(const TargetListModel &model)
    {
        Paths out;
        for (const TargetEntry &entry : model.entries())
            out.push_back(entry.path);
        return out;
    }
    static std::vector<bool> checks(const TargetListModel &model)
    {
        std::vector<bool> out;
        for (const TargetEntry &entry : model.entries())
            out.push_back(entry.checked);
        return out;
    }
    SettingsFile scanSettings() const
    {
        return SettingsFile(m_platform->programFolder().file(ScanSettingsName));
    }
    // Gathers D, D/a/ and D/a/b/, then unchecks the one at `row`.
    void gatherThree(AdvancedAddWindow &window, int uncheckedRow)
    {
        QVERIFY(window.picker().setDirectory(m_tree->path()));
        window.addDirectory();
        QVERIFY(window.picker().setDirectory(m_tree->filePath(QStringLiteral("a"))));
        window.addDirectory();
        QVERIFY(window.picker().setDirectory(m_tree->filePath(QStringLiteral("a/b"))));
        window.addDirectory();
        window.gathered().setChecked(uncheckedRow, false);
    }

    static Paths sorted(Paths paths)
    {
        std::sort(paths.begin(), paths.end());
        return paths;
    }
    static QStringList fileBox(QWidget &window)
    {
        QStringList files;
        auto *box = child<QListWidget>(window, "FileListBox1");
        for (int i = 0; i < box->count(); ++i)
            files << box->item(i)->text();
        return files;
    }
    static void touchBytes(const std::string &path)
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
    }
    std::string scanFile() const { return m_platform->programFolder().file(ScanFileName).string(); }
    // Gathers `dir` with its subdirectories.
    void gatherTree(AdvancedAddWindow &window, const QString &dir)
    {
        QVERIFY(window.picker().setDirectory(dir));
        child<QCheckBox>(window, "CheckBox1")->setChecked(true);
        press(window, "SpeedButton1");
    }

  private slots:
    void init()
    {
        m_program = std::make_unique<QTemporaryDir>();
        m_tree = std::make_unique<QTemporaryDir>();
        QDir tree(m_tree->path());
        QVERIFY(tree.mkpath(QStringLiteral("a/b")) && tree.mkpath(QStringLiteral("s.html")));
        for (const char *name : {"x.html", "y.txt", "a/a.html", "a/b/c.html", "s.html/in.txt"})
            touch(tree.filePath(QString::fromLatin1(name)));
        m_platform = std::make_unique<FakePlatform>(ProgramFolder(m_program->path().toStdString()));
        m_fileList.clear();
        m_directoryList.clear();
        m_oneLineShown = m_directoryPageShown = 0;
        m_errors.clear();
        SetErrorHandler([this](std::exception_ptr error) { m_errors.push_back(error); });
    }
    void cleanup()
    {
        SetErrorHandler({});
        // Names Qt cannot spell (bytes that are not UTF-8) go by their bytes.
        std::error_code ignored;
        std::filesystem::remove_all(m_tree->path().toStdString(), ignored);
    }

    void addingADirectoryListsItCheckedWithItsSeparatorEachTime()
    {
        auto window = advancedWindow();
        QCOMPARE(window->objectName(), QStringLiteral("TForm3"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Advanced Add Directory or Files"));
        QVERIFY(window->picker().setDirectory(m_tree->path()));
        QCOMPARE(child<QLabel>(*window, "Label1")->text(), m_tree->path());
        QStringList files;
        auto *fileBox = child<QListWidget>(*window, "FileListBox1");
        for (int i = 0; i < fileBox->count(); ++i)
            files << fileBox->item(i)->text();
        QCOMPARE(files, (QStringList{"x.html", "y.txt"}));

        press(*window, "SpeedButton1");
        press(*window, "SpeedButton1");
        QCOMPARE(paths(window->gathered()), (Paths{d(), d()}));
        QCOMPARE(checks(window->gathered()), (std::vector<bool>{true, true}));

        QVERIFY(window->picker().setDirectory(QStringLiteral("/")));
        press(*window, "SpeedButton1");
        QCOMPARE(paths(window->gathered()).back(), std::string("/"));
        QVERIFY(
            !QFile::exists(QString::fromStdString(m_platform->programFolder().file(ScanFileName).string())));
    }

    void subdirectoriesAreGatheredDepthFirstFromTheSavedScan()
    {
        auto window = advancedWindow();
        QVERIFY(window->picker().setDirectory(m_tree->filePath(QStringLiteral("a"))));
        child<QCheckBox>(*window, "CheckBox1")->setChecked(true);
        press(*window, "SpeedButton1");
        QCOMPARE(paths(window->gathered()), (Paths{d("a/"), d("a/b/")}));
        QCOMPARE(checks(window->gathered()), (std::vector<bool>{true, true}));

        QFile scan(QString::fromStdString(m_platform->programFolder().file(ScanFileName).string()));
        QVERIFY(scan.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = scan.readAll().split('\n');
        QCOMPARE(lines.takeLast(), QByteArray()); // CR LF after the last line too
        std::sort(lines.begin(), lines.end());
        QCOMPARE(lines, (QList<QByteArray>{QByteArray::fromStdString(d("a/a.html") + "\r"),
                                           QByteArray::fromStdString(d("a/b/") + "\r"),
                                           QByteArray::fromStdString(d("a/b/c.html") + "\r")}));
    }

    void aScanFileThatCannotBeWrittenIsReportedAndTheFoldersStillGathered()
    {
        const Paths all{d(), d("a/"), d("a/b/"), d("s.html/")};
        // A folder in the file's place.
        QVERIFY(QDir().mkpath(QString::fromStdString(scanFile())));
        auto window = advancedWindow();
        gatherTree(*window, m_tree->path());
        QCOMPARE(sorted(paths(window->gathered())), all);
        QCOMPARE(m_platform->messages.size(), 1);
        QVERIFY(m_platform->messages[0].contains(QStringLiteral("\"Vexloy.XXX\"")));
        QVERIFY(QDir().rmdir(QString::fromStdString(scanFile())));

        // A read-only file from an earlier scan: kept as it was, and said so.
        {
            QFile old(QString::fromStdString(scanFile()));
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old\r\n");
        }
        QCOMPARE(::chmod(scanFile().c_str(), 0444), 0);
        window->gathered().clear();
        m_platform->messages.clear();
        press(*window, "SpeedButton1");
        QCOMPARE(sorted(paths(window->gathered())), all);
        QCOMPARE(m_platform->messages.size(), 1);
        QFile old(QString::fromStdString(scanFile()));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old\r\n"));
        QVERIFY(m_errors.empty());
    }

    // A line break, bytes that are not UTF-8 and a name of 255 bytes: each folder comes into
    // the gathered list whole, and nothing outside the chosen folder is reached.
    void oddFolderNamesAreGatheredWholeAndAbsolute()
    {
        const std::string root = d("odd/");
        const std::string longName(255, 'n');
        QVERIFY(QDir().mkpath(QString::fromStdString(root)));
        for (const std::string &name : {std::string("x\ny"), std::string("l\xff\xfe"), longName}) {
            QCOMPARE(::mkdir((root + name).c_str(), 0755), 0);
            touchBytes(root + name + "/in.txt");
        }
        // What a name split at its line break would have named, in the working folder.
        QTemporaryDir working;
        QVERIFY(QDir(working.path()).mkpath(QStringLiteral("y")));
        touch(working.filePath(QStringLiteral("y/unrelated.txt")));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(working.path()));

        auto window = advancedWindow();
        gatherTree(*window, QString::fromStdString(root).chopped(1));
        QDir::setCurrent(before);
        const Paths expected{root, root + "l\xff\xfe/", root + longName + "/", root + "x\ny/"};
        QCOMPARE(sorted(paths(window->gathered())), expected);

        press(*window, "SpeedButton3");
        const Paths files = paths(m_fileList);
        for (const std::string &inside :
             {root + "l\xff\xfe/in.txt", root + longName + "/in.txt", root + "x\ny/in.txt"})
            QVERIFY(std::find(files.begin(), files.end(), inside) != files.end());
        QVERIFY(std::all_of(files.begin(), files.end(),
                            [&](const std::string &path) { return path.rfind(root, 0) == 0; }));
        press(*window, "SpeedButton6");
        QCOMPARE(sorted(paths(m_directoryList)), expected);
        QVERIFY(m_platform->messages.isEmpty());
    }

    // A folder whose name is not UTF-8 or is 255 bytes long is restored from the settings,
    // shown decoded with its files, added and stored again byte for byte.
    void oddFolderNamesAreRestoredShownAndAddedByteForByte()
    {
        const std::string root = d("odd");
        QVERIFY(QDir().mkpath(QString::fromStdString(root)));
        for (const std::string &name : {std::string("l\xff\xfe"), std::string(255, 'n')}) {
            const std::string dir = root + "/" + name;
            QCOMPARE(::mkdir(dir.c_str(), 0755), 0);
            touchBytes(dir + "/f\xff.txt");
            SettingsFile settings = scanSettings();
            settings.write("h22", "direc", dir);
            settings.write("h22", "aCheckBox1", "0");
            settings.write("h23", "direc", dir);

            auto advanced = advancedWindow();
            advanced->show();
            QCOMPARE(child<QLabel>(*advanced, "Label1")->text(), FromBytes(dir));
            QCOMPARE(fileBox(*advanced), QStringList{FromBytes("f\xff.txt")});
            press(*advanced, "SpeedButton1");
            QCOMPARE(paths(advanced->gathered()), Paths{dir + "/"});
            settings.write("h22", "direc", root);
            advanced->reject();
            QCOMPARE(scanSettings().read("h22", "direc", ""), dir);

            AddDirectoryWindow add(*m_platform, m_directoryList);
            add.show();
            QCOMPARE(child<QLabel>(add, "Label1")->text(), FromBytes(dir));
            QCOMPARE(fileBox(add), QStringList{FromBytes("f\xff.txt")});
            press(add, "SpeedButton3");
            QCOMPARE(paths(m_directoryList).back(), dir);
            settings.write("h23", "direc", root);
            add.reject();
            QCOMPARE(scanSettings().read("h23", "direc", ""), dir);
        }

        // A line break cannot be stored: the setting keeps the folder stored before.
        const std::string broken = root + "/x\ny";
        QCOMPARE(::mkdir(broken.c_str(), 0755), 0);
        scanSettings().write("h22", "direc", root);
        auto advanced = advancedWindow();
        advanced->show();
        QVERIFY(advanced->picker().setDirectoryBytes(broken));
        press(*advanced, "SpeedButton1");
        QCOMPARE(paths(advanced->gathered()), Paths{broken + "/"});
        advanced->reject();
        QCOMPARE(scanSettings().read("h22", "direc", ""), root);
        QVERIFY(m_errors.empty());
    }

    void linksToFoldersAreSkippedAndCounted()
    {
        QCOMPARE(::symlink("/", d("a/to-root").c_str()), 0);
        QCOMPARE(::symlink("..", d("a/b/up").c_str()), 0);
        QCOMPARE(::symlink("a.html", d("a/file-link").c_str()), 0); // a file: not a folder entry
        auto window = advancedWindow();
        gatherTree(*window, m_tree->filePath(QStringLiteral("a")));
        QCOMPARE(paths(window->gathered()), (Paths{d("a/"), d("a/b/")}));
        QCOMPARE(m_platform->messages.size(), 1);
        QVERIFY2(m_platform->messages[0].startsWith(QStringLiteral("2 link")),
                 qPrintable(m_platform->messages[0]));
    }

    void theFilesBoxShowsTheFolderAsItIsAtEachShowing()
    {
        auto advanced = advancedWindow();
        AddDirectoryWindow add(*m_platform, m_directoryList);
        for (QDialog *window : {static_cast<QDialog *>(advanced.get()), static_cast<QDialog *>(&add)}) {
            DirectoryPicker &picker = window == &add ? add.picker() : advanced->picker();
            QVERIFY(picker.setDirectory(m_tree->filePath(QStringLiteral("a"))));
            window->show();
            QCOMPARE(fileBox(*window), QStringList{QStringLiteral("a.html")});
            window->reject();
        }
        // No stored folder (a first start): each showing stays on the folder shown.
        QFile::remove(QString::fromStdString(m_platform->programFolder().file(ScanSettingsName).string()));
        touch(m_tree->filePath(QStringLiteral("a/new.txt")));
        for (QDialog *window : {static_cast<QDialog *>(advanced.get()), static_cast<QDialog *>(&add)}) {
            window->show();
            QCOMPARE(fileBox(*window), (QStringList{QStringLiteral("a.html"), QStringLiteral("new.txt")}));
            window->reject();
        }
    }

    void theListMenuRebuildsTheGatheredList()
    {
        auto window = advancedWindow();
        gatherThree(*window, 1);
        auto *view = child<QListView>(*window, "CheckListBox1");
        view->setCurrentIndex(window->gathered().index(2));
        m_platform->popupChoices = {QStringLiteral("Remove Selected")};
        press(*window, "SpeedButton2");
        QCOMPARE(paths(window->gathered()), (Paths{d(), d("a/")}));
        QCOMPARE(checks(window->gathered()), (std::vector<bool>{true, true})); // re-checked

        gatherThree(*window, 1); // now: D, a, D, a, b with the second unchecked
        m_platform->popupChoices = {QStringLiteral("Remove ALL Checked")};
        press(*window, "SpeedButton2");
        QCOMPARE(paths(window->gathered()), (Paths{d("a/")}));
        QCOMPARE(checks(window->gathered()), (std::vector<bool>{false}));

        gatherThree(*window, 1); // a (unchecked), D (unchecked), a, b
        m_platform->popupChoices = {QStringLiteral("Remove all UnChecked")};
        press(*window, "SpeedButton2");
        QCOMPARE(paths(window->gathered()), (Paths{d("a/"), d("a/b/")}));
        QCOMPARE(checks(window->gathered()), (std::vector<bool>{true, true}));

        m_platform->popupChoices = {QStringLiteral("Clear ALL")};
        press(*window, "SpeedButton2");
        QCOMPARE(window->gathered().count(), 0);
    }

    void checkedDirectoriesAreScannedOnTheirOwnLevelIntoTheFileList()
    {
        auto window = advancedWindow();
        window->show();
        QVERIFY(window->picker().setDirectory(m_tree->path()));
        window->addDirectory();
        QVERIFY(window->picker().setDirectory(m_tree->filePath(QStringLiteral("a/b"))));
        window->addDirectory();
        child<QLineEdit>(*window, "Edit1")->setText(QStringLiteral("*.html"));
        press(*window, "SpeedButton3");
        Paths found = paths(m_fileList);
        std::sort(found.begin(), found.end());
        // a/ is no gathered entry, so a/a.html is not found; s.html/ matches and is entered.
        QCOMPARE(found, (Paths{d("a/b/c.html"), d("s.html/"), d("x.html")}));
        QVERIFY(std::all_of(m_fileList.entries().begin(), m_fileList.entries().end(),
                            [](const TargetEntry &e) { return e.checked; }));
        QCOMPARE(m_oneLineShown, 1);
        QVERIFY(window->isVisible()); // the window stays open

        // An empty mask scans everything; nothing checked appends nothing but still switches.
        m_fileList.clear();
        child<QLineEdit>(*window, "Edit1")->clear();
        window->gathered().setChecked(0, false);
        press(*window, "SpeedButton3");
        QCOMPARE(paths(m_fileList), (Paths{d("a/b/c.html")}));
        window->gathered().setChecked(1, false);
        m_fileList.clear();
        press(*window, "SpeedButton3");
        QCOMPARE(m_fileList.count(), 0);
        QCOMPARE(m_oneLineShown, 3);
    }

    void checkedDirectoriesAreCopiedIntoTheDirectoryList()
    {
        auto window = advancedWindow();
        gatherThree(*window, 1);
        press(*window, "SpeedButton6");
        QCOMPARE(paths(m_directoryList), (Paths{d(), d("a/b/")}));
        QCOMPARE(checks(m_directoryList), (std::vector<bool>{true, true}));
        QCOMPARE(m_directoryPageShown, 1);
    }

    void settingsSurviveACloseAndAReopen()
    {
        auto window = advancedWindow();
        window->show();
        QVERIFY(window->picker().setDirectory(m_tree->filePath(QStringLiteral("a"))));
        child<QLineEdit>(*window, "Edit1")->setText(QStringLiteral("*.htm"));
        child<QCheckBox>(*window, "CheckBox1")->setChecked(true);
        press(*window, "SpeedButton4");
        QVERIFY(!window->isVisible());
        QCOMPARE(scanSettings().read("h22", "direc", ""), d("a"));
        QCOMPARE(scanSettings().read("h22", "direc2", ""), std::string("*.htm"));
        QCOMPARE(scanSettings().read("h22", "aCheckBox1", ""), std::string("1"));

        auto other = advancedWindow(); // as after a new start
        other->show();
        QCOMPARE(other->picker().directory(), m_tree->filePath(QStringLiteral("a")));
        QCOMPARE(child<QLineEdit>(*other, "Edit1")->text(), QStringLiteral("*.htm"));
        QVERIFY(child<QCheckBox>(*other, "CheckBox1")->isChecked());
        other->reject();

        // A stored directory that cannot be entered stops the restoring there.
        SettingsFile settings = scanSettings();
        settings.write("h22", "direc", d("gone"));
        settings.write("h22", "direc2", "*.never");
        settings.write("h22", "aCheckBox1", "0");
        auto third = advancedWindow();
        const QString before = third->picker().directory();
        third->show();
        QCOMPARE(third->picker().directory(), before);
        QCOMPARE(child<QLineEdit>(*third, "Edit1")->text(), QString());
        QVERIFY(!child<QCheckBox>(*third, "CheckBox1")->isChecked());
        QVERIFY(m_errors.empty());
    }

    void addDirectoryAppendsTheShownDirectoryAndRemembersIt()
    {
        AddDirectoryWindow window(*m_platform, m_directoryList);
        QCOMPARE(window.objectName(), QStringLiteral("TForm4"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Add directory"));
        window.show();
        QVERIFY(window.picker().setDirectory(m_tree->filePath(QStringLiteral("a"))));
        QCOMPARE(child<QLabel>(window, "Label1")->text(), m_tree->filePath(QStringLiteral("a")));
        QCOMPARE(child<QListWidget>(window, "FileListBox1")->count(), 1);
        press(window, "SpeedButton3");
        QVERIFY(window.isVisible()); // stays open
        QVERIFY(window.picker().setDirectory(QStringLiteral("/")));
        press(window, "SpeedButton3");
        QCOMPARE(paths(m_directoryList), (Paths{d("a"), "/"}));
        QCOMPARE(checks(m_directoryList), (std::vector<bool>{true, true}));

        QVERIFY(window.picker().setDirectory(m_tree->filePath(QStringLiteral("a/b"))));
        press(window, "SpeedButton4");
        QCOMPARE(scanSettings().read("h23", "direc", ""), d("a/b"));
        AddDirectoryWindow other(*m_platform, m_directoryList);
        other.show();
        QCOMPARE(other.picker().directory(), m_tree->filePath(QStringLiteral("a/b")));
    }
};

QTEST_MAIN(AdvancedAddTest)
#include "tst_advancedadd.moc"
