#include "app/ClipboardWindow.h"

#include "widgets/Guarded.h"
#include "widgets/Platform.h"
#include "widgets/Widgets.h"

#include <QEvent>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace vexlo {

ClipboardWindow::ClipboardWindow(Platform &platform, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_platform(platform)
{
    setObjectName(QStringLiteral("TForm5"));
    setWindowTitle(tr("Clipboard"));
    setModal(true);
    resize(490, 545);

    auto *box = new QGroupBox(tr("Text here"), this);
    box->setObjectName(QStringLiteral("GroupBox1"));
    box->setStyleSheet(QStringLiteral("QGroupBox { color: blue; }"));
    m_editor = new QPlainTextEdit(box);
    m_editor->setObjectName(QStringLiteral("Memo1"));
    m_editor->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QFont larger = m_editor->font();
    larger.setPointSizeF(larger.pointSizeF() + 1);
    m_editor->setFont(larger);
    m_editor->setStyleSheet(QStringLiteral("QPlainTextEdit { color: black; }"));
    auto *boxLayout = new QVBoxLayout(box);
    boxLayout->setContentsMargins(6, 4, 6, 6);
    boxLayout->addWidget(m_editor);

    QToolButton *close =
        MakeFlatButton(this, "SpeedButton1", tr("Close clipboard window..."), QStringLiteral("close"));
    close->setIconSize(QSize(24, 24));
    close->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    close->setFixedHeight(32);
    connect(close, &QToolButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(box, 1);
    layout->addWidget(close);
}

void ClipboardWindow::refill()
{
    m_editor->clear();
    m_editor->insertPlainText(m_platform.clipboardText());
}

void ClipboardWindow::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        guarded([this] { refill(); });
}

void ClipboardWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    guarded([this] { refill(); });
}

} // namespace vexlo
