// The ten-slot histories of the four find/replace strings, one small file per slot.
#pragma once

#include "base/Lines.h"
#include "base/ProgramFolder.h"

#include <optional>
#include <string>

namespace vexlo {

enum class HistoryKind {
    WhatToFind,           // Edit1,  counter "WhatToFindHistory",    files "WhatToFind<n>.vexlopro"
    ReplaceWith,          // Edit2,  counter "ReplaceWithHistory",   files "ReplaceWith<n>.vexlopro"
    WhatToFindMultiLine,  // Memo1,  counter "WhatToFindMultiLine",  files "WhatToFindMultiLine<n>.vexlopro"
    ReplaceWithMultiLine, // Memo2,  counter "ReplaceWithMultiLine", files "ReplaceWithMultiLine<n>.vexlopro"
};

const char *HistoryCounterKey(HistoryKind kind);
const char *HistoryFileBase(HistoryKind kind);

class HistoryStore {
  public:
    explicit HistoryStore(ProgramFolder folder) : m_folder(std::move(folder)) {}

    /// Reads the counter from "vexlopro.ini", computes the next slot (n + 1, "10" -> "0"),
    /// writes `lines` to that slot's file (CR LF after every line) and stores the slot.
    /// Throws Error{Conversion} for a counter that is not a decimal integer (nothing written),
    /// Error{Io} when the slot file cannot be written, Error{SettingsWrite} for the counter.
    /// Returns the slot text used.
    std::string record(HistoryKind kind, const Lines &lines);

    /// The lines of a slot file, or nothing when it is missing or cannot be read.
    std::optional<Lines> readSlot(HistoryKind kind, int slot) const;

    std::filesystem::path slotPath(HistoryKind kind, const std::string &slotText) const;

  private:
    ProgramFolder m_folder;
};

} // namespace vexlo
