// The history windows after recordings, and the "Real time" page: its pass and its toolbar.
#include "InputTestSupport.h"

#include "app/InputNotebook.h"
#include "app/OptionsColumn.h"
#include "app/TargetNotebook.h"
#include "inputs/HistoryStore.h"
#include "inputs/HistoryWindows.h"
#include "targets/TargetListModel.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QToolButton>

#include <algorithm>

using namespace vexlo;
using namespace vexlo::test;

namespace {

/// The window's widgets of type T, from the top of the window down (then left to right).
template <class T> QList<T *> TopDown(QWidget *window)
{
    QList<T *> widgets = window->findChildren<T *>();
    std::sort(widgets.begin(), widgets.end(), [window](T *a, T *b) {
        const QPoint pa = a->mapTo(window, QPoint()), pb = b->mapTo(window, QPoint());
        return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
    });
    return widgets;
}

} // namespace

class HistoriesRealTimeTest : public QObject {
    Q_OBJECT

  private:
    ProgramFixture f;

    void click(const char *name) { f.find<QToolButton>(name)->click(); }
    void clickRun() { f.window().findChild<QToolButton *>(QStringLiteral("SpeedButton29"))->click(); }
    HistoryStore store() const { return HistoryStore(f.platform->programFolder()); }
    QPlainTextEdit *text() const { return f.window().targetNotebook().textBox(); }
    /// Opens the window with `button`, runs `inside` with it, closes it.
    void withWindow(const char *button, const std::function<void(QDialog *)> &inside)
    {
        bool seen = false;
        WhenModalOpens(inside, &seen);
        click(button);
        QVERIFY2(seen, button);
    }

  private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void oneLineHistoryShowsTheSlotsInItsOrder_data()
    {
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("title");
        QTest::newRow("TForm6") << QByteArray("SpeedButton6") << int(HistoryKind::WhatToFind)
                                << QStringLiteral("\"What to Find\" History");
        QTest::newRow("TForm7") << QByteArray("SpeedButton8") << int(HistoryKind::ReplaceWith)
                                << QStringLiteral("\"Replace With\" History");
    }
    void oneLineHistoryShowsTheSlotsInItsOrder()
    {
        QFETCH(QByteArray, button);
        QFETCH(int, kind);
        QFETCH(QString, title);
        const auto history = static_cast<HistoryKind>(kind);
        // The installed counter stands at 9: ten recordings fill slots 0 to 9 in order.
        for (int i = 0; i < 10; ++i) {
            const std::string number = std::to_string(i);
            store().record(history, {"s" + number});
        }

        withWindow(button.constData(), [&](QDialog *window) {
            QCOMPARE(window->windowTitle(), title);
            QStringList shown;
            for (QLineEdit *field : TopDown<QLineEdit>(window))
                shown << field->text();
            QCOMPARE(shown, (QStringList{"s0", "s1", "s2", "s3", "s4", "s9", "s8", "s7", "s6", "s5"}));
            QCOMPARE(ProgramFixture::in<QLineEdit>(window, "Edit6")->text(), QStringLiteral("s5"));
            // The copy buttons beside the fields are inert.
            f.platform->clipboard = QStringLiteral("kept");
            for (QToolButton *copy : window->findChildren<QToolButton *>())
                if (copy->toolTip() == QStringLiteral("Copy in clipboard..."))
                    copy->click();
            QCOMPARE(f.platform->clipboard, QStringLiteral("kept"));
        });

        // A missing slot keeps what its field showed; a counter of 15 writes slot 16, unseen.
        QVERIFY(QFile::remove(QString::fromStdString(store().slotPath(history, "3").string())));
        f.setIni("Add_File_Procedure", HistoryCounterKey(history), "15");
        QCOMPARE(store().record(history, {"late"}), std::string("16"));
        QCOMPARE(f.ini("Add_File_Procedure", HistoryCounterKey(history)), std::string("16"));
        store().record(history, {"later"}); // counts on to 17
        withWindow(button.constData(), [&](QDialog *window) {
            QCOMPARE(ProgramFixture::in<QLineEdit>(window, "Edit4")->text(), QStringLiteral("s3"));
            for (QLineEdit *field : window->findChildren<QLineEdit *>())
                QVERIFY(!field->text().startsWith(QStringLiteral("late")));
        });
        QCOMPARE(f.ini("Add_File_Procedure", HistoryCounterKey(history)), std::string("17"));
    }

