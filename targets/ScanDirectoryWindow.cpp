#include "targets/ScanDirectoryWindow.h"

#include "widgets/Guarded.h"
#include "widgets/Platform.h"
#include "widgets/Widgets.h"
#include "settings/SettingsFile.h"
#include "targets/MaskMenu.h"
#include "targets/ScanDir.h"
#include "targets/TargetListModel.h"
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace vexlo {

namespace {

constexpr const char *Section = "c";
constexpr const char *DirectoryKey = "aDLBD";
constexpr const char *MaskKey = "aEdit1";
constexpr const char *SubfoldersKey = "alala";

// Pending events are processed at most this often during a scan.
constexpr qint64 EventInterval = 30;

QGroupBox *makeGroup(QWidget *parent, const QString &title, QWidget *content, QWidget *extra = nullptr)
{
    auto *group = new QGroupBox(title, parent);
    auto *layout = new QHBoxLayout(group);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->addWidget(content, 1);
    if (extra)
        layout->addWidget(extra);
    return group;
}

// The directory as the list shows it: absolute, no trailing separator except for the root.
QString cleanDirectory(const QString &dir)
{
    return QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
}

bool canEnter(const QString &dir)
{
    const QFileInfo info(dir);
    return !dir.isEmpty() && info.isDir() && info.isExecutable() && info.isReadable();
}

} // namespace

ScanDirectoryWindow::ScanDirectoryWindow(Platform &platform, TargetListModel &fileList, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_platform(platform), m_fileList(fileList)
{
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(tr("Scan directory(s)"));
    setModal(true);

    m_driveCombo = new QComboBox(this);
    m_driveCombo->setObjectName(QStringLiteral("DriveComboBox1"));

    // Directories only, loaded in the background: a huge tree never blocks the window.
    m_dirModel = new QFileSystemModel(this);
    m_dirModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_dirModel->setReadOnly(true);
    m_dirView = new QTreeView(this);
    m_dirView->setObjectName(QStringLiteral("DirectoryListBox1"));
    m_dirView->setModel(m_dirModel);
    m_dirView->setHeaderHidden(true);
    for (int column = 1; column < m_dirModel->columnCount(); ++column)
        m_dirView->hideColumn(column);
    m_dirView->setUniformRowHeights(true);
    m_dirView->setSelectionMode(QAbstractItemView::SingleSelection);
    // Whole folder names: the column is as wide as its names, with a scroll bar when needed.
    m_dirView->header()->setStretchLastSection(false);
    m_dirView->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

    m_dirLabel = new QLabel(this);
    m_dirLabel->setObjectName(QStringLiteral("Label3"));
    m_dirLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_dirLabel->setMinimumWidth(200);

    m_maskEdit = new QLineEdit(this);
    m_maskEdit->setObjectName(QStringLiteral("Edit1"));
    m_maskMenu = CreateMaskMenu(m_maskEdit, "PopupMenu17");
    QToolButton *maskButton =
        MakeFlatButton(this, "SpeedButton3", tr("Select mask..."), QStringLiteral("mask"));

    m_subfoldersBox = new QCheckBox(tr("Include subfolders"), this);
    m_subfoldersBox->setObjectName(QStringLiteral("CheckBox1"));

    m_scanButton = MakeFlatButton(this, "SpeedButton1", tr("Scan selected and Add files in File List..."),
                                  QStringLiteral("scan"));
    m_closeButton =
        MakeFlatButton(this, "SpeedButton2", tr("Close without scan..."), QStringLiteral("close"));
    for (QToolButton *button : {m_scanButton, m_closeButton})
        button->setIconSize(QSize(32, 32));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_scanButton);
    buttons->addWidget(m_closeButton);

    auto *right = new QVBoxLayout;
    right->addWidget(makeGroup(this, tr("Selected directory"), m_dirLabel));
    right->addWidget(makeGroup(this, tr("Mask"), m_maskEdit, maskButton));
    right->addWidget(makeGroup(this, tr("What scan"), m_subfoldersBox));
    right->addStretch(1);
    right->addLayout(buttons);

    auto *left = new QVBoxLayout;
    left->addWidget(makeGroup(this, tr("Drive"), m_driveCombo));
    left->addWidget(makeGroup(this, tr("Choose a directory"), m_dirView), 1);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 3);
    layout->addLayout(right, 2);
    setMinimumSize(560, 380);
    resize(720, 480);

    fillDrives();
    showDirectory(cleanDirectory(QDir::currentPath()));
    m_dirView->setFocus();

    // The model loads in the background: once the folders on the way are in, show the current one.
    // It also sorts each folder after loading it, which moves the rows again.
    connect(m_dirModel, &QFileSystemModel::directoryLoaded, this, [this](const QString &loaded) {
        const QString prefix = loaded.endsWith(QLatin1Char('/')) ? loaded : loaded + QLatin1Char('/');
        if (m_revealPending && (m_directory == loaded || m_directory.startsWith(prefix)))
            revealDirectory();
    });
    connect(m_dirModel, &QAbstractItemModel::layoutChanged, this, [this] {
        if (m_revealPending)
            revealDirectory();
    });
    connect(m_driveCombo, &QComboBox::activated, this,
            [this](int index) { guarded([&] { driveChosen(index); }); });
    connect(m_dirView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &index) { guarded([&] { currentChanged(index); }); });
    connect(maskButton, &QToolButton::clicked, this,
            [this] { guarded([this] { PopupAtPointer(m_platform, m_maskMenu); }); });
    connect(m_maskEdit, &QLineEdit::returnPressed, this, [this] { guarded([this] { scan(); }); });
    connect(m_scanButton, &QToolButton::clicked, this, [this] { guarded([this] { scan(); }); });
    connect(m_closeButton, &QToolButton::clicked, this, [this] { guarded([this] { close(); }); });
}

