// The one mark of a window action in progress. A long action lets pending events in, and with
// them a second press of its own button or a close of its window: the guard turns the second
// start away and clears the mark however the action ends.
#pragma once

namespace vexlo {

class BusyGuard {
  public:
    enum class Cursor {
        Keep, // the pointer stays as it is
        Busy, // the busy pointer is shown while the guard holds the mark
    };

    /// Takes the mark `flag` when it is clear; when it is already set the guard holds nothing
    /// and converts to false (the caller returns at once).
    explicit BusyGuard(bool &flag, Cursor cursor = Cursor::Keep);
    /// Clears the mark (and restores the pointer) if the guard still holds it.
    ~BusyGuard();
    BusyGuard(const BusyGuard &) = delete;
    BusyGuard &operator=(const BusyGuard &) = delete;

    /// True when this guard took the mark.
    explicit operator bool() const noexcept { return m_held; }
    /// Clears the mark and restores the pointer now, before the guard goes out of scope.
    void release() noexcept;

  private:
    bool &m_flag;
    bool m_held;
    bool m_cursor;
};

} // namespace vexlo
