#include "targets/ScanDirectoryWindow.h"

#include "settings/SettingsFile.h"
#include "targets/DirectoryPicker.h"
#include "targets/MaskMenu.h"
#include "targets/ScanDir.h"
#include "targets/TargetListModel.h"
#include "widgets/Guarded.h"
#include "widgets/Platform.h"
#include "widgets/Widgets.h"
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

#include <sys/stat.h>

#include <algorithm>
#include <functional>

namespace vexlo {

namespace {

constexpr const char *Section = "c";
constexpr const char *DirectoryKey = "aDLBD";
constexpr const char *MaskKey = "aEdit1";
constexpr const char *SubfoldersKey = "alala";

// Pending events are processed at most this often during a scan.
constexpr qint64 EventInterval = 30;

// Whether a directory line of a scan ("<path>/") names a symbolic link.
bool isLink(const std::string &line)
{
    struct stat st;
    const std::string path = line.substr(0, line.size() - 1);
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// A scan into the file list that lets pending events in now and then.
class PausingScan : public ModelScanResult {
  public:
    PausingScan(TargetListModel &model, std::function<void(PausingScan &)> pause)
        : ModelScanResult(model), m_pause(std::move(pause))
    {
    }
    bool keepGoing() override
    {
        m_pause(*this);
        return true;
    }

  private:
    std::function<void(PausingScan &)> m_pause;
};

// A scan into a work list that lets pending events in now and then.
class PausingList : public RunObserver {
  public:
    PausingList(std::vector<std::string> &out, std::function<void()> pause)
        : m_out(out), m_pause(std::move(pause))
    {
    }
    bool keepGoing() override
    {
        m_pause();
        return true;
    }
    void fileDone(const std::string &path, Outcome) override { m_out.push_back(path); }

  private:
    std::vector<std::string> &m_out;
    std::function<void()> m_pause;
};

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

    m_picker = new DirectoryPicker(this);
    m_driveCombo = m_picker->driveBox();
    m_dirView = m_picker->view();

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
    right->addWidget(MakeGroup(this, tr("Selected directory"), m_dirLabel));
    right->addWidget(MakeGroup(this, tr("Mask"), m_maskEdit, maskButton));
    right->addWidget(MakeGroup(this, tr("What scan"), m_subfoldersBox));
    right->addStretch(1);
    right->addLayout(buttons);

    auto *left = new QVBoxLayout;
    left->addWidget(MakeGroup(this, tr("Drive"), m_driveCombo));
    left->addWidget(MakeGroup(this, tr("Choose a directory"), m_dirView), 1);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 3);
    layout->addLayout(right, 2);
    setMinimumSize(560, 380);
    resize(720, 480);

    m_directory = m_picker->directory();
    updateDirectoryLabel();
    m_dirView->setFocus();

    connect(m_picker, &DirectoryPicker::directoryChanged, this, [this](const QString &dir) {
        m_directory = dir;
        updateDirectoryLabel();
    });
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
    return m_picker->setDirectory(dir);
}

void ScanDirectoryWindow::updateDirectoryLabel()
{
    m_dirLabel->setToolTip(m_directory);
    const int width = std::max(m_dirLabel->contentsRect().width(), 200);
    m_dirLabel->setText(m_dirLabel->fontMetrics().elidedText(m_directory, Qt::ElideMiddle, width));
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
        m_treeLines.clear();

        PausingScan found(m_fileList, [this](PausingScan &scan) { pause(scan); });
        ScanDir(dir, mask, found);
        found.flush();

        if (m_subfoldersBox->isChecked()) {
            PausingList tree(m_treeLines, [this] { processEventsThrottled(); });
            ScanDir(dir, "*.*", tree);
            scanSubfolders(mask);
        }
        m_fileList.checkAll();
    }

    SettingsFile settings(m_platform.programFolder().file(ScanSettingsName));
    saveSettings(settings);
    m_settingsSaved = true;
    accept();
}

void ScanDirectoryWindow::pause(ModelScanResult &found)
{
    if (m_platform.tickCount() - m_lastEvents < EventInterval)
        return;
    found.flush(); // show what was found so far
    processEventsThrottled();
}

void ScanDirectoryWindow::scanSubfolders(const std::string &mask)
{
    m_subfolders.clear();
    for (const std::string &line : m_treeLines) {
        // A link to a directory is listed by the scan but not entered: with a link to "/"
        // the subfolder phase would otherwise bring in the whole disk.
        if (!line.empty() && line.back() == PathSeparator && !isLink(line))
            m_subfolders.push_back(line);
    }
    if (m_subfolders.empty())
        return;

    PausingScan found(m_fileList, [this](PausingScan &scan) { pause(scan); });
    for (const std::string &subdirectory : m_subfolders)
        ScanDir(subdirectory, mask, found);
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