ScanDirectoryWindow::~ScanDirectoryWindow() = default;

QString ScanDirectoryWindow::directory() const
{
    return m_directory;
}

bool ScanDirectoryWindow::setDirectory(const QString &dir)
{
    if (!canEnter(dir))
        return false;
    showDirectory(cleanDirectory(dir));
    return true;
}

// Real file systems only: the root, and volumes on a device (no /proc, tmpfs, bind-mounted files).
void ScanDirectoryWindow::fillDrives()
{
    QStringList roots{QStringLiteral("/")};
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (volume.isValid() && volume.isReady() && volume.device().startsWith("/dev/") &&
            QFileInfo(root).isDir() && !roots.contains(root))
            roots << root;
    }
    std::sort(roots.begin(), roots.end());
    for (const QString &root : roots)
        m_driveCombo->addItem(root, root);
}

void ScanDirectoryWindow::driveChosen(int index)
{
    const QString root = m_driveCombo->itemData(index).toString();
    if (!setDirectory(root))
        showDirectory(m_directory); // the combo box goes back to the drive shown
}

void ScanDirectoryWindow::currentChanged(const QModelIndex &index)
{
    if (!index.isValid() || m_scanning)
        return;
    m_revealPending = false; // the user is choosing now
    m_directory = cleanDirectory(m_dirModel->filePath(index));
    updateDirectoryLabel();
}

void ScanDirectoryWindow::updateDirectoryLabel()
{
    m_dirLabel->setToolTip(m_directory);
    const int width = std::max(m_dirLabel->contentsRect().width(), 200);
    m_dirLabel->setText(m_dirLabel->fontMetrics().elidedText(m_directory, Qt::ElideMiddle, width));
}

void ScanDirectoryWindow::showDirectory(const QString &dir)
{
    // The drive of a directory is the volume with the longest root that holds it.
    int drive = 0;
    qsizetype longest = -1;
    for (int i = 0; i < m_driveCombo->count(); ++i) {
        const QString root = m_driveCombo->itemData(i).toString();
        const bool holds =
            root == QLatin1String("/") || dir == root || dir.startsWith(root + QLatin1Char('/'));
        if (holds && root.size() > longest) {
            drive = i;
            longest = root.size();
        }
    }
    m_driveCombo->setCurrentIndex(drive);
    const QString root = m_driveCombo->itemData(drive).toString();
    if (m_dirModel->rootPath() != root)
        m_dirView->setRootIndex(m_dirModel->setRootPath(root));

    // Shown even when the model has not reached the directory yet.
    m_directory = dir;
    m_revealPending = true;
    revealDirectory();
    updateDirectoryLabel();
}

void ScanDirectoryWindow::revealDirectory()
{
    const QModelIndex at = m_dirModel->index(m_directory);
    if (!at.isValid())
        return;
    const QSignalBlocker quiet(m_dirView->selectionModel());
    // Only the way to the directory stays open (rows that moved while sorting may have
    // taken an expanded state with them).
    m_dirView->collapseAll();
    m_dirView->setCurrentIndex(at);
    m_dirView->selectionModel()->select(at, QItemSelectionModel::ClearAndSelect);
    m_dirView->expand(at);
    m_dirView->scrollTo(at); // expands the folders on the way
    m_dirView->viewport()->update();
}

