#include "app/AboutWindow.h"

#include "widgets/Guarded.h"
#include "widgets/Platform.h"
#include "widgets/Widgets.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace vexlo {

AboutWindow::AboutWindow(Platform &platform, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_platform(platform)
{
    setObjectName(QStringLiteral("TForm17"));
    setWindowTitle(tr("About..."));
    setModal(true);

    auto *box = new QGroupBox(tr("Vexlo Pro"), this);
    box->setObjectName(QStringLiteral("GroupBox1"));
    box->setStyleSheet(QStringLiteral("QGroupBox { color: blue; font-weight: bold; }"));
    auto *version = new QLabel(tr("Version: 1.0"), box);
    version->setObjectName(QStringLiteral("Label1"));
    version->setStyleSheet(QStringLiteral("color: black; font-weight: normal;"));

    auto *homePage = new QLabel(tr("Home Page: "), box);
    homePage->setObjectName(QStringLiteral("Label5"));
    homePage->setStyleSheet(QStringLiteral("color: black; font-weight: normal;"));
    auto *link = new QLabel(QString::fromLatin1(HomePageAddress), box);
    link->setObjectName(QStringLiteral("Label6"));
    link->setStyleSheet(QStringLiteral("color: navy; text-decoration: underline; font-weight: normal;"));
    link->setCursor(Qt::PointingHandCursor);
    link->setTextInteractionFlags(Qt::NoTextInteraction);
    // The label opens the page itself rather than through rich text, so the address stays
    // plain text and the hand-off goes through the platform.
    link->installEventFilter(this);

    auto *linkRow = new QHBoxLayout;
    linkRow->addWidget(homePage);
    linkRow->addWidget(link);
    linkRow->addStretch(1);
    auto *boxLayout = new QVBoxLayout(box);
    boxLayout->setContentsMargins(12, 12, 12, 10);
    boxLayout->addWidget(version);
    boxLayout->addStretch(1);
    boxLayout->addLayout(linkRow);

    QToolButton *close = MakeFlatButton(this, "SpeedButton1", tr("Close..."), QStringLiteral("close"));
    close->setIconSize(QSize(24, 24));
    close->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    close->setFixedHeight(32);
    connect(close, &QToolButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(box, 1);
    layout->addWidget(close);
    setFixedSize(354, 237);
}

void AboutWindow::openHomePage()
{
    m_platform.shellOpen(QString::fromLatin1(HomePageAddress));
}

bool AboutWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease && watched->objectName() == QLatin1String("Label6")) {
        guarded([this] { openHomePage(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace vexlo
