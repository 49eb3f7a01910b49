#include "inputs/HistoryStore.h"

#include "base/Error.h"
#include "base/ReadFile.h"
#include "base/SafeWrite.h"
#include "settings/SettingsFile.h"

namespace vexlo {

namespace {

constexpr const char *CounterSection = "Add_File_Procedure";
constexpr const char *SlotExtension = ".vexlopro";

} // namespace

namespace {

// Each history's counter key in "vexlopro.ini" and the base name of its slot files.
struct HistoryNames {
    const char *counterKey;
    const char *fileBase;
};

HistoryNames NamesOf(HistoryKind kind)
{
    switch (kind) {
    case HistoryKind::WhatToFind:
        return {"WhatToFindHistory", "WhatToFind"};
    case HistoryKind::ReplaceWith:
        return {"ReplaceWithHistory", "ReplaceWith"};
    case HistoryKind::WhatToFindMultiLine:
        return {"WhatToFindMultiLine", "WhatToFindMultiLine"};
    case HistoryKind::ReplaceWithMultiLine:
        return {"ReplaceWithMultiLine", "ReplaceWithMultiLine"};
    }
    return {"", ""};
}

} // namespace

const char *HistoryCounterKey(HistoryKind kind)
{
    return NamesOf(kind).counterKey;
}

const char *HistoryFileBase(HistoryKind kind)
{
    return NamesOf(kind).fileBase;
}

std::filesystem::path HistoryStore::slotPath(HistoryKind kind, const std::string &slotText) const
{
    return m_folder.file(HistoryFileBase(kind) + slotText + SlotExtension);
}

std::string HistoryStore::record(HistoryKind kind, const Lines &lines)
{
    SettingsFile settings(m_folder.file(MainSettingsName));
    // Counter and slot belong together: another instance recording meanwhile takes the next.
    const SettingsLock lock(settings.path());
    const char *key = HistoryCounterKey(kind);
    // A missing counter reads as its own key name and fails here, before anything is written.
    const long long next = static_cast<long long>(ToInt(settings.read(CounterSection, key, key))) + 1;
    // The ring wraps only at exactly ten; a counter already past it keeps counting up.
    const std::string slot = next == 10 ? "0" : std::to_string(next);

    WriteFileSafely(slotPath(kind, slot).string(), JoinLines(lines));
    settings.write(CounterSection, key, slot);
    return slot;
}

std::optional<Lines> HistoryStore::readSlot(HistoryKind kind, int slot) const
{
    // A folder, FIFO or device in a slot's place is not read: it counts as an empty slot.
    try {
        const std::optional<std::string> bytes =
            ReadFileIfPresent(slotPath(kind, std::to_string(slot)).string(), TextFileCap);
        if (!bytes)
            return std::nullopt;
        return SplitLines(*bytes);
    } catch (const Error &) {
        return std::nullopt;
    }
}

} // namespace vexlo
