#include "targets/AdvancedAddWindows.h"

#include "settings/SettingsFile.h"
#include "targets/DirectoryPicker.h"
#include "targets/Gathering.h"
#include "targets/MaskMenu.h"
#include "targets/TargetListModel.h"
#include "widgets/BusyGuard.h"
#include "widgets/EventPump.h"
#include "widgets/Guarded.h"
#include "widgets/Platform.h"
#include "widgets/Widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QScreen>
#include <QShowEvent>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace vexlo {

namespace {

constexpr const char *GatherSection = "h22";
constexpr const char *AddSection = "h23";
constexpr const char *DirectoryKey = "direc";
constexpr const char *MaskKey = "direc2";
constexpr const char *SubdirectoriesKey = "aCheckBox1";

QToolButton *Button(QWidget *parent, const char *name, const QString &hint, const QString &icon)
{
    QToolButton *button = MakeFlatButton(parent, name, hint, icon);
    button->setIconSize(QSize(28, 28));
    return button;
}

QLabel *DirectoryLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QStringLiteral("Label1"));
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(160);
    return label;
}

QListWidget *FileListBox(QWidget *parent)
{
    auto *files = new QListWidget(parent);
    files->setObjectName(QStringLiteral("FileListBox1"));
    files->setSelectionMode(QAbstractItemView::SingleSelection);
    return files;
}

// FileListBox1 shows every file of the directory, for viewing, by name; the names are
// decoded for display.
void ShowFiles(QListWidget *files, const std::string &dir)
{
    files->clear();
    for (const std::string &name : FileNamesIn(dir))
        files->addItem(FromBytes(name));
}

} // namespace

