#include "widgets/Platform.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
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

bool DesktopPlatform::ask(QWidget *parent, const QString &text, const QString &yes, const QString &no)
{
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text,
                    QMessageBox::NoButton, parent);
    QPushButton *yesButton = box.addButton(yes, QMessageBox::AcceptRole);
    QPushButton *noButton = box.addButton(no, QMessageBox::RejectRole);
    box.setDefaultButton(noButton);
    box.setEscapeButton(noButton);
    box.exec();
    return box.clickedButton() == yesButton;
}

void ConfigureOpenFileDialog(QFileDialog &dialog, const OpenFileRequest &request)
{
    // The captions carry pattern lists of their own ("(*.txt; *.diz)") that the dialog would
    // misread; it shows the caption alone and takes the patterns from the last parentheses.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(request.filters);
    if (request.filterIndex >= 1 && request.filterIndex <= request.filters.size())
        dialog.selectNameFilter(request.filters.at(request.filterIndex - 1));
    // A remembered folder that no longer exists leaves the dialog where it would open anyway.
    if (!request.directory.isEmpty() && QFileInfo(request.directory).isDir())
        dialog.setDirectory(request.directory);
    dialog.setFileMode(request.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
}

int SelectedFilterIndex(const QFileDialog &dialog, const OpenFileRequest &request)
{
    // Depending on the dialog, the selection comes back whole or as the caption alone.
    const QString selected = dialog.selectedNameFilter();
    for (qsizetype i = 0; i < request.filters.size(); ++i) {
        const QString &filter = request.filters.at(i);
        const qsizetype patterns = filter.lastIndexOf(QLatin1String(" ("));
        if (selected == filter || (patterns > 0 && selected == filter.left(patterns)))
            return int(i) + 1;
    }
    return request.filterIndex;
}

std::optional<OpenFileResult> DesktopPlatform::openFiles(QWidget *parent, const OpenFileRequest &request)
{
    QFileDialog dialog(parent, request.title);
    ConfigureOpenFileDialog(dialog, request);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;

    OpenFileResult result;
    result.files = dialog.selectedFiles();
    result.filterIndex = SelectedFilterIndex(dialog, request);
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

QString DesktopPlatform::clipboardText()
{
    return QApplication::clipboard()->text();
}

void DesktopPlatform::setClipboardText(const QString &text)
{
    QApplication::clipboard()->setText(text);
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
