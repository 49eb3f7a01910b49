#include "app/HelpWindow.h"

#include "base/ReadFile.h"
#include "widgets/Platform.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vexlo {

HelpWindow::HelpWindow(QWidget *parent) : QDialog(parent), m_text(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(tr("Help Contents"));
    m_text->setObjectName(QStringLiteral("HelpText"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    resize(640, 520);
}

void HelpWindow::showFile(const QString &path)
{
    try {
        const std::string bytes = ReadWholeFile(ToBytes(path), TextFileCap);
        m_text->setPlainText(QString::fromLocal8Bit(bytes.data(), qsizetype(bytes.size())));
    } catch (const Error &e) {
        m_text->setPlainText(FromBytes(e.what())); // says why instead of showing nothing
    }
    m_text->moveCursor(QTextCursor::Start);
    show();
    raise();
    activateWindow();
}

} // namespace vexlo
