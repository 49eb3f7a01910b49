#include "backup/BackupWindows.h"

#include "backup/BackupStore.h"

#include "base/Error.h"
#include "targets/TargetListModel.h"
#include "widgets/BusyGuard.h"
#include "widgets/EventPump.h"
#include "widgets/Guarded.h"
#include "widgets/Platform.h"
#include "widgets/Widgets.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <optional>

namespace vexlo {

namespace {

constexpr Qt::WindowFlags DialogFlags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                        Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;

// While a window is being shown its own event loop has not started yet: a close from the
// user at that moment would leave the modal loop running for a hidden window.
constexpr QEventLoop::ProcessEventsFlags ShowingEvents = QEventLoop::ExcludeUserInputEvents;

enum Page { FileListPage = 0, DirectoryListPage = 1 };

QToolButton *Button(QWidget *parent, const char *name, const QString &hint, const QString &icon)
{
    QToolButton *button = MakeFlatButton(parent, name, hint, icon);
    button->setIconSize(QSize(32, 32));
    return button;
}

QHBoxLayout *ButtonRow(std::initializer_list<QToolButton *> buttons)
{
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    for (QToolButton *button : buttons)
        row->addWidget(button);
    return row;
}

QListWidget *BackupList(QWidget *parent)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(QStringLiteral("ListBox1"));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

QLabel *InfoLabel(QWidget *parent)
{
    auto *label = new QLabel(QStringLiteral("Label1"), parent);
    label->setObjectName(QStringLiteral("Label1"));
    label->setMinimumWidth(320);
    label->setTextFormat(Qt::PlainText);
    return label;
}

int SelectedRow(const QListWidget *list)
{
    const QList<QListWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.front());
}

/// The index line of the selected row, as its bytes: empty when none is selected.
std::string SelectedName(const QListWidget *list, const Lines &names)
{
    const int row = SelectedRow(list);
    return row < 0 || static_cast<std::size_t>(row) >= names.size() ? std::string()
                                                                    : names[static_cast<std::size_t>(row)];
}

/// Shows the lines decoded for display only (the bytes stay in the window's copy of the index)
/// and selects the first, so the row that looks current is the one an action takes.
void FillList(QListWidget *list, const Lines &lines)
{
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string &line : lines)
        texts << FromBytes(line);
    list->addItems(texts);
    if (list->count() > 0)
        list->setCurrentRow(0);
}

/// A failure of the store, shown with the path and the reason; other errors go to the handler.
void ShowFailure(Platform &platform, QWidget *parent, const QString &what, const Error &error)
{
    if (error.kind() != ErrorKind::Io)
        throw error;
    platform.message(parent, what + QStringLiteral("\r\n") + FromBytes(error.what()));
}

/// Shows each file in the info label and lets the window breathe while the loop runs.
class LabelProgress : public RunObserver {
  public:
    LabelProgress(Platform &platform, QLabel *label) : m_pump(platform), m_label(label) {}
    void fileDone(const std::string &path, Outcome) override { show(path); }
    void error(const std::string &path, const Error &) override { show(path); }

    /// Shows the last file handled once the loop has ended.
    void finish()
    {
        if (!m_pending.empty())
            m_label->setText(FromBytes(m_pending));
    }

  private:
    void show(const std::string &path)
    {
        if (!m_pump.due()) {
            m_pending = path;
            return;
        }
        m_pending.clear();
        m_label->setText(FromBytes(path));
        m_pump.process();
    }

    EventPump m_pump;
    QLabel *m_label;
    std::string m_pending;
};

/// The store of the program folder (every call opens its files anew).
BackupStore StoreOf(const Platform &platform)
{
    return BackupStore(platform.programFolder());
}

/// After a restore or delete: how many set lines named no backup copy, when any did.
void ShowSkipped(QLabel *label, const BackupTally &tally)
{
    if (tally.skipped > 0)
        label->setText(QStringLiteral("%1 line(s) of the set named no backup copy and were skipped.")
                           .arg(tally.skipped));
}

} // namespace

