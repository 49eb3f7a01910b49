#include "targets/DirectoryPicker.h"

#include "widgets/Guarded.h"
#include "widgets/Platform.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QTreeView>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace vexlo {

QString CleanDirectory(const QString &dir)
{
    return QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
}

bool CanEnterDirectory(const QString &dir)
{
    return CanEnterDirectoryBytes(ToBytes(dir));
}

std::string CleanDirectoryBytes(const std::string &dir)
{
    std::string path = dir;
    if (path.empty() || path.front() != '/') {
        char *cwd = ::getcwd(nullptr, 0);
        path = std::string(cwd ? cwd : "/") + "/" + path;
        std::free(cwd);
    }
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(pos, end - pos);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = end + 1;
    }
    std::string out;
    for (const std::string &part : parts)
        out += "/" + part;
    return out.empty() ? std::string("/") : out;
}

bool CanEnterDirectoryBytes(const std::string &dir)
{
    struct stat st;
    return !dir.empty() && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(dir.c_str(), R_OK | X_OK) == 0;
}

DirectoryPicker::DirectoryPicker(QWidget *parent) : QObject(parent)
{
    m_driveCombo = new QComboBox(parent);
    m_driveCombo->setObjectName(QStringLiteral("DriveComboBox1"));

    // Directories only, loaded in the background: a huge tree never blocks the window.
    m_dirModel = new QFileSystemModel(this);
    m_dirModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_dirModel->setReadOnly(true);
    m_dirView = new QTreeView(parent);
    m_dirView->setObjectName(QStringLiteral("DirectoryListBox1"));
    m_dirView->setModel(m_dirModel);
    m_dirView->setHeaderHidden(true);
    for (int column = 1; column < m_dirModel->columnCount(); ++column)
        m_dirView->hideColumn(column);
    m_dirView->setUniformRowHeights(true);
    // Whole folder names: the column is as wide as its names, with a scroll bar when needed.
    m_dirView->header()->setStretchLastSection(false);
    m_dirView->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_dirView->setSelectionMode(QAbstractItemView::SingleSelection);

    fillDrives();
    showDirectory(CleanDirectoryBytes(ToBytes(QDir::currentPath())));

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
}

bool DirectoryPicker::setDirectory(const QString &dir)
{
    return !dir.isEmpty() && setDirectoryBytes(ToBytes(dir));
}

bool DirectoryPicker::setDirectoryBytes(const std::string &dir)
{
    if (!CanEnterDirectoryBytes(dir))
        return false;
    showDirectory(CleanDirectoryBytes(dir));
    return true;
}

// Real file systems only: the root, and volumes on a device (no /proc, tmpfs, bind-mounted files).
void DirectoryPicker::fillDrives()
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

void DirectoryPicker::driveChosen(int index)
{
    const QString root = m_driveCombo->itemData(index).toString();
    if (!setDirectory(root))
        showDirectory(m_bytes); // the combo box goes back to the drive shown
}

void DirectoryPicker::currentChanged(const QModelIndex &index)
{
    if (!index.isValid() || !m_dirView->isEnabled())
        return;
    m_revealPending = false; // the user is choosing now
    m_directory = CleanDirectory(m_dirModel->filePath(index));
    m_bytes = ToBytes(m_directory);
    emit directoryChanged(m_directory);
}

void DirectoryPicker::showDirectory(const std::string &bytes)
{
    const QString dir = FromBytes(bytes);
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

    // Shown even when the model has not reached the directory yet (or cannot: a name that is
    // not UTF-8 is not in its tree, but is still the directory shown and used).
    m_directory = dir;
    m_bytes = bytes;
    m_revealPending = true;
    revealDirectory();
    emit directoryChanged(m_directory);
}

void DirectoryPicker::revealDirectory()
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

} // namespace vexlo
