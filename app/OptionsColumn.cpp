#include "app/OptionsColumn.h"

#include "widgets/Guarded.h"
#include "widgets/Widgets.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace vexlo {

namespace {

constexpr int SelectorWidth = 161;
constexpr int SelectorHeight = 22;
const QMargins PanelMargins(4, 4, 2, 6);

QToolButton *MakeSelector(QWidget *parent, const char *name, const QString &hint, const QString &caption,
                          const QString &icon)
{
    QToolButton *button = MakeFlatButton(parent, name, hint, icon);
    button->setText(caption);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setIconSize(QSize(16, 16));
    button->setFixedSize(SelectorWidth, SelectorHeight);
    return button;
}

QCheckBox *MakeCheckBox(QWidget *parent, const char *name, const QString &caption)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

} // namespace

OptionsColumn::OptionsColumn(QWidget *parent) : QGroupBox(tr("Options"), parent)
{
    setObjectName(QStringLiteral("GroupBox_Options"));

    QToolButton *engineButton = MakeSelector(this, "SpeedButton53", tr("Select replace engine..."),
                                             tr("Replace Engine"), QStringLiteral("engine"));
    QToolButton *textButton = MakeSelector(this, "SpeedButton54", tr("Vexlo Engine Options..."),
                                           tr("Vexlo Engine Options"), QStringLiteral("text-options"));
    QToolButton *wordButton = MakeSelector(this, "SpeedButton55", tr("MS Word Engine Options..."),
                                           tr("Word Engine Options"), QStringLiteral("word-options"));

    auto *separator = new QFrame(this);
    separator->setObjectName(QStringLiteral("Bevel1"));
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    // The slot holds all three panels; the hidden ones take no room.
    m_slot = new QWidget(this);
    m_slot->setObjectName(QStringLiteral("OptionPanelSlot"));
    m_textEnginePanel = buildTextEnginePanel();
    m_wordEnginePanel = buildWordEnginePanel();
    m_engineChoicePanel = buildReplaceEnginePanel();
    auto *slotLayout = new QVBoxLayout(m_slot);
    slotLayout->setContentsMargins(0, 0, 0, 0);
    for (QGroupBox *panel : {m_textEnginePanel, m_wordEnginePanel, m_engineChoicePanel})
        slotLayout->addWidget(panel);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 6, 2, 4);
    layout->setSpacing(2);
    for (QToolButton *selector : {engineButton, textButton, wordButton})
        layout->addWidget(selector, 0, Qt::AlignHCenter);
    layout->addSpacing(4);
    layout->addWidget(separator);
    layout->addSpacing(4);
    layout->addWidget(m_slot);
    layout->addStretch(1);

    connect(engineButton, &QToolButton::clicked, this,
            [this] { guarded([this] { showOptionPanel(OptionPanel::ReplaceEngine); }); });
    connect(textButton, &QToolButton::clicked, this,
            [this] { guarded([this] { showOptionPanel(OptionPanel::TextEngine); }); });
    connect(wordButton, &QToolButton::clicked, this,
            [this] { guarded([this] { showOptionPanel(OptionPanel::WordEngine); }); });

    showOptionPanel(OptionPanel::TextEngine);
}

QGroupBox *OptionsColumn::buildTextEnginePanel()
{
    auto *panel = new QGroupBox(tr("Vexlo Engine Options"), this);
    panel->setObjectName(QStringLiteral("aGB1"));
    static const char *const names[8] = {"CheckBox1", "CheckBox2", "CheckBox3", "CheckBox4",
                                         "CheckBox5", "CheckBox6", "CheckBox7", "CheckBox8"};
    const QString captions[8] = {
        tr("Match Case"),    tr("Only Whole Word"),       tr("Whole Word (Right)"),   tr("Whole Word (Left)"),
        tr("Delete Blanks"), tr("Delete Blanks (Right)"), tr("Delete Blanks (Left)"), tr("Only Delete")};
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(PanelMargins);
    layout->setSpacing(3);
    for (int i = 0; i < 8; ++i) {
        m_textOptions[i] = MakeCheckBox(panel, names[i], captions[i]);
        layout->addWidget(m_textOptions[i]);
    }
    return panel;
}

