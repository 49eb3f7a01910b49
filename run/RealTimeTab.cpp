#include "run/RealTimeTab.h"

#include "inputs/StringLoad.h"
#include "widgets/FieldEditing.h"
#include "widgets/Guarded.h"
#include "widgets/Platform.h"

#include <QCoreApplication>
#include <QDialog>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QToolButton>

namespace vexlo {

namespace {

constexpr int TextPage = 2; // of the target notebook

} // namespace

RealTimeTab::RealTimeTab(Platform &platform, const InputFields &fields, QTabWidget *targetNotebook,
                         QPlainTextEdit *text)
    : QObject(fields.notebook), m_platform(platform), m_inputNotebook(fields.notebook),
      m_targetNotebook(targetNotebook), m_text(text)
{
    CreateFieldMenu(platform, m_text, "PopupMenu1");

    auto onClick = [this](QToolButton *button, auto action) {
        connect(button, &QToolButton::clicked, this, [action] { guarded(action); });
    };
    const TextStripButtons &strip = fields.textStrip;
    onClick(strip.load, [this] { loadText(); });
    onClick(strip.copy, [this] {
        CopyAll(m_platform, m_text); // the whole text stays selected
        showTextPage();
    });
    onClick(strip.paste, [this] {
        PasteAtCaret(m_platform, m_text);
        showTextPage();
    });
    onClick(strip.clear, [this] {
        m_text->clear();
        showTextPage();
    });
    onClick(strip.clipboard, [this] {
        showTextPage();
        if (m_clipboard)
            m_clipboard->exec();
        QCoreApplication::processEvents();
    });
    onClick(strip.notes, [this] {
        showTextPage();
        if (m_notes) {
            m_notes->show();
            m_notes->raise();
            m_notes->activateWindow();
        }
        QCoreApplication::processEvents();
    });
}

void RealTimeTab::loadText()
{
    const bool loaded =
        LoadFromFile(m_inputNotebook, m_platform, StringLoads::RealTimeText,
                     [this](const Lines &lines) { ReplaceBoxText(m_text, LinesText(lines)); });
    if (loaded)
        showTextPage();
}

void RealTimeTab::showTextPage()
{
    if (m_targetNotebook->currentIndex() != TextPage)
        m_targetNotebook->setCurrentIndex(TextPage);
    QCoreApplication::processEvents();
}

} // namespace vexlo