AdvancedAddWindow::AdvancedAddWindow(Platform &platform, TargetListModel &fileList,
                                     TargetListModel &directoryList, MainPages pages, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_platform(platform), m_fileList(fileList), m_directoryList(directoryList), m_pages(std::move(pages))
{
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(tr("Advanced Add Directory or Files"));
    setModal(true);

    m_picker = new DirectoryPicker(this);
    m_dirLabel = DirectoryLabel(this);
    m_files = FileListBox(this);

    QToolButton *add = Button(this, "SpeedButton1", tr("Add Directory (s)"), QStringLiteral("add-directory"));
    m_subdirectories = new QCheckBox(tr("SubDirectorys?"), this);
    m_subdirectories->setObjectName(QStringLiteral("CheckBox1"));
    QToolButton *remove =
        Button(this, "SpeedButton2", tr("Remove selected Directory"), QStringLiteral("menu"));

    m_gathered = new TargetListModel(this);
    m_gatheredView = new QListView(this);
    m_gatheredView->setObjectName(QStringLiteral("CheckListBox1"));
    m_gatheredView->setModel(m_gathered);
    m_gatheredView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_gatheredView->setUniformItemSizes(true);

    m_listMenu = new QMenu(this);
    m_listMenu->setObjectName(QStringLiteral("PopupMenu1"));
    QAction *removeSelectedItem = m_listMenu->addAction(tr("Remove Selected"));
    QAction *removeUncheckedItem = m_listMenu->addAction(tr("Remove all UnChecked"));
    QAction *removeCheckedItem = m_listMenu->addAction(tr("Remove ALL Checked"));
    QAction *clearItem = m_listMenu->addAction(tr("Clear ALL"));

    auto *maskLabel = new QLabel(tr("Mask:"), this);
    maskLabel->setObjectName(QStringLiteral("Label2"));
    m_maskEdit = new QLineEdit(this);
    m_maskEdit->setObjectName(QStringLiteral("Edit1"));
    m_maskMenu = CreateMaskMenu(m_maskEdit, "PopupMenu2");
    QToolButton *maskButton = Button(this, "SpeedButton5", tr("Select mask..."), QStringLiteral("mask"));
    QToolButton *scan = Button(this, "SpeedButton3", tr("Add files from checked directoy(s) in File List"),
                               QStringLiteral("add-file"));
    QToolButton *copy = Button(this, "SpeedButton6", tr("Only Add Checked Directory..."),
                               QStringLiteral("checked-directories"));
    QToolButton *close = Button(this, "SpeedButton4", tr("Close \"Advanced Add Directory\" (without add)"),
                                QStringLiteral("close"));
    m_buttons = {add, remove, maskButton, scan, copy, close};

    // Left: where to gather from. Middle: what was gathered. Right: what to do with it.
    auto *directoryBox = new QGroupBox(tr(" Directory "), this);
    auto *directoryLayout = new QVBoxLayout(directoryBox);
    directoryLayout->addWidget(m_picker->driveBox());
    directoryLayout->addWidget(m_picker->view(), 1);
    directoryLayout->addWidget(m_dirLabel);
    auto *left = new QVBoxLayout;
    left->addWidget(directoryBox, 3);
    left->addWidget(MakeGroup(this, tr(" Files "), m_files), 2);

    auto *gatherRow = new QHBoxLayout;
    gatherRow->addWidget(add);
    gatherRow->addWidget(m_subdirectories);
    gatherRow->addStretch(1);
    gatherRow->addWidget(remove);
    auto *middle = new QVBoxLayout;
    middle->addLayout(gatherRow);
    middle->addWidget(MakeGroup(this, tr(" What`s checked? "), m_gatheredView), 1);

    auto *maskBox = new QGroupBox(tr(" Scan and Add in File List "), this);
    auto *maskLayout = new QHBoxLayout(maskBox);
    maskLayout->addWidget(maskLabel);
    maskLayout->addWidget(m_maskEdit, 1);
    maskLayout->addWidget(maskButton);
    auto *actions = new QHBoxLayout;
    actions->addWidget(scan);
    actions->addWidget(copy);
    actions->addStretch(1);
    actions->addWidget(close);
    middle->addWidget(maskBox);
    middle->addLayout(actions);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(middle, 1);
    setFixedSize(680, 460);

    directoryShown(m_picker->directory());
    connect(m_picker, &DirectoryPicker::directoryChanged, this,
            [this](const QString &dir) { guarded([&] { directoryShown(dir); }); });
    connect(add, &QToolButton::clicked, this, [this] { guarded([this] { addDirectory(); }); });
    connect(remove, &QToolButton::clicked, this,
            [this] { guarded([this] { PopupAtPointer(m_platform, m_listMenu); }); });
    connect(removeSelectedItem, &QAction::triggered, this, [this] { guarded([this] { removeSelected(); }); });
    connect(removeUncheckedItem, &QAction::triggered, this,
            [this] { guarded([this] { removeUnchecked(); }); });
    connect(removeCheckedItem, &QAction::triggered, this, [this] { guarded([this] { removeChecked(); }); });
    connect(clearItem, &QAction::triggered, this, [this] { guarded([this] { clearAll(); }); });
    connect(maskButton, &QToolButton::clicked, this,
            [this] { guarded([this] { PopupAtPointer(m_platform, m_maskMenu); }); });
    connect(scan, &QToolButton::clicked, this, [this] { guarded([this] { addFilesFromChecked(); }); });
    connect(copy, &QToolButton::clicked, this, [this] { guarded([this] { addCheckedDirectories(); }); });
    connect(close, &QToolButton::clicked, this, [this] { guarded([this] { reject(); }); });
}

AdvancedAddWindow::~AdvancedAddWindow() = default;

void AdvancedAddWindow::directoryShown(const QString &dir)
{
    m_dirLabel->setText(dir);
    m_dirLabel->setToolTip(dir);
    ShowFiles(m_files, m_picker->directoryBytes());
}

void AdvancedAddWindow::addDirectory()
{
    const BusyGuard busy(m_busy);
    if (!busy)
        return; // a second press while the scan lets events in

    const std::string dir = WithTrailingSeparator(m_picker->directoryBytes());
    m_gathered->appendChecked(dir);
    if (!m_subdirectories->isChecked())
        return;

    EventPump pump(m_platform);
    GatheredTree tree =
        GatherTree(dir, m_platform.programFolder().file(ScanFileName).string(), [&pump] { pump.pump(); });
    m_gathered->appendMany(std::move(tree.directories), true);
    if (!tree.saveError.empty())
        m_platform.message(this, tr("The scan could not be saved to \"%1\" (the folders were added all "
                                    "the same):\n%2")
                                     .arg(QString::fromLatin1(ScanFileName), FromBytes(tree.saveError)));
    if (tree.skippedLinks > 0)
        m_platform.message(this, tr("%n link(s) to folders skipped: a link leads out of the chosen folder.",
                                    nullptr, int(tree.skippedLinks)));
}

void AdvancedAddWindow::removeSelected()
{
    const QModelIndex current = m_gatheredView->selectionModel()->currentIndex();
    const bool selected = current.isValid() && m_gatheredView->selectionModel()->isSelected(current);
    m_gathered->removeSelected(selected ? current.row() : -1);
}

// Keeps the checked (or the unchecked) entries in their order, each then checked or not.
void AdvancedAddWindow::keep(bool checkedOnes, bool checkAfter)
{
    std::vector<std::string> kept = PathsOf(m_gathered->entries(), checkedOnes);
    m_gathered->clear();
    m_gathered->appendMany(std::move(kept), checkAfter);
}

void AdvancedAddWindow::removeUnchecked()
{
    keep(true, true);
}

void AdvancedAddWindow::removeChecked()
{
    keep(false, false);
}

void AdvancedAddWindow::clearAll()
{
    m_gathered->clear();
}

void AdvancedAddWindow::addFilesFromChecked()
{
    const BusyGuard busy(m_busy);
    if (!busy)
        return; // a second press while the scan lets events in

    // The checked directories as they are now; the processed events may change the list.
    const std::vector<std::string> directories = PathsOf(m_gathered->entries(), true);
    EventPump pump(m_platform);
    std::vector<std::string> found =
        ScanDirectories(directories, ToBytes(m_maskEdit->text()), [&pump] { pump.pump(); });
    m_fileList.appendMany(std::move(found), true);
    if (m_pages.showOneLine)
        m_pages.showOneLine();
}

void AdvancedAddWindow::addCheckedDirectories()
{
    m_directoryList.appendMany(PathsOf(m_gathered->entries(), true), true);
    if (m_pages.showDirectoryList)
        m_pages.showDirectoryList();
}

void AdvancedAddWindow::loadSettings(const SettingsFile &settings)
{
    if (!m_picker->setDirectoryBytes(settings.read(GatherSection, DirectoryKey, DirectoryKey)))
        return; // the list stays where it was, and so do the mask and the check box
    m_maskEdit->setText(FromBytes(settings.read(GatherSection, MaskKey, MaskKey)));
    const std::string flag = settings.read(GatherSection, SubdirectoriesKey, SubdirectoriesKey);
    if (flag == "1")
        m_subdirectories->setChecked(true);
    else if (flag == "0")
        m_subdirectories->setChecked(false);
}

void AdvancedAddWindow::saveSettings(SettingsFile &settings) const
{
    if (StorableDirectory(m_picker->directoryBytes()))
        settings.write(GatherSection, DirectoryKey, m_picker->directoryBytes());
    settings.write(GatherSection, MaskKey, ToBytes(m_maskEdit->text()));
    settings.write(GatherSection, SubdirectoriesKey, m_subdirectories->isChecked() ? "1" : "0");
}

void AdvancedAddWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center()); // centred on the desktop
    guarded([this] { loadSettings(SettingsFile(m_platform.programFolder().file(ScanSettingsName))); });
    guarded([this] { directoryShown(m_picker->directory()); }); // the folder as it is now
}

