#include "run/OfficeRun.h"

#include "run/SkippedFile.h"

#include <new>

namespace vexlo {

void OfficeRunExtension::run(Branch branch, const RunRequest &request, const std::vector<std::string> &paths)
{
    if (branch != Branch::OfficeFileList && branch != Branch::OfficeDirectoryList &&
        branch != Branch::OfficeRealTime) {
        if (m_next)
            m_next->run(branch, request, paths);
        return;
    }
    m_failed = false;
    m_richText.reset();
    WordEngine engine(m_source);
    // The files left as they are, in one message at the end of the branch.
    GatheredMessages skipped("files left as they were");
    engine.onSkipped([&](const SkippedFile &file) { skipped.add(file.what()); });
    std::optional<Error> failure;
    try {
        switch (branch) {
        case Branch::OfficeFileList:
            engine.fileListBranch(paths, request.oneLineFind, request.oneLineReplace, request.wordOptions);
            break;
        case Branch::OfficeDirectoryList:
            engine.directoryListBranch(paths, request.oneLineFind, request.oneLineReplace,
                                       request.wordOptions, m_flag,
                                       request.targetRoots.empty() ? nullptr : &request.targetRoots);
            break;
        default:
            m_richText = engine.realTimeBranch(request.realTime, text, request.wordOptions, m_folder,
                                               [this](const std::string &text) { m_observer.message(text); });
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
    skipped.flushTo(m_observer);
    if (failure) {
        m_failed = true;
        m_observer.error(failure->path().empty() ? engine.currentPath() : failure->path(), *failure);
    }
}

} // namespace vexlo
