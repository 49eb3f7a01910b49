#include "inputs/HistoryWindows.h"

#include "widgets/Guarded.h"
#include "widgets/Platform.h"
#include "widgets/Widgets.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace vexlo {

namespace {

QString Title(HistoryKind kind)
{
    switch (kind) {
    case HistoryKind::WhatToFind:
        return QStringLiteral("\"What to Find\" History");
    case HistoryKind::ReplaceWith:
        return QStringLiteral("\"Replace With\" History");
    case HistoryKind::WhatToFindMultiLine:
        return QStringLiteral("\"What to find MultiLine\" History");
    case HistoryKind::ReplaceWithMultiLine:
        return QStringLiteral("\"Replace With MultiLine\" History");
    }
    return {};
}

const char *FormName(HistoryKind kind)
{
    switch (kind) {
    case HistoryKind::WhatToFind:
        return "TForm6";
    case HistoryKind::ReplaceWith:
        return "TForm7";
    case HistoryKind::WhatToFindMultiLine:
        return "TForm8";
    case HistoryKind::ReplaceWithMultiLine:
        return "TForm9";
    }
    return "";
}

// The copy buttons beside the fields are shown but do nothing.
QToolButton *MakeInertCopyButton(QWidget *parent, int number, const QString &hint)
{
    const QByteArray name = "SpeedButton" + QByteArray::number(number);
    QToolButton *button = MakeFlatButton(parent, name.constData(), hint, QStringLiteral("copy"));
    button->setIconSize(QSize(16, 16));
    button->setFixedSize(22, 22);
    return button;
}

} // namespace

HistoryWindow::HistoryWindow(Platform &platform, HistoryKind kind, const char *objectName,
                             const QString &title, QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_store(platform.programFolder()), m_kind(kind)
{
    setObjectName(QString::fromLatin1(objectName));
    setWindowTitle(title);
    setModal(true);
}

QToolButton *HistoryWindow::makeCloseButton()
{
    QToolButton *close =
        MakeFlatButton(this, "SpeedButton1", tr("Close history..."), QStringLiteral("close"));
    close->setIconSize(QSize(24, 24));
    close->setMinimumSize(120, 30);
    connect(close, &QToolButton::clicked, this, &QDialog::accept);
    return close;
}

void HistoryWindow::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        guarded([this] { reload(); });
}

void HistoryWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    guarded([this] { reload(); });
}

OneLineHistoryWindow::OneLineHistoryWindow(Platform &platform, HistoryKind kind, QWidget *parent)
    : HistoryWindow(platform, kind, FormName(kind), Title(kind), parent)
{
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(3);
    static constexpr int RowSlots[10] = {0, 1, 2, 3, 4, 9, 8, 7, 6, 5};
    for (int row = 0; row < 10; ++row) {
        const int slot = RowSlots[row];
        auto *field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("Edit%1").arg(slot + 1));
        field->setMinimumWidth(380);
        m_fields[std::size_t(slot)] = field;
        grid->addWidget(field, row, 0);
        grid->addWidget(MakeInertCopyButton(this, slot + 2, tr("Copy in clipboard...")), row, 1);
    }
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(grid);
    layout->addWidget(makeCloseButton(), 0, Qt::AlignHCenter);
}

void OneLineHistoryWindow::reload()
{
    for (int slot = 0; slot < 10; ++slot) {
        // Any failure of one slot leaves its field alone; the next slot follows.
        try {
            const std::optional<Lines> lines = m_store.readSlot(kind(), slot);
            if (lines && !lines->empty())
                m_fields[std::size_t(slot)]->setText(FromBytes(lines->front()));
        } catch (...) {
        }
    }
}

MultiLineHistoryWindow::MultiLineHistoryWindow(Platform &platform, HistoryKind kind, QWidget *parent)
    : HistoryWindow(platform, kind, FormName(kind), Title(kind), parent)
{
    auto *grid = new QGridLayout;
    grid->setSpacing(4);
    // Memo1..Memo9 hold slots 1..9 in reading order; Memo10, the last box, slot 0.
    for (int box = 0; box < 10; ++box) {
        const int slot = box == 9 ? 0 : box + 1;
        auto *memo = new QPlainTextEdit(this);
        memo->setObjectName(QStringLiteral("Memo%1").arg(box + 1));
        memo->setLineWrapMode(QPlainTextEdit::NoWrap);
        memo->setMinimumSize(200, 90);
        m_memos[std::size_t(slot)] = memo;

        auto *cell = new QHBoxLayout;
        cell->setSpacing(1);
        cell->addWidget(memo, 1);
        cell->addWidget(MakeInertCopyButton(this, box + 2, tr("Copy lines to clipboard...")), 0,
                        Qt::AlignTop);
        grid->addLayout(cell, box / 3, box % 3);
    }
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(grid, 1);
    layout->addWidget(makeCloseButton(), 0, Qt::AlignRight);
}

void MultiLineHistoryWindow::reload()
{
    for (int slot = 0; slot < 10; ++slot) {
        try {
            const std::optional<Lines> lines = m_store.readSlot(kind(), slot);
            if (!lines)
                continue;
            QStringList text;
            for (const std::string &line : *lines)
                text << FromBytes(line);
            m_memos[std::size_t(slot)]->setPlainText(text.join(QLatin1Char('\n')));
        } catch (...) {
        }
    }
}

} // namespace vexlo