    void multiLineHistoryShowsThreeToARowWithSlotZeroLast_data()
    {
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<int>("kind");
        QTest::newRow("TForm8") << QByteArray("SpeedButton18") << int(HistoryKind::WhatToFindMultiLine);
        QTest::newRow("TForm9") << QByteArray("SpeedButton24") << int(HistoryKind::ReplaceWithMultiLine);
    }
    void multiLineHistoryShowsThreeToARowWithSlotZeroLast()
    {
        QFETCH(QByteArray, button);
        QFETCH(int, kind);
        const auto history = static_cast<HistoryKind>(kind);
        for (int i = 0; i < 10; ++i) {
            const std::string number = std::to_string(i);
            store().record(history, {"a" + number, "b" + number});
        }
        withWindow(button.constData(), [&](QDialog *window) {
            const QList<QPlainTextEdit *> memos = TopDown<QPlainTextEdit>(window);
            QCOMPARE(memos.size(), 10);
            QStringList shown;
            for (QPlainTextEdit *memo : memos)
                shown << memo->toPlainText();
            QCOMPARE(shown.first(), QStringLiteral("a1\nb1"));
            QCOMPARE(shown.last(), QStringLiteral("a0\nb0"));
            QCOMPARE(memos.last()->objectName(), QStringLiteral("Memo10"));
            // Three to a row: Memo1..Memo3 share a row, Memo4 starts the next.
            const auto top = [window](QWidget *w) { return w->mapTo(window, QPoint()).y(); };
            QCOMPARE(top(memos[0]), top(memos[2]));
            QVERIFY(top(memos[3]) > top(memos[2]));
            QVERIFY(top(memos[9]) > top(memos[8]));
            QVERIFY(ProgramFixture::in<QToolButton>(window, "SpeedButton1")->toolTip() ==
                    QStringLiteral("Close history..."));
        });
        QVERIFY(QFile::remove(QString::fromStdString(store().slotPath(history, "4").string())));
        withWindow(button.constData(), [&](QDialog *window) {
            QCOMPARE(ProgramFixture::in<QPlainTextEdit>(window, "Memo4")->toPlainText(),
                     QStringLiteral("a4\nb4"));
            ProgramFixture::in<QToolButton>(window, "SpeedButton1")->click();
            QVERIFY(!window->isVisible());
        });
    }

    void runsRecordIntoTheSlotsTheWindowsShow()
    {
        f.window().fileListModel().appendChecked(ToBytes(f.dataFile("t.txt", "x\n")));
        f.find<QLineEdit>("Edit1")->setText(QStringLiteral("first"));
        clickRun();
        f.find<QLineEdit>("Edit1")->setText(QStringLiteral("second"));
        clickRun();
        withWindow("SpeedButton6", [](QDialog *window) {
            QCOMPARE(ProgramFixture::in<QLineEdit>(window, "Edit1")->text(), QStringLiteral("first"));
            QCOMPARE(ProgramFixture::in<QLineEdit>(window, "Edit2")->text(), QStringLiteral("second"));
        });
    }

