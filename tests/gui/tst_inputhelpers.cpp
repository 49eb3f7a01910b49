// The buttons and menus around the find and replace fields, and the "Edit" window.
#include "InputTestSupport.h"

#include "app/InputNotebook.h"
#include "app/OptionsColumn.h"
#include "app/TargetNotebook.h"
#include "inputs/EditWindow.h"
#include "inputs/InputHelpers.h"

#include <QAction>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextCursor>
#include <QToolButton>

using namespace vexlo;
using namespace vexlo::test;

namespace {

const QString MissingSettings =
    QStringLiteral("Critical mistake!, Error Code: [001]\r\nSetup Vexlo Pro again..");

QStringList ActionTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

} // namespace

class InputHelpersTest : public QObject {
    Q_OBJECT

  private:
    ProgramFixture f;

    InputNotebook &notebook() { return f.window().inputNotebook(); }
    void click(const char *name) { f.find<QToolButton>(name)->click(); }
    QString text(const char *field)
    {
        if (auto *edit = f.find<QLineEdit>(field))
            return edit->text();
        return {};
    }
    QString memo(const char *field) { return f.find<QPlainTextEdit>(field)->toPlainText(); }

  private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void clearCopyPasteActOnTheirField_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("clear");
        QTest::addColumn<QByteArray>("copy");
        QTest::addColumn<QByteArray>("paste");
        QTest::newRow("Edit1") << QByteArray("Edit1") << QByteArray("SpeedButton1")
                               << QByteArray("SpeedButton2") << QByteArray("SpeedButton3");
        QTest::newRow("Edit2") << QByteArray("Edit2") << QByteArray("SpeedButton7")
                               << QByteArray("SpeedButton12") << QByteArray("SpeedButton11");
        QTest::newRow("Memo1") << QByteArray("Memo1") << QByteArray("SpeedButton13")
                               << QByteArray("SpeedButton14") << QByteArray("SpeedButton15");
        QTest::newRow("Memo2") << QByteArray("Memo2") << QByteArray("SpeedButton19")
                               << QByteArray("SpeedButton20") << QByteArray("SpeedButton21");
    }
    void clearCopyPasteActOnTheirField()
    {
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, clear);
        QFETCH(QByteArray, copy);
        QFETCH(QByteArray, paste);
        auto *edit = f.find<QLineEdit>(field.constData());
        auto *memoField = edit ? nullptr : f.find<QPlainTextEdit>(field.constData());
        auto setText = [&](const QString &t) { edit ? edit->setText(t) : memoField->setPlainText(t); };
        auto current = [&] { return edit ? edit->text() : memoField->toPlainText(); };
        // Selects the characters [from, from + length).
        auto select = [&](int from, int length) {
            if (edit) {
                edit->setSelection(from, length);
            } else {
                QTextCursor cursor = memoField->textCursor();
                cursor.setPosition(from);
                cursor.setPosition(from + length, QTextCursor::KeepAnchor);
                memoField->setTextCursor(cursor);
            }
        };

        setText(QStringLiteral("hello world"));
        f.platform->clipboard = QStringLiteral("before");
        select(0, 0);
        click(copy.constData()); // no selection: the clipboard keeps its text
        QCOMPARE(f.platform->clipboard, QStringLiteral("before"));
        select(6, 5);
        click(copy.constData());
        QCOMPARE(f.platform->clipboard, QStringLiteral("world"));

        f.platform->clipboard = QStringLiteral("big");
        select(0, 5);
        click(paste.constData()); // at the caret, replacing the selection
        QCOMPARE(current(), QStringLiteral("big world"));
        f.platform->clipboard.clear();
        select(0, 3);
        click(paste.constData()); // no text on the clipboard: nothing changes
        QCOMPARE(current(), QStringLiteral("big world"));

        f.platform->clipboard = QStringLiteral("one\ntwo");
        select(0, 3);
        click(paste.constData());
        QCOMPARE(current(), edit ? QStringLiteral("one world") : QStringLiteral("one\ntwo world"));

        click(clear.constData());
        QCOMPARE(current(), QString());
    }

    void loadsUseTheirRememberedFolderAndFilter_data()
    {
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("readDirectory");
        QTest::addColumn<QByteArray>("readFilter");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QString>("expected");
        // The fields start as "old"; the file holds "first" and "second".
        QTest::newRow("one-line find") << QByteArray("SpeedButton4") << QByteArray("Edit1") << QByteArray("2")
                                       << QByteArray("2") << QByteArray("2") << QStringLiteral("first");
        QTest::newRow("one-line replace")
            << QByteArray("SpeedButton10") << QByteArray("Edit2") << QByteArray("3") << QByteArray("3")
            << QByteArray("3") << QStringLiteral("first");
        QTest::newRow("multi-line find")
            << QByteArray("SpeedButton16") << QByteArray("Memo1") << QByteArray("3") << QByteArray("4")
            << QByteArray("4") << QStringLiteral("old\nfirst\nsecond\n");
        QTest::newRow("multi-line replace")
            << QByteArray("SpeedButton22") << QByteArray("Memo2") << QByteArray("5") << QByteArray("5")
            << QByteArray("5") << QStringLiteral("old\nfirst\nsecond\n");
    }
    void loadsUseTheirRememberedFolderAndFilter()
    {
        QFETCH(QByteArray, button);
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, readDirectory);
        QFETCH(QByteArray, readFilter);
        QFETCH(QByteArray, written);
        QFETCH(QString, expected);
        // Every pair remembers a folder and filter of its own, so the test sees which it read.
        for (const char *n : {"2", "3", "4", "5"}) {
            f.setIni("Add_File_Procedure", (std::string("Last_Opened_Directory") + n).c_str(),
                     (std::string("/dir") + n + "/").c_str());
            f.setIni("Add_File_Procedure", (std::string("Extension_Filter") + n).c_str(), n);
        }
        auto *edit = f.find<QLineEdit>(field.constData());
        auto *memoField = edit ? nullptr : f.find<QPlainTextEdit>(field.constData());
        auto current = [&] { return edit ? edit->text() : memoField->toPlainText(); };
        edit ? edit->setText(QStringLiteral("old")) : memoField->setPlainText(QStringLiteral("old"));
        const QString file = f.dataFile("two.txt", "first\r\nsecond\r\n");

        click(button.constData()); // cancelled: nothing changes, nothing is stored
        QCOMPARE(f.platform->dialogRequests.size(), 1);
        const OpenFileRequest &request = f.platform->dialogRequests.first();
        QCOMPARE(request.directory, QStringLiteral("/dir") + QString::fromLatin1(readDirectory) + "/");
        QCOMPARE(request.filterIndex, readFilter.toInt());
        QCOMPARE(request.filters.size(), 5);
        QVERIFY(!request.multiple);
        QCOMPARE(current(), QStringLiteral("old"));

        f.answerDialog(file, 1);
        click(button.constData());
        QCOMPARE(current(), expected);
        const std::string writtenDirectory = "Last_Opened_Directory" + written.toStdString();
        const std::string writtenFilter = "Extension_Filter" + written.toStdString();
        QCOMPARE(f.ini("Add_File_Procedure", writtenDirectory.c_str()), ToBytes(f.data->path()) + "/");
        QCOMPARE(f.ini("Add_File_Procedure", writtenFilter.c_str()), std::string("1"));
        if (readDirectory != written) // the multi-line find load only reads pair 3's folder
            QCOMPARE(
                f.ini("Add_File_Procedure", ("Last_Opened_Directory" + readDirectory.toStdString()).c_str()),
                "/dir" + readDirectory.toStdString() + "/");
        QVERIFY(f.platform->messages.isEmpty());
        QCOMPARE(f.platform->terminations, 0);
    }

    void loadingIntoAMemoTwiceAppendsTwice()
    {
        const QString file = f.dataFile("two.txt", "a\nb");
        f.answerDialog(file);
        f.answerDialog(file);
        click("SpeedButton16");
        click("SpeedButton16");
        QCOMPARE(memo("Memo1"), QStringLiteral("a\nb\na\nb\n"));

        // A last empty line of the file is a line of the block too.
        f.find<QPlainTextEdit>("Memo1")->clear();
        f.answerDialog(f.dataFile("empty-last.txt", "a\r\n\r\n"));
        click("SpeedButton16");
        QCOMPARE(memo("Memo1"), QStringLiteral("a\n\n"));
    }

    void anEmptyOrUnreadableFileChangesNothing_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::newRow("empty file") << true;
        QTest::newRow("unreadable file") << false;
    }
    void anEmptyOrUnreadableFileChangesNothing()
    {
        QFETCH(bool, exists);
        const QString file = exists ? f.dataFile("empty.txt", "") : f.data->filePath("missing.txt");
        f.find<QLineEdit>("Edit1")->setText(QStringLiteral("keep"));
        f.answerDialog(file, 3);
        click("SpeedButton4");
        QCOMPARE(text("Edit1"), QStringLiteral("keep"));
        QCOMPARE(f.ini("Add_File_Procedure", "Extension_Filter2"), std::string("5"));
        QVERIFY(f.platform->messages.isEmpty());
        QCOMPARE(f.platform->terminations, 0);
    }

    void aBadStoredFilterShowsMistakeBeforeAnyDialog()
    {
        f.setIni("Add_File_Procedure", "Extension_Filter2", "x");
        click("SpeedButton4");
        QCOMPARE(f.platform->messages, QStringList{QStringLiteral("mistake!")});
        QVERIFY(f.platform->dialogRequests.isEmpty());
    }

    void aMissingSettingsFileStopsTheProgramWithCode001_data()
    {
        QTest::addColumn<QByteArray>("button");
        for (const char *button : {"SpeedButton4", "SpeedButton10", "SpeedButton16", "SpeedButton22"})
            QTest::newRow(button) << QByteArray(button);
    }
    void aMissingSettingsFileStopsTheProgramWithCode001()
    {
        QFETCH(QByteArray, button);
        QVERIFY(QFile::remove(f.iniPath()));
        click(button.constData());
        QVERIFY(f.platform->dialogRequests.isEmpty());
        QCOMPARE(f.platform->messages, QStringList{MissingSettings});
        QCOMPARE(f.platform->terminations, 1);
    }

    void splitLoadFillsTheLineOrAppendsToTheMemo()
    {
        notebook().setCurrentIndex(InputNotebook::RealTimePage);
        f.find<QLineEdit>("Edit3")->setText(QStringLiteral("keep"));
        f.answerDialog(f.dataFile("two.txt", "a\r\nb\r\n"), 2);
        f.platform->popupChoices.push_back(QStringLiteral("Load \"Find\" string(s) from File..."));
        click("SpeedButton48");
        QCOMPARE(memo("Memo4"), QStringLiteral("a\nb\n"));
        QCOMPARE(text("Edit3"), QStringLiteral("keep"));
        QCOMPARE(f.ini("Add_File_Procedure", "Extension_Filter15"), std::string("2"));

        f.answerDialog(f.dataFile("one.txt", "only\n"), 4);
        f.platform->popupChoices.push_back(QStringLiteral("Load \"Find\" string(s) from File..."));
        click("SpeedButton48");
        QCOMPARE(text("Edit3"), QStringLiteral("only"));
        QCOMPARE(memo("Memo4"), QStringLiteral("a\nb\n"));

        f.answerDialog(f.dataFile("one.txt", "rep\n"), 3);
        f.platform->popupChoices.push_back(QStringLiteral("Load \"Replace\" string(s) from File..."));
        click("SpeedButton49");
        QCOMPARE(text("Edit4"), QStringLiteral("rep"));
        QCOMPARE(f.ini("Add_File_Procedure", "Extension_Filter16"), std::string("3"));
        QCOMPARE(f.ini("Add_File_Procedure", "Extension_Filter15"), std::string("4"));
    }

    void findStringsMenuClearsCopiesAndPastes()
    {
        QMenu *menu = f.windows->inputHelpers().findStringsMenu();
        QCOMPARE(ActionTexts(menu),
                 (QStringList{"Clear \"Find\" string(s)...", "Copy \"Find\" string(s) to Clipboard...",
                              "Paste \"Find\" string(s) from Clipboard...",
                              "Load \"Find\" string(s) from File..."}));
        auto choose = [&](const char *item) {
            f.platform->popupChoices.push_back(QString::fromLatin1(item));
            click("SpeedButton48");
        };
        auto *edit3 = f.find<QLineEdit>("Edit3");
        auto *memo4 = f.find<QPlainTextEdit>("Memo4");
        edit3->setText(QStringLiteral("line"));
        memo4->setPlainText(QStringLiteral("m1\nm2"));
        choose("Copy \"Find\" string(s) to Clipboard...");
        QCOMPARE(f.platform->clipboard, QStringLiteral("line"));
        QCOMPARE(edit3->selectedText(), QStringLiteral("line"));
        edit3->clear();
        choose("Copy \"Find\" string(s) to Clipboard...");
        QCOMPARE(f.platform->clipboard, QStringLiteral("m1\nm2"));

        // Pasted at Memo4's caret; nothing without text on the clipboard.
        QTextCursor cursor = memo4->textCursor();
        cursor.movePosition(QTextCursor::End);
        memo4->setTextCursor(cursor);
        f.platform->clipboard = QStringLiteral("+p");
        choose("Paste \"Find\" string(s) from Clipboard...");
        QCOMPARE(memo4->toPlainText(), QStringLiteral("m1\nm2+p"));
        QCOMPARE(f.find<QPlainTextEdit>("TempMemo1")->toPlainText(), QStringLiteral("+p"));
        f.platform->clipboard.clear();
        choose("Paste \"Find\" string(s) from Clipboard...");
        QCOMPARE(memo4->toPlainText(), QStringLiteral("m1\nm2+p"));

        edit3->setText(QStringLiteral("x"));
        choose("Clear \"Find\" string(s)...");
        QCOMPARE(edit3->text(), QString());
        QCOMPARE(memo4->toPlainText(), QString());
    }

    void specialCodeMenusListTheCodesInOrder()
    {
        const QStringList find{"Paragraph Mark",
                               "Tab Character",
                               "Any Character",
                               "Any Digit",
                               "Any Letter",
                               "Caret Character",
                               "Column Break",
                               "Em Dash",
                               "En Dash",
                               "Endnote Mark",
                               "Field",
                               "Footnote Mark",
                               "Graphic",
                               "Manual Line Break",
                               "Manual Page Break",
                               "Nonbreaking Space",
                               "Optional Hyphen",
                               "Section Break",
                               "White Space"};
        const QStringList replace{"Paragraph Mark",
                                  "Tab Character",
                                  "Caret Character",
                                  "Clipboard Contents",
                                  "Column Break",
                                  "Em Dash",
                                  "En Dash",
                                  "Find What Text",
                                  "Manual Line Break",
                                  "Manual Page Break",
                                  "Nonbreaking Hyphen",
                                  "Nonbreaking Space",
                                  "Optional Hyphen"};
        f.window().options().showOptionPanel(OptionPanel::WordEngine);
        QCOMPARE(ActionTexts(f.windows->inputHelpers().specialFindMenu()), find);
        QCOMPARE(ActionTexts(f.windows->inputHelpers().specialReplaceMenu()), replace);

        // Every code in order into an empty field gives the codes one after the other.
        auto *edit1 = f.find<QLineEdit>("Edit1");
        for (const QString &entry : find) {
            f.platform->popupChoices.push_back(entry);
            click("SpeedButton37");
        }
        QCOMPARE(edit1->text(), QStringLiteral("^p^t^?^#^$^^^n^+^=^e^d^f^g^l^m^s^-^b^w"));
        auto *edit2 = f.find<QLineEdit>("Edit2");
        for (const QString &entry : replace) {
            f.platform->popupChoices.push_back(entry);
            click("SpeedButton50");
        }
        QCOMPARE(edit2->text(), QStringLiteral("^p^t^^^c^n^+^=^&^l^m^~^s^-"));
    }

    void specialCodesGoToTheEndOfTheShownPagesField_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QByteArray>("findField");
        QTest::addColumn<QByteArray>("replaceField");
        QTest::addColumn<int>("pageAfter");
        QTest::newRow("One Line") << 0 << QByteArray("Edit1") << QByteArray("Edit2") << 0;
        QTest::newRow("Multi Line switches to One Line")
            << 1 << QByteArray("Edit1") << QByteArray("Edit2") << 0;
        QTest::newRow("Real time") << 2 << QByteArray("Edit3") << QByteArray("Edit4") << 2;
    }
    void specialCodesGoToTheEndOfTheShownPagesField()
    {
        QFETCH(int, page);
        QFETCH(QByteArray, findField);
        QFETCH(QByteArray, replaceField);
        QFETCH(int, pageAfter);
        auto *find = f.find<QLineEdit>(findField.constData());
        auto *replace = f.find<QLineEdit>(replaceField.constData());
        find->setText(QStringLiteral("ab"));
        find->setCursorPosition(0); // the code goes to the end, not to the caret
        replace->setText(QStringLiteral("r"));
        f.window().options().showOptionPanel(OptionPanel::WordEngine);
        notebook().setCurrentIndex(page);
        f.platform->popupChoices.push_back(QStringLiteral("Paragraph Mark"));
        click("SpeedButton37");
        f.platform->popupChoices.push_back(QStringLiteral("Paragraph Mark"));
        click("SpeedButton37");
        QCOMPARE(notebook().currentIndex(), pageAfter);
        QCOMPARE(find->text(), QStringLiteral("ab^p^p"));
        notebook().setCurrentIndex(page);
        f.platform->popupChoices.push_back(QStringLiteral("Em Dash"));
        click("SpeedButton50");
        QCOMPARE(replace->text(), QStringLiteral("r^+"));
        QCOMPARE(notebook().currentIndex(), pageAfter);
    }

    void everyFieldHasItsContextMenu_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("menu");
        const std::pair<const char *, const char *> menus[] = {
            {"Edit1", "PopupMenu12"}, {"Edit2", "PopupMenu13"}, {"Memo1", "PopupMenu10"},
            {"Memo2", "PopupMenu11"}, {"Edit3", "PopupMenu5"},  {"Edit4", "PopupMenu6"},
            {"Memo4", "PopupMenu7"},  {"Memo5", "PopupMenu8"},  {"RichEdit1", "PopupMenu1"}};
        for (const auto &[field, menu] : menus)
            QTest::newRow(field) << QByteArray(field) << QByteArray(menu);
    }
    void everyFieldHasItsContextMenu()
    {
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, menu);
        f.window().show();
        QVERIFY(QTest::qWaitForWindowActive(&f.window()));
        QWidget *widget = f.find<QWidget>(field.constData());
        if (field == "RichEdit1")
            f.window().targetNotebook().setCurrentIndex(2);
        else if (field.startsWith("Memo1") || field.startsWith("Memo2"))
            notebook().setCurrentIndex(1);
        else if (!field.endsWith('1') && !field.endsWith('2'))
            notebook().setCurrentIndex(2);
        auto *popup = widget->findChild<QMenu *>(QString::fromLatin1(menu));
        QVERIFY(popup);
        QCOMPARE(ActionTexts(popup),
                 (QStringList{"Undo", "-", "Cut", "Copy", "Paste", "Clear", "-", "Select ALL"}));

        auto *edit = qobject_cast<QLineEdit *>(widget);
        auto *plain = qobject_cast<QPlainTextEdit *>(widget);
        edit ? edit->setText(QStringLiteral("abc def")) : plain->setPlainText(QStringLiteral("abc\ndef"));
        f.find<QWidget>("Edit5")->setFocus();
        QVERIFY(!widget->hasFocus());
        auto request = [&](const char *item) {
            f.platform->popupChoices.push_back(QString::fromLatin1(item));
            emit widget->customContextMenuRequested(QPoint(2, 2));
        };
        request("Select ALL");
        QVERIFY(widget->hasFocus()); // the field takes the focus before its menu opens
        request("Copy");
        QCOMPARE(f.platform->clipboard, edit ? QStringLiteral("abc def") : QStringLiteral("abc\ndef"));
        request("Clear");
        QCOMPARE(edit ? edit->text() : plain->toPlainText(), QString());
        request("Undo");
        QVERIFY(!(edit ? edit->text() : plain->toPlainText()).isEmpty());
        f.platform->clipboard = QStringLiteral("P");
        request("Select ALL");
        request("Paste");
        QCOMPARE(edit ? edit->text() : plain->toPlainText(), QStringLiteral("P"));
        request("Select ALL");
        request("Cut");
        QCOMPARE(edit ? edit->text() : plain->toPlainText(), QString());
        QCOMPARE(f.platform->clipboard, QStringLiteral("P"));
    }

    void menuItemsThatWouldDoNothingAreGreyed_data() { everyFieldHasItsContextMenu_data(); }
    void menuItemsThatWouldDoNothingAreGreyed()
    {
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, menu);
        QWidget *widget = f.find<QWidget>(field.constData());
        auto *popup = widget->findChild<QMenu *>(QString::fromLatin1(menu));
        QVERIFY(popup);
        auto *edit = qobject_cast<QLineEdit *>(widget);
        auto *plain = qobject_cast<QPlainTextEdit *>(widget);
        auto text = [&] { return edit ? edit->text() : plain->toPlainText(); };
        auto item = [&](const char *name) {
            for (QAction *action : popup->actions()) {
                if (action->text() == QLatin1String(name))
                    return action;
            }
            qFatal("no item %s", name);
        };
        auto request = [&](const char *choice) {
            if (choice)
                f.platform->popupChoices.push_back(QString::fromLatin1(choice));
            emit widget->customContextMenuRequested(QPoint(2, 2));
        };
        // A fresh text with the caret after its first character: no selection, nothing to undo.
        if (edit) {
            edit->setText(QStringLiteral("abc"));
            edit->setCursorPosition(1);
        } else {
            plain->setPlainText(QStringLiteral("abc"));
            QTextCursor caret(plain->document());
            caret.setPosition(1);
            plain->setTextCursor(caret);
        }
        f.platform->clipboard.clear();
        request(nullptr);
        for (const char *name : {"Undo", "Cut", "Copy", "Paste"})
            QVERIFY2(!item(name)->isEnabled(), name);
        for (const char *name : {"Clear", "Select ALL"})
            QVERIFY2(item(name)->isEnabled(), name);
        QCOMPARE(item("Undo")->shortcut(), QKeySequence(QKeySequence::Undo));
        QCOMPARE(item("Cut")->shortcut(), QKeySequence(QKeySequence::Cut));
        QCOMPARE(item("Copy")->shortcut(), QKeySequence(QKeySequence::Copy));
        QCOMPARE(item("Paste")->shortcut(), QKeySequence(QKeySequence::Paste));
        QCOMPARE(item("Select ALL")->shortcut(), QKeySequence(QKeySequence::SelectAll));
        request("Cut");
        QCOMPARE(text(), QStringLiteral("abc"));

        request("Select ALL");
        f.platform->clipboard = QStringLiteral("P");
        request(nullptr);
        for (const char *name : {"Cut", "Copy", "Paste"})
            QVERIFY2(item(name)->isEnabled(), name);
        request("Paste");
        request(nullptr);
        QVERIFY(item("Undo")->isEnabled());
        QCOMPARE(text(), QStringLiteral("P"));
    }

    void editWindowReturnsOnlyTheShownPage()
    {
        auto *memo1 = f.find<QPlainTextEdit>("Memo1");
        auto *memo2 = f.find<QPlainTextEdit>("Memo2");
        memo1->setPlainText(QStringLiteral("find 1\nfind 2"));
        memo2->setPlainText(QStringLiteral("replace"));
        bool seen = false;
        WhenModalOpens(
            [&](QDialog *dialog) {
                QCOMPARE(dialog->objectName(), QStringLiteral("TForm11"));
                QCOMPARE(dialog->windowTitle(), QStringLiteral("Edit"));
                QVERIFY(dialog->isMaximized());
                auto &edit = static_cast<EditWindow &>(*dialog);
                QCOMPARE(edit.page(), EditWindow::ReplacePage);
                QCOMPARE(edit.memo(EditWindow::FindPage)->toPlainText(), QStringLiteral("find 1\nfind 2"));
                QCOMPARE(edit.memo(EditWindow::ReplacePage)->toPlainText(), QStringLiteral("replace"));
                edit.memo(EditWindow::FindPage)->setPlainText(QStringLiteral("dropped"));
                edit.memo(EditWindow::ReplacePage)->setPlainText(QStringLiteral("new\nreplace"));
                ProgramFixture::in<QToolButton>(dialog, "SpeedButton1")->click();
            },
            &seen);
        click("SpeedButton39");
        QVERIFY(seen);
        QCOMPARE(memo1->toPlainText(), QStringLiteral("find 1\nfind 2"));
        QCOMPARE(memo2->toPlainText(), QStringLiteral("new\nreplace"));

        // Refilled on every opening; the frame's close returns nothing.
        memo1->setPlainText(QStringLiteral("again"));
        WhenModalOpens([&](QDialog *dialog) {
            auto &edit = static_cast<EditWindow &>(*dialog);
            QCOMPARE(edit.page(), EditWindow::FindPage);
            QCOMPARE(edit.memo(EditWindow::FindPage)->toPlainText(), QStringLiteral("again"));
            edit.memo(EditWindow::FindPage)->setPlainText(QStringLiteral("lost"));
            dialog->close();
        });
        click("SpeedButton40");
        QCOMPARE(memo1->toPlainText(), QStringLiteral("again"));
    }

    void editWindowButtonsActOnTheShownPage()
    {
        f.find<QPlainTextEdit>("Memo2")->setPlainText(QStringLiteral("r"));
        for (const char *n : {"3", "4", "5"})
            f.setIni("Add_File_Procedure", (std::string("Extension_Filter") + n).c_str(), n);
        f.answerDialog(f.dataFile("lines.txt", "l1\nl2\n"), 2);
        f.answerDialog(f.dataFile("lines.txt", "l1\nl2\n"), 2);
        WhenModalOpens([&](QDialog *dialog) {
            auto &edit = static_cast<EditWindow &>(*dialog);
            QPlainTextEdit *shown = edit.memo(EditWindow::ReplacePage);
            ProgramFixture::in<QToolButton>(dialog, "SpeedButton16")->click(); // load, pair 5
            QCOMPARE(shown->toPlainText(), QStringLiteral("r\nl1\nl2\n"));
            shown->selectAll();
            ProgramFixture::in<QToolButton>(dialog, "SpeedButton14")->click(); // copy
            QCOMPARE(f.platform->clipboard, QStringLiteral("r\nl1\nl2\n"));
            ProgramFixture::in<QToolButton>(dialog, "SpeedButton13")->click(); // clear
            QCOMPARE(shown->toPlainText(), QString());
            ProgramFixture::in<QToolButton>(dialog, "SpeedButton15")->click(); // paste
            QCOMPARE(shown->toPlainText(), QStringLiteral("r\nl1\nl2\n"));
            QCOMPARE(edit.memo(EditWindow::FindPage)->toPlainText(), QString());

            // The history button opens the replace history on this page.
            bool historySeen = false;
            WhenModalOpens(
                [&](QDialog *history) { QCOMPARE(history->objectName(), QStringLiteral("TForm9")); },
                &historySeen);
            ProgramFixture::in<QToolButton>(dialog, "SpeedButton18")->click();
            QVERIFY(historySeen);
            dialog->reject();
        });
        click("SpeedButton39");
        QCOMPARE(f.platform->dialogRequests.size(), 1);
        QCOMPARE(f.platform->dialogRequests.first().filterIndex, 5);
        QCOMPARE(f.ini("Add_File_Procedure", "Extension_Filter5"), std::string("2"));

        // The find page reads pair 3 and writes pair 4.
        WhenModalOpens(
            [&](QDialog *dialog) { ProgramFixture::in<QToolButton>(dialog, "SpeedButton16")->click(); });
        click("SpeedButton40");
        QCOMPARE(f.platform->dialogRequests.at(1).filterIndex, 3);
        QCOMPARE(f.ini("Add_File_Procedure", "Extension_Filter4"), std::string("2"));
        QCOMPARE(f.ini("Add_File_Procedure", "Extension_Filter3"), std::string("3"));
    }

    void openersShowTheirWindows_data()
    {
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<QString>("window");
        const std::pair<const char *, const char *> openers[] = {
            {"SpeedButton5", "TForm5"},  {"SpeedButton9", "TForm5"},  {"SpeedButton17", "TForm5"},
            {"SpeedButton23", "TForm5"}, {"SpeedButton6", "TForm6"},  {"SpeedButton8", "TForm7"},
            {"SpeedButton18", "TForm8"}, {"SpeedButton24", "TForm9"}, {"SpeedButton46", "TForm5"}};
        for (const auto &[button, window] : openers)
            QTest::newRow(button) << QByteArray(button) << QString::fromLatin1(window);
    }
    void openersShowTheirWindows()
    {
        QFETCH(QByteArray, button);
        QFETCH(QString, window);
        QString opened;
        WhenModalOpens([&](QDialog *dialog) { opened = dialog->objectName(); });
        click(button.constData());
        QCOMPARE(opened, window);
    }
};

QTEST_MAIN(InputHelpersTest)
#include "tst_inputhelpers.moc"
