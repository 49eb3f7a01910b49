#include "targets/ScanDirectoryWindow.h"

#include "settings/SettingsFile.h"
#include "targets/DirectoryPicker.h"
#include "targets/FolderScan.h"
#include "targets/MaskMenu.h"
#include "targets/ScanDir.h"
#include "targets/TargetListModel.h"
#include "widgets/BusyGuard.h"
#include "widgets/EventPump.h"
#include "widgets/Guarded.h"
#include "widgets/Platform.h"
#include "widgets/Widgets.h"
#include <QCheckBox>
#include <QComboBox>
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

// A scan into the file list that shows what it found and lets pending events in now and then.
class PausingScan : public ModelScanResult {
  public:
    PausingScan(TargetListModel &model, EventPump &pump) : ModelScanResult(model), m_pump(pump) {}
    bool keepGoing() override
    {
        if (m_pump.due()) {
            flush();
            m_pump.process();
        }
        return true;
    }

  private:
    EventPump &m_pump;
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

void ScanDirectoryWindow::scan()
{
    BusyGuard busy(m_scanning);
    if (!busy)
        return; // a second Scan while one runs (from the events it processes) is ignored
    const std::string dir = ToBytes(m_directory);
    const std::string mask = ToBytes(m_maskEdit->text());

    const QList<QWidget *> controls{m_driveCombo, m_dirView,     m_maskEdit,
                                    m_scanButton, m_closeButton, m_subfoldersBox};
    for (QWidget *control : controls)
        control->setEnabled(false);
    {
        const struct Enabled {
            const QList<QWidget *> &controls;
            ~Enabled()
            {
                for (QWidget *control : controls)
                    control->setEnabled(true);
            }
        } enabled{controls};
        EventPump pump(m_platform);
        PausingScan found(m_fileList, pump);
        ScanFolder(dir, mask, m_subfoldersBox->isChecked(), found, m_workLists);
        found.flush();
        m_fileList.checkAll();
    }
    busy.release();

    SettingsFile settings(m_platform.programFolder().file(ScanSettingsName));
    saveSettings(settings);
    m_settingsSaved = true;
    accept();
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
    // One character, not a literal assigned: GCC 12 warns (-Wrestrict) on the literal wrongly.
    m_lastFlag.assign(1, m_subfoldersBox->isChecked() ? '1' : '0');
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
