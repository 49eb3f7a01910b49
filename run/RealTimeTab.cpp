#include "run/RealTimeTab.h"

#include "inputs/StringLoad.h"
#include "run/RealTimePass.h"
#include "widgets/FieldEditing.h"
#include "widgets/Guarded.h"
#include "widgets/Platform.h"

#include <QCoreApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QToolButton>

#include <stdexcept>

namespace vexlo {

namespace {

constexpr int TextPage = 2; // of the target notebook

template <class T> T *Child(QWidget *parent, const char *name)
{
    T *found = parent->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        throw std::logic_error(std::string("no widget ") + name);
    return found;
}

} // namespace

RealTimeTab::RealTimeTab(Platform &platform, QTabWidget *inputNotebook, QTabWidget *targetNotebook)
    : QObject(inputNotebook), m_platform(platform), m_inputNotebook(inputNotebook),
      m_targetNotebook(targetNotebook)
{
    m_edit3 = Child<QLineEdit>(inputNotebook, "Edit3");
    m_edit4 = Child<QLineEdit>(inputNotebook, "Edit4");
    m_memo4 = Child<QPlainTextEdit>(inputNotebook, "Memo4");
    m_memo5 = Child<QPlainTextEdit>(inputNotebook, "Memo5");
    m_text = Child<QPlainTextEdit>(targetNotebook, "RichEdit1");
    CreateFieldMenu(platform, m_text, "PopupMenu1");

    auto onClick = [this](const char *name, auto action) {
        connect(Child<QToolButton>(m_inputNotebook, name), &QToolButton::clicked, this,
                [action] { guarded(action); });
    };
    onClick("SpeedButton42", [this] { loadText(); });
    onClick("SpeedButton43", [this] {
        CopyAll(m_platform, m_text); // the whole text stays selected
        showTextPage();
    });
    onClick("SpeedButton44", [this] {
        PasteAtCaret(m_platform, m_text);
        showTextPage();
    });
    onClick("SpeedButton45", [this] {
        m_text->clear();
        showTextPage();
    });
    onClick("SpeedButton46", [this] {
        showTextPage();
        if (m_clipboard)
            m_clipboard->exec();
        QCoreApplication::processEvents();
    });
    onClick("SpeedButton47", [this] {
        showTextPage();
        if (m_notes) {
            m_notes->show();
            m_notes->raise();
            m_notes->activateWindow();
        }
        QCoreApplication::processEvents();
    });
}

void RealTimeTab::run(Branch branch, const RunRequest &request, const std::vector<std::string> &paths)
{
    if (branch == Branch::TextRealTime)
        pass(request.options);
    else if (m_next)
        m_next->run(branch, request, paths);
}

void RealTimeTab::pass(const TextEngineOptions &options)
{
    RealTimeInputs inputs;
    inputs.findLine = ToBytes(m_edit3->text());
    inputs.findMemo = ToBytes(BoxText(m_memo4));
    inputs.replacementLine = ToBytes(m_edit4->text());
    inputs.replacementMemo = ToBytes(BoxText(m_memo5));
    const std::optional<Lines> result = RealTimePass(inputs, MemoLines(ToBytes(BoxText(m_text))), options);
    if (result)
        ReplaceBoxText(m_text, LinesText(*result)); // one step the user can undo
}

void RealTimeTab::loadText()
{
    const bool loaded =
        LoadFromFile(m_inputNotebook, m_platform, StringLoads::RealTimeText,
                     [this](const Lines &lines) { ReplaceBoxText(m_text, LinesText(lines)); });
    if (loaded)
        showTextPage();
}

void RealTimeTab::showTextPage()
{
    if (m_targetNotebook->currentIndex() != TextPage)
        m_targetNotebook->setCurrentIndex(TextPage);
    QCoreApplication::processEvents();
}

} // namespace vexlo
