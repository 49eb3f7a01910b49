#include "targets/DroppedPaths.h"

#include "widgets/Guarded.h"
#include "widgets/Platform.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <filesystem>

namespace vexlo {

std::vector<DroppedPath> DroppedPathsOf(const QMimeData *data)
{
    std::vector<DroppedPath> paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        if (!url.isLocalFile() || url.toLocalFile().isEmpty())
            continue;
        DroppedPath dropped{ToBytes(url.toLocalFile()), false};
        std::error_code ec;
        dropped.isFolder = std::filesystem::is_directory(dropped.path, ec);
        paths.push_back(std::move(dropped));
    }
    return paths;
}

bool PathDropFilter::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (DroppedPathsOf(drag->mimeData()).empty())
            drag->ignore();
        else
            drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const std::vector<DroppedPath> paths = DroppedPathsOf(drop->mimeData());
        if (paths.empty()) {
            drop->ignore();
            return true;
        }
        // The files stay where they are whatever the source proposed.
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        guarded([&] { m_onDrop(paths); });
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace vexlo
