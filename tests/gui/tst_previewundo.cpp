// The preview window and the undo window over a small tree; with VEXLO_SHOT_DIR set, their
// pictures for the documentation are saved there.
#include "FakePlatform.h"

#include "run/FilePipeline.h"
#include "run/PreviewWindow.h"
#include "run/RunDriver.h"
#include "run/UndoWindow.h"
#include "undo/UndoStore.h"

#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <fstream>
#include <sstream>

using namespace vexlo;
using vexlo::test::FakePlatform;

namespace {

void write(const QString &path, const std::string &bytes)
{
    std::ofstream(path.toStdString(), std::ios::binary) << bytes;
}

std::string read(const QString &path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void shoot(QWidget &window, const char *name)
{
    const QByteArray dir = qgetenv("VEXLO_SHOT_DIR");
    if (!dir.isEmpty())
        window.grab().save(QString::fromUtf8(dir) + QStringLiteral("/") + QString::fromLatin1(name));
}

} // namespace

class PreviewUndoTest : public QObject {
    Q_OBJECT

  private slots:
    void previewShowsTheChangesAndLetsGoRunsTheSameRequest()
    {
        QTemporaryDir tmp;
        const QString program = tmp.filePath(QStringLiteral("program"));
        QDir().mkpath(program);
        write(program + QStringLiteral("/vexlopro.ini"),
              "[Add_File_Procedure]\r\nWhatToFindHistory=9\r\nReplaceWithHistory=9\r\n"
              "WhatToFindMultiLine=9\r\nReplaceWithMultiLine=9\r\n");
        FakePlatform platform{ProgramFolder(program.toStdString())};
        const QString a = tmp.filePath(QStringLiteral("report.txt")),
                      b = tmp.filePath(QStringLiteral("notes.txt"));
        write(a, "Quarterly report\nThe colour of the logo is blue.\nSales rose in every region.\n"
                 "Next review: the colour guide.\n");
        write(b, "No match here\r\n");
        RunRequest request;
        request.oneLineFind = "colour";
        request.oneLineReplace = "color";
        request.fileList = {{a.toStdString(), true},
                            {b.toStdString(), true},
                            {tmp.filePath(QStringLiteral("gone.txt")).toStdString(), true}};

        RunRequest started;
        PreviewWindow window(platform, request, [&](const RunRequest &r) { started = r; });
        window.show();
        window.runPreview();
        QCOMPARE(window.fileList()->count(), 3);
        QVERIFY(window.fileList()->item(0)->text().endsWith(QStringLiteral(": 2 lines changed")));
        QVERIFY(window.fileList()->item(1)->text().endsWith(QStringLiteral(": unchanged")));
        QVERIFY(window.fileList()->item(2)->text().contains(QStringLiteral("fails: ")));
        window.fileList()->setCurrentRow(0);
        QVERIFY(window.diffView()->toPlainText().contains(QStringLiteral("The color of the logo")));
        QVERIFY(window.diffView()->toHtml().contains(
            QStringLiteral("background-color:#f4a6a6;\">u<")));      // the removed "u" marked
        QCOMPARE(read(a).find("colour") != std::string::npos, true); // nothing written
        shoot(window, "preview.png");

        window.findChild<QPushButton *>(QStringLiteral("PreviewGo"))->click();
        QCOMPARE(started.oneLineFind, request.oneLineFind);
        QCOMPARE(started.fileList.size(), request.fileList.size());
        QVERIFY(started.hook == nullptr);
    }

    void previewListsTheFilesPassedOverAsSkipped()
    {
        QTemporaryDir tmp;
        const QString program = tmp.filePath(QStringLiteral("program"));
        QDir().mkpath(program);
        write(program + QStringLiteral("/vexlopro.ini"),
              "[Add_File_Procedure]\r\nWhatToFindHistory=9\r\nReplaceWithHistory=9\r\n"
              "WhatToFindMultiLine=9\r\nReplaceWithMultiLine=9\r\n");
        FakePlatform platform{ProgramFolder(program.toStdString())};
        const QString dir = tmp.filePath(QStringLiteral("tree"));
        QDir().mkpath(dir);
        write(dir + QStringLiteral("/a.bin"), std::string("blue\0", 5));
        write(tmp.filePath(QStringLiteral("outside.txt")), "blue\n");
        QVERIFY(QFile::link(tmp.filePath(QStringLiteral("outside.txt")), dir + QStringLiteral("/b.txt")));
        RunRequest request;
        request.targetTab = TargetTab::DirectoryList;
        request.oneLineFind = "blue";
        request.oneLineReplace = "red";
        request.mask = "*.*";
        request.directoryList = {{dir.toStdString(), true}};

        PreviewWindow window(platform, request, [](const RunRequest &) {});
        window.runPreview();
        QStringList texts;
        for (int i = 0; i < window.fileList()->count(); ++i)
            texts << window.fileList()->item(i)->text();
        QCOMPARE(texts.size(), 2);
        QVERIFY(texts.filter(QStringLiteral("a.bin: skipped: binary file (it holds NUL bytes)")).size() == 1);
        QVERIFY(texts.filter(QStringLiteral("b.txt: skipped: not followed")).size() == 1);
        QCOMPARE(read(dir + QStringLiteral("/a.bin")), std::string("blue\0", 5));
    }

