#include "app/OfficeEngineHook.h"

#include "run/OfficeRun.h"
#include "widgets/FieldEditing.h"
#include "widgets/Platform.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>

namespace vexlo {

namespace {

class WindowObserver : public RunObserver {
  public:
    WindowObserver(Platform &platform, QWidget *window) : m_platform(platform), m_window(window) {}
    void message(const std::string &text) override { m_platform.message(m_window, FromBytes(text)); }
    void error(const std::string &, const Error &error) override
    {
        m_platform.message(m_window, FromBytes(error.what()));
    }

  private:
    Platform &m_platform;
    QWidget *m_window;
};

template <class T> T *Child(QWidget *window, const char *name)
{
    return window->findChild<T *>(QString::fromLatin1(name));
}

bool Ticked(QWidget *window, const char *name)
{
    auto *box = Child<QCheckBox>(window, name);
    return box && box->isChecked();
}

std::string LineText(QWidget *window, const char *name)
{
    auto *edit = Child<QLineEdit>(window, name);
    return edit ? ToBytes(edit->text()) : std::string();
}

std::string MemoText(QWidget *window, const char *name)
{
    auto *memo = Child<QPlainTextEdit>(window, name);
    return memo ? ToBytes(BoxText(memo)) : std::string();
}

} // namespace

OfficeEngineHook::OfficeEngineHook(Platform &platform, QWidget *window, const RunFlag &flag)
    : QObject(window), m_platform(platform), m_window(window), m_flag(flag),
      // "^c" inserts the clipboard's text, asked for when a replacement may hold it.
      m_source([&platform] { return ToBytes(platform.clipboardText()); })
{
}

void OfficeEngineHook::run(Branch branch, const RunRequest &request, const std::vector<std::string> &paths)
{
    if (branch != Branch::OfficeFileList && branch != Branch::OfficeDirectoryList &&
        branch != Branch::OfficeRealTime)
        return;
    WindowObserver observer(m_platform, m_window);
    OfficeRunExtension office(m_source, m_platform.programFolder(), m_flag, observer);
    // "MS Word Engine Options", read as each run starts.
    office.options.matchCase = Ticked(m_window, "CheckBox9");
    office.options.wholeWord = Ticked(m_window, "CheckBox10");
    office.options.wildcards = Ticked(m_window, "CheckBox11");
    office.options.soundsLike = Ticked(m_window, "CheckBox12");
    office.options.allWordForms = Ticked(m_window, "CheckBox13");
    office.realTime.edit3 = LineText(m_window, "Edit3");
    office.realTime.edit4 = LineText(m_window, "Edit4");
    office.realTime.memo4 = MemoText(m_window, "Memo4");
    office.realTime.memo5 = MemoText(m_window, "Memo5");
    office.realTime.richText = MemoText(m_window, "RichEdit1");
    office.run(branch, request, paths);
    if (office.richTextResult()) {
        if (auto *richEdit = Child<QPlainTextEdit>(m_window, "RichEdit1"))
            ReplaceBoxText(richEdit, FromBytes(*office.richTextResult())); // one undoable step
    }
}

} // namespace vexlo
