#include "run/OfficeRun.h"

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
    try {
        switch (branch) {
        case Branch::OfficeFileList:
            engine.fileListBranch(paths, request.edit1, request.edit2, options);
            break;
        case Branch::OfficeDirectoryList:
            engine.directoryListBranch(paths, request.edit1, request.edit2, options, m_flag);
            break;
        default:
            m_richText = engine.realTimeBranch(realTime, options, m_folder,
                                               [this](const std::string &text) { m_observer.message(text); });
            break;
        }
    } catch (const Error &e) {
        m_failed = true;
        m_observer.error(e.path().empty() ? engine.currentPath() : e.path(), e);
    }
}

} // namespace vexlo
