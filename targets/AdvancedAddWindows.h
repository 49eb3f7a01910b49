// The two directory-gathering windows: "Advanced Add Directory or Files" and "Add directory".
#pragma once

#include "targets/Gathering.h" // ScanFileName

#include <QDialog>
#include <QList>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QMenu;
class QToolButton;

namespace vexlo {

class DirectoryPicker;
class Platform;
class SettingsFile;
class TargetListModel;

/// What the gathering windows switch on the main window after filling a list.
struct MainPages {
    std::function<void()> showOneLine;       // the first page of the input notebook
    std::function<void()> showDirectoryList; // the "Directory List" page of the target notebook
};

/// TForm3. Modal; its lists and fields keep their contents between showings. Reads section
/// "h22" of "vexlo.ini" when shown and writes it when closed.
class AdvancedAddWindow : public QDialog {
    Q_OBJECT

  public:
    AdvancedAddWindow(Platform &platform, TargetListModel &fileList, TargetListModel &directoryList,
                      MainPages pages, QWidget *parent = nullptr);
    ~AdvancedAddWindow() override;

    DirectoryPicker &picker() const noexcept { return *m_picker; }
    /// CheckListBox1's entries.
    TargetListModel &gathered() const noexcept { return *m_gathered; }
    /// The mask the gathered directories are added with (Edit1).
    QLineEdit *maskEdit() const noexcept { return m_maskEdit; }
    /// The window's buttons, in the order they were made.
    const QList<QToolButton *> &buttons() const noexcept { return m_buttons; }

    /// "Add Directory (s)" (SpeedButton1).
    void addDirectory();
    /// PopupMenu1's four rebuilds of the gathered list.
    void removeSelected();
    void removeUnchecked();
    void removeChecked();
    void clearAll();
    /// "Add files from checked directoy(s) in File List" (SpeedButton3).
    void addFilesFromChecked();
    /// "Only Add Checked Directory..." (SpeedButton6).
    void addCheckedDirectories();

  protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

  private:
    void loadSettings(const SettingsFile &settings);
    void saveSettings(SettingsFile &settings) const;
    void directoryShown(const QString &dir);
    void keep(bool checkedOnes, bool checkAfter);

    Platform &m_platform;
    TargetListModel &m_fileList;
    TargetListModel &m_directoryList;
    MainPages m_pages;
    DirectoryPicker *m_picker = nullptr;
    QLabel *m_dirLabel = nullptr;
    QListWidget *m_files = nullptr;
    QCheckBox *m_subdirectories = nullptr;
    TargetListModel *m_gathered = nullptr;
    QListView *m_gatheredView = nullptr;
    QMenu *m_listMenu = nullptr;
    QLineEdit *m_maskEdit = nullptr;
    QMenu *m_maskMenu = nullptr;
    QList<QToolButton *> m_buttons;
    bool m_busy = false;
};

/// TForm4. Modal and resizable. Reads section "h23" of "vexlo.ini" when shown and writes
/// it when closed.
class AddDirectoryWindow : public QDialog {
    Q_OBJECT

  public:
    AddDirectoryWindow(Platform &platform, TargetListModel &directoryList, QWidget *parent = nullptr);
    ~AddDirectoryWindow() override;

    DirectoryPicker &picker() const noexcept { return *m_picker; }

    /// "Add selected..." (SpeedButton3).
    void addSelected();
    /// The window's buttons, in the order they were made.
    const QList<QToolButton *> &buttons() const noexcept { return m_buttons; }

  protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

  private:
    void directoryShown(const QString &dir);

    Platform &m_platform;
    TargetListModel &m_directoryList;
    DirectoryPicker *m_picker = nullptr;
    QLabel *m_dirLabel = nullptr;
    QListWidget *m_files = nullptr;
    QList<QToolButton *> m_buttons;
};

} // namespace vexlo
