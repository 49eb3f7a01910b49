// The Notes, Clipboard and About windows.
#include "InputTestSupport.h"

#include "app/AboutWindow.h"
#include "app/ClipboardWindow.h"
#include "app/NotesWindow.h"
#include "inputs/EditWindow.h"
#include "inputs/HistoryStore.h"
#include "inputs/HistoryWindows.h"

#include <QClipboard>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QToolButton>

#include <sys/stat.h>

using namespace vexlo;
using namespace vexlo::test;

class SmallWindowsTest : public QObject {
    Q_OBJECT

  private:
    ProgramFixture f;

    NotesWindow &notes() { return f.windows->notes(); }
    QString noteFile(int k) const { return f.program->filePath(QStringLiteral("Memo%1.Notes").arg(k)); }
    QToolButton *notesButton(const char *name) { return ProgramFixture::in<QToolButton>(&notes(), name); }
    void openNotes()
    {
        notes().show();
        notes().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&notes()));
    }

  private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void notesStartEmptyAndTheirFilesLiveInTheProgramFolder()
    {
        // Started from another folder: the notes still go beside the program's other files.
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(f.data->path()));
        openNotes();
        for (int k = 1; k <= 6; ++k)
            QCOMPARE(notes().note(k)->toPlainText(), QString());
        notes().note(2)->setPlainText(QStringLiteral("x\ny"));
        notesButton("SpeedButton4")->click(); // "Close notes..."
        QVERIFY(!notes().isVisible());
        QDir::setCurrent(before);
        QCOMPARE(ReadAll(noteFile(2)), QByteArray("x\r\ny\r\n")); // six bytes
        QCOMPARE(ReadAll(noteFile(1)), QByteArray());
        QVERIFY(QFile::exists(noteFile(6)));
        QVERIFY(!QFile::exists(f.data->filePath(QStringLiteral("Memo2.Notes"))));
    }

    void noteButtonsCopyPasteAndClear()
    {
        openNotes();
        QCOMPARE(notes().windowTitle(), QStringLiteral("Notes"));
        QVERIFY(!notes().isModal());
        notes().note(3)->setPlainText(QStringLiteral("old text"));
        f.platform->clipboard = QStringLiteral("abc");
        notesButton("SpeedButton6")->click(); // paste into note 3
        QCOMPARE(notes().note(3)->toPlainText(), QStringLiteral("abc"));
        f.platform->clipboard.clear();
        notesButton("SpeedButton6")->click(); // no text on the clipboard: the note is empty
        QCOMPARE(notes().note(3)->toPlainText(), QString());

        notes().note(5)->setPlainText(QStringLiteral("five\nlines"));
        notesButton("SpeedButton11")->click(); // copy note 5
        QCOMPARE(f.platform->clipboard, QStringLiteral("five\nlines"));
        notesButton("SpeedButton21")->click(); // clear note 5
        QCOMPARE(notes().note(5)->toPlainText(), QString());

        for (int k = 1; k <= 6; ++k)
            notes().note(k)->setPlainText(QStringLiteral("n"));
        notesButton("SpeedButton15")->click(); // "Clear all notes..."
        for (int k = 1; k <= 6; ++k)
            QCOMPARE(notes().note(k)->toPlainText(), QString());
        // Only load and save touch the files.
        QVERIFY(!QFile::exists(noteFile(3)));
        QCOMPARE(notesButton("SpeedButton9")->toolTip(), QString()); // note 4's copy button
        QCOMPARE(notesButton("SpeedButton1")->toolTip(), QStringLiteral("Copy note in clipboad..."));
    }

    void activationLoadsEveryNoteWhoseFileIsThere()
    {
        for (int k = 1; k <= 6; ++k)
            QVERIFY(WriteAll(noteFile(k), "file " + QByteArray::number(k) + "\r\n"));
        QVERIFY(QFile::remove(noteFile(3)));
        for (int k = 1; k <= 6; ++k)
            notes().note(k)->setPlainText(QStringLiteral("shown %1").arg(k));
        openNotes();
        QCOMPARE(notes().note(1)->toPlainText(), QStringLiteral("file 1"));
        QCOMPARE(notes().note(2)->toPlainText(), QStringLiteral("file 2"));
        QCOMPARE(notes().note(3)->toPlainText(), QStringLiteral("shown 3"));
        // The notes after the missing one still load, so closing cannot overwrite them.
        QCOMPARE(notes().note(4)->toPlainText(), QStringLiteral("file 4"));
        QCOMPARE(notes().note(6)->toPlainText(), QStringLiteral("file 6"));
    }

    void escapeInsideANoteClosesAndSaves()
    {
        openNotes();
        for (int k = 1; k <= 6; ++k)
            notes().note(k)->setPlainText(QStringLiteral("note %1").arg(k));
        notes().note(4)->setFocus();
        QTest::keyClick(notes().note(4), Qt::Key_Escape);
        QVERIFY(!notes().isVisible());
        for (int k = 1; k <= 6; ++k)
            QCOMPARE(ReadAll(noteFile(k)), QStringLiteral("note %1\r\n").arg(k).toLatin1());
    }

    void theFrameCloseSavesAndAFailedSaveKeepsTheWindowOpen()
    {
        openNotes();
        notes().note(1)->setPlainText(QStringLiteral("framed"));
        notes().close();
        QCOMPARE(ReadAll(noteFile(1)), QByteArray("framed\r\n"));

        // A note file that cannot be replaced: the window stays open with the text.
        openNotes();
        notes().note(1)->setPlainText(QStringLiteral("kept"));
        QVERIFY(QFile::remove(noteFile(2)));
        QVERIFY(QDir(f.program->path()).mkdir(QStringLiteral("Memo2.Notes")));
        notesButton("SpeedButton4")->click();
        QVERIFY(notes().isVisible());
        QCOMPARE(notes().note(1)->toPlainText(), QStringLiteral("kept"));
        // Which note and why; the others are saved all the same.
        QCOMPARE(f.platform->messages.size(), 1);
        QVERIFY2(
            f.platform->messages.front().startsWith(QStringLiteral("Note 2 could not be saved: cannot ")),
            qPrintable(f.platform->messages.front()));
        QVERIFY(f.platform->messages.front().contains(noteFile(2)));
        QCOMPARE(ReadAll(noteFile(1)), QByteArray("kept\r\n"));
        QVERIFY(QDir(f.program->path()).rmdir(QStringLiteral("Memo2.Notes")));
        notesButton("SpeedButton4")->click();
        QVERIFY(!notes().isVisible());
    }

    // Text typed and not yet saved survives a visit to another window, with its undo history.
    void aReturnToTheWindowKeepsWhatWasTyped()
    {
        QVERIFY(WriteAll(noteFile(1), "from the file\r\n"));
        openNotes();
        QCOMPARE(notes().note(1)->toPlainText(), QStringLiteral("from the file"));
        notes().note(1)->moveCursor(QTextCursor::End);
        QTest::keyClicks(notes().note(1), QStringLiteral(" typed"));
        QVERIFY(WriteAll(noteFile(1), "changed elsewhere\r\n"));

        f.window().show();
        f.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.window()));
        notes().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&notes()));
        QCOMPARE(notes().note(1)->toPlainText(), QStringLiteral("from the file typed"));
        QVERIFY(notes().note(1)->document()->isUndoAvailable());

        // A note with unsaved edits is not replaced even by an explicit load.
        notes().loadAll();
        QCOMPARE(notes().note(1)->toPlainText(), QStringLiteral("from the file typed"));
    }

    void aNoteFileThatIsNoRegularFileIsNamedAndNotWaitedOn()
    {
        QVERIFY(::mkfifo(ToBytes(noteFile(2)).c_str(), 0600) == 0);
        QVERIFY(WriteAll(noteFile(3), "three\r\n"));
        openNotes();
        QCOMPARE(notes().note(3)->toPlainText(), QStringLiteral("three"));
        QCOMPARE(f.platform->messages.size(), 1);
        QVERIFY2(f.platform->messages.front().startsWith(QStringLiteral("Note 2 could not be loaded: ")),
                 qPrintable(f.platform->messages.front()));
        QVERIFY(f.platform->messages.front().contains(QStringLiteral("not a regular file")));
    }

    // Quitting while a note cannot be saved: say which and why, then quit or go back.
    void quittingWithANoteThatCannotBeSavedAsksFirst()
    {
        f.window().show();
        openNotes();
        notes().note(2)->setFocus();
        QTest::keyClicks(notes().note(2), QStringLiteral("precious"));
        QVERIFY(QDir(f.program->path()).mkdir(QStringLiteral("Memo2.Notes")));
        QSignalSpy closed(&f.window(), &MainWindow::closed);

        f.platform->askAnswers = {false}; // "Go back"
        QVERIFY(!f.window().close());
        QCOMPARE(closed.count(), 0);
        QCOMPARE(f.platform->questions.size(), 1);
        QVERIFY(f.platform->questions.front().startsWith(QStringLiteral("Note 2 could not be saved: ")));
        QVERIFY(notes().isVisible());
        QCOMPARE(notes().note(2)->toPlainText(), QStringLiteral("precious"));

        f.platform->askAnswers = {true}; // "Quit without saving"
        QVERIFY(f.window().close());
        QCOMPARE(closed.count(), 1);
    }

    void aNoteReadsBackAsItWasSaved()
    {
        const QString texts[] = {QStringLiteral("a\n"), QStringLiteral("\n\nb"), QStringLiteral("x\n\n")};
        openNotes();
        for (int k = 1; k <= 3; ++k)
            notes().note(k)->setPlainText(texts[k - 1]);
        for (int round = 0; round < 2; ++round) {
            notes().close();
            for (int k = 1; k <= 3; ++k)
                notes().note(k)->clear();
            openNotes();
            for (int k = 1; k <= 3; ++k)
                QCOMPARE(notes().note(k)->toPlainText(), texts[k - 1]);
        }
        QCOMPARE(ReadAll(noteFile(1)), QByteArray("a\r\n\r\n"));
    }

    void notesOpenAtProgramEndAreSaved()
    {
        openNotes();
        notes().note(6)->setPlainText(QStringLiteral("typed late"));
        QSignalSpy closed(&f.window(), &MainWindow::closed);
        f.window().findChild<QToolButton *>(QStringLiteral("SpeedButton30"))->click(); // "Quit Vexlo Pro"
        QCOMPARE(closed.count(), 1);
        QCOMPARE(ReadAll(noteFile(6)), QByteArray("typed late\r\n"));
    }

    void clipboardWindowShowsTheClipboardTextEachTime()
    {
        ClipboardWindow &window = f.windows->clipboard();
        QCOMPARE(window.windowTitle(), QStringLiteral("Clipboard"));
        f.platform->clipboard = QStringLiteral("abc");
        QString shown;
        WhenModalOpens([&](QDialog *) {
            shown = window.editor()->toPlainText();
            window.editor()->setPlainText(QStringLiteral("typed"));
            ProgramFixture::in<QToolButton>(&window, "SpeedButton1")->click();
        });
        f.find<QToolButton>("SpeedButton5")->click();
        QCOMPARE(shown, QStringLiteral("abc"));
        QCOMPARE(f.platform->clipboard, QStringLiteral("abc")); // edits go nowhere

        f.platform->clipboard.clear(); // nothing, or only an image
        WhenModalOpens([&](QDialog *) { shown = window.editor()->toPlainText(); });
        f.find<QToolButton>("SpeedButton23")->click();
        QCOMPARE(shown, QString());
    }

    void anImageOnTheDesktopClipboardShowsNoText()
    {
        DesktopPlatform desktop{f.platform->programFolder()};
        ClipboardWindow window(desktop);
        QApplication::clipboard()->setText(QStringLiteral("text first"));
        window.refill();
        QCOMPARE(window.editor()->toPlainText(), QStringLiteral("text first"));
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::red);
        QApplication::clipboard()->setImage(image);
        window.refill();
        QCOMPARE(window.editor()->toPlainText(), QString());
    }

    void aboutShowsTheVersionAndOpensTheHomePage()
    {
        AboutWindow &about = f.windows->about();
        QCOMPARE(about.windowTitle(), QStringLiteral("About..."));
        bool found = false;
        for (const QLabel *label : about.findChildren<QLabel *>())
            found = found || label->text() == QStringLiteral("Version: 1.0");
        QVERIFY(found);
        auto *link = ProgramFixture::in<QLabel>(&about, "Label6");
        QCOMPARE(link->text(), QString::fromLatin1(HomePageAddress));
        WhenModalOpens([&](QDialog *dialog) {
            QCOMPARE(dialog, &about);
            QTest::mouseClick(link, Qt::LeftButton);
            ProgramFixture::in<QToolButton>(dialog, "SpeedButton1")->click();
        });
        f.window().menu().about->trigger();
        QCOMPARE(f.platform->opened, QStringList{QString::fromLatin1(HomePageAddress)});
    }

    // Pictures of the windows for the documentation: VEXLO_GRAB_DIR=<folder>.
    void grabWindows()
    {
        const QString out = qEnvironmentVariable("VEXLO_GRAB_DIR");
        if (out.isEmpty())
            QSKIP("VEXLO_GRAB_DIR not set");
        openNotes();
        notes().note(1)->setPlainText(QStringLiteral("Ask Ann about the new footer"));
        notes().note(2)->setPlainText(QStringLiteral("Copyright 2023\nCopyright 2024"));
        QVERIFY(notes().grab().save(out + QStringLiteral("/notes.png")));
        notes().hide();

        f.platform->clipboard = QStringLiteral("<p class=\"footer\">Copyright 2023 Example Ltd.</p>");
        ClipboardWindow &clipboard = f.windows->clipboard();
        clipboard.show();
        QVERIFY(clipboard.grab().save(out + QStringLiteral("/clipboard.png")));
        clipboard.hide();
        AboutWindow &about = f.windows->about();
        about.show();
        QVERIFY(about.grab().save(out + QStringLiteral("/about.png")));
        about.hide();

        HistoryStore store(f.platform->programFolder());
        const char *const names[] = {"history-find.png", "history-replace.png", "history-find-multiline.png",
                                     "history-replace-multiline.png"};
        for (int kind = 0; kind < 4; ++kind) {
            for (int i = 0; i < 4; ++i) {
                if (kind < 2)
                    store.record(HistoryKind(kind), {"Copyright 202" + std::to_string(i)});
                else
                    store.record(HistoryKind(kind),
                                 {"<div class=\"footer\">", "  (c) 202" + std::to_string(i), "</div>"});
            }
            HistoryWindow &history = f.windows->history(kind);
            history.show();
            QVERIFY(history.grab().save(out + QLatin1Char('/') + QString::fromLatin1(names[kind])));
            history.hide();
        }

        EditWindow &edit = f.windows->edit();
        edit.memo(EditWindow::FindPage)
            ->setPlainText(QStringLiteral("<div class=\"footer\">\n  (c) 2023\n</div>"));
        edit.resize(760, 420);
        edit.show();
        QVERIFY(edit.grab().save(out + QStringLiteral("/edit.png")));
        edit.hide();
    }
};

QTEST_MAIN(SmallWindowsTest)
#include "tst_smallwindows.moc"
