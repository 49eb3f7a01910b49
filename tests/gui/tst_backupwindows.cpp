// The "Do backup", "Recovery" and "Delete backup" windows on real files in temporary folders.
#include "FakePlatform.h"

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
    static QByteArray read(const std::string &path) { return read(QString::fromStdString(path)); }
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

        select(window, 0); // its set file does not exist
        m_platform->messages.clear();
        press(window, "SpeedButton1");
        QVERIFY(m_platform->messages.isEmpty());

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
};

QTEST_MAIN(BackupWindowsTest)
#include "tst_backupwindows.moc"
