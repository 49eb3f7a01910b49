// A Platform for tests: records messages and dialogs, answers from queues, never blocks.
#pragma once

#include "widgets/Platform.h"

#include <QAction>
#include <QMenu>

#include <deque>
#include <functional>

namespace vexlo::test {

class FakePlatform : public Platform {
  public:
    explicit FakePlatform(ProgramFolder folder) : m_folder(std::move(folder)) {}

    // What the windows did.
    QStringList messages;
    QList<OpenFileRequest> dialogRequests;
    QStringList opened;
    int beeps = 0;
    int terminations = 0;
    qint64 now = 0;
    QString clipboard;   // the clipboard's text; empty: no text (nothing, or an image)
    qint64 tickStep = 0; // added to `now` after every reading of the clock

    // What the next dialogs and pop-ups answer (empty queue: cancel / no choice).
    std::deque<std::optional<OpenFileResult>> dialogAnswers;
    std::deque<QString> popupChoices; // the text of the action to choose
    std::deque<bool> askAnswers;      // what the next questions answer (empty: no)
    QStringList questions;
    /// Called from inside message(), e.g. to act while a box would be open.
    std::function<void(const QString &)> onMessage;

    void message(QWidget *, const QString &text) override
    {
        messages << text;
        if (onMessage)
            onMessage(text);
    }
    std::optional<OpenFileResult> openFiles(QWidget *, const OpenFileRequest &request) override
    {
        dialogRequests << request;
        if (dialogAnswers.empty())
            return std::nullopt;
        // The answer itself is moved, not the optional around it: GCC 12 warns wrongly
        // (-Wmaybe-uninitialized) on a copy of an optional holding a Qt list.
        if (!dialogAnswers.front()) {
            dialogAnswers.pop_front();
            return std::nullopt;
        }
        OpenFileResult answer = std::move(*dialogAnswers.front());
        dialogAnswers.pop_front();
        return answer;
    }
    bool shellOpenSucceeds = true; // false: as on a desktop without a registered viewer
    bool shellOpen(const QString &pathOrUrl) override
    {
        opened << pathOrUrl;
        return shellOpenSucceeds;
    }
    void beep() override { ++beeps; }
    void terminate(int) override { ++terminations; }
    qint64 tickCount() override
    {
        const qint64 reading = now;
        now += tickStep;
        return reading;
    }
    QAction *popup(QMenu *menu, const QPoint &) override
    {
        if (popupChoices.empty())
            return nullptr;
        const QString wanted = popupChoices.front();
        popupChoices.pop_front();
        for (QAction *action : menu->actions()) {
            if (action->text() == wanted) {
                action->trigger();
                return action;
            }
        }
        return nullptr;
    }
    QString clipboardText() override { return clipboard; }
    void setClipboardText(const QString &text) override { clipboard = text; }
    const ProgramFolder &programFolder() const override { return m_folder; }
    bool ask(QWidget *, const QString &text, const QString &, const QString &) override
    {
        questions << text;
        if (askAnswers.empty())
            return false;
        const bool answer = askAnswers.front();
        askAnswers.pop_front();
        return answer;
    }

  private:
    ProgramFolder m_folder;
};

} // namespace vexlo::test
