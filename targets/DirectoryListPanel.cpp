#include "targets/DirectoryListPanel.h"

#include "targets/DroppedPaths.h"
#include "targets/MaskMenu.h"
#include "targets/TargetListModel.h"
#include "widgets/EditMenu.h"
#include "widgets/Guarded.h"
#include "widgets/Platform.h"
#include "widgets/Widgets.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QToolButton>
#include <QVBoxLayout>

namespace vexlo {

DirectoryListPanel::DirectoryListPanel(Platform &platform, QWidget *parent)
    : QGroupBox(tr("Directory List"), parent), m_platform(platform)
{
    m_model = new TargetListModel(this);

    auto *maskLabel = new QLabel(tr("Mask:"), this);
    maskLabel->setObjectName(QStringLiteral("Label1"));

    m_maskEdit = new QLineEdit(this);
    m_maskEdit->setObjectName(QStringLiteral("Edit5"));
    maskLabel->setBuddy(m_maskEdit);
    CreateEditMenu(m_maskEdit, "PopupMenu16");
    m_maskMenu = CreateMaskMenu(m_maskEdit, "DirectoryMaskMenu");

    QToolButton *maskButton =
        MakeFlatButton(this, "SpeedButton51", tr("Select mask..."), QStringLiteral("mask"));
    // Carries no action: the button is shown and does nothing.
    QToolButton *createButton =
        MakeFlatButton(this, "SpeedButton52", tr("Create file list..."), QStringLiteral("filelist-create"));

    auto *bevel = new QFrame(this);
    bevel->setFrameShape(QFrame::VLine);
    bevel->setFrameShadow(QFrame::Sunken);

    auto *strip = new QHBoxLayout;
    strip->setSpacing(4);
    strip->addWidget(maskLabel);
    strip->addWidget(m_maskEdit, 1);
    strip->addWidget(maskButton);
    strip->addWidget(bevel);
    strip->addWidget(createButton);

    m_view = new QListView(this);
    m_view->setObjectName(QStringLiteral("CheckListBox2"));
    m_view->setUniformItemSizes(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setModel(m_model);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(strip);
    layout->addWidget(m_view, 1);

    connect(maskButton, &QToolButton::clicked, this,
            [this] { guarded([this] { PopupAtPointer(m_platform, m_maskMenu); }); });

    // Folders dropped on the list are appended checked in the order given; files are not
    // directories and are passed over.
    m_view->viewport()->setAcceptDrops(true);
    m_view->viewport()->installEventFilter(
        new PathDropFilter(this, [this](const std::vector<DroppedPath> &paths) {
            std::vector<std::string> folders;
            for (const DroppedPath &dropped : paths)
                if (dropped.isFolder)
                    folders.push_back(dropped.path);
            if (!folders.empty())
                m_model->appendMany(std::move(folders), true);
        }));
}

QString DirectoryListPanel::maskText() const
{
    return m_maskEdit->text();
}

std::string DirectoryListPanel::mask() const
{
    return ToBytes(m_maskEdit->text());
}

} // namespace vexlo
