#include "widgets/Platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QMenu>
#include <QMessageBox>
#include <QUrl>

#include <cstdlib>

namespace vexlo {

void DesktopPlatform::message(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Information, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    parent);
    // Wide enough for its title and a path: a short text alone would make a narrow box.
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(360, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(),
                      0, 1, grid->columnCount());
    box.exec();
}

std::optional<OpenFileResult> DesktopPlatform::openFiles(QWidget *parent, const OpenFileRequest &request)
{
    QFileDialog dialog(parent, request.title);
    dialog.setNameFilters(request.filters);
    if (request.filterIndex >= 1 && request.filterIndex <= request.filters.size())
        dialog.selectNameFilter(request.filters.at(request.filterIndex - 1));
    // A remembered folder that no longer exists leaves the dialog where it would open anyway.
    if (!request.directory.isEmpty() && QFileInfo(request.directory).isDir())
        dialog.setDirectory(request.directory);
    dialog.setFileMode(request.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;

    OpenFileResult result;
    result.files = dialog.selectedFiles();
    const qsizetype index = request.filters.indexOf(dialog.selectedNameFilter());
    result.filterIndex = index >= 0 ? int(index) + 1 : request.filterIndex;
    return result;
}

bool DesktopPlatform::shellOpen(const QString &pathOrUrl)
{
    const QUrl url =
        pathOrUrl.contains(QLatin1String("://")) ? QUrl(pathOrUrl) : QUrl::fromLocalFile(pathOrUrl);
    return QDesktopServices::openUrl(url);
}

void DesktopPlatform::beep()
{
    QApplication::beep();
}

void DesktopPlatform::terminate(int exitCode)
{
    std::_Exit(exitCode);
}

qint64 DesktopPlatform::tickCount()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}

QAction *DesktopPlatform::popup(QMenu *menu, const QPoint &globalPos)
{
    return menu->exec(globalPos);
}

QString FromBytes(const std::string &bytes)
{
    return QFile::decodeName(QByteArray(bytes.data(), qsizetype(bytes.size())));
}

std::string ToBytes(const QString &text)
{
    const QByteArray bytes = QFile::encodeName(text);
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

} // namespace vexlo
