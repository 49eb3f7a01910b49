// The office engine's caret codes offered by the two special-code menus, in menu order.
#pragma once

#include <span>

namespace vexlo {

struct SpecialCode {
    const char *label; // the menu entry
    const char *code;  // appended to the field as it stands
};

/// "Special: Find What": codes that may appear in a find string ("Any Digit" is "^#").
std::span<const SpecialCode> FindSpecialCodes();
/// "Special: Replace With": codes that may appear in a replacement.
std::span<const SpecialCode> ReplaceSpecialCodes();

} // namespace vexlo
