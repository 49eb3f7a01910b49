// The built-in document engine behind the automation interface: the default application on
// every platform.
#pragma once

#include "run/WordAutomation.h"

#include <functional>
#include <memory>

namespace vexlo::word {

/// Hands out built-in applications; a new one after each Quit. `clipboard`, when set, gives
/// the text "^c" inserts (none: it inserts nothing).
class BuiltInApplicationSource : public ApplicationSource {
  public:
    explicit BuiltInApplicationSource(std::function<std::string()> clipboard = {});
    ~BuiltInApplicationSource() override;
    Application &application() override;
    /// How many applications were handed out (for tests).
    int started() const { return m_started; }

  private:
    std::function<std::string()> m_clipboard;
    std::unique_ptr<Application> m_current;
    int m_started = 0;
};

/// A new built-in application on its own (the source above is the usual way).
std::unique_ptr<Application> NewBuiltInApplication(std::function<std::string()> clipboard = {});

/// Whether the application was told to quit (its calls then fail).
bool HasQuit(Application &application);

} // namespace vexlo::word
