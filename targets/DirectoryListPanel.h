// The "Directory List" page of the main window: the mask strip and the checked directory list.
#pragma once

#include <QGroupBox>

#include <string>

class QLineEdit;
class QListView;
class QMenu;
class QToolButton;

namespace vexlo {

class Platform;
class TargetListModel;

/// Group "Directory List": "Mask:" Edit5 with its mask menu button, and CheckListBox2 below.
/// Folders dropped on the list are appended checked in the order given.
class DirectoryListPanel : public QGroupBox {
    Q_OBJECT

  public:
    DirectoryListPanel(Platform &platform, QWidget *parent = nullptr);

    TargetListModel &model() const noexcept { return *m_model; }
    QListView *view() const noexcept { return m_view; }
    QLineEdit *maskEdit() const noexcept { return m_maskEdit; }
    /// The mask a run applies to every checked directory, as typed (empty means "*.*").
    QString maskText() const;
    std::string mask() const;

  private:
    Platform &m_platform;
    TargetListModel *m_model = nullptr;
    QListView *m_view = nullptr;
    QLineEdit *m_maskEdit = nullptr;
    QMenu *m_maskMenu = nullptr;
};

} // namespace vexlo
