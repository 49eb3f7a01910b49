#include "app/InputNotebook.h"

#include "widgets/Widgets.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <iterator>
#include <vector>

namespace vexlo {

namespace {

constexpr int NotebookHeight = 216;
constexpr int ButtonSize = 22;
constexpr int FieldInset = 7; // each side: the fields are 14 pixels narrower than their box

struct ButtonSpec {
    const char *name;
    QString hint;
    const char *icon;
};

QToolButton *MakeSmallButton(QWidget *parent, const ButtonSpec &item)
{
    QToolButton *button = MakeFlatButton(parent, item.name, item.hint, QString::fromLatin1(item.icon));
    button->setIconSize(QSize(16, 16));
    button->setFixedSize(ButtonSize, ButtonSize);
    return button;
}

QString Quoted(const char *before, const char *what, const char *after)
{
    return QString::fromLatin1(before) + QLatin1Char('"') + QString::fromLatin1(what) + QLatin1Char('"') +
           QString::fromLatin1(after);
}

/// The buttons around one find or replace field, in their order on screen.
std::vector<ButtonSpec> FieldButtonSpecs(const char *what, const char *const names[], bool enlarge)
{
    std::vector<ButtonSpec> specs = {
        {names[0], Quoted("Clear ", what, " string..."), "clear"},
        {names[1], Quoted("Copy ", what, " string..."), "copy"},
        {names[2], Quoted("Paste ", what, " string from clipboard..."), "paste"},
        {names[3], Quoted("Load ", what, " string from file..."), "load"},
        {names[4], QStringLiteral("Show clipboard..."), "clipboard"},
        {names[5], Quoted("History - ", what, " strings..."), "history"},
    };
    if (enlarge)
        specs.push_back({names[6], Quoted("Enlarge ", what, " strings..."), "enlarge"});
    return specs;
}

/// A titled box with a strip of buttons above its field (the input helpers wire them); the field keeps
/// FieldInset pixels to either side of the box, whatever frame the style draws.
template <class Field>
QGroupBox *MakeInputBox(QWidget *parent, const char *name, const QString &title, Field *field,
                        const std::vector<ButtonSpec> &buttons, FieldButtons &made)
{
    auto *box = new QGroupBox(title, parent);
    box->setObjectName(QString::fromLatin1(name));
    field->setParent(box);

    auto *strip = new QHBoxLayout;
    strip->setSpacing(1);
    QToolButton *FieldButtons::*const order[] = {
        &FieldButtons::clear,     &FieldButtons::copy,    &FieldButtons::paste,  &FieldButtons::load,
        &FieldButtons::clipboard, &FieldButtons::history, &FieldButtons::enlarge};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        QToolButton *button = MakeSmallButton(box, buttons[i]);
        made.*order[i] = button;
        strip->addWidget(button);
    }
    strip->addStretch(1);

