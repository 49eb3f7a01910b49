// The "File List" page of the main window: the checked file list and its context menu.
#pragma once

#include <QGroupBox>

class QListView;
class QMenu;

namespace vexlo {

class Platform;
class TargetListModel;

/// Group "File List" holding CheckListBox1 over its own model. Remove selected (Del) and
/// Clear (Shift+Del) act here; the adding commands are signalled to the main window.
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

  signals:
    void addFilesRequested();
    void advancedAddRequested();
    void scanDirectoryRequested();

  private:
    void showContextMenu(const QPoint &pos);

    Platform &m_platform;
    TargetListModel *m_model = nullptr;
    QListView *m_view = nullptr;
    QMenu *m_menu = nullptr;
};

} // namespace vexlo
