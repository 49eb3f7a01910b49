// The "Options" column of the main window: three selector buttons and the option panel slot.
#pragma once

#include "run/RunDriver.h"
#include "run/engine/TextEngine.h"

#include <QGroupBox>

class QButtonGroup;
class QCheckBox;
class QToolButton;

namespace vexlo {

/// The three boxes of which exactly one is shown; the values are the "aGB" codes.
enum class OptionPanel { TextEngine = 1, WordEngine = 2, ReplaceEngine = 4 };

/// Box "Options": SpeedButton53..55 select one of aGB1 (own engine options), aGB2 (Word
/// engine options) and aGB4 (the engine choice RadioGroup2).
class OptionsColumn : public QGroupBox {
    Q_OBJECT

  public:
    explicit OptionsColumn(QWidget *parent = nullptr);

    /// Shows `panel` and hides and disables the other two.
    void showOptionPanel(OptionPanel panel);
    OptionPanel optionPanel() const noexcept { return m_shown; }

    /// The eight check boxes of aGB1, read at the time of use.
    TextEngineOptions textEngineOptions() const;
    /// The five check boxes of aGB2, read at the time of use.
    WordEngineOptions wordEngineOptions() const;
    /// The item chosen in RadioGroup2 ("Vexlo Pro engine" at every start).
    EngineKind engineKind() const;

    QToolButton *specialFindButton() const noexcept { return m_specialFind; }
    QToolButton *specialReplaceButton() const noexcept { return m_specialReplace; }

  private:
    QGroupBox *buildTextEnginePanel();
    QGroupBox *buildWordEnginePanel();
    QGroupBox *buildReplaceEnginePanel();

    QWidget *m_slot = nullptr;
    QGroupBox *m_textEnginePanel = nullptr;   // aGB1
    QGroupBox *m_wordEnginePanel = nullptr;   // aGB2
    QGroupBox *m_engineChoicePanel = nullptr; // aGB4
    QCheckBox *m_textOptions[8] = {};
    QCheckBox *m_wordOptions[5] = {};
    QButtonGroup *m_engineGroup = nullptr;
    QToolButton *m_specialFind = nullptr;
    QToolButton *m_specialReplace = nullptr;
    OptionPanel m_shown = OptionPanel::TextEngine;
};

} // namespace vexlo
