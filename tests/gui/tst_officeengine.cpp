// The "MS Office engine" from the main window, end to end through the built-in document
// engine: the file list, a directory list with a mask, and the "Real time" page.
#include "FakePlatform.h"

#include "app/InputNotebook.h"
#include "app/MainWindow.h"
#include "app/TargetNotebook.h"
#include "app/Windows.h"
#include "targets/TargetListModel.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <iterator>
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

class OfficeEngineTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> m_program, m_data;
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
    QString dataFile(const char *name, const QByteArray &bytes)
    {
        const QString path = m_data->filePath(QString::fromLatin1(name));
        WriteAll(path, bytes);
        return path;
    }
    void useOfficeEngine(const char *findText, const char *replaceText)
    {
        find<QRadioButton>("RadioGroup2_Item1")->setChecked(true);
        find<QLineEdit>("Edit1")->setText(QString::fromUtf8(findText));
        find<QLineEdit>("Edit2")->setText(QString::fromUtf8(replaceText));
    }
    void clickRun() { find<QToolButton>("SpeedButton29")->click(); }

  private slots:
    void init()
    {
        m_program = std::make_unique<QTemporaryDir>();
        m_data = std::make_unique<QTemporaryDir>();
        const QString ini = m_program->filePath(QStringLiteral("vexlopro.ini"));
        QVERIFY(QFile::copy(QStringLiteral(VEXLO_SOURCE_DIR "/resources/vexlopro.ini"), ini));
        QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner);
        m_platform = std::make_unique<FakePlatform>(ProgramFolder(ToBytes(m_program->path())));
        m_windows = std::make_unique<Windows>(*m_platform);
    }
    void cleanup()
    {
        m_windows.reset();
        m_platform.reset();
    }

    void fileListRunUsesTheWordOptions()
    {
        const QString a = dataFile("a.txt", "foo Foo\nlast");
        const QString b = dataFile("b.txt", "foo");
        window().fileListModel().appendChecked(ToBytes(a));
        window().fileListModel().append(ToBytes(b));
        useOfficeEngine("foo^plast", "x^ty");
        clickRun();
        QCOMPARE(ReadAll(a), QByteArray("foo X\ty\r\n")); // "Foo" capitalises the replacement
        QCOMPARE(ReadAll(b), QByteArray("foo"));

        const QString c = dataFile("c.txt", "Newman Belinda\n");
        window().fileListModel().appendChecked(ToBytes(c));
        useOfficeEngine("(Newman) (Belinda)", "\\2 \\1");
        find<QCheckBox>("CheckBox11")->setChecked(true); // "Use wildcards"
        clickRun();
        QCOMPARE(ReadAll(c), QByteArray("Belinda Newman\r\n"));
        QVERIFY(m_platform->messages.isEmpty());
    }

    void directoryListRunWithAMask()
    {
        const QString x = dataFile("x.txt", "foo\n");
        const QString other = dataFile("z.dat", "foo\n");
        window().directoryListModel().appendChecked(ToBytes(m_data->path()));
        find<QLineEdit>("Edit5")->setText(QStringLiteral("*.txt"));
        window().targetNotebook().setCurrentIndex(TargetNotebook::DirectoryListPage);
        useOfficeEngine("FOO", "bar");
        find<QCheckBox>("CheckBox9")->setChecked(true); // "Match Case": nothing found
        clickRun();
        QCOMPARE(ReadAll(x), QByteArray("foo\r\n")); // saved as plain text all the same
        find<QCheckBox>("CheckBox9")->setChecked(false);
        clickRun();
        QCOMPARE(ReadAll(x), QByteArray("bar\r\n"));
        QCOMPARE(ReadAll(other), QByteArray("foo\n"));
        QVERIFY(m_platform->messages.isEmpty());
    }

    void aFailedCallIsShown()
    {
        const QString a = dataFile("a.txt", "foo");
        window().fileListModel().appendChecked(ToBytes(a));
        useOfficeEngine("^y", "bar");
        clickRun();
        QCOMPARE(m_platform->messages,
                 QStringList{QStringLiteral("^y is not a valid special character for the Find What box.")});
        QCOMPARE(ReadAll(a), QByteArray("foo"));
    }

    void caretCInsertsTheClipboardAndSkippedFilesComeInOneMessage()
    {
        m_platform->clipboard = QStringLiteral("pasted");
        const QString a = dataFile("a.txt", "foo");
        const QString png = dataFile("b.png", QByteArray("\x89PNG\0foo", 8));
        const QString c = dataFile("c.png", QByteArray("foo\0", 4));
        window().fileListModel().appendChecked(ToBytes(a));
        window().fileListModel().appendChecked(ToBytes(png));
        window().fileListModel().appendChecked(ToBytes(c));
        useOfficeEngine("foo", "^c!");
        clickRun();
        QCOMPARE(ReadAll(a), QByteArray("pasted!\r\n"));
        QCOMPARE(ReadAll(png), QByteArray("\x89PNG\0foo", 8));
        QCOMPARE(m_platform->messages,
                 QStringList{png + QStringLiteral(": skipped: binary file (it holds NUL bytes)\n") + c +
                             QStringLiteral(": skipped: binary file (it holds NUL bytes)")});
    }

    void realTimeBranchOnTheTextPage()
    {
        find<QRadioButton>("RadioGroup2_Item1")->setChecked(true);
        window().inputNotebook().setCurrentIndex(InputNotebook::RealTimePage);
        find<QLineEdit>("Edit3")->setText(QStringLiteral("cat"));
        find<QLineEdit>("Edit4")->setText(QStringLiteral("dog"));
        find<QPlainTextEdit>("RichEdit1")->setPlainText(QStringLiteral("Cat and cat\nCATS"));
        clickRun();
        QCOMPARE(find<QPlainTextEdit>("RichEdit1")->toPlainText(), QStringLiteral("Dog and dog\nDOGS\n"));
        QVERIFY(QFile::exists(m_program->filePath(QStringLiteral("richedittext.vexlo"))));
        QVERIFY(m_platform->messages.isEmpty());

        find<QPlainTextEdit>("Memo4")->setPlainText(QStringLiteral("x"));
        find<QPlainTextEdit>("Memo5")->setPlainText(QStringLiteral("y"));
        clickRun();
        QCOMPARE(
            m_platform->messages,
            QStringList{QStringLiteral("You use MS Word Engine - this engine can replace only One Line!")});
        QCOMPARE(find<QPlainTextEdit>("RichEdit1")->toPlainText(), QStringLiteral("Dog and dog\nDOGS\n"));
    }

    // The replacement's characters do not depend on the rest of the text, no-break spaces and
    // a last empty line come back, and the pass is one step of the text's undo history.
    void realTimeTextComesBackWhole()
    {
        find<QRadioButton>("RadioGroup2_Item1")->setChecked(true);
        window().inputNotebook().setCurrentIndex(InputNotebook::RealTimePage);
        auto *text = find<QPlainTextEdit>("RichEdit1");
        auto raw = [text] { return text->document()->toRawText().replace(QChar::ParagraphSeparator, u'\n'); };
        find<QLineEdit>("Edit3")->setText(QStringLiteral("b"));
        // Pure ASCII around the replacement, which must not make it Windows-1252.
        for (const QString &replacement : {QStringLiteral("Ж"), QStringLiteral("Ã©")}) {
            find<QLineEdit>("Edit4")->setText(replacement);
            text->setPlainText(QStringLiteral("abc\n\n"));
            clickRun();
            QCOMPARE(raw(), QStringLiteral("a") + replacement + QStringLiteral("c\n\n"));
        }
        text->undo();
        QCOMPARE(raw(), QStringLiteral("abc\n\n"));

        const QString nbsp(QChar(0x00A0));
        find<QLineEdit>("Edit3")->setText(QStringLiteral("zzz"));
        text->setPlainText(QStringLiteral("x") + nbsp + QStringLiteral("y\n"));
        clickRun();
        QCOMPARE(raw(), QStringLiteral("x") + nbsp + QStringLiteral("y\n"));
        QVERIFY(m_platform->messages.isEmpty());
    }

    // Every box, known to users and tests by its object name, lands in its own field of the
    // request a run reads; a crossed wire between two boxes of the same kind shows here.
    void theRunRequestCarriesEachBoxInItsOwnField()
    {
        const char *const lines[] = {"Edit1", "Edit2", "Edit3", "Edit4"};
        for (const char *name : lines)
            find<QLineEdit>(name)->setText(QString::fromLatin1(name));
        const char *const memos[] = {"Memo1", "Memo2", "Memo4", "Memo5"};
        for (const char *name : memos)
            find<QPlainTextEdit>(name)->setPlainText(QString::fromLatin1(name));
        RunRequest request = window().runRequest();
        QCOMPARE(request.oneLineFind, std::string("Edit1"));
        QCOMPARE(request.oneLineReplace, std::string("Edit2"));
        QCOMPARE(request.multiLineFind, std::string("Memo1"));
        QCOMPARE(request.multiLineReplace, std::string("Memo2"));
        QCOMPARE(request.realTime.findLine, std::string("Edit3"));
        QCOMPARE(request.realTime.replacementLine, std::string("Edit4"));
        QCOMPARE(request.realTime.findMemo, std::string("Memo4"));
        QCOMPARE(request.realTime.replacementMemo, std::string("Memo5"));

        // One Word option box at a time: only its own field is set.
        bool WordEngineOptions::*const fields[] = {
            &WordEngineOptions::matchCase, &WordEngineOptions::wholeWord, &WordEngineOptions::wildcards,
            &WordEngineOptions::soundsLike, &WordEngineOptions::allWordForms};
        const char *const boxes[] = {"CheckBox9", "CheckBox10", "CheckBox11", "CheckBox12", "CheckBox13"};
        for (std::size_t i = 0; i < std::size(boxes); ++i) {
            find<QCheckBox>(boxes[i])->setChecked(true);
            request = window().runRequest();
            for (std::size_t k = 0; k < std::size(fields); ++k)
                QVERIFY2(request.wordOptions.*fields[k] == (k == i), boxes[i]);
            find<QCheckBox>(boxes[i])->setChecked(false);
        }
    }
};

QTEST_MAIN(OfficeEngineTest)
#include "tst_officeengine.moc"