DoBackupWindow::DoBackupWindow(Platform &platform, const TargetListModel &fileList,
                               const TargetListModel &directoryList, std::function<int()> targetPage,
                               QWidget *parent)
    : QDialog(parent, DialogFlags), m_platform(platform), m_fileList(fileList),
      m_directoryList(directoryList), m_targetPage(std::move(targetPage))
{
    setObjectName(QStringLiteral("TForm13"));
    setWindowTitle(tr("Do backup"));
    setModal(true);

    m_nameEdit = new QLineEdit(this);
    m_nameEdit->setObjectName(QStringLiteral("Edit1"));
    m_infoLabel = InfoLabel(this);
    QToolButton *backup = Button(this, "SpeedButton1", tr("Do backup!..."), QStringLiteral("backup"));
    QToolButton *cancel = Button(this, "SpeedButton2", tr("Cancel..."), QStringLiteral("cancel"));
    QToolButton *close = Button(this, "SpeedButton3", tr("Close..."), QStringLiteral("close"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(MakeGroup(this, tr("Backup name"), m_nameEdit));
    layout->addWidget(MakeGroup(this, tr("Info"), m_infoLabel));
    m_buttons = {backup, cancel, close};
    layout->addLayout(ButtonRow({backup, cancel, close}));

    connect(backup, &QToolButton::clicked, this, [this] { guarded([this] { doBackup(); }); });
    connect(cancel, &QToolButton::clicked, this, [this] { guarded([this] { reject(); }); });
    connect(close, &QToolButton::clicked, this, [this] { guarded([this] { reject(); }); });
}

void DoBackupWindow::done(int result)
{
    if (!m_busy)
        QDialog::done(result);
}

void DoBackupWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        guarded([this] { fillOnShow(); });
}

void DoBackupWindow::fillOnShow()
{
    QCoreApplication::processEvents(ShowingEvents);
    const int page = m_targetPage();
    if (page == FileListPage) {
        EventPump pump(m_platform, EventPump::DefaultInterval, EventPump::First::Waits, ShowingEvents);
        for (int i = 0; i < m_fileList.count(); ++i) {
            if (pump.due()) {
                m_infoLabel->setText(QString::number(i));
                pump.process();
            }
        }
    }
    showCounts();
    m_nameEdit->setText(FromBytes(StoreOf(m_platform).proposeName())); // a bad counter keeps the old name
    QCoreApplication::processEvents(ShowingEvents);
}

void DoBackupWindow::showCounts()
{
    const int page = m_targetPage();
    if (page == FileListPage)
        m_infoLabel->setText(QStringLiteral("In File List %1 files").arg(m_fileList.count()));
    else if (page == DirectoryListPage)
        m_infoLabel->setText(QStringLiteral("In Directory List %1 Directory").arg(m_directoryList.count()));
}

void DoBackupWindow::doBackup()
{
    const BusyGuard busy(m_busy);
    if (!busy)
        return;
    QCoreApplication::processEvents();
    if (m_targetPage() == FileListPage && m_fileList.count() == 0) {
        m_platform.message(this, QStringLiteral("No files in File List!"));
        return;
    }
    // The name becomes a file in the program folder: nothing is written under a bad one.
    const std::string name = ToBytes(m_nameEdit->text());
    if (const std::string problem = StoreOf(m_platform).nameProblem(name); !problem.empty()) {
        m_platform.message(this, FromBytes(problem));
        return;
    }
    showCounts();

    // The list as it is now; the events processed on the way may change it.
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(m_fileList.count()));
    for (const TargetEntry &entry : m_fileList.entries())
        paths.push_back(entry.path);

    LabelProgress progress(m_platform, m_infoLabel);
    BackupTally tally;
    try {
        tally = StoreOf(m_platform).backup(name, paths, progress);
    } catch (const Error &e) {
        progress.finish();
        if (e.kind() != ErrorKind::Io)
            throw; // the counter, after the backup itself is complete
        m_infoLabel->setText(QStringLiteral("The backup was not completed."));
        ShowFailure(m_platform, this,
                    QStringLiteral("The backup \"%1\" was not completed:").arg(FromBytes(name)), e);
        return;
    }
    m_infoLabel->setText(QStringLiteral("All files are backuped!"));
    QCoreApplication::processEvents();
    m_platform.beep();
    m_platform.message(this, FromBytes(EndMessage(tally, "copied")));
}

