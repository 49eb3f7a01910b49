#include "run/office/OfficeBranch.h"

#include "run/CommitHook.h"
#include "run/SkippedFile.h"
#include "run/office/WordEngine.h"

#include <new>

namespace vexlo {

namespace {

// The source's commit hook for the time of one branch.
class HookedSource {
  public:
    HookedSource(word::ApplicationSource &source, CommitHook *hook) : m_source(source)
    {
        m_supported = source.setCommitHook(hook);
    }
    ~HookedSource() { m_source.setCommitHook(nullptr); }
    HookedSource(const HookedSource &) = delete;
    HookedSource &operator=(const HookedSource &) = delete;
    bool supported() const { return m_supported; }

  private:
    word::ApplicationSource &m_source;
    bool m_supported = false;
};

} // namespace

OfficeBranchResult RunOfficeBranch(Branch branch, const RunRequest &request,
                                   const std::vector<std::string> &paths,
                                   const std::vector<std::string> *roots, word::ApplicationSource &source,
                                   const ProgramFolder &folder, RunObserver &observer)
{
    OfficeBranchResult result;
    const bool previewing = request.hook && !request.hook->commits();
    if (branch == Branch::OfficeRealTime && previewing)
        return result; // the "Text" page is no file: a preview shows nothing for it
    // The scratch file of "Real time" is the program's own: it gets no undo copy.
    CommitHook *hook = branch == Branch::OfficeRealTime ? nullptr : request.hook;
    HookedSource hooked(source, hook);
    if (!hooked.supported() && previewing) {
        result.failed = true;
        observer.error({}, Error(ErrorKind::Automation, {},
                                 "this office application cannot show what a run would change"));
        return result;
    }
    WordEngine engine(source);
    // The files left as they are, in one message at the end of the branch.
    GatheredMessages skipped("files left as they were");
    engine.onSkipped([&](const SkippedFile &file) {
        skipped.add(file.what());
        if (hook)
            hook->skipped(file.path(), file.reason());
    });
    std::optional<Error> failure;
    // The hook sees the branch's files as it sees the text engine's.
    struct Span {
        CommitHook *seen;
        Span(CommitHook *h, const std::vector<std::string> &paths) : seen(h)
        {
            if (seen)
                seen->begin(paths);
        }
        ~Span()
        {
            if (seen)
                seen->end();
        }
    } span(hook, paths);
    try {
        const std::string &find = request.oneLineFind;
        const std::string &replace = request.oneLineReplace;
        switch (branch) {
        case Branch::OfficeFileList:
            result.saved = engine.fileListBranch(paths, find, replace, request.wordOptions, &observer);
            break;
        case Branch::OfficeDirectoryList:
            result.saved =
                engine.directoryListBranch(paths, find, replace, request.wordOptions, observer, roots);
            break;
        case Branch::OfficeRealTime:
            result.text =
                engine.realTimeBranch(request.realTime, request.text, request.wordOptions, folder,
                                      [&observer](const std::string &text) { observer.message(text); });
            break;
        default:
            break;
        }
    } catch (const Error &e) {
        failure = e;
    } catch (const std::exception &e) {
        // Whatever its kind, a failure ends the branch with a message naming the file.
        const std::string &path = engine.currentPath();
        const std::string why = dynamic_cast<const std::bad_alloc *>(&e) ? "not enough memory" : e.what();
        failure = Error(ErrorKind::Automation, path,
                        path.empty() ? why : "cannot process '" + EscapeControls(path) + "': " + why);
    }
    skipped.flushTo(observer);
    if (failure) {
        result.failed = true;
        observer.error(failure->path().empty() ? engine.currentPath() : failure->path(), *failure);
    }
    return result;
}

} // namespace vexlo
