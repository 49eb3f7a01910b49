// What a run or a preview did to each file, for the command line's report, dry run and diff
// and for the preview window's list.
#pragma once

#include "run/CommitHook.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vexlo {

enum class FileOutcome { Rewritten, Unchanged, Skipped, Failed };

struct FileReport {
    std::string path;
    FileOutcome outcome = FileOutcome::Rewritten;
    std::size_t changed = 0;   // lines (text engine) or replacements (office engine)
    bool lineEndsOnly = false; // text engine: only the line breaks change
    bool replacements = false; // `changed` counts replacements
    std::uint64_t bytesBefore = 0, bytesAfter = 0;
    std::string reason; // for a skip or a failure
};

/// One JSON object on one line (no line break): path, outcome, changed, bytes_before,
/// bytes_after and, for a skip or a failure, reason. Bytes of a path that are not UTF-8 are
/// written as \u00XX. Never fails.
std::string JsonLine(const FileReport &report);

/// "PATH: 3 lines changed", "PATH: line ends only", "PATH: unchanged", "PATH: 2 replacements",
/// "PATH: skipped: ...", "PATH: fails: ..." (no line break). Never fails.
std::string DryRunLine(const FileReport &report);

/// Compares what each file held with what the run wrote (or, for a preview, would write) and
/// hands the report with both contents to `onFile`. A preview commits nothing.
class ChangeRecorder : public CommitHook {
  public:
    using OnFile = std::function<void(const FileReport &, std::string_view before, std::string_view after)>;
    ChangeRecorder(bool preview, OnFile onFile) : m_preview(preview), m_onFile(std::move(onFile)) {}

    bool commits() const override { return !m_preview; }
    void previewed(const std::string &path, std::string_view before, std::string_view after) override;
    /// The office engine's count: reported as replacements instead of lines.
    void replacements(const std::string &path, std::size_t count) override;
    /// Keeps the bytes the run read. Throws Error{Io} when they cannot be read again.
    void beforeCommit(const std::string &path, FileReplacement &prepared) override;
    void afterCommit(const std::string &path) override;
    /// Reports the file as skipped, with its size before and after.
    void skipped(const std::string &path, const std::string &reason) override;

  private:
    FileReport counted(FileReport report);

    bool m_preview;
    std::optional<std::pair<std::string, std::size_t>> m_replacements; // path, count
    OnFile m_onFile;
    std::string m_before;
};

} // namespace vexlo
