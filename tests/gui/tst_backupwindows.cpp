// The "Do backup", "Recovery" and "Delete backup" windows on real files in temporary folders.
#include "FakePlatform.h"

#include "backup/BackupStore.h"
#include "backup/BackupWindows.h"
#include "base/Error.h"
#include "settings/SettingsFile.h"
#include "targets/TargetListModel.h"
#include "widgets/Guarded.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <cstdio>
#include <filesystem>
#include <memory>

using namespace vexlo;
using vexlo::test::FakePlatform;

class BackupWindowsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> m_program;
    std::unique_ptr<QTemporaryDir> m_files;
    std::unique_ptr<FakePlatform> m_platform;
    TargetListModel m_fileList;
    TargetListModel m_directoryList;
    int m_page = 0;

    QString program(const QString &name) const { return m_program->filePath(name); }
    std::string file(const char *name, const QByteArray &bytes)
    {
        QFile out(m_files->filePath(QString::fromLatin1(name)));
        if (!out.open(QIODevice::WriteOnly))
            qFatal("cannot write a test file");
        out.write(bytes);
        return out.fileName().toStdString();
    }
    static QByteArray read(const QString &path)
    {
        QFile in(path);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
    }
    // By its bytes: a name that is not UTF-8 does not pass through QString.
    static QByteArray read(const std::string &path)
    {
        std::FILE *in = std::fopen(path.c_str(), "rb");
        if (!in)
            return QByteArray("<missing>");
        QByteArray bytes;
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
            bytes.append(buffer, qsizetype(got));
        std::fclose(in);
        return bytes;
    }
    void setCounter(const char *value)
    {
        SettingsFile(m_platform->programFolder().file(MainSettingsName))
            .write("Add_File_Procedure", "BackupCount", value);
    }
    QString counter() const
    {
        return QString::fromStdString(SettingsFile(m_platform->programFolder().file(MainSettingsName))
                                          .read("Add_File_Procedure", "BackupCount", ""));
    }
    std::unique_ptr<DoBackupWindow> doBackupWindow()
    {
        return std::make_unique<DoBackupWindow>(*m_platform, m_fileList, m_directoryList,
                                                [this] { return m_page; });
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
    static QString label(QWidget &window) { return child<QLabel>(window, "Label1")->text(); }
    static QStringList listed(QWidget &window)
    {
        QStringList out;
        auto *list = child<QListWidget>(window, "ListBox1");
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    static void select(QWidget &window, int row)
    {
        auto *list = child<QListWidget>(window, "ListBox1");
        list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    }
    void writeIndex(const QByteArray &bytes)
    {
        QFile out(program(QStringLiteral("BackUp.vexloPro")));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }

  private slots:
    void init()
    {
        m_program = std::make_unique<QTemporaryDir>();
        m_files = std::make_unique<QTemporaryDir>();
        m_platform = std::make_unique<FakePlatform>(ProgramFolder(m_program->path().toStdString()));
        m_fileList.clear();
        m_directoryList.clear();
        m_page = 0;
        // The program's handler: conversion errors show "mistake!", the others nothing.
        SetErrorHandler([this](std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const Error &e) {
                if (e.kind() == ErrorKind::Conversion)
                    m_platform->message(nullptr, QStringLiteral("mistake!"));
            } catch (...) {
            }
        });
    }
    void cleanup() { SetErrorHandler({}); }

    void showingFillsTheNameAndTheCountsOfTheShownPage()
    {
        setCounter("0");
        auto window = doBackupWindow();
        QCOMPARE(window->objectName(), QStringLiteral("TForm13"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Do backup"));
        QCOMPARE(child<QToolButton>(*window, "SpeedButton1")->toolTip(), QStringLiteral("Do backup!..."));
        m_page = 2;
        window->show();
        QCOMPARE(label(*window), QStringLiteral("Label1")); // the "Text" page leaves it
        QCOMPARE(child<QLineEdit>(*window, "Edit1")->text(), QStringLiteral("BackUp1"));
        window->hide();

        m_fileList.append("/x/a");
        m_fileList.appendChecked("/x/b");
        m_directoryList.append("/d/");
        m_page = 0;
        window->show();
        QCOMPARE(label(*window), QStringLiteral("In File List 2 files"));
        window->hide();
        m_page = 1;
        window->show();
        QCOMPARE(label(*window), QStringLiteral("In Directory List 1 Directory"));
    }

    void backupCopiesEveryEntryWritesTheStoreAndProposesTheNextName()
    {
        setCounter("0");
        const std::string a = file("a.txt", "A");
        const std::string b = file("b.txt", "B");
        m_fileList.append(a); // unchecked entries are backed up too
        m_fileList.appendChecked(b);
        auto window = doBackupWindow();
        window->show();
        child<QLineEdit>(*window, "Edit1")->setText(QStringLiteral("Mine"));
        press(*window, "SpeedButton1");

        QCOMPARE(m_platform->messages, QStringList{QStringLiteral("The end.")});
        QCOMPARE(m_platform->beeps, 1);
        QCOMPARE(label(*window), QStringLiteral("All files are backuped!"));
        QCOMPARE(read(a + ".vexloProBackUps"), QByteArray("A"));
        QCOMPARE(read(b + ".vexloProBackUps"), QByteArray("B"));
        QCOMPARE(read(program(QStringLiteral("Mine"))),
                 QByteArray::fromStdString(a + ".vexloProBackUps\r\n" + b + ".vexloProBackUps\r\n"));
        QCOMPARE(read(program(QStringLiteral("BackUp.vexloPro"))), QByteArray("Mine\r\n"));
        QCOMPARE(counter(), QStringLiteral("1"));

        window->hide();
        window->show();
        QCOMPARE(child<QLineEdit>(*window, "Edit1")->text(), QStringLiteral("BackUp2"));
    }

    void emptyFileListOnItsPageWritesNothingButOnTheDirectoryPageAnEmptySet()
    {
        setCounter("0");
        auto window = doBackupWindow();
        window->show();
        press(*window, "SpeedButton1");
        QCOMPARE(m_platform->messages, QStringList{QStringLiteral("No files in File List!")});
        QVERIFY(!QFile::exists(program(QStringLiteral("BackUp1"))));
        QVERIFY(!QFile::exists(program(QStringLiteral("BackUp.vexloPro"))));
        QCOMPARE(counter(), QStringLiteral("0"));

        m_page = 1;
        m_platform->messages.clear();
        press(*window, "SpeedButton1");
        QCOMPARE(m_platform->messages, QStringList{QStringLiteral("The end.")});
        QCOMPARE(read(program(QStringLiteral("BackUp1"))), QByteArray());
        QCOMPARE(counter(), QStringLiteral("1"));
    }

    void counterThatIsNoNumberShowsMistakeAndStopsBeforeTheEnd()
    {
        setCounter("x");
        const std::string a = file("a.txt", "A");
        m_fileList.append(a);
        auto window = doBackupWindow();
        window->show();
        QCOMPARE(m_platform->messages, QStringList{QStringLiteral("mistake!")});
        QCOMPARE(child<QLineEdit>(*window, "Edit1")->text(), QString()); // kept (empty at first)

        child<QLineEdit>(*window, "Edit1")->setText(QStringLiteral("Set"));
        m_platform->messages.clear();
        press(*window, "SpeedButton1");
        QCOMPARE(m_platform->messages, QStringList{QStringLiteral("mistake!")});
        QVERIFY(QFile::exists(QString::fromStdString(a + ".vexloProBackUps")));
        QVERIFY(QFile::exists(program(QStringLiteral("Set"))));
        QCOMPARE(read(program(QStringLiteral("BackUp.vexloPro"))), QByteArray("Set\r\n"));
        QCOMPARE(counter(), QStringLiteral("x"));
    }

    void badNamesAreRefusedWithTheReasonAndNothingWritten()
    {
        setCounter("0");
        const std::string a = file("a.txt", "A");
        m_fileList.append(a);
        auto window = doBackupWindow();
        window->show();
        for (const char *bad : {"../escape", "vexlopro.ini", ""}) {
            m_platform->messages.clear();
            child<QLineEdit>(*window, "Edit1")->setText(QString::fromLatin1(bad));
            press(*window, "SpeedButton1");
            QCOMPARE(m_platform->messages.size(), 1);
            QVERIFY2(m_platform->messages.front() != QStringLiteral("The end."), bad);
        }
        QCOMPARE(m_platform->beeps, 0);
        QVERIFY(!QFile::exists(QString::fromStdString(a + ".vexloProBackUps")));
        QVERIFY(!QFile::exists(program(QStringLiteral("BackUp.vexloPro"))));
        QVERIFY(!QFile::exists(m_program->path() + QStringLiteral("/../escape")));
        QCOMPARE(counter(), QStringLiteral("0"));
    }

    void copiesThatFailAreCountedInTheEndMessage()
    {
        setCounter("0");
        const std::string missing = m_files->filePath(QStringLiteral("gone.txt")).toStdString();
        m_fileList.append(file("a.txt", "A"));
        m_fileList.append(missing);
        auto window = doBackupWindow();
        window->show();
        press(*window, "SpeedButton1");
        QCOMPARE(m_platform->messages.size(), 1);
        const QString text = m_platform->messages.front();
        QVERIFY2(text.startsWith(QStringLiteral("The end.\r\n1 file could not be copied")), qPrintable(text));
        QVERIFY(text.contains(QString::fromStdString(missing)));
        QCOMPARE(counter(), QStringLiteral("1")); // the backup itself is complete otherwise
    }

    void recoveryListsTheIndexAndRestoresTheSelectedBackup()
    {
        const std::string a = file("a.txt", "changed by a run");
        file("a.txt.vexloProBackUps", "before");
        writeIndex("BackUp1\r\nBackUp2\r\n");
        QFile set(program(QStringLiteral("BackUp2")));
        QVERIFY(set.open(QIODevice::WriteOnly));
        set.write(QByteArray::fromStdString(a + ".vexloProBackUps\r\nshort\r\n"));
        set.close();

        RecoveryWindow window(*m_platform);
        QCOMPARE(window.objectName(), QStringLiteral("TForm14"));
        QCOMPARE(child<QToolButton>(window, "SpeedButton1")->toolTip(),
                 QStringLiteral("Recovery selected..."));
        window.show();
        QCOMPARE(listed(window), (QStringList{"BackUp1", "BackUp2"}));
        QCOMPARE(label(window), QStringLiteral("In total 2 backups."));
        // The row that looks current is the selected one.
        QCOMPARE(child<QListWidget>(window, "ListBox1")->selectedItems().size(), 1);
        QCOMPARE(child<QListWidget>(window, "ListBox1")->currentRow(), 0);

        child<QListWidget>(window, "ListBox1")->clearSelection();
        press(window, "SpeedButton1"); // nothing selected: nothing at all
        QVERIFY(m_platform->messages.isEmpty());
        QCOMPARE(m_platform->beeps, 0);

        select(window, 1);
        press(window, "SpeedButton1");
        QCOMPARE(read(a), QByteArray("before"));
        QCOMPARE(read(a + ".vexloProBackUps"), QByteArray("before"));
        QCOMPARE(m_platform->beeps, 1);
        QCOMPARE(m_platform->messages.size(), 1);
        QVERIFY(m_platform->messages.front().startsWith(QStringLiteral("The end.\r\n1 line")));
        QCOMPARE(label(window),
                 QStringLiteral("1 line(s) of the set named no backup copy and were skipped."));
        QCOMPARE(read(program(QStringLiteral("BackUp.vexloPro"))), QByteArray("BackUp1\r\nBackUp2\r\n"));

        select(window, 0); // its set file does not exist: said, with the path
        m_platform->messages.clear();
        press(window, "SpeedButton1");
        QCOMPARE(m_platform->messages.size(), 1);
        QVERIFY(m_platform->messages.front().contains(program(QStringLiteral("BackUp1"))));
        QCOMPARE(read(a), QByteArray("before"));

        // Without an index the previous showing's lines and label stay.
        QFile::remove(program(QStringLiteral("BackUp.vexloPro")));
        window.hide();
        window.show();
        QCOMPARE(listed(window), (QStringList{"BackUp1", "BackUp2"}));
        QCOMPARE(label(window),
                 QStringLiteral("1 line(s) of the set named no backup copy and were skipped."));
    }

    void deleteRemovesTheCopiesAndOnlyTheSelectedLine()
    {
        const std::string a = file("a.txt", "A");
        const std::string copy = file("a.txt.vexloProBackUps", "old A");
        writeIndex("Dup\r\nOther\r\nDup\r\n");
        QFile set(program(QStringLiteral("Dup")));
        QVERIFY(set.open(QIODevice::WriteOnly));
        set.write(QByteArray::fromStdString(copy + "\r\n" + a + "\r\n")); // a damaged line names a
        set.close();

        DeleteBackupWindow window(*m_platform);
        QCOMPARE(window.objectName(), QStringLiteral("TForm15"));
        window.show();
        QCOMPARE(label(window), QString());
        QCOMPARE(listed(window), (QStringList{"Dup", "Other", "Dup"}));
        QCOMPARE(child<QListWidget>(window, "ListBox1")->selectedItems().size(), 1);

        child<QListWidget>(window, "ListBox1")->clearSelection();
        press(window, "SpeedButton1"); // nothing selected
        QVERIFY(m_platform->messages.isEmpty());
        QCOMPARE(listed(window).size(), 3);

        select(window, 2);
        press(window, "SpeedButton1");
        QCOMPARE(m_platform->beeps, 1);
        QVERIFY(m_platform->messages.front().startsWith(QStringLiteral("The end.")));
        QCOMPARE(label(window),
                 QStringLiteral("1 line(s) of the set named no backup copy and were skipped."));
        QVERIFY(!QFile::exists(QString::fromStdString(copy)));
        QCOMPARE(read(a), QByteArray("A")); // the original is never deleted
        QVERIFY(QFile::exists(program(QStringLiteral("Dup"))));
        QCOMPARE(read(program(QStringLiteral("BackUp.vexloPro"))), QByteArray("Dup\r\nOther\r\n"));
        QCOMPARE(listed(window), (QStringList{"Dup", "Other"}));

        // Without an index the list is empty and the label keeps its text.
        QFile::remove(program(QStringLiteral("BackUp.vexloPro")));
        child<QLabel>(window, "Label1")->setText(QStringLiteral("kept"));
        window.hide();
        window.show();
        QVERIFY(listed(window).isEmpty());
        QCOMPARE(label(window), QStringLiteral("kept"));
    }
    // Names with a line break, bytes that are not UTF-8 and 255-byte names, in the File List and
    // in the program folder, through Do backup, Recovery and Delete backup.
    void oddNamesThroughBackupRecoveryAndDelete()
    {
        namespace fs = std::filesystem;
        const fs::path odd = fs::path(m_files->path().toStdString()) / "prog\nfolder \xe9";
        fs::create_directories(odd);
        m_platform = std::make_unique<FakePlatform>(ProgramFolder(odd));
        setCounter("0");
        const auto make = [&](const std::string &name, const std::string &bytes) {
            const std::string path = m_files->path().toStdString() + "/" + name;
            std::FILE *out = std::fopen(path.c_str(), "wb");
            std::fwrite(bytes.data(), 1, bytes.size(), out);
            std::fclose(out);
            return path;
        };
        const std::string broken = make("notes.txt\nx.txt", "split");
        make("notes.txt", "never backed up"); // what the second half of the split name names
        const std::string latin = make("caf\xe9.txt", "latin");
        const std::string longest = make(std::string(239, 'n'), "long"); // its copy's name: 255 bytes
        const std::string tooLong = make(std::string(255, 'm'), "no room for the suffix");
        fs::create_directory(m_files->path().toStdString() + "/d");
        for (const std::string &path :
             {broken, latin, longest, tooLong, m_files->path().toStdString() + "/d/"})
            m_fileList.append(path);

        auto backup = doBackupWindow();
        backup->show();
        auto *name = child<QLineEdit>(*backup, "Edit1");
        for (const QString &bad : {QStringLiteral("two\nlines"), QString(256, QLatin1Char('b'))}) {
            m_platform->messages.clear();
            name->setText(bad);
            press(*backup, "SpeedButton1");
            QCOMPARE(m_platform->messages.size(), 1);
            QVERIFY2(!m_platform->messages.front().startsWith(QStringLiteral("The end.")),
                     qPrintable(m_platform->messages.front()));
        }
        QVERIFY(!fs::exists(odd / BackupIndexName));
        QVERIFY(!fs::exists(latin + ".vexloProBackUps"));

        m_platform->messages.clear();
        name->setText(QString(255, QLatin1Char('S')));
        press(*backup, "SpeedButton1");
        QCOMPARE(m_platform->messages.size(), 1);
        QVERIFY2(m_platform->messages.front().startsWith(
                     QStringLiteral("The end.\r\n3 files could not be copied")),
                 qPrintable(m_platform->messages.front()));
        const std::string setName(255, 'S');
        QCOMPARE(read((odd / setName).string()),
                 QByteArray::fromStdString(latin + ".vexloProBackUps\r\n" + longest + ".vexloProBackUps\r\n" +
                                           tooLong + ".vexloProBackUps\r\n"));
        QCOMPARE(read(latin + ".vexloProBackUps"), QByteArray("latin"));
        QCOMPARE(read(longest + ".vexloProBackUps"), QByteArray("long"));
        QVERIFY(!fs::exists(broken + ".vexloProBackUps"));
        QCOMPARE(counter(), QStringLiteral("1"));

        // A set named in bytes that are not UTF-8, written by an earlier program.
        const std::string latinSet = "Sauvegarde \xe9t\xe9";
        {
            std::FILE *out = std::fopen((odd / latinSet).c_str(), "wb");
            const std::string line = latin + ".vexloProBackUps\r\n";
            std::fwrite(line.data(), 1, line.size(), out);
            std::fclose(out);
            out = std::fopen((odd / BackupIndexName).c_str(), "ab");
            const std::string index = latinSet + "\r\n";
            std::fwrite(index.data(), 1, index.size(), out);
            std::fclose(out);
        }
        make("caf\xe9.txt", "changed");
        RecoveryWindow recovery(*m_platform);
        recovery.show();
        QCOMPARE(listed(recovery).size(), 2);
        select(recovery, 1);
        m_platform->messages.clear();
        press(recovery, "SpeedButton1");
        QCOMPARE(m_platform->messages, QStringList{QStringLiteral("The end.")});
        QCOMPARE(read(latin), QByteArray("latin"));
        QCOMPARE(read(m_files->filePath(QStringLiteral("notes.txt"))), QByteArray("never backed up"));

        // Deleting the long-named set keeps the other line's bytes.
        DeleteBackupWindow remove(*m_platform);
        remove.show();
        select(remove, 0);
        m_platform->messages.clear();
        press(remove, "SpeedButton1");
        QVERIFY(m_platform->messages.front().startsWith(
            QStringLiteral("The end.\r\n1 file could not be deleted")));
        QVERIFY(!fs::exists(latin + ".vexloProBackUps"));
        QVERIFY(!fs::exists(longest + ".vexloProBackUps"));
        QCOMPARE(read((odd / BackupIndexName).string()), QByteArray::fromStdString(latinSet + "\r\n"));
        QCOMPARE(listed(remove).size(), 1);
        QCOMPARE(read(m_files->filePath(QStringLiteral("notes.txt"))), QByteArray("never backed up"));
    }

    // A set name taken by a folder, and an index that is a folder: said, never "All files are backuped!".
    void aSetOrIndexThatCannotBeWrittenIsReportedNotCelebrated()
    {
        setCounter("0");
        const std::string a = file("a.txt", "A");
        m_fileList.append(a);
        QVERIFY(QDir(m_program->path()).mkdir(QStringLiteral("Taken")));
        auto window = doBackupWindow();
        window->show();
        child<QLineEdit>(*window, "Edit1")->setText(QStringLiteral("Taken"));
        press(*window, "SpeedButton1");
        QCOMPARE(m_platform->messages.size(), 1);
        QVERIFY(m_platform->messages.front().contains(QStringLiteral("folder")));
        QVERIFY(!QFile::exists(QString::fromStdString(a + ".vexloProBackUps")));

        QVERIFY(QDir(m_program->path()).mkdir(QStringLiteral("BackUp.vexloPro")));
        child<QLineEdit>(*window, "Edit1")->setText(QStringLiteral("Fine"));
        m_platform->messages.clear();
        press(*window, "SpeedButton1");
        QCOMPARE(m_platform->messages.size(), 1);
        QVERIFY2(m_platform->messages.front().contains(program(QStringLiteral("BackUp.vexloPro"))),
                 qPrintable(m_platform->messages.front()));
        QVERIFY(label(*window) != QStringLiteral("All files are backuped!"));
        QCOMPARE(m_platform->beeps, 0);
        QCOMPARE(counter(), QStringLiteral("0"));

        // Recovery and Delete say why the list is missing.
        m_platform->messages.clear();
        RecoveryWindow recovery(*m_platform);
        recovery.show();
        QCOMPARE(m_platform->messages.size(), 1);
        QVERIFY(m_platform->messages.front().contains(QStringLiteral("folder")));
    }
};

QTEST_MAIN(BackupWindowsTest)
#include "tst_backupwindows.moc"
