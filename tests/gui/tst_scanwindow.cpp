// The "Scan directory(s)" window: the two-phase scan, its settings, and the ways to close it.
#include "FakePlatform.h"

#include "settings/SettingsFile.h"
#include "targets/ScanDirectoryWindow.h"
#include "targets/TargetListModel.h"
#include "widgets/Guarded.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <memory>

using namespace vexlo;
using vexlo::test::FakePlatform;

class ScanWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> m_program; // the settings folder
    std::unique_ptr<QTemporaryDir> m_tree;    // F: a.txt, s/b.txt
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<TargetListModel> m_list;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    std::vector<std::exception_ptr> m_errors;

    std::string f(const char *relative) const { return (m_tree->path() + "/" + relative).toStdString(); }
    SettingsFile scanSettings() const
    {
        return SettingsFile(m_platform->programFolder().file(ScanSettingsName));
    }
    std::vector<std::string> paths() const
    {
        std::vector<std::string> out;
        for (const TargetEntry &entry : m_list->entries())
            out.push_back(entry.path);
        return out;
    }
    bool allChecked() const
    {
        const auto &entries = m_list->entries();
        return std::all_of(entries.begin(), entries.end(), [](const TargetEntry &e) { return e.checked; });
    }
    static void touch(const QString &path)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    // Shows the window on F with the given mask and check box, then presses Scan.
    void scanTree(ScanDirectoryWindow &window, const char *mask, bool subfolders)
    {
        window.show();
        QVERIFY(window.setDirectory(m_tree->path()));
        window.findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QString::fromLatin1(mask));
        window.findChild<QCheckBox *>(QStringLiteral("CheckBox1"))->setChecked(subfolders);
        QTest::mouseClick(window.findChild<QToolButton *>(QStringLiteral("SpeedButton1")), Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QVERIFY(!window.isScanning());
    }

  private slots:
    void init()
    {
        m_program = std::make_unique<QTemporaryDir>();
        m_tree = std::make_unique<QTemporaryDir>();
        QVERIFY(m_program->isValid() && m_tree->isValid());
        QVERIFY(QDir(m_tree->path()).mkdir(QStringLiteral("s")));
        touch(m_tree->filePath(QStringLiteral("a.txt")));
        touch(m_tree->filePath(QStringLiteral("s/b.txt")));
        m_platform = std::make_unique<FakePlatform>(ProgramFolder(m_program->path().toStdString()));
        m_list = std::make_unique<TargetListModel>();
        m_tester = std::make_unique<QAbstractItemModelTester>(
            m_list.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        m_errors.clear();
        SetErrorHandler([this](std::exception_ptr error) { m_errors.push_back(error); });
    }
    void cleanup()
    {
        SetErrorHandler({});
        m_tester.reset();
    }

    void maskWithoutSubfoldersScansTheFolderOnly()
    {
        ScanDirectoryWindow window(*m_platform, *m_list);
        QCOMPARE(window.objectName(), QStringLiteral("TForm2"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Scan directory(s)"));
        m_list->append("/earlier/unchecked.txt");
        scanTree(window, "*.txt", false);
        QCOMPARE(paths(), (std::vector<std::string>{"/earlier/unchecked.txt", f("a.txt")}));
        QVERIFY(allChecked()); // the entry that was there before is checked too
        QVERIFY(m_errors.empty());
    }

    void maskWithSubfoldersScansEverySubfolder()
    {
        ScanDirectoryWindow window(*m_platform, *m_list);
        scanTree(window, "*.txt", true);
        QCOMPARE(paths(), (std::vector<std::string>{f("a.txt"), f("s/b.txt")}));
        QVERIFY(allChecked());
        QCOMPARE(window.subfolders(), std::vector<std::string>{f("s/")});
    }

    void everythingWithSubfoldersListsNestedFilesAgain()
    {
        ScanDirectoryWindow window(*m_platform, *m_list);
        scanTree(window, "*.*", true);
        std::vector<std::string> found = paths();
        QCOMPARE(found.size(), std::size_t(4));
        // The scan of s itself comes last; what comes before is the scan of F, in the
        // file system's order.
        QCOMPARE(found.back(), f("s/b.txt"));
        std::sort(found.begin(), found.end());
        QCOMPARE(found, (std::vector<std::string>{f("a.txt"), f("s/"), f("s/b.txt"), f("s/b.txt")}));
        QVERIFY(allChecked());
        QCOMPARE(window.treeLines().size(), std::size_t(3));
    }

    void subfolderPhaseDoesNotEnterLinksToDirectories()
    {
        // F/link -> "/": the first phase lists the link, the second must not scan the disk.
        QVERIFY(QFile::link(QStringLiteral("/"), m_tree->filePath(QStringLiteral("link"))));
        QVERIFY(
            QFile::link(m_tree->filePath(QStringLiteral("s")), m_tree->filePath(QStringLiteral("alias"))));
        ScanDirectoryWindow window(*m_platform, *m_list);
        scanTree(window, "*.*", true);
        QCOMPARE(window.subfolders(), std::vector<std::string>{f("s/")});
        std::vector<std::string> found = paths();
        std::sort(found.begin(), found.end());
        QCOMPARE(found, (std::vector<std::string>{f("a.txt"), f("alias/"), f("link/"), f("s/"), f("s/b.txt"),
                                                  f("s/b.txt")}));
        QVERIFY(allChecked());
    }

    void enterInTheMaskFieldScans()
    {
        ScanDirectoryWindow window(*m_platform, *m_list);
        window.show();
        QVERIFY(window.setDirectory(m_tree->path()));
        auto *edit = window.findChild<QLineEdit *>(QStringLiteral("Edit1"));
        edit->setText(QStringLiteral("a.*"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(paths(), std::vector<std::string>{f("a.txt")});
        QVERIFY(!window.isVisible());
    }

    void settingsAreWrittenAtCloseAndRestoredAtShow()
    {
        {
            ScanDirectoryWindow window(*m_platform, *m_list);
            scanTree(window, "*.txt", true);
        }
        const SettingsFile settings = scanSettings();
        QCOMPARE(settings.read("c", "aDLBD", "-"), m_tree->path().toStdString());
        QCOMPARE(settings.read("c", "aEdit1", "-"), std::string("*.txt"));
        QCOMPARE(settings.read("c", "alala", "-"), std::string("1"));

        ScanDirectoryWindow next(*m_platform, *m_list);
        QVERIFY(next.directory() != m_tree->path());
        next.show();
        QCOMPARE(next.directory(), m_tree->path());
        QCOMPARE(next.findChild<QLineEdit *>(QStringLiteral("Edit1"))->text(), QStringLiteral("*.txt"));
        QVERIFY(next.findChild<QCheckBox *>(QStringLiteral("CheckBox1"))->isChecked());
        QVERIFY(next.findChild<QLabel *>(QStringLiteral("Label3"))->toolTip() == m_tree->path());

        // Close without scan: unchecked is remembered as "0" and restored.
        next.findChild<QCheckBox *>(QStringLiteral("CheckBox1"))->setChecked(false);
        QTest::mouseClick(next.findChild<QToolButton *>(QStringLiteral("SpeedButton2")), Qt::LeftButton);
        QVERIFY(!next.isVisible());
        QCOMPARE(scanSettings().read("c", "alala", "-"), std::string("0"));
        next.findChild<QCheckBox *>(QStringLiteral("CheckBox1"))->setChecked(true);
        next.show();
        QVERIFY(!next.findChild<QCheckBox *>(QStringLiteral("CheckBox1"))->isChecked());
        QCOMPARE(m_list->count(), 2); // closing scanned nothing
    }

    void unknownFlagLeavesTheBoxAndMissingKeysKeepTheFields()
    {
        SettingsFile settings = scanSettings();
        settings.write("c", "alala", "yes");
        ScanDirectoryWindow window(*m_platform, *m_list);
        QVERIFY(window.setDirectory(m_tree->path()));
        auto *box = window.findChild<QCheckBox *>(QStringLiteral("CheckBox1"));
        auto *edit = window.findChild<QLineEdit *>(QStringLiteral("Edit1"));
        box->setChecked(true);
        edit->setText(QStringLiteral("*.h"));
        window.show();
        QVERIFY(box->isChecked());
        QCOMPARE(edit->text(), QStringLiteral("*.h"));
        QCOMPARE(window.directory(), m_tree->path());
        window.close();
    }

    void unreachableStoredDirectoryStopsTheRestoring()
    {
        SettingsFile settings = scanSettings();
        settings.write("c", "aDLBD", (m_tree->path() + "/gone").toStdString());
        settings.write("c", "aEdit1", "*.pas");
        settings.write("c", "alala", "1");
        ScanDirectoryWindow window(*m_platform, *m_list);
        QVERIFY(window.setDirectory(m_tree->path()));
        window.show();
        QCOMPARE(window.directory(), m_tree->path());
        QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("Edit1"))->text(), QString());
        QVERIFY(!window.findChild<QCheckBox *>(QStringLiteral("CheckBox1"))->isChecked());
        QVERIFY(m_platform->messages.isEmpty());
        window.close();
    }

    void escapeClosesWithoutScanning()
    {
        ScanDirectoryWindow window(*m_platform, *m_list);
        window.show();
        QVERIFY(window.setDirectory(m_tree->path()));
        window.findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QStringLiteral("*.txt"));
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QCOMPARE(m_list->count(), 0);
        QCOMPARE(scanSettings().read("c", "aEdit1", "-"), std::string("*.txt"));
    }

    void failedSettingsWriteReachesTheHandler()
    {
        // A program folder below a plain file: the settings file can be read (as missing)
        // but never written.
        touch(m_program->filePath(QStringLiteral("plain")));
        FakePlatform platform(
            ProgramFolder(m_program->filePath(QStringLiteral("plain/folder")).toStdString()));
        ScanDirectoryWindow window(platform, *m_list);
        window.show();
        QVERIFY(window.setDirectory(m_tree->path()));
        window.findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QStringLiteral("*.txt"));
        QTest::mouseClick(window.findChild<QToolButton *>(QStringLiteral("SpeedButton1")), Qt::LeftButton);
        // The scan stops at the failed write: its files are in, the window stays open.
        QCOMPARE(m_errors.size(), std::size_t(1));
        QVERIFY(window.isVisible());
        QCOMPARE(m_list->count(), 1);
        QVERIFY(m_list->isChecked(0));

        // Closing reports the failure again but still closes: the window never gets stuck.
        QTest::mouseClick(window.findChild<QToolButton *>(QStringLiteral("SpeedButton2")), Qt::LeftButton);
        QCOMPARE(m_errors.size(), std::size_t(2));
        QVERIFY(!window.isVisible());
    }

    void eventsDuringTheScanCannotStartASecondOneOrClose()
    {
        // A clock that moves 50 ms at every look, so the scan processes events at each entry.
        struct RunningClock : FakePlatform {
            using FakePlatform::FakePlatform;
            qint64 tickCount() override { return now += 50; }
        } platform(ProgramFolder(m_program->path().toStdString()));
        ScanDirectoryWindow window(platform, *m_list);
        window.show();
        QVERIFY(window.setDirectory(m_tree->path()));
        window.findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QStringLiteral("*.txt"));
        window.findChild<QCheckBox *>(QStringLiteral("CheckBox1"))->setChecked(true);
        auto *scanButton = window.findChild<QToolButton *>(QStringLiteral("SpeedButton1"));

        int nested = 0;
        QTimer::singleShot(0, &window, [&] {
            ++nested;
            QVERIFY(window.isScanning());
            QVERIFY(!scanButton->isEnabled());
            window.scan();                            // ignored
            QTest::keyClick(&window, Qt::Key_Escape); // ignored
            window.close();                           // ignored
            QVERIFY(window.isVisible());
        });
        QTest::mouseClick(scanButton, Qt::LeftButton);
        QCOMPARE(nested, 1);
        QCOMPARE(paths(), (std::vector<std::string>{f("a.txt"), f("s/b.txt")}));
        QVERIFY(!window.isVisible());
        QVERIFY(scanButton->isEnabled());
    }

    // A picture of the window for a look by eye: VEXLO_GRAB_DIR=<folder>.
    void grabWindow()
    {
        const QString out = qEnvironmentVariable("VEXLO_GRAB_DIR");
        if (out.isEmpty())
            QSKIP("VEXLO_GRAB_DIR not set");
        ScanDirectoryWindow window(*m_platform, *m_list);
        window.show();
        QVERIFY(window.setDirectory(m_tree->path()));
        window.findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QStringLiteral("*.html"));
        QTest::qWait(300); // let the directory model load
        QVERIFY(window.grab().save(out + QStringLiteral("/scanwindow.png")));
        window.close();
    }
};

QTEST_MAIN(ScanWindowTest)
#include "tst_scanwindow.moc"
