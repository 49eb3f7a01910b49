// The "MS Office engine": the per-file sequence of automation calls and the three branches
// that use it (directory list, file list, "Real time").
#pragma once

#include "base/ProgramFolder.h"
#include "run/WordAutomation.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vexlo {

class RunFlag;

/// The five check boxes of "MS Word Engine Options", read when a run starts.
struct WordEngineOptions {
    bool matchCase = false;    // "Match Case"
    bool wholeWord = false;    // "Find whole words only"
    bool wildcards = false;    // "Use wildcards"
    bool soundsLike = false;   // "Sounds like (English)"
    bool allWordForms = false; // "Find all word forms"
};

/// What the "Real time" branch reads from the window.
struct RealTimeInputs {
    std::string memo4, memo5; // the multi-line fields: they only raise a message
    std::string edit3, edit4; // find, replace
    std::string richText;     // the "Text" tab's text
};

class WordEngine {
  public:
    /// `source` is asked for an application before the first call and after every Quit.
    explicit WordEngine(word::ApplicationSource &source) : m_source(source) {}

    /// Opens `path`, replaces all, saves it as plain text under its own name and closes it.
    /// Throws Error{Automation} with the server's description at the first failed call (the
    /// document then stays open and nothing more is called).
    void processFile(const std::string &path, const std::string &find, const std::string &replace,
                     const WordEngineOptions &options);

    /// Application.Quit with its arguments left out. Throws Error{Automation} on failure.
    void quit();

    /// Every path in order, then one Quit (also for an empty list).
    void fileListBranch(const std::vector<std::string> &paths, const std::string &find,
                        const std::string &replace, const WordEngineOptions &options);

    /// Every path while `flag` reads "1" (skipped otherwise; directory lines of a scan are
    /// never opened), and a Quit after every path. An empty list calls nothing.
    void directoryListBranch(const std::vector<std::string> &paths, const std::string &find,
                             const std::string &replace, const WordEngineOptions &options,
                             const RunFlag &flag);

    /// The "Real time" branch: the text passes through "richedittext.vexlo". Returns the new
    /// text for the "Text" tab, or nothing when both memos hold text. `message` shows the
    /// message about the memos. Throws Error{Automation} or Error{Io}.
    std::optional<std::string> realTimeBranch(const RealTimeInputs &inputs, const WordEngineOptions &options,
                                              const ProgramFolder &folder,
                                              const std::function<void(const std::string &)> &message);

    /// The path the last failure concerns (empty when none).
    const std::string &currentPath() const { return m_currentPath; }

  private:
    word::Application &application();
    void check(const word::CallResult &result);

    word::ApplicationSource &m_source;
    word::Application *m_application = nullptr;
    std::string m_currentPath;
};

/// The Memo4/Memo5 message of the "Real time" branch.
inline constexpr const char *kOneLineOnlyMessage =
    "You use MS Word Engine - this engine can replace only One Line!";
/// The scratch file of the "Real time" branch.
inline constexpr const char *kRichEditFileName = "richedittext.vexlo";

} // namespace vexlo