    void realTimePassFollowsTheCaseTable_data()
    {
        QTest::addColumn<QString>("edit3");
        QTest::addColumn<QString>("memo4");
        QTest::addColumn<QString>("edit4");
        QTest::addColumn<QString>("memo5");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString sample = QStringLiteral("foo foo\nxfoo");
        QTest::newRow("Edit3, Edit4") << "foo"
                                      << ""
                                      << "bar"
                                      << "" << sample << "bar foo\nxbar";
        QTest::newRow("Edit3 alone deletes the first") << "foo"
                                                       << ""
                                                       << ""
                                                       << "" << sample << " foo\nx";
        QTest::newRow("Edit3, Memo5 of one line") << "foo"
                                                  << ""
                                                  << ""
                                                  << "bar" << sample << "bar foo\nxbar";
        QTest::newRow("Edit3, Memo5 of two lines") << "mid"
                                                   << ""
                                                   << ""
                                                   << "1\n2"
                                                   << "a mid b"
                                                   << "a 1\n2 b";
        QTest::newRow("Memo4 of one line, Edit4") << ""
                                                  << "foo"
                                                  << "bar"
                                                  << ""
                                                  << "a foo foo"
                                                  << "a bar foo";
        QTest::newRow("Memo4 block, Edit4") << ""
                                            << "begin\nend"
                                            << "X"
                                            << ""
                                            << "1 begin\nend 2\nz"
                                            << "1 X 2\nz";
        QTest::newRow("Memo4 alone") << ""
                                     << "begin\nend"
                                     << ""
                                     << ""
                                     << "1 begin\nend 2\nz"
                                     << "1  2\nz";
        QTest::newRow("Memo4, Memo5") << ""
                                      << "begin\nend"
                                      << ""
                                      << "P\nQ"
                                      << "1 begin\nend 2"
                                      << "1 P\nQ 2";
        QTest::newRow("Edit3 and Memo4: nothing") << "foo"
                                                  << "foo"
                                                  << "bar"
                                                  << "" << sample << sample;
        QTest::newRow("Edit4 and Memo5: nothing") << "foo"
                                                  << ""
                                                  << "bar"
                                                  << "baz" << sample << sample;
        QTest::newRow("no find input: nothing") << ""
                                                << ""
                                                << "bar"
                                                << "" << sample << sample;
        QTest::newRow("an empty text stays empty") << "foo"
                                                   << ""
                                                   << "bar"
                                                   << ""
                                                   << ""
                                                   << "";
    }
    void realTimePassFollowsTheCaseTable()
    {
        QFETCH(QString, edit3);
        QFETCH(QString, memo4);
        QFETCH(QString, edit4);
        QFETCH(QString, memo5);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        // The file list is shown and has a checked file: the pass leaves it alone.
        const QString file = f.dataFile("target.txt", "foo\n");
        f.window().fileListModel().appendChecked(ToBytes(file));
        f.window().inputNotebook().setCurrentIndex(InputNotebook::RealTimePage);
        f.find<QLineEdit>("Edit3")->setText(edit3);
        f.find<QPlainTextEdit>("Memo4")->setPlainText(memo4);
        f.find<QLineEdit>("Edit4")->setText(edit4);
        f.find<QPlainTextEdit>("Memo5")->setPlainText(memo5);
        // "Only Whole Word" makes no difference to a one-line block.
        f.find<QCheckBox>("CheckBox2")->setChecked(memo4 == QLatin1String("foo"));
        this->text()->setPlainText(text);

        clickRun();
        // Every line of a result ends in a break; a combination that chooses nothing changes nothing.
        const bool passed = expected != text && !expected.isEmpty();
        QCOMPARE(this->text()->toPlainText(), passed ? expected + QLatin1Char('\n') : expected);
        QCOMPARE(ReadAll(file), QByteArray("foo\n"));
        QCOMPARE(f.window().targetNotebook().currentIndex(), int(TargetNotebook::FileListPage));
        // The real-time inputs are not recorded.
        QCOMPARE(f.ini("Add_File_Procedure", "WhatToFindHistory"), std::string("9"));
        QVERIFY(f.platform->messages.isEmpty());
    }