QGroupBox *OptionsColumn::buildWordEnginePanel()
{
    auto *panel = new QGroupBox(tr("MS Word Engine Options"), this);
    panel->setObjectName(QStringLiteral("aGB2"));
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(PanelMargins);
    layout->setSpacing(3);
    m_wordOptions[0] = MakeCheckBox(panel, "CheckBox9", tr("Match Case"));
    m_wordOptions[1] = MakeCheckBox(panel, "CheckBox10", tr("Find whole words only"));
    m_wordOptions[2] = MakeCheckBox(panel, "CheckBox11", tr("Use wildcards"));
    m_wordOptions[3] = MakeCheckBox(panel, "CheckBox12", tr("Sounds like (English)"));
    m_wordOptions[4] = MakeCheckBox(panel, "CheckBox13", tr("Find all word forms"));
    for (QCheckBox *box : m_wordOptions)
        layout->addWidget(box);

    // The note continues the last caption, indented to line up with the caption text.
    auto *english = new QLabel(tr("(English)"), panel);
    english->setObjectName(QStringLiteral("Label_English"));
    const int indent = style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                       style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    english->setIndent(indent);
    layout->addWidget(english);
    layout->addSpacing(6);

    m_specialFind =
        MakeFlatButton(panel, "SpeedButton37", tr("Special: Find What"), QStringLiteral("caret-codes"));
    m_specialFind->setText(tr("Find What"));
    m_specialReplace =
        MakeFlatButton(panel, "SpeedButton50", tr("Special: Replace With"), QStringLiteral("caret-codes"));
    m_specialReplace->setText(tr("Replace With"));
    for (QToolButton *button : {m_specialFind, m_specialReplace}) {
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setIconSize(QSize(16, 16));
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        layout->addWidget(button);
    }
    return panel;
}

QGroupBox *OptionsColumn::buildReplaceEnginePanel()
{
    auto *panel = new QGroupBox(tr("Replace Engine"), this);
    panel->setObjectName(QStringLiteral("aGB4"));
    auto *use = new QGroupBox(tr("Use"), panel);
    use->setObjectName(QStringLiteral("RadioGroup2"));
    auto *own = new QRadioButton(tr("Vexlo Pro engine"), use);
    own->setObjectName(QStringLiteral("RadioGroup2_Item0"));
    auto *office = new QRadioButton(tr("MS Office engine"), use);
    office->setObjectName(QStringLiteral("RadioGroup2_Item1"));
    own->setChecked(true);

    m_engineGroup = new QButtonGroup(this);
    m_engineGroup->addButton(own, int(EngineKind::Text));
    m_engineGroup->addButton(office, int(EngineKind::Office));

    auto *useLayout = new QVBoxLayout(use);
    useLayout->addWidget(own);
    useLayout->addWidget(office);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(PanelMargins);
    layout->addWidget(use);
    return panel;
}

void OptionsColumn::showOptionPanel(OptionPanel panel)
{
    QGroupBox *chosen = panel == OptionPanel::WordEngine      ? m_wordEnginePanel
                        : panel == OptionPanel::ReplaceEngine ? m_engineChoicePanel
                                                              : m_textEnginePanel;
    // A hidden panel is disabled as well, so no shortcut or tab order can reach it.
    for (QGroupBox *box : {m_textEnginePanel, m_wordEnginePanel, m_engineChoicePanel}) {
        box->setVisible(box == chosen);
        box->setEnabled(box == chosen);
    }
    m_shown = panel;
}

TextEngineOptions OptionsColumn::textEngineOptions() const
{
    TextEngineOptions options;
    options.matchCase = m_textOptions[0]->isChecked();
    options.wholeWord = m_textOptions[1]->isChecked();
    options.wholeWordRight = m_textOptions[2]->isChecked();
    options.wholeWordLeft = m_textOptions[3]->isChecked();
    options.deleteBlanks = m_textOptions[4]->isChecked();
    options.deleteBlanksRight = m_textOptions[5]->isChecked();
    options.deleteBlanksLeft = m_textOptions[6]->isChecked();
    options.onlyDelete = m_textOptions[7]->isChecked();
    return options;
}

WordEngineOptions OptionsColumn::wordEngineOptions() const
{
    WordEngineOptions options;
    options.matchCase = m_wordOptions[0]->isChecked();
    options.wholeWord = m_wordOptions[1]->isChecked();
    options.wildcards = m_wordOptions[2]->isChecked();
    options.soundsLike = m_wordOptions[3]->isChecked();
    options.allWordForms = m_wordOptions[4]->isChecked();
    return options;
}

EngineKind OptionsColumn::engineKind() const
{
    return m_engineGroup->checkedId() == int(EngineKind::Office) ? EngineKind::Office : EngineKind::Text;
}

} // namespace vexlo
