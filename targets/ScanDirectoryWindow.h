// The "Scan directory(s)" window: scans a folder with a mask into the file list.
#pragma once

#include "targets/FolderScan.h"

#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;
class QTreeView;

namespace vexlo {

class DirectoryPicker;
class Platform;
class SettingsFile;
class TargetListModel;

/// TForm2. Modal; created once and shown again with exec(). Reads section "c" of
/// "vexlo.ini" when shown and writes it when closed by any means.
class ScanDirectoryWindow : public QDialog {
    Q_OBJECT

  public:
    ScanDirectoryWindow(Platform &platform, TargetListModel &fileList, QWidget *parent = nullptr);
    ~ScanDirectoryWindow() override;

    DirectoryPicker &picker() const noexcept { return *m_picker; }
    /// The directory D shown in the directory list, with no trailing separator (but "/").
    QString directory() const;
    /// Switches the directory list to `dir`; false (nothing changed) when it cannot be entered.
    bool setDirectory(const QString &dir);

    /// Scan (SpeedButton1, Enter in Edit1): fills the file list, checks it, saves and closes.
    void scan();
    bool isScanning() const noexcept { return m_scanning; }

    /// The work lists of the last scan with subfolders: every line of the folder tree
    /// (directory lines end in a separator) and the subfolders scanned with the mask.
    const std::vector<std::string> &treeLines() const noexcept { return m_workLists.tree; }
    const std::vector<std::string> &subfolders() const noexcept { return m_workLists.subdirectories; }

  protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;
    void keyPressEvent(QKeyEvent *event) override;

  private:
    void loadSettings(const SettingsFile &settings);
    void saveSettings(SettingsFile &settings);
    void updateDirectoryLabel();

    Platform &m_platform;
    TargetListModel &m_fileList;

    QComboBox *m_driveCombo = nullptr;
    QTreeView *m_dirView = nullptr;
    DirectoryPicker *m_picker = nullptr;
    QLabel *m_dirLabel = nullptr;
    QLineEdit *m_maskEdit = nullptr;
    QMenu *m_maskMenu = nullptr;
    QCheckBox *m_subfoldersBox = nullptr;
    QToolButton *m_scanButton = nullptr;
    QToolButton *m_closeButton = nullptr;

    QString m_directory;
    FolderScanLists m_workLists;
    bool m_scanning = false;
    bool m_settingsSaved = false; // by the scan, just before it closes the window
    std::string m_lastFlag;       // "alala" as last read or written
};

} // namespace vexlo
