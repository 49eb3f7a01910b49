#include "app/TargetNotebook.h"

#include "app/InputNotebook.h"
#include "targets/DirectoryListPanel.h"
#include "targets/FileListPanel.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace vexlo {

TargetNotebook::TargetNotebook(Platform &platform, QWidget *parent) : QTabWidget(parent)
{
    setObjectName(QStringLiteral("TabbedNotebook2"));

    m_fileList = new FileListPanel(platform);
    m_directoryList = new DirectoryListPanel(platform);
    // A folder dropped on the File List is scanned with the Directory List's mask field.
    m_fileList->setDropMask([list = m_directoryList] { return list->mask(); });

    auto *textBox = new QGroupBox(tr("Text Here"));
    textBox->setObjectName(QStringLiteral("GroupBox11"));
    // A rich-text box used as plain text: no formatting, no word wrap, both scroll bars.
    m_textBox = MakeMemo(textBox, "RichEdit1");
    auto *textLayout = new QVBoxLayout(textBox);
    textLayout->setContentsMargins(4, 4, 4, 4);
    textLayout->addWidget(m_textBox);

    addTab(m_fileList, tr("File List"));
    addTab(m_directoryList, tr("Directory List"));
    addTab(textBox, tr("Text"));
}

void TargetNotebook::showTextPage()
{
    if (currentIndex() != TextPage)
        setCurrentIndex(TextPage);
    QCoreApplication::processEvents();
}

} // namespace vexlo
