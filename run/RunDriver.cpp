#include "run/RunDriver.h"

#include "base/SafeWrite.h"
#include "inputs/HistoryStore.h"
#include "run/FilePipeline.h"
#include "run/RealTimePass.h"
#include "run/office/BuiltInWord.h"
#include "run/office/OfficeBranch.h"
#include "targets/DirectoryPass.h"
#include "targets/ScanDir.h"

#include <algorithm>

namespace vexlo {

namespace {

constexpr const char *WhatToFindMessage = "What to find?";
constexpr const char *SelectMaskMessage = "Please select mask! and after try again.";
constexpr const char *ScanListName = "a.txt";

// Every non-empty input goes to its history, in this order, before anything else happens.
void recordHistories(const RunRequest &request, const ProgramFolder &folder)
{
    HistoryStore histories(folder);
    if (!request.multiLineReplace.empty())
        histories.record(HistoryKind::ReplaceWithMultiLine, MemoLines(request.multiLineReplace));
    if (!request.multiLineFind.empty())
        histories.record(HistoryKind::WhatToFindMultiLine, MemoLines(request.multiLineFind));
    if (!request.oneLineFind.empty())
        histories.record(HistoryKind::WhatToFind, Lines{request.oneLineFind});
    if (!request.oneLineReplace.empty())
        histories.record(HistoryKind::ReplaceWith, Lines{request.oneLineReplace});
}

std::vector<std::string> checkedPaths(const std::vector<TargetEntry> &entries)
{
    std::vector<std::string> paths;
    for (const TargetEntry &entry : entries)
        if (entry.checked)
            paths.push_back(entry.path);
    return paths;
}

// Replaces "a.txt" with the paths, CR LF after each. Throws Error{Io}.
void writeScanList(const ProgramFolder &folder, const std::vector<std::string> &paths)
{
    WriteFileSafely(folder.file(ScanListName).string(), JoinLines(paths));
}

// What the directory pass tells the run's observer: directories that cannot be read are
// passed over silently; the links it does not follow are reported in one message at the end
// of the pass, so that a tree full of them does not bring one box per link.
class DirectoryPassReport : public RunObserver {
  public:
    explicit DirectoryPassReport(RunObserver &observer) : m_observer(observer) {}

    bool keepGoing() override { return m_observer.keepGoing(); }
    void fileDone(const std::string &path, Outcome outcome) override { m_observer.fileDone(path, outcome); }
    void message(const std::string &text) override { m_links.add(text); }

    void finish() { m_links.flushTo(m_observer); }

  private:
    RunObserver &m_observer;
    GatheredMessages m_links{"links not followed"};
};

// The run's observer, asked before each file whether "Stop" was chosen as well.
class StoppableObserver : public RunObserver {
  public:
    StoppableObserver(RunObserver &inner, RunFlag &flag) : m_inner(inner), m_flag(flag) {}
    bool keepGoing() override { return m_flag.isRunning() && m_inner.keepGoing(); }
    void fileDone(const std::string &path, Outcome outcome) override { m_inner.fileDone(path, outcome); }
    void error(const std::string &path, const Error &e) override { m_inner.error(path, e); }
    void message(const std::string &text) override { m_inner.message(text); }

  private:
    RunObserver &m_inner;
    RunFlag &m_flag;
};

class Run {
  public:
    Run(const RunRequest &request, const ProgramFolder &folder, RunFlag &flag, RunObserver &observer,
        word::ApplicationSource &office)
        : m_request(request), m_folder(folder), m_flag(flag), m_observer(observer), m_office(office)
    {
    }

    RunResult carryOut()
    {
        m_result.branch = ChooseBranch(m_request.engine, m_request.inputTab, m_request.targetTab);
        switch (m_result.branch) {
        case Branch::Nothing:
            break;
        case Branch::TextFileList:
            m_result.targetPaths = checkedPaths(m_request.fileList);
            rewrite(oneLineOperation());
            break;
        case Branch::TextDirectoryList:
            if (directoryPass())
                rewrite(oneLineOperation());
            break;
        case Branch::TextMultiLine:
            multiLinePass();
            break;
        case Branch::OfficeFileList:
            m_result.targetPaths = checkedPaths(m_request.fileList);
            office();
            break;
        case Branch::OfficeDirectoryList:
            if (directoryPass())
                office();
            break;
        case Branch::OfficeRealTime:
            office();
            break;
        case Branch::TextRealTime:
            textRealTime();
            break;
        }
        return m_result;
    }

  private:
    bool previewing() const { return m_request.hook && !m_request.hook->commits(); }

    TextOperation oneLineOperation() const
    {
        TextOperation op;
        op.kind = TextOperation::Kind::InLine;
        op.find = m_request.oneLineFind;
        op.inLine = InLineReplacement::OneString(m_request.oneLineReplace);
        op.options = m_request.options;
        return op;
    }

    // Fills the target paths from the checked directories and writes them to "a.txt".
    // False when the run ends here (no mask, or "a.txt" could not be written).
    bool directoryPass()
    {
        std::vector<std::string> &paths = m_result.targetPaths;
        DirectoryPassReport report(m_observer);
        for (const TargetEntry &entry : m_request.directoryList) {
            if (!entry.checked)
                continue;
            // An empty mask is refused at the first checked directory; scanning it first would
            // change nothing but the time taken.
            if (m_request.mask.empty()) {
                m_observer.message(SelectMaskMessage);
                return false;
            }
            ScanForDirectoryPass(entry.path, m_request.mask, paths, report);
            m_roots.resize(paths.size(), entry.path); // no folder link below it is followed
        }
        report.finish();
        if (previewing())
            return true; // a preview leaves the scan list as it was
        try {
            writeScanList(m_folder, paths);
        } catch (const Error &e) {
            m_result.failed = true;
            m_observer.error(e.path(), e);
            return false;
        }
        return true;
    }

