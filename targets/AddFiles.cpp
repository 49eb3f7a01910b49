#include "targets/AddFiles.h"

#include "targets/TargetListModel.h"
#include "widgets/Platform.h"

namespace vexlo {

void PlatformProgramStop::showMessage(const std::string &text)
{
    m_platform.message(m_parent, FromBytes(text));
}

void PlatformProgramStop::terminate()
{
    m_platform.terminate(1);
}

void AddFileProcedure(QWidget *parent, Platform &platform, TargetListModel &fileList)
{
    const ProgramFolder &folder = platform.programFolder();
    SettingsFile settings(folder.file(MainSettingsName));
    if (settings.exists()) {
        const DialogLocation location{""};
        // A stored filter that is not a number ends the command here, before the dialog.
        const DialogLocation::Value remembered = location.read(settings);

        OpenFileRequest request;
        for (const FileFilter &filter : SharedFileFilters)
            request.filters << QString::fromLatin1(DialogNameFilter(filter));
        request.filterIndex = remembered.filterIndex;
        request.directory = FromBytes(remembered.directory);
        request.multiple = true;

        const std::optional<OpenFileResult> chosen = platform.openFiles(parent, request);
        if (!chosen || chosen->files.isEmpty())
            return;

        std::vector<std::string> paths;
        paths.reserve(static_cast<std::size_t>(chosen->files.size()));
        for (const QString &file : chosen->files)
            paths.push_back(ToBytes(file));
        const std::string first = paths.front();
        fileList.appendMany(std::move(paths), true);

        location.write(settings, first, chosen->filterIndex);
    }

    PlatformProgramStop stop(platform, parent);
    RequireSettingsFile(folder, "001", stop);
}

} // namespace vexlo