void AdvancedAddWindow::done(int result)
{
    if (m_busy)
        return; // a scan is running; it ends before the window closes
    guarded([this] {
        SettingsFile settings(m_platform.programFolder().file(ScanSettingsName));
        saveSettings(settings);
    });
    QDialog::done(result);
}

AddDirectoryWindow::AddDirectoryWindow(Platform &platform, TargetListModel &directoryList, QWidget *parent)
    : QDialog(parent), m_platform(platform), m_directoryList(directoryList)
{
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(tr("Add directory"));
    setModal(true);
    setSizeGripEnabled(true);

    m_picker = new DirectoryPicker(this);
    m_picker->driveBox()->hide(); // this window browses the tree only
    m_dirLabel = DirectoryLabel(this);
    m_files = FileListBox(this);
    QToolButton *add = Button(this, "SpeedButton3", tr("Add selected..."), QStringLiteral("add-directory"));
    QToolButton *close = Button(this, "SpeedButton4", tr("Close (without add)"), QStringLiteral("close"));
    m_buttons = {add, close};

    auto *addBox = new QGroupBox(tr("Add selected"), this);
    auto *addLayout = new QHBoxLayout(addBox);
    addLayout->addWidget(add);
    addLayout->addStretch(1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(addBox, 1);
    buttons->addWidget(close);

    auto *right = new QVBoxLayout;
    right->addWidget(MakeGroup(this, tr("Current Directory"), m_dirLabel));
    right->addWidget(MakeGroup(this, tr(" Files "), m_files), 1);
    right->addLayout(buttons);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(MakeGroup(this, tr(" Directory "), m_picker->view()), 1);
    layout->addLayout(right, 1);
    resize(560, 380);

    directoryShown(m_picker->directory());
    connect(m_picker, &DirectoryPicker::directoryChanged, this,
            [this](const QString &dir) { guarded([&] { directoryShown(dir); }); });
    connect(add, &QToolButton::clicked, this, [this] { guarded([this] { addSelected(); }); });
    connect(close, &QToolButton::clicked, this, [this] { guarded([this] { reject(); }); });
}

AddDirectoryWindow::~AddDirectoryWindow() = default;

void AddDirectoryWindow::directoryShown(const QString &dir)
{
    m_dirLabel->setText(dir);
    m_dirLabel->setToolTip(dir);
    ShowFiles(m_files, m_picker->directoryBytes());
}

void AddDirectoryWindow::addSelected()
{
    m_directoryList.appendChecked(m_picker->directoryBytes());
}

void AddDirectoryWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    guarded([this] {
        const SettingsFile settings(m_platform.programFolder().file(ScanSettingsName));
        m_picker->setDirectoryBytes(settings.read(AddSection, DirectoryKey, DirectoryKey));
    });
    guarded([this] { directoryShown(m_picker->directory()); }); // the folder as it is now
}

void AddDirectoryWindow::done(int result)
{
    guarded([this] {
        SettingsFile settings(m_platform.programFolder().file(ScanSettingsName));
        if (StorableDirectory(m_picker->directoryBytes()))
            settings.write(AddSection, DirectoryKey, m_picker->directoryBytes());
    });
    QDialog::done(result);
}

} // namespace vexlo
