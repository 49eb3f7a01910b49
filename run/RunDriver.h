// The "Let`s go..." run without its window: recording, branch choice, target paths, engine.
#pragma once

#include "base/Error.h"
#include "base/ProgramFolder.h"
#include "base/RunObserver.h"
#include "run/CommitHook.h"
#include "run/RunInputs.h"
#include "run/engine/TextEngine.h"
#include "targets/TargetEntry.h"

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo {

namespace word {
class ApplicationSource;
}

enum class EngineKind { Text = 0, Office = 1 }; // "Vexlo Pro engine", "MS Office engine"
enum class InputTab { OneLine = 0, MultiLine = 1, RealTime = 2 };
enum class TargetTab { FileList = 0, DirectoryList = 1, Text = 2 };

enum class Branch {
    Nothing,
    TextFileList,      // ReplaceInLine over the checked file list
    TextDirectoryList, // directory pass, then ReplaceInLine
    TextMultiLine,     // the multi-line pass over the file list
    TextRealTime,      // the real-time pass with the own engine
    OfficeFileList,
    OfficeDirectoryList,
    OfficeRealTime,
};

/// The branch table: exactly one branch for every combination.
Branch ChooseBranch(EngineKind engine, InputTab input, TargetTab target);

/// Shared by the run and "Stop": "1" while a run may go on.
class RunFlag {
  public:
    void set(std::string_view value) { m_running = (value == "1"); }
    std::string value() const { return m_running ? "1" : "0"; }
    bool isRunning() const { return m_running; }

  private:
    std::atomic<bool> m_running{true};
};

/// The window state a run reads, copied when it starts.
struct RunRequest {
    EngineKind engine = EngineKind::Text;
    InputTab inputTab = InputTab::OneLine;
    TargetTab targetTab = TargetTab::FileList;
    std::string oneLineFind, oneLineReplace;     // "One Line"
    std::string multiLineFind, multiLineReplace; // "Multi Line" (the boxes' whole text)
    RealTimeInputs realTime;                     // "Real time"
    std::string text;                            // the "Text" page's, which "Real time" works on
    std::vector<TargetEntry> fileList;
    std::vector<TargetEntry> directoryList;
    std::string mask; // Edit5
    TextEngineOptions options;
    WordEngineOptions wordOptions;
    /// Sees every file the run commits (undo copies, reports), or makes the run a preview:
    /// when it does not commit, no history is recorded, "a.txt" is not written and no file
    /// is touched. Not owned; none: a plain run.
    CommitHook *hook = nullptr;
};

// How the run talks to the outside (the window shows boxes, the command line prints): the
// common RunObserver. message() gets the fixed texts ("What to find?", "Please select mask!
// and after try again.") and the links a directory pass does not follow; keepGoing() is asked
// per directory entry during the directory pass; fileDone(path, Outcome::Done) per rewritten
// file, fileDone(path, Outcome::Skipped) per link not followed; error() once, for the error
// that ended the run.

/// Gathers messages about files passed over (links not followed, files left as they were), so
/// that a run shows them in one message at its end rather than one box per file: the first 20,
/// then how many more.
class GatheredMessages {
  public:
    /// `more` names what the texts are about ("links not followed").
    explicit GatheredMessages(std::string more) : m_more(std::move(more)) {}
    void add(const std::string &text);
    /// Hands what was gathered to `observer` as one message (nothing when nothing was) and
    /// starts afresh.
    void flushTo(RunObserver &observer);

  private:
    static constexpr std::size_t Shown = 20;
    std::string m_more;
    std::string m_text;
    std::size_t m_count = 0;
};

struct RunResult {
    Branch branch = Branch::Nothing;
    std::vector<std::string> targetPaths;
    std::size_t filesRewritten = 0;
    bool failed = false; // an error ended the run
    /// After a "Real time" branch that reached its engine: what the "Text" page's text becomes.
    std::optional<std::string> text;
};

/// Carries out one run: the branch the table chooses, with the own engine or the office
/// engine (whose applications `office` hands out; none: the built-in one, whose "^c" inserts
/// nothing). History recording errors (a bad counter) propagate as Error before any file is
/// touched; an error at a target ends the run there and is reported through observer.error
/// (files before it stay rewritten, it and those after untouched).
RunResult RunReplace(const RunRequest &request, const ProgramFolder &folder, RunFlag &flag,
                     RunObserver &observer, word::ApplicationSource *office = nullptr);

/// Lines of a memo's text as the box counts them: an empty box has no lines, and an empty
/// last line after a final line break does not count.
Lines MemoLines(std::string_view text);

} // namespace vexlo