    void textToolbarActsOnTheTextAndShowsIt()
    {
        QTabWidget &targets = f.window().targetNotebook();
        auto back = [&] { targets.setCurrentIndex(TargetNotebook::FileListPage); };
        text()->setPlainText(QStringLiteral("one\ntwo"));

        back();
        click("SpeedButton43"); // copy: the whole text, which stays selected
        QCOMPARE(f.platform->clipboard, QStringLiteral("one\ntwo"));
        QCOMPARE(text()->textCursor().selectedText().size(), 7);
        QCOMPARE(targets.currentIndex(), int(TargetNotebook::TextPage));

        back();
        f.platform->clipboard = QStringLiteral("new");
        click("SpeedButton44"); // paste replaces the selection
        QCOMPARE(text()->toPlainText(), QStringLiteral("new"));
        QCOMPARE(targets.currentIndex(), int(TargetNotebook::TextPage));

        back();
        click("SpeedButton45");
        QCOMPARE(text()->toPlainText(), QString());
        QCOMPARE(targets.currentIndex(), int(TargetNotebook::TextPage));

        // Load: pair 1, the whole text replaced, then the text page.
        f.setIni("Add_File_Procedure", "Last_Opened_Directory1", "/texts/");
        f.setIni("Add_File_Procedure", "Extension_Filter1", "2");
        text()->setPlainText(QStringLiteral("old"));
        back();
        click("SpeedButton42"); // cancelled: nothing changes
        QCOMPARE(text()->toPlainText(), QStringLiteral("old"));
        QCOMPARE(targets.currentIndex(), int(TargetNotebook::FileListPage));
        QCOMPARE(f.platform->dialogRequests.last().directory, QStringLiteral("/texts/"));
        QCOMPARE(f.platform->dialogRequests.last().filterIndex, 2);
        f.answerDialog(f.dataFile("text.txt", "l1\r\nl2\r\n"), 5);
        click("SpeedButton42");
        QCOMPARE(text()->toPlainText(), QStringLiteral("l1\nl2\n"));
        QCOMPARE(targets.currentIndex(), int(TargetNotebook::TextPage));
        QCOMPARE(f.ini("Add_File_Procedure", "Extension_Filter1"), std::string("5"));
        QCOMPARE(f.ini("Add_File_Procedure", "Last_Opened_Directory1"), ToBytes(f.data->path()) + "/");

        // An unreadable file leaves the text and the pair as they were.
        f.answerDialog(f.data->filePath("missing.txt"), 3);
        click("SpeedButton42");
        QCOMPARE(text()->toPlainText(), QStringLiteral("l1\nl2\n"));
        QCOMPARE(f.ini("Add_File_Procedure", "Extension_Filter1"), std::string("5"));
        QVERIFY(f.platform->messages.isEmpty());
    }

    // A last empty line survives a pass and a load; the pass is one step of the undo history.
    void everyLineIsKeptAndThePassCanBeUndone()
    {
        f.window().inputNotebook().setCurrentIndex(InputNotebook::RealTimePage);
        f.find<QLineEdit>("Edit3")->setText(QStringLiteral("foo"));
        f.find<QLineEdit>("Edit4")->setText(QStringLiteral("bar"));
        for (const QString &kept :
             {QStringLiteral("a\n\n"), QStringLiteral("\n"), QStringLiteral("a\n\n\nb\n")}) {
            text()->setPlainText(kept);
            clickRun();
            QCOMPARE(text()->toPlainText(), kept);
        }
        text()->setPlainText(QStringLiteral("foo\n\n"));
        clickRun();
        clickRun();
        QCOMPARE(text()->toPlainText(), QStringLiteral("bar\n\n"));
        text()->undo();
        text()->undo();
        QCOMPARE(text()->toPlainText(), QStringLiteral("foo\n\n"));

        f.answerDialog(f.dataFile("empty-last.txt", "l1\r\n\r\n"), 1);
        click("SpeedButton42");
        QCOMPARE(text()->toPlainText(), QStringLiteral("l1\n\n"));
        text()->undo(); // the load too
        QCOMPARE(text()->toPlainText(), QStringLiteral("foo\n\n"));
    }

