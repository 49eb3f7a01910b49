#include "run/UndoWindow.h"

#include "base/SafeWrite.h"
#include "undo/Hash.h"
#include "undo/UndoStore.h"
#include "widgets/Guarded.h"
#include "widgets/Platform.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vexlo {

namespace {

// Whether the file still holds what the run wrote (size first, then the hash).
bool asTheRunLeftIt(const UndoEntry &entry)
{
    try {
        std::uint64_t size = 0;
        return HashFile(entry.path, size) == entry.newHash && size == entry.newSize;
    } catch (const Error &) {
        return false;
    }
}

} // namespace

UndoWindow::UndoWindow(Platform &platform, QWidget *parent) : QDialog(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("UndoWindow"));
    setWindowTitle(tr("Undo last run"));
    resize(720, 420);
    m_list = new QListWidget;
    m_list->setObjectName(QStringLiteral("UndoFiles"));
    m_summary = new QLabel;
    m_summary->setObjectName(QStringLiteral("UndoSummary"));
    m_summary->setWordWrap(true);
    m_undo = new QPushButton(tr("Undo"));
    m_undo->setObjectName(QStringLiteral("UndoButton"));
    auto *close = new QPushButton(tr("Close"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_summary, 1);
    buttons->addWidget(m_undo);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    connect(m_undo, &QPushButton::clicked, this, [this] { guarded([this] { undo(); }); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    reload();
}

void UndoWindow::reload()
{
    m_list->clear();
    m_undo->setEnabled(false);
    m_run = UndoStore(m_platform.programFolder()).lastRun();
    if (m_run.empty()) {
        m_summary->setText(tr("No run has kept an undo copy yet."));
        return;
    }
    UndoManifest manifest;
    try {
        manifest = ReadUndoManifest(m_run);
    } catch (const Error &e) {
        m_summary->setText(FromBytes(e.what()));
        return;
    }
    if (!manifest.note.empty()) {
        m_summary->setText(FromBytes(manifest.note));
        return;
    }
    std::size_t restorable = 0;
    for (const UndoEntry &entry : manifest.entries) {
        const bool same = asTheRunLeftIt(entry);
        restorable += same;
        m_list->addItem(FromBytes(entry.path) + QStringLiteral(": ") +
                        (same ? tr("will be restored") : FromBytes(kChangedSinceText)));
    }
    m_summary->setText(
        tr("%1 files of the last run, %2 can be restored").arg(manifest.entries.size()).arg(restorable));
    m_undo->setEnabled(restorable > 0);
}

void UndoWindow::undo()
{
    if (m_run.empty())
        return;
    m_list->clear();
    struct Listing : RunObserver {
        QListWidget *list;
        void fileDone(const std::string &path, Outcome outcome) override
        {
            list->addItem(
                FromBytes(path) + QStringLiteral(": ") +
                (outcome == Outcome::Done ? QObject::tr("restored") : FromBytes(kChangedSinceText)));
        }
        void error(const std::string &path, const Error &e) override
        {
            list->addItem(FromBytes(path) + QStringLiteral(": ") + FromBytes(e.what()));
        }
    } listing;
    listing.list = m_list;
    UndoTally tally;
    try {
        tally = RestoreRun(m_run, listing);
    } catch (const Error &e) {
        m_platform.message(this, FromBytes(e.what()));
        return;
    }
    m_summary->setText(tr("%1 restored, %2 changed since the run and left as they are, %3 failed")
                           .arg(tally.restored)
                           .arg(tally.changedSince)
                           .arg(tally.failed));
    m_undo->setEnabled(false);
    if (tally.failed == 0 && tally.changedSince == 0) {
        try {
            RemoveStoreFolder(m_run); // undone: the next "Undo last run" offers the run before
        } catch (const Error &) {
        }
    }
}

} // namespace vexlo
