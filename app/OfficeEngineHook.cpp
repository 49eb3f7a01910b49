#include "app/OfficeEngineHook.h"

#include "run/OfficeRun.h"
#include "widgets/FieldEditing.h"
#include "widgets/Platform.h"

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

} // namespace

OfficeEngineHook::OfficeEngineHook(Platform &platform, QWidget *window, QPlainTextEdit *text,
                                   const RunFlag &flag)
    : QObject(window), m_platform(platform), m_window(window), m_text(text), m_flag(flag),
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
    // The options and the find and replacement strings come with the request.
    if (branch == Branch::OfficeRealTime)
        office.text = ToBytes(BoxText(m_text));
    office.run(branch, request, paths);
    if (office.richTextResult())
        ReplaceBoxText(m_text, FromBytes(*office.richTextResult())); // one undoable step
}

} // namespace vexlo
