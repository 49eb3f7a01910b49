// The directory tree and drive box of the directory-picking windows.
#pragma once

#include <QObject>
#include <QString>

#include <string>

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
    /// The tree's model, which watches the folders it has listed.
    QFileSystemModel &model() const noexcept { return *m_dirModel; }

    /// The shown directory decoded for display (bytes that are not UTF-8 as U+FFFD).
    QString directory() const { return m_directory; }
    /// The shown directory as the file system names it, byte for byte.
    const std::string &directoryBytes() const noexcept { return m_bytes; }
    /// Switches to `dir`; false (nothing changed) when it cannot be entered.
    bool setDirectory(const QString &dir);
    /// The same for a path given as bytes, which need not be valid UTF-8.
    bool setDirectoryBytes(const std::string &dir);

  signals:
    /// The shown directory changed, by the user or by setDirectory().
    void directoryChanged(const QString &dir);

  private:
    void fillDrives();
    void driveChosen(int index);
    void currentChanged(const QModelIndex &index);
    void showDirectory(const std::string &dir);
    void revealDirectory();

    QComboBox *m_driveCombo = nullptr;
    QTreeView *m_dirView = nullptr;
    QFileSystemModel *m_dirModel = nullptr;
    QString m_directory;
    std::string m_bytes;
    bool m_revealPending = false; // the current directory still has to be brought into view
};

/// The directory as the list shows it: absolute, no trailing separator except for the root.
QString CleanDirectory(const QString &dir);
/// True when `dir` is a directory that can be listed and entered.
bool CanEnterDirectory(const QString &dir);

/// The same two for byte paths: absolute, "." and ".." resolved by name, no trailing separator
/// except for the root. Never fail.
std::string CleanDirectoryBytes(const std::string &dir);
bool CanEnterDirectoryBytes(const std::string &dir);

} // namespace vexlo