    // No-break spaces are read as the boxes hold them: found, kept and copied.
    void noBreakSpacesAreTakenAsTheyAre()
    {
        const QString nbsp(QChar(0x00A0));
        auto raw = [this] {
            return text()->document()->toRawText().replace(QChar::ParagraphSeparator, u'\n');
        };
        f.window().inputNotebook().setCurrentIndex(InputNotebook::RealTimePage);
        f.find<QLineEdit>("Edit3")->setText(QStringLiteral("zzz")); // matches nothing
        text()->setPlainText(QStringLiteral("a") + nbsp + QStringLiteral("b\n"));
        clickRun();
        QCOMPARE(raw(), QStringLiteral("a") + nbsp + QStringLiteral("b\n"));

        f.find<QLineEdit>("Edit3")->clear();
        f.find<QPlainTextEdit>("Memo4")->setPlainText(QStringLiteral("a") + nbsp + QStringLiteral("b"));
        f.find<QLineEdit>("Edit4")->setText(QStringLiteral("X"));
        text()->setPlainText(QStringLiteral("a b\na") + nbsp + QStringLiteral("b\n"));
        clickRun();
        QCOMPARE(raw(), QStringLiteral("a b\nX\n"));

        text()->setPlainText(QStringLiteral("c") + nbsp + QStringLiteral("d"));
        click("SpeedButton43"); // "Copy Text"
        QCOMPARE(f.platform->clipboard, QStringLiteral("c") + nbsp + QStringLiteral("d"));
    }

    void textLoadWithoutSettingsStopsWithCode003()
    {
        QVERIFY(QFile::remove(f.iniPath()));
        click("SpeedButton42");
        QVERIFY(f.platform->dialogRequests.isEmpty());
        QCOMPARE(
            f.platform->messages,
            QStringList{QStringLiteral("Critical mistake!, Error Code: [003]\r\nSetup Vexlo Pro again..")});
        QCOMPARE(f.platform->terminations, 1);
    }

    void clipboardAndNotesButtonsBringTheTextPageFirst()
    {
        QTabWidget &targets = f.window().targetNotebook();
        int pageWhenOpen = -1;
        WhenModalOpens([&](QDialog *dialog) {
            QCOMPARE(dialog->objectName(), QStringLiteral("TForm5"));
            pageWhenOpen = targets.currentIndex();
        });
        click("SpeedButton46");
        QCOMPARE(pageWhenOpen, int(TargetNotebook::TextPage));

        targets.setCurrentIndex(TargetNotebook::DirectoryListPage);
        click("SpeedButton47"); // the notes do not block: the click returns with them open
        QCOMPARE(targets.currentIndex(), int(TargetNotebook::TextPage));
        QWidget *notes = f.window().findChild<QWidget *>(QStringLiteral("TForm12"));
        QVERIFY(notes && notes->isVisible());
        QVERIFY(!notes->isModal());
        notes->close();
    }

    void pastedRichTextArrivesAsPlainText()
    {
        // The desktop clipboard with rich text on it: the text box takes only the text.
        DesktopPlatform desktop{f.platform->programFolder()};
        auto *mime = new QMimeData;
        mime->setHtml(QStringLiteral("<b>bold</b> <i>it</i>"));
        mime->setText(QStringLiteral("bold it"));
        QApplication::clipboard()->setMimeData(mime);
        QCOMPARE(desktop.clipboardText(), QStringLiteral("bold it"));
        text()->paste();
        QCOMPARE(text()->toPlainText(), QStringLiteral("bold it"));
        const QString html = text()->document()->toHtml();
        QVERIFY(!html.contains(QStringLiteral("font-weight:700")) &&
                !html.contains(QStringLiteral("italic")));
    }
};

QTEST_MAIN(HistoriesRealTimeTest)
#include "tst_histories_realtime.moc"
