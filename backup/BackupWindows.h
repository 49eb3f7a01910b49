// The three windows of the backup store: "Do backup", "Recovery" and "Delete backup".
#pragma once

#include "base/Lines.h"

#include <QDialog>
#include <QList>

#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QToolButton;

namespace vexlo {

class Platform;
class TargetListModel;

/// TForm13. Modal; its name field and info label keep their text between showings until
/// the next showing refills them.
class DoBackupWindow : public QDialog {
    Q_OBJECT

  public:
    /// `targetPage` tells which page of the main window's target notebook is shown
    /// (0 "File List", 1 "Directory List", 2 "Text").
    DoBackupWindow(Platform &platform, const TargetListModel &fileList, const TargetListModel &directoryList,
                   std::function<int()> targetPage, QWidget *parent = nullptr);

    /// "Do backup!" (SpeedButton1).
    void doBackup();
    /// The window's buttons, in the order they were made.
    const QList<QToolButton *> &buttons() const noexcept { return m_buttons; }

  protected:
    void showEvent(QShowEvent *event) override;
    /// Closing waits until the files being handled are done with.
    void done(int result) override;

  private:
    void fillOnShow();
    void showCounts();

    Platform &m_platform;
    const TargetListModel &m_fileList;
    const TargetListModel &m_directoryList;
    std::function<int()> m_targetPage;
    QLineEdit *m_nameEdit = nullptr;
    QLabel *m_infoLabel = nullptr;
    QList<QToolButton *> m_buttons;
    bool m_busy = false;
};

/// TForm14. Modal; every showing reloads the list of backups from the index.
class RecoveryWindow : public QDialog {
    Q_OBJECT

  public:
    explicit RecoveryWindow(Platform &platform, QWidget *parent = nullptr);

    /// "Recovery selected..." (SpeedButton1).
    void recoverSelected();
    /// The window's buttons, in the order they were made.
    const QList<QToolButton *> &buttons() const noexcept { return m_buttons; }

  protected:
    void showEvent(QShowEvent *event) override;
    /// Closing waits until the files being handled are done with.
    void done(int result) override;

  private:
    Platform &m_platform;
    QListWidget *m_list = nullptr;
    Lines m_names; // the index's lines as bytes; the list shows them decoded
    QLabel *m_infoLabel = nullptr;
    QList<QToolButton *> m_buttons;
    bool m_busy = false;
};

/// TForm15. Modal; every showing reloads the list of backups from the index.
class DeleteBackupWindow : public QDialog {
    Q_OBJECT

  public:
    explicit DeleteBackupWindow(Platform &platform, QWidget *parent = nullptr);

    /// Deletes the selected backup's copies and its line of the index (SpeedButton1).
    void deleteSelected();
    /// The backups of the index (ListBox1).
    QListWidget *backupList() const noexcept { return m_list; }
    /// The window's buttons, in the order they were made.
    const QList<QToolButton *> &buttons() const noexcept { return m_buttons; }

  protected:
    void showEvent(QShowEvent *event) override;
    /// Closing waits until the files being handled are done with.
    void done(int result) override;

  private:
    /// Fills the list from the index; false when there is none (or it cannot be read).
    bool reload();

    Platform &m_platform;
    QListWidget *m_list = nullptr;
    Lines m_names; // the index's lines as bytes; the list shows them decoded
    QLabel *m_infoLabel = nullptr;
    QList<QToolButton *> m_buttons;
    bool m_busy = false;
};

} // namespace vexlo
