#include "targets/FileListPanel.h"

#include "targets/DroppedPaths.h"
#include "targets/ScanDir.h"
#include "targets/TargetListModel.h"
#include "widgets/Guarded.h"
#include "widgets/Platform.h"

#include <QAction>
#include <QListView>
#include <QMenu>
#include <QVBoxLayout>

namespace vexlo {

FileListPanel::FileListPanel(Platform &platform, QWidget *parent)
    : QGroupBox(tr("File List"), parent), m_platform(platform)
{
    m_model = new TargetListModel(this);

    m_view = new QListView(this);
    m_view->setObjectName(QStringLiteral("CheckListBox1"));
    m_view->setUniformItemSizes(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setModel(m_model);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_view);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("PopupMenu2"));
    auto addItem = [this](const char *name, const QString &text) {
        QAction *item = m_menu->addAction(text);
        item->setObjectName(QString::fromLatin1(name));
        return item;
    };
    QAction *addFiles = addItem("AddFiles3", tr("Add Files"));
    QAction *advancedFiles = addItem("AdvancedAddFiles4", tr("Advanced Add Files"));
    QAction *scanDirectory = addItem("ScanDirectory3", tr("Scan Directory"));
    QAction *advancedDirectory = addItem("AdvancedAddDirectory1", tr("Advanced Add Directory"));
    m_menu->addSeparator();
    QAction *remove = addItem("RemoveselectedfilefromFileList2",
                              QStringLiteral("Remove selected file from File List          "));
    QAction *clear = addItem("ClearFileList2", tr("Clear File List"));

    // The shortcuts live on the list itself, so they work whenever it has the focus,
    // and the menu shows them beside its items.
    remove->setShortcut(QKeySequence(Qt::Key_Delete));
    clear->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    remove->setShortcutContext(Qt::WidgetShortcut);
    clear->setShortcutContext(Qt::WidgetShortcut);
    m_view->addAction(remove);
    m_view->addAction(clear);

    connect(addFiles, &QAction::triggered, this, &FileListPanel::addFilesRequested);
    connect(advancedFiles, &QAction::triggered, this, &FileListPanel::advancedAddRequested);
    connect(advancedDirectory, &QAction::triggered, this, &FileListPanel::advancedAddRequested);
    connect(scanDirectory, &QAction::triggered, this, &FileListPanel::scanDirectoryRequested);
    connect(remove, &QAction::triggered, this, [this] { guarded([this] { removeSelected(); }); });
    connect(clear, &QAction::triggered, this, [this] { guarded([this] { clearList(); }); });
    connect(m_view, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { guarded([&] { showContextMenu(pos); }); });

    // Drops land on the list's viewport; the list itself takes no drags of its rows.
    m_view->viewport()->setAcceptDrops(true);
    m_view->viewport()->installEventFilter(
        new PathDropFilter(this, [this](const std::vector<DroppedPath> &paths) { addDropped(paths); }));
}

void FileListPanel::addDropped(const std::vector<DroppedPath> &paths)
{
    const std::string mask = m_dropMask ? m_dropMask() : std::string();
    std::vector<std::string> added;
    for (const DroppedPath &dropped : paths) {
        if (!dropped.isFolder) {
            added.push_back(dropped.path);
            continue;
        }
        // What "Scan directory(s)" would add for that folder; unreadable folders add nothing.
        for (std::string &found : ScanDir(dropped.path, mask))
            added.push_back(std::move(found));
    }
    if (!added.empty())
        m_model->appendMany(std::move(added), true);
}

int FileListPanel::selectedRow() const
{
    const QModelIndexList rows = m_view->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void FileListPanel::removeSelected()
{
    m_model->removeSelected(selectedRow());
}

void FileListPanel::clearList()
{
    m_model->clear();
}

void FileListPanel::showContextMenu(const QPoint &pos)
{
    if (!m_view->hasFocus())
        m_view->setFocus(Qt::PopupFocusReason);
    m_platform.popup(m_menu, m_view->viewport()->mapToGlobal(pos));
}

} // namespace vexlo