void ScanDirectoryWindow::processEventsThrottled()
{
    const qint64 now = m_platform.tickCount();
    if (now - m_lastEvents < EventInterval)
        return;
    m_lastEvents = now;
    QCoreApplication::processEvents();
}

void ScanDirectoryWindow::scan()
{
    if (m_scanning)
        return; // a second Scan while one runs (from the events it processes) is ignored
    const std::string dir = ToBytes(m_directory);
    const std::string mask = ToBytes(m_maskEdit->text());

    m_scanning = true;
    const QList<QWidget *> controls{m_driveCombo, m_dirView,     m_maskEdit,
                                    m_scanButton, m_closeButton, m_subfoldersBox};
    for (QWidget *control : controls)
        control->setEnabled(false);
    struct Done {
        ScanDirectoryWindow *window;
        const QList<QWidget *> &controls;
        ~Done()
        {
            window->m_scanning = false;
            for (QWidget *control : controls)
                control->setEnabled(true);
        }
    };
    {
        const Done done{this, controls};
        m_lastEvents = m_platform.tickCount();
        m_listBox1.clear();

        ModelScanResult found(m_fileList);
        const ScanProgress progress = [this, &found] {
            if (m_platform.tickCount() - m_lastEvents < EventInterval)
                return;
            found.flush(); // show what was found so far
            processEventsThrottled();
        };
        ScanDir(dir, mask, found, progress);
        found.flush();

        if (m_subfoldersBox->isChecked()) {
            VectorScanResult tree(m_listBox1);
            ScanDir(dir, "*.*", tree, [this] { processEventsThrottled(); });
            onlyDirAddInLB2(mask);
        }
        m_fileList.checkAll();
    }

    SettingsFile settings(m_platform.programFolder().file(ScanSettingsName));
    saveSettings(settings);
    m_settingsSaved = true;
    accept();
}

void ScanDirectoryWindow::onlyDirAddInLB2(const std::string &mask)
{
    m_listBox2.clear();
    for (const std::string &line : m_listBox1) {
        if (!line.empty() && line.back() == PathSeparator)
            m_listBox2.push_back(line);
    }
    if (m_listBox2.empty())
        return;

    ModelScanResult found(m_fileList);
    const ScanProgress progress = [this, &found] {
        if (m_platform.tickCount() - m_lastEvents < EventInterval)
            return;
        found.flush();
        processEventsThrottled();
    };
    for (const std::string &subdirectory : m_listBox2)
        ScanDir(subdirectory, mask, found, progress);
    found.flush();
    m_fileList.checkAll();
}

void ScanDirectoryWindow::loadSettings(const SettingsFile &settings)
{
    const std::string dir = settings.read(Section, DirectoryKey, ToBytes(m_directory));
    if (!setDirectory(FromBytes(dir)))
        return; // the list stays where it was, and so do the mask and the check box

    m_maskEdit->setText(FromBytes(settings.read(Section, MaskKey, ToBytes(m_maskEdit->text()))));

    m_lastFlag = settings.read(Section, SubfoldersKey, m_lastFlag);
    if (m_lastFlag == "1")
        m_subfoldersBox->setChecked(true);
    else if (m_lastFlag == "0")
        m_subfoldersBox->setChecked(false);
}

void ScanDirectoryWindow::saveSettings(SettingsFile &settings)
{
    settings.write(Section, DirectoryKey, ToBytes(m_directory));
    settings.write(Section, MaskKey, ToBytes(m_maskEdit->text()));
    m_lastFlag = m_subfoldersBox->isChecked() ? "1" : "0";
    settings.write(Section, SubfoldersKey, m_lastFlag);
}

void ScanDirectoryWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return; // back from the task bar, not a new showing
    // Centred on the main window at every showing.
    if (QWidget *owner = parentWidget())
        move(owner->frameGeometry().center() - rect().center());
    guarded([this] { loadSettings(SettingsFile(m_platform.programFolder().file(ScanSettingsName))); });
    updateDirectoryLabel(); // the label has its final width now
}

void ScanDirectoryWindow::done(int result)
{
    if (m_scanning)
        return; // the scan closes the window itself when it ends
    if (!m_settingsSaved) {
        guarded([this] {
            SettingsFile settings(m_platform.programFolder().file(ScanSettingsName));
            saveSettings(settings);
        });
    }
    m_settingsSaved = false;
    QDialog::done(result);
}

void ScanDirectoryWindow::keyPressEvent(QKeyEvent *event)
{
    if (m_scanning && event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace vexlo