    auto *layout = new QVBoxLayout(box);
    const QMargins frame = box->contentsMargins();
    layout->setContentsMargins(qMax(0, FieldInset - frame.left()), 0, qMax(0, FieldInset - frame.right()), 3);
    layout->setSpacing(1);
    layout->addLayout(strip);
    layout->addWidget(field, 1);
    return box;
}

QLineEdit *MakeEdit(QWidget *parent, const char *name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

/// The "Real time" page: a strip of text buttons across the top and the "What to Find" and
/// "Replace With" boxes side by side at equal width below it, placed from the notebook's
/// width as the layout rules give them.
class RealTimeTab : public QWidget {
  public:
    RealTimeTab(QTabWidget *notebook, QWidget *strip, QGroupBox *findBox, QGroupBox *replaceBox)
        : m_notebook(notebook), m_strip(strip), m_findBox(findBox), m_replaceBox(replaceBox)
    {
        strip->setParent(this);
        findBox->setParent(this);
        replaceBox->setParent(this);
    }

    /// Places a box's one-line field, its menu button and its memo.
    static void placeBoxContents(QGroupBox *box, QLineEdit *edit, QToolButton *menuButton,
                                 QPlainTextEdit *memo)
    {
        const int left = 8;
        const int top = box->contentsRect().top() + 2;
        edit->setGeometry(left, top, box->width() - 45, ButtonSize);
        menuButton->setGeometry(edit->x() + edit->width() + 4, top, ButtonSize, ButtonSize);
        const int memoTop = top + ButtonSize + 4;
        memo->setGeometry(left, memoTop, box->width() - 16, qMax(0, box->height() - memoTop - 6));
    }

    QLineEdit *findLine = nullptr, *replacementLine = nullptr;
    QToolButton *findMenuButton = nullptr, *replacementMenuButton = nullptr;
    QPlainTextEdit *findMemo = nullptr, *replacementMemo = nullptr;

  protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QWidget::resizeEvent(event);
        const int notebookWidth = m_notebook->width();
        const int stripWidth = notebookWidth - 10;
        const int boxWidth = (notebookWidth - 17) / 2;
        // The whole arrangement is centred on the page, whose width the style decides.
        const int left = qMax(0, (width() - (2 * boxWidth + 7)) / 2);
        const int stripHeight = m_strip->sizeHint().height();
        m_strip->setGeometry(qMax(0, (width() - stripWidth) / 2), 1, stripWidth, stripHeight);
        const int boxTop = stripHeight + 2;
        const int boxHeight = qMax(0, height() - boxTop - 2);
        m_findBox->setGeometry(left, boxTop, boxWidth, boxHeight);
        m_replaceBox->setGeometry(left + m_findBox->width() + 7, boxTop, boxWidth, boxHeight);
        placeBoxContents(m_findBox, findLine, findMenuButton, findMemo);
        placeBoxContents(m_replaceBox, replacementLine, replacementMenuButton, replacementMemo);
    }

  private:
    QTabWidget *m_notebook;
    QWidget *m_strip;
    QGroupBox *m_findBox;
    QGroupBox *m_replaceBox;
};

} // namespace

QPlainTextEdit *MakeMemo(QWidget *parent, const char *objectName)
{
    auto *memo = new QPlainTextEdit(parent);
    memo->setObjectName(QString::fromLatin1(objectName));
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return memo;
}

InputNotebook::InputNotebook(QWidget *parent) : QTabWidget(parent)
{
    setObjectName(QStringLiteral("TabbedNotebook1"));
    setFixedHeight(NotebookHeight);
    addTab(buildOneLinePage(), tr("One Line"));
    addTab(buildMultiLinePage(), tr("Multi Line"));
    addTab(buildRealTimePage(), tr("Real time"));
}

QWidget *InputNotebook::buildOneLinePage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("OneLinePage"));
    m_fields.notebook = this;
    m_fields.oneLineFind = MakeEdit(page, "Edit1");
    m_fields.oneLineReplace = MakeEdit(page, "Edit2");

    static const char *const findNames[] = {"SpeedButton1", "SpeedButton2", "SpeedButton3",
                                            "SpeedButton4", "SpeedButton5", "SpeedButton6"};
    static const char *const replaceNames[] = {"SpeedButton7",  "SpeedButton12", "SpeedButton11",
                                               "SpeedButton10", "SpeedButton9",  "SpeedButton8"};
    m_oneLineFindBox =
        MakeInputBox(page, "GroupBox1", tr("What to find"), m_fields.oneLineFind,
                     FieldButtonSpecs("What to find", findNames, false), m_fields.oneLineFindButtons);
    QGroupBox *replaceBox =
        MakeInputBox(page, "GroupBox2", tr("Replace with"), m_fields.oneLineReplace,
                     FieldButtonSpecs("Replace with", replaceNames, false), m_fields.oneLineReplaceButtons);

    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    // The spare height goes between the boxes, not into one strip below them.
    layout->addStretch(1);
    layout->addWidget(m_oneLineFindBox);
    layout->addStretch(1);
    layout->addWidget(replaceBox);
    layout->addStretch(1);
    return page;
}

