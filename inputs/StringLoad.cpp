#include "inputs/StringLoad.h"

#include "base/Error.h"

#include "inputs/TextFile.h"
#include "settings/SettingsFile.h"
#include "targets/AddFiles.h"
#include "widgets/FieldEditing.h"
#include "widgets/Platform.h"

#include <QPlainTextEdit>
#include <QTextCursor>

namespace vexlo {

bool LoadFromFile(QWidget *parent, Platform &platform, const LoadKeys &keys,
                  const std::function<void(const Lines &)> &work)
{
    const ProgramFolder &folder = platform.programFolder();
    SettingsFile settings(folder.file(MainSettingsName));
    bool loaded = false;
    if (settings.exists()) {
        const std::string directory =
            settings.read("Add_File_Procedure", DialogLocation{keys.readDirectory}.directoryKey(),
                          DialogLocation{keys.readDirectory}.directoryKey());
        const DialogLocation filterLocation{keys.readFilter};
        // A stored filter that is not a number ends the load here, before the dialog.
        const int filterIndex = ToInt(
            settings.read("Add_File_Procedure", filterLocation.filterKey(), filterLocation.filterKey()));

        OpenFileRequest request;
        for (const FileFilter &filter : SharedFileFilters)
            request.filters << QString::fromLatin1(filter.label);
        request.filterIndex = filterIndex;
        request.directory = FromBytes(directory);
        request.multiple = false;

        const std::optional<OpenFileResult> chosen = platform.openFiles(parent, request);
        if (!chosen || chosen->files.isEmpty())
            return false;
        const std::string file = ToBytes(chosen->files.front());
        work(ReadTextLines(file));
        DialogLocation{keys.write}.write(settings, file, chosen->filterIndex);
        loaded = true;
    }

    PlatformProgramStop stop(platform, parent);
    RequireSettingsFile(folder, keys.code, stop);
    return loaded;
}

void AppendLines(QPlainTextEdit *memo, const Lines &lines)
{
    if (lines.empty())
        return;
    const QString existing = BoxText(memo);
    QString text = LinesText(lines); // a last empty line of the file is kept
    // A memo whose text ends in a line break already ends its last line.
    if (!existing.isEmpty() && !existing.endsWith(QLatin1Char('\n')))
        text.prepend(QLatin1Char('\n'));
    QTextCursor cursor(memo->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
}

} // namespace vexlo