    void previewOfTheOfficeEngineCountsReplacementsAndWritesNothing()
    {
        QTemporaryDir tmp;
        const QString program = tmp.filePath(QStringLiteral("program"));
        QDir().mkpath(program);
        write(program + QStringLiteral("/vexlopro.ini"),
              "[Add_File_Procedure]\r\nWhatToFindHistory=9\r\nReplaceWithHistory=9\r\n"
              "WhatToFindMultiLine=9\r\nReplaceWithMultiLine=9\r\n");
        FakePlatform platform{ProgramFolder(program.toStdString())};
        const QString text = tmp.filePath(QStringLiteral("a.txt")),
                      docx = tmp.filePath(QStringLiteral("b.docx"));
        write(text, "foo and Foo\n");
        const std::string sample = read(QStringLiteral(VEXLO_SOURCE_DIR "/tests/data/documents/sample.docx"));
        write(docx, sample);
        RunRequest request;
        request.engine = EngineKind::Office;
        request.oneLineFind = "foo";
        request.oneLineReplace = "bar";
        request.fileList = {{text.toStdString(), true}, {docx.toStdString(), true}};

        PreviewWindow window(platform, request, [](const RunRequest &) {});
        window.runPreview();
        QCOMPARE(window.fileList()->count(), 2);
        QVERIFY(window.fileList()->item(0)->text().endsWith(QStringLiteral("a.txt: 2 replacements")));
        QVERIFY(window.fileList()->item(1)->text().endsWith(QStringLiteral("b.docx: 4 replacements")));
        window.fileList()->setCurrentRow(0);
        QVERIFY(window.diffView()->toPlainText().contains(QStringLiteral("bar and Bar")));
        QCOMPARE(read(text), std::string("foo and Foo\n"));
        QVERIFY(read(docx) == sample);
    }

    void undoWindowListsAndRestores()
    {
        QTemporaryDir tmp;
        const QString program = tmp.filePath(QStringLiteral("program"));
        QDir().mkpath(program);
        write(program + QStringLiteral("/vexlopro.ini"), "[Undo]\r\nMaxSizeMB=2048\r\n");
        FakePlatform platform{ProgramFolder(program.toStdString())};
        std::vector<std::string> paths;
        for (int i = 0; i < 4; ++i) {
            paths.push_back(tmp.filePath(QStringLiteral("file%1.txt").arg(i)).toStdString());
            write(QString::fromStdString(paths.back()), "colour " + std::to_string(i) + "\n");
        }
        StoreRecorder recorder(platform.programFolder(), nullptr);
        TextOperation op;
        op.find = "colour";
        op.inLine = InLineReplacement::OneString("color");
        PipelineOptions options;
        options.hook = &recorder;
        RunObserver quiet;
        RewriteFiles(paths, op, options, quiet);
        write(QString::fromStdString(paths[2]), "edited after the run\n");

        UndoWindow window(platform);
        window.show();
        QCOMPARE(window.fileList()->count(), 4);
        QVERIFY(window.fileList()->item(2)->text().endsWith(
            QStringLiteral("changed since the run: left as it is")));
        QVERIFY(window.fileList()->item(0)->text().endsWith(QStringLiteral("will be restored")));
        shoot(window, "undo.png");
        window.findChild<QPushButton *>(QStringLiteral("UndoButton"))->click();
        QCOMPARE(read(QString::fromStdString(paths[0])), std::string("colour 0\n"));
        QCOMPARE(read(QString::fromStdString(paths[2])), std::string("edited after the run\n"));
    }
};

QTEST_MAIN(PreviewUndoTest)
#include "tst_previewundo.moc"
