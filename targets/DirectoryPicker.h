// The directory tree and drive box of the directory-picking windows.
#pragma once

#include <QObject>
#include <QString>

class QComboBox;
class QFileSystemModel;
class QModelIndex;
class QTreeView;
class QWidget;

namespace vexlo {

/// DirectoryListBox1 (a tree of directories, loaded in the background) and DriveComboBox1
/// (the volumes); the window places both widgets. The shown directory is absolute, with no
/// trailing separator except for the root "/".
class DirectoryPicker : public QObject {
    Q_OBJECT

  public:
    explicit DirectoryPicker(QWidget *parent);

    QComboBox *driveBox() const noexcept { return m_driveCombo; }
    QTreeView *view() const noexcept { return m_dirView; }

    QString directory() const { return m_directory; }
    /// Switches to `dir`; false (nothing changed) when it cannot be entered.
    bool setDirectory(const QString &dir);

  signals:
    /// The shown directory changed, by the user or by setDirectory().
    void directoryChanged(const QString &dir);

  private:
    void fillDrives();
    void driveChosen(int index);
    void currentChanged(const QModelIndex &index);
    void showDirectory(const QString &dir);
    void revealDirectory();

    QComboBox *m_driveCombo = nullptr;
    QTreeView *m_dirView = nullptr;
    QFileSystemModel *m_dirModel = nullptr;
    QString m_directory;
    bool m_revealPending = false; // the current directory still has to be brought into view
};

/// The directory as the list shows it: absolute, no trailing separator except for the root.
QString CleanDirectory(const QString &dir);
/// True when `dir` is a directory that can be listed and entered.
bool CanEnterDirectory(const QString &dir);

} // namespace vexlo
