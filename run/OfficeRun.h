// The Word branches of a run, plugged into the run driver through its extension hook.
#pragma once

#include "run/RunDriver.h"
#include "run/WordEngine.h"

#include <optional>

namespace vexlo {

/// Carries out the three Word branches; other branches go on to `next` when there is one.
/// Errors that end a branch go to the observer (files done before stay done).
class OfficeRunExtension : public RunExtensions {
  public:
    OfficeRunExtension(word::ApplicationSource &source, const ProgramFolder &folder, const RunFlag &flag,
                       RunObserver &observer, RunExtensions *next = nullptr)
        : m_source(source), m_folder(folder), m_flag(flag), m_observer(observer), m_next(next)
    {
    }

    /// The "Text" tab's text, which the "Real time" branch works on (the options and the
    /// find and replacement come with the request).
    std::string text;

    void run(Branch branch, const RunRequest &request, const std::vector<std::string> &paths) override;

    /// The "Text" tab's new text after a "Real time" branch that reached the engine.
    const std::optional<std::string> &richTextResult() const { return m_richText; }
    /// Whether an error ended the last branch.
    bool failed() const { return m_failed; }

  private:
    word::ApplicationSource &m_source;
    const ProgramFolder &m_folder;
    const RunFlag &m_flag;
    RunObserver &m_observer;
    RunExtensions *m_next;
    std::optional<std::string> m_richText;
    bool m_failed = false;
};

} // namespace vexlo
