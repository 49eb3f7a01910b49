// The "Computer speed" measure: how long the office engine takes to open and close a sample
// document through its automation interface, and how long reading a sample text file takes.
#pragma once

#include "run/office/WordAutomation.h"

#include <cstdint>
#include <string>

namespace vexlo {

/// What the measure shows while it runs; every call is made between two passes.
class SpeedCheckView {
  public:
    virtual ~SpeedCheckView() = default;
    /// The system's unsigned 32-bit millisecond counter.
    virtual std::uint32_t milliseconds() = 0;
    /// The office passes (last = 50) or the text passes (last = 10) begin.
    virtual void officePhase(int last) { (void)last; }
    virtual void textPhase(int last) { (void)last; }
    /// Pass `pass` (0 to last) is about to run.
    virtual void step(int pass) { (void)pass; }
    /// An office pass failed; the measure goes on.
    virtual void officeFailed() {}
    /// The figures: the time of the last pass (the text figure with 25 ms added, as it has
    /// always been shown). The office figure comes only when the last office pass succeeded.
    virtual void officeFigure(std::uint32_t ms) { (void)ms; }
    virtual void textFigure(std::uint32_t ms) { (void)ms; }
};

class SpeedCheck {
  public:
    static constexpr int OfficeLast = 50;
    static constexpr int TextLast = 10;

    /// `source` gives the application; it is asked for afresh after every pass that quit it.
    explicit SpeedCheck(word::ApplicationSource &source) : m_source(source) {}

    /// Opens `documentPath`, closes it and quits the application. False as soon as one of the
    /// three calls fails (the rest are not made and the application is kept for the next pass).
    bool officePass(const std::string &documentPath);

    /// The 51 office passes over `documentPath`, then the 11 text passes, each reading
    /// `textPath` whole into lines. Throws Error{Io} when the text sample cannot be read (a
    /// missing, unreadable or oversized file, or not a regular file): the office figure has
    /// been shown by then, the text figure never is.
    void run(const std::string &documentPath, const std::string &textPath, SpeedCheckView &view);

  private:
    word::ApplicationSource &m_source;
    word::Application *m_application = nullptr;
};

} // namespace vexlo
