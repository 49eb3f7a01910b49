#include "app/RunController.h"

#include "run/office/BuiltInWord.h"
#include "undo/UndoStore.h"
#include "widgets/BusyGuard.h"
#include "widgets/EventPump.h"
#include "widgets/FieldEditing.h"
#include "widgets/Platform.h"

#include <QLocale>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStatusBar>

#include <optional>

namespace vexlo {

namespace {

constexpr qint64 StatusInterval = 250; // milliseconds between two progress texts

// Counts as "1,234", whatever the desktop's language.
QString Count(std::size_t n)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(qulonglong(n));
}

class WindowRunObserver : public RunObserver {
  public:
    WindowRunObserver(Platform &platform, QWidget *window)
        : m_platform(platform), m_window(window),
          m_pump(platform, EventPump::DefaultInterval, EventPump::First::AtOnce)
    {
        if (auto *main = qobject_cast<QMainWindow *>(window))
            m_statusBar = main->statusBar();
    }

    ~WindowRunObserver() override
    {
        if (m_statusBar)
            m_statusBar->clearMessage();
    }

    /// Shown before the progress while the run lasts (that it goes without undo copy).
    void setNote(const QString &note)
    {
        m_note = note;
        if (m_statusBar)
            m_statusBar->showMessage(m_note);
    }

    /// An error that ended the run, shown once the run is over.
    const std::optional<QString> &pendingMessage() const noexcept { return m_pending; }

    void message(const std::string &text) override { m_platform.message(m_window, FromBytes(text)); }

    void starting(std::size_t count) override
    {
        m_total = count;
        m_counting = true;
    }

    void fileDone(const std::string &path, Outcome outcome) override
    {
        if (outcome == Outcome::Done)
            ++m_done;
        else if (outcome == Outcome::Found)
            ++m_found;
        // Once per file or directory entry: keep the window alive and let "Stop" in,
        // without letting the window's work dominate a run over many thousands of files.
        if (!m_pump.due())
            return;
        // A new text repaints the status bar; a few a second are enough to read.
        const qint64 now = m_pump.lastPassAt();
        if (m_statusBar && (!m_statusShown || now - m_lastStatus >= StatusInterval)) {
            m_statusBar->showMessage(progressText(path));
            m_lastStatus = now;
        }
        m_statusShown = true;
        m_pump.process();
    }

    void error(const std::string &, const Error &error) override
    {
        const QString text = FromBytes(error.what());
        // Before the file loop (the scan list could not be written) the error stands alone, and
        // so does the office application's own description of a failed call.
        const bool standsAlone = !m_counting || error.kind() == ErrorKind::Automation;
        m_pending = standsAlone ? text : StoppedRunMessage(text, m_done);
    }

  private:
    QString progressText(const std::string &path) const
    {
        const QString where = (path.empty() ? QString() : QStringLiteral(" \u2014 ") + FromBytes(path)) +
                              (m_note.isEmpty() ? QString() : QStringLiteral(" \u2014 ") + m_note);
        if (!m_counting)
            return QObject::tr("%1 entries found").arg(Count(m_found)) + where;
        return QObject::tr("%1 of %2 files").arg(Count(m_done), Count(m_total)) + where;
    }

    Platform &m_platform;
    QWidget *m_window;
    QPointer<QStatusBar> m_statusBar;
    EventPump m_pump;
    bool m_statusShown = false; // the first pass shows the progress at once
    qint64 m_lastStatus = 0;
    bool m_counting = false; // the file loop has begun
    std::size_t m_total = 0, m_done = 0, m_found = 0;
    std::optional<QString> m_pending;
    QString m_note;
};

} // namespace

QString StoppedRunMessage(const QString &error, std::size_t rewrittenBefore)
{
    QString files;
    if (rewrittenBefore == 0)
        files = QObject::tr("No file before it was rewritten");
    else if (rewrittenBefore == 1)
        files = QObject::tr("The 1 file before it was rewritten");
    else
        files = QObject::tr("The %1 files before it were rewritten").arg(Count(rewrittenBefore));
    return error + QStringLiteral("\n\n") + QObject::tr("The run stopped at this file. ") + files +
           QObject::tr("; this file and the later ones were left as they were.");
}

RunController::RunController(Platform &platform, QWidget *window)
    : QObject(window), m_platform(platform), m_window(window),
      m_office(std::make_unique<word::BuiltInApplicationSource>(
          [&platform] { return ToBytes(platform.clipboardText()); }))
{
}

RunController::~RunController() = default;

void RunController::start(const RunRequest &request)
{
    if (m_running)
        return; // a start chosen while the run lets events in
    std::optional<QString> pending;
    {
        BusyGuard mark(m_running, BusyGuard::Cursor::Busy); // cleared however the run ends
        const FolderWatchers::Pause paused(m_watchers);
        emit started();
        WindowRunObserver observer(m_platform, m_window);
        // Every run over files keeps the originals of what it rewrites for "Undo last run...".
        StoreRecorder undo(m_platform.programFolder(),
                           [&observer](const std::string &note) { observer.setNote(FromBytes(note)); });
        RunRequest withUndo = request;
        CommitHooks hooks;
        hooks.add(request.hook);
        hooks.add(&undo);
        withUndo.hook = &hooks;
        try {
            m_lastResult = RunReplace(withUndo, m_platform.programFolder(), m_flag, observer, m_office.get());
            pending = observer.pendingMessage();
            if (m_lastResult.text && m_text)
                ReplaceBoxText(m_text, FromBytes(*m_lastResult.text)); // one undoable step
        } catch (const Error &error) {
            m_lastResult = RunResult{};
            m_lastResult.failed = true;
            if (error.kind() == ErrorKind::Conversion) {
                mark.release();
                emit finished();
                throw; // a bad history counter: "mistake!" through the program-wide handler
            }
            // Anything else (a history file or counter that cannot be written) ended the run:
            // say so, rather than leave the user believing the files were processed.
            pending = FromBytes(error.what());
        }
    } // the status bar is empty and the cursor normal again before any message
    if (pending)
        m_platform.message(m_window, *pending);
    emit finished();
}

void RunController::stop()
{
    m_flag.set("0");
}

} // namespace vexlo