QWidget *InputNotebook::buildMultiLinePage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("MultiLinePage"));
    m_fields.multiLineFind = MakeMemo(page, "Memo1");
    m_fields.multiLineReplace = MakeMemo(page, "Memo2");

    static const char *const findNames[] = {"SpeedButton13", "SpeedButton14", "SpeedButton15",
                                            "SpeedButton16", "SpeedButton17", "SpeedButton18",
                                            "SpeedButton40"};
    static const char *const replaceNames[] = {"SpeedButton19", "SpeedButton20", "SpeedButton21",
                                               "SpeedButton22", "SpeedButton23", "SpeedButton24",
                                               "SpeedButton39"};
    QGroupBox *findBox =
        MakeInputBox(page, "GroupBox3", tr("What to find"), m_fields.multiLineFind,
                     FieldButtonSpecs("What to find", findNames, true), m_fields.multiLineFindButtons);
    QGroupBox *replaceBox =
        MakeInputBox(page, "GroupBox4", tr("Replace with"), m_fields.multiLineReplace,
                     FieldButtonSpecs("Replace with", replaceNames, true), m_fields.multiLineReplaceButtons);

    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);
    layout->addWidget(findBox, 1);
    layout->addWidget(replaceBox, 1);
    return page;
}

QWidget *InputNotebook::buildRealTimePage()
{
    auto *strip = new QWidget;
    strip->setObjectName(QStringLiteral("Panel7"));
    auto *stripLayout = new QHBoxLayout(strip);
    stripLayout->setContentsMargins(2, 2, 2, 2);
    stripLayout->setSpacing(1);
    const ButtonSpec textButtons[] = {
        {"SpeedButton42", Quoted("Load ", "Text", " from File"), "load"},
        {"SpeedButton43", QStringLiteral("Copy Text"), "copy"},
        {"SpeedButton44", QStringLiteral("Paste Text"), "paste"},
        {"SpeedButton45", QStringLiteral("Clear Text"), "clear"},
        {"SpeedButton46", QStringLiteral("Clipboard"), "clipboard"},
        {"SpeedButton47", QStringLiteral("Notes"), "notes"},
    };
    TextStripButtons &made = m_fields.textStrip;
    QToolButton **const order[] = {&made.load,  &made.copy,      &made.paste,
                                   &made.clear, &made.clipboard, &made.notes};
    for (std::size_t i = 0; i < std::size(textButtons); ++i) {
        *order[i] = MakeSmallButton(strip, textButtons[i]);
        stripLayout->addWidget(*order[i]);
    }
    stripLayout->addStretch(1);

    auto *findBox = new QGroupBox(tr("What to Find"));
    findBox->setObjectName(QStringLiteral("GroupBox9"));
    auto *replaceBox = new QGroupBox(tr("Replace With"));
    replaceBox->setObjectName(QStringLiteral("GroupBox10"));

    auto *page = new RealTimeTab(this, strip, findBox, replaceBox);
    page->setObjectName(QStringLiteral("RealTimePage"));
    m_fields.realTimeFindLine = page->findLine = MakeEdit(findBox, "Edit3");
    m_fields.realTimeReplacementLine = page->replacementLine = MakeEdit(replaceBox, "Edit4");
    m_fields.realTimeFindMenuButton = page->findMenuButton =
        MakeSmallButton(findBox, {"SpeedButton48", QStringLiteral("Click, click!"), "menu"});
    m_fields.realTimeReplacementMenuButton = page->replacementMenuButton =
        MakeSmallButton(replaceBox, {"SpeedButton49", QStringLiteral("Click, click!"), "menu"});
    m_fields.realTimeFindMemo = page->findMemo = MakeMemo(findBox, "Memo4");
    m_fields.realTimeReplacementMemo = page->replacementMemo = MakeMemo(replaceBox, "Memo5");
    // Scratch area of the paste action of the "Find" strings menu; never shown.
    m_fields.pasteScratch = MakeMemo(findBox, "TempMemo1");
    m_fields.pasteScratch->hide();
    m_fields.pasteScratch->setEnabled(false);
    return page;
}

} // namespace vexlo