RecoveryWindow::RecoveryWindow(Platform &platform, QWidget *parent)
    : QDialog(parent, DialogFlags), m_platform(platform)
{
    setObjectName(QStringLiteral("TForm14"));
    setWindowTitle(tr("Recovery"));
    setModal(true);

    m_list = BackupList(this);
    m_infoLabel = InfoLabel(this);
    QToolButton *recover =
        Button(this, "SpeedButton1", tr("Recovery selected..."), QStringLiteral("recovery"));
    QToolButton *cancel = Button(this, "SpeedButton2", tr("Cancel..."), QStringLiteral("cancel"));
    QToolButton *close = Button(this, "SpeedButton3", tr("Close..."), QStringLiteral("close"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(MakeGroup(this, tr("Select backup name"), m_list), 1);
    layout->addWidget(MakeGroup(this, tr("Info"), m_infoLabel));
    m_buttons = {recover, cancel, close};
    layout->addLayout(ButtonRow({recover, cancel, close}));

    connect(recover, &QToolButton::clicked, this, [this] { guarded([this] { recoverSelected(); }); });
    connect(cancel, &QToolButton::clicked, this, [this] { guarded([this] { reject(); }); });
    connect(close, &QToolButton::clicked, this, [this] { guarded([this] { reject(); }); });
}

void RecoveryWindow::done(int result)
{
    if (!m_busy)
        QDialog::done(result);
}

void RecoveryWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    guarded([this] {
        std::optional<Lines> names;
        try {
            names = StoreOf(m_platform).listBackupsIfPresent(); // missing: the previous lines stay
        } catch (const Error &e) {
            ShowFailure(m_platform, this, QStringLiteral("The list of backups cannot be read:"), e);
        }
        if (!names)
            return;
        m_names = std::move(*names);
        m_list->clear();
        FillList(m_list, m_names);
        m_infoLabel->setText(QStringLiteral("In total %1 backups.").arg(m_names.size()));
    });
}

void RecoveryWindow::recoverSelected()
{
    const BusyGuard busy(m_busy);
    if (!busy)
        return;
    const std::string name = SelectedName(m_list, m_names);
    if (name.empty())
        return;
    LabelProgress progress(m_platform, m_infoLabel);
    BackupTally tally;
    try {
        tally = StoreOf(m_platform).restore(name, progress);
    } catch (const Error &e) {
        ShowFailure(m_platform, this, QStringLiteral("The backup set cannot be read:"), e);
        return;
    }
    progress.finish();
    ShowSkipped(m_infoLabel, tally);
    m_platform.beep();
    m_platform.message(this, FromBytes(EndMessage(tally, "restored")));
}

DeleteBackupWindow::DeleteBackupWindow(Platform &platform, QWidget *parent)
    : QDialog(parent, DialogFlags), m_platform(platform)
{
    setObjectName(QStringLiteral("TForm15"));
    setWindowTitle(tr("Delete backup"));
    setModal(true);

    m_list = BackupList(this);
    m_infoLabel = InfoLabel(this);
    // Picture-only buttons; the hint says what each does.
    QToolButton *remove =
        Button(this, "SpeedButton1", tr("Delete selected backup..."), QStringLiteral("delete"));
    QToolButton *close = Button(this, "SpeedButton2", tr("Close..."), QStringLiteral("close"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(MakeGroup(this, tr("Backups"), m_list), 1);
    layout->addWidget(m_infoLabel);
    m_buttons = {remove, close};
    layout->addLayout(ButtonRow({remove, close}));

    connect(remove, &QToolButton::clicked, this, [this] { guarded([this] { deleteSelected(); }); });
    connect(close, &QToolButton::clicked, this, [this] { guarded([this] { reject(); }); });
}

void DeleteBackupWindow::done(int result)
{
    if (!m_busy)
        QDialog::done(result);
}

void DeleteBackupWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    guarded([this] {
        if (reload()) // missing index: the list stays empty and the label as it was
            m_infoLabel->clear();
    });
}

bool DeleteBackupWindow::reload()
{
    m_list->clear();
    m_names.clear();
    std::optional<Lines> names;
    try {
        names = StoreOf(m_platform).listBackupsIfPresent();
    } catch (const Error &e) {
        ShowFailure(m_platform, this, QStringLiteral("The list of backups cannot be read:"), e);
    }
    if (!names)
        return false;
    m_names = std::move(*names);
    FillList(m_list, m_names);
    return true;
}

void DeleteBackupWindow::deleteSelected()
{
    const BusyGuard busy(m_busy);
    if (!busy)
        return;
    const int position = SelectedRow(m_list);
    const std::string name = SelectedName(m_list, m_names);
    if (name.empty())
        return;
    const Lines listed = m_names; // the index's bytes, never the list's text

    LabelProgress progress(m_platform, m_infoLabel);
    BackupTally tally;
    try {
        tally = StoreOf(m_platform).deleteCopies(name, progress);
    } catch (const Error &e) {
        ShowFailure(m_platform, this, QStringLiteral("The backup set cannot be read:"), e);
        return;
    }
    progress.finish();
    ShowSkipped(m_infoLabel, tally);
    m_platform.beep();
    m_platform.message(this, FromBytes(EndMessage(tally, "deleted")));
    try {
        StoreOf(m_platform).writeIndexWithout(listed, position);
    } catch (const Error &e) {
        ShowFailure(m_platform, this, QStringLiteral("The list of backups cannot be written:"), e);
    }
    reload();
}

} // namespace vexlo
