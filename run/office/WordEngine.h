// The "MS Office engine": the per-file sequence of automation calls and the three branches
// that use it (directory list, file list, "Real time").
#pragma once

#include "base/ProgramFolder.h"
#include "run/RunInputs.h"
#include "run/office/WordAutomation.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vexlo {

class RunObserver;
class SkippedFile;

class WordEngine {
  public:
    /// `source` is asked for an application before the first call and after every Quit.
    explicit WordEngine(word::ApplicationSource &source) : m_source(source) {}

    /// Opens `path`, replaces all, saves it under its own name in the format it was opened in
    /// (plain text as plain text, .docx, .odt and .rtf in their own format; every one as plain
    /// text after setSaveAsText(true)) and closes it. Throws Error{Automation} with the
    /// server's description at the first failed call (the document then stays open and
    /// nothing more is called). A file the engine leaves as it is (binary content; a legacy
    /// .doc, which cannot be saved in its own format) is passed to the skip handler and
    /// false is returned; true when the file was saved.
    bool processFile(const std::string &path, const std::string &find, const std::string &replace,
                     const WordEngineOptions &options);

    /// Every document is saved as plain text, whatever its format (the old conversion).
    void setSaveAsText(bool on) { m_saveAsText = on; }
    /// Called for each file left as it is; what() names the file and the reason.
    void onSkipped(std::function<void(const SkippedFile &)> handler) { m_skipped = std::move(handler); }

    /// Application.Quit with its arguments left out. Throws Error{Automation} on failure.
    void quit();

    /// Every path in order while `observer` (when given) keeps going, then one Quit (also for
    /// an empty list or after a stop). Each file saved is reported as fileDone(path, Done), each
    /// left as it is as fileDone(path, Skipped) after the skip handler. Returns how many were
    /// saved. Throws Error{Automation} at the first failed call.
    std::size_t fileListBranch(const std::vector<std::string> &paths, const std::string &find,
                               const std::string &replace, const WordEngineOptions &options,
                               RunObserver *observer = nullptr);

    /// Every path while `observer` keeps going (passed over otherwise; directory lines of a
    /// scan are never opened), and a Quit after every path. An empty list calls nothing.
    /// `roots`, when given, holds the scanned directory of each path: the source is told to
    /// hold it open while the path is processed (ApplicationSource::holdRoot). Reports and
    /// returns like fileListBranch.
    std::size_t directoryListBranch(const std::vector<std::string> &paths, const std::string &find,
                                    const std::string &replace, const WordEngineOptions &options,
                                    RunObserver &observer, const std::vector<std::string> *roots = nullptr);

    /// The "Real time" branch: `text` (the "Text" tab's) passes through "richedittext.vexlo",
    /// with the one-line find and replacement; the memos only raise a message. Returns the new
    /// text for the "Text" tab, or nothing when both memos hold text. `message` shows the
    /// message about the memos. Throws Error{Automation} or Error{Io}.
    std::optional<std::string> realTimeBranch(const RealTimeInputs &inputs, const std::string &text,
                                              const WordEngineOptions &options, const ProgramFolder &folder,
                                              const std::function<void(const std::string &)> &message);

    /// The path the last failure concerns (empty when none).
    const std::string &currentPath() const { return m_currentPath; }

  private:
    word::Application &application();
    void check(const word::CallResult &result);

    word::ApplicationSource &m_source;
    word::Application *m_application = nullptr;
    std::string m_currentPath;
    bool m_saveAsText = false;
    std::function<void(const SkippedFile &)> m_skipped;
};

/// The Memo4/Memo5 message of the "Real time" branch.
inline constexpr const char *kOneLineOnlyMessage =
    "You use MS Word Engine - this engine can replace only One Line!";
/// The scratch file of the "Real time" branch.
inline constexpr const char *kRichEditFileName = "richedittext.vexlo";

} // namespace vexlo