    void multiLinePass()
    {
        const Lines find = MemoLines(m_request.multiLineFind);
        const Lines replacement = MemoLines(m_request.multiLineReplace);
        if (find.empty()) {
            m_observer.message(WhatToFindMessage);
            return;
        }
        TextOperation op;
        op.options = m_request.options;
        if (find.size() == 1) {
            if (replacement.size() >= 2)
                return; // one find line with a block of replacement lines: nothing to do
            op.kind = TextOperation::Kind::InLine;
            op.find = find.front();
            op.inLine =
                InLineReplacement::OneString(replacement.empty() ? std::string() : replacement.front());
        } else {
            op.kind = TextOperation::Kind::Block;
            op.findLines = find;
            op.replacementLines = replacement;
        }
        // The multi-line pass always works on the file list, whichever target tab is shown.
        m_result.targetPaths = checkedPaths(m_request.fileList);
        rewrite(op);
    }

    // How many of the target paths are files (directory lines of a scan are not).
    std::size_t fileCount() const
    {
        return std::size_t(std::count_if(
            m_result.targetPaths.begin(), m_result.targetPaths.end(),
            [](const std::string &path) { return path.empty() || path.back() != PathSeparator; }));
    }

    void rewrite(const TextOperation &op)
    {
        PipelineOptions options;
        options.stopAtFirstError = true;
        options.skipDirectoryLines = true; // directory lines of a scan result are not files
        if (m_roots.size() == m_result.targetPaths.size())
            options.heldRoots = &m_roots;
        options.hook = m_request.hook;
        // The files left as they were are listed in one message at the end.
        struct Gathering : StoppableObserver {
            using StoppableObserver::StoppableObserver;
            void message(const std::string &text) override { skipped.add(text); }
            GatheredMessages skipped{"files left as they were"};
        } observer(m_observer, m_flag);
        m_observer.starting(fileCount());
        const PipelineResult outcome = RewriteFiles(m_result.targetPaths, op, options, observer);
        observer.skipped.flushTo(m_observer);
        m_result.filesRewritten = outcome.rewritten;
        m_result.failed = outcome.stopped;
    }

    // The office engine's branches: the same observer, the same stop, the same progress.
    void office()
    {
        StoppableObserver observer(m_observer, m_flag);
        if (m_result.branch != Branch::OfficeRealTime)
            m_observer.starting(fileCount());
        const bool heldRoots = m_roots.size() == m_result.targetPaths.size() && !m_roots.empty();
        OfficeBranchResult outcome =
            RunOfficeBranch(m_result.branch, m_request, m_result.targetPaths, heldRoots ? &m_roots : nullptr,
                            m_office, m_folder, observer);
        m_result.filesRewritten = outcome.saved;
        m_result.failed = outcome.failed;
        m_result.text = std::move(outcome.text);
    }

    // The own engine's "Real time" pass over the "Text" page's text; nothing to show in a preview.
    void textRealTime()
    {
        if (previewing())
            return;
        if (std::optional<Lines> lines =
                RealTimePass(m_request.realTime, MemoLines(m_request.text), m_request.options))
            m_result.text = JoinLines(*lines, "\n");
    }

    const RunRequest &m_request;
    const ProgramFolder &m_folder;
    std::vector<std::string> m_roots; // the scanned directory of each target path
    RunFlag &m_flag;
    RunObserver &m_observer;
    word::ApplicationSource &m_office;
    RunResult m_result;
};

} // namespace

Branch ChooseBranch(EngineKind engine, InputTab input, TargetTab target)
{
    if (engine == EngineKind::Text) {
        switch (input) {
        case InputTab::OneLine:
            if (target == TargetTab::FileList)
                return Branch::TextFileList;
            if (target == TargetTab::DirectoryList)
                return Branch::TextDirectoryList;
            return Branch::Nothing;
        case InputTab::MultiLine:
            return target == TargetTab::Text ? Branch::Nothing : Branch::TextMultiLine;
        case InputTab::RealTime:
            return Branch::TextRealTime;
        }
        return Branch::Nothing;
    }
    switch (input) {
    case InputTab::OneLine:
        if (target == TargetTab::FileList)
            return Branch::OfficeFileList;
        if (target == TargetTab::DirectoryList)
            return Branch::OfficeDirectoryList;
        return Branch::Nothing;
    case InputTab::MultiLine:
        return Branch::Nothing;
    case InputTab::RealTime:
        return Branch::OfficeRealTime;
    }
    return Branch::Nothing;
}

void GatheredMessages::add(const std::string &text)
{
    if (++m_count <= Shown)
        m_text += (m_text.empty() ? "" : "\n") + text;
}

void GatheredMessages::flushTo(RunObserver &observer)
{
    if (m_count > Shown)
        m_text += "\n(" + std::to_string(m_count - Shown) + " more " + m_more + ")";
    std::string text = std::move(m_text);
    m_text.clear();
    m_count = 0;
    if (!text.empty())
        observer.message(text);
}

Lines MemoLines(std::string_view text)
{
    Lines lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.emplace_back(text.substr(start, i - start));
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

RunResult RunReplace(const RunRequest &request, const ProgramFolder &folder, RunFlag &flag,
                     RunObserver &observer, word::ApplicationSource *office)
{
    if (!request.hook || request.hook->commits())
        recordHistories(request, folder);
    flag.set("1");
    std::optional<word::BuiltInApplicationSource> builtIn;
    if (!office)
        office = &builtIn.emplace();
    return Run(request, folder, flag, observer, *office).carryOut();
}

} // namespace vexlo
