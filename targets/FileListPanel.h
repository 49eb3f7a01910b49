// The "File List" page of the main window: the checked file list and its context menu.
#pragma once

#include <QGroupBox>

#include <functional>
#include <string>
#include <vector>

class QListView;
class QMenu;

namespace vexlo {

class Platform;
class TargetListModel;
struct DroppedPath;

/// Group "File List" holding CheckListBox1 over its own model. Remove selected (Del) and
/// Clear (Shift+Del) act here; the adding commands are signalled to the main window. Files
/// dropped on the list are appended checked in the order given, as "Add Files" appends them;
/// a dropped folder is scanned with the drop mask, its finds appended checked at its place.
class FileListPanel : public QGroupBox {
    Q_OBJECT

  public:
    FileListPanel(Platform &platform, QWidget *parent = nullptr);

    TargetListModel &model() const noexcept { return *m_model; }
    QListView *view() const noexcept { return m_view; }
    /// PopupMenu2.
    QMenu *contextMenu() const noexcept { return m_menu; }

    /// The selected row, -1 when none.
    int selectedRow() const;
    void removeSelected();
    void clearList();
    /// Where the mask for dropped folders comes from (empty text: every name).
    void setDropMask(std::function<std::string()> mask) { m_dropMask = std::move(mask); }

  signals:
    void addFilesRequested();
    void advancedAddRequested();
    void scanDirectoryRequested();

  private:
    void showContextMenu(const QPoint &pos);
    void addDropped(const std::vector<DroppedPath> &paths);

    Platform &m_platform;
    TargetListModel *m_model = nullptr;
    QListView *m_view = nullptr;
    QMenu *m_menu = nullptr;
    std::function<std::string()> m_dropMask;
};

} // namespace vexlo
