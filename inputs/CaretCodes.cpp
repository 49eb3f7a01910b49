#include "inputs/CaretCodes.h"

namespace vexlo {

namespace {

constexpr SpecialCode FindCodes[] = {
    {"Paragraph Mark", "^p"},
    {"Tab Character", "^t"},
    {"Any Character", "^?"},
    {"Any Digit", "^#"},
    {"Any Letter", "^$"},
    {"Caret Character", "^^"},
    {"Column Break", "^n"},
    {"Em Dash", "^+"},
    {"En Dash", "^="},
    {"Endnote Mark", "^e"},
    {"Field", "^d"},
    {"Footnote Mark", "^f"},
    {"Graphic", "^g"},
    {"Manual Line Break", "^l"},
    {"Manual Page Break", "^m"},
    {"Nonbreaking Space", "^s"},
    {"Optional Hyphen", "^-"},
    {"Section Break", "^b"},
    {"White Space", "^w"},
};

constexpr SpecialCode ReplaceCodes[] = {
    {"Paragraph Mark", "^p"},
    {"Tab Character", "^t"},
    {"Caret Character", "^^"},
    {"Clipboard Contents", "^c"},
    {"Column Break", "^n"},
    {"Em Dash", "^+"},
    {"En Dash", "^="},
    {"Find What Text", "^&"},
    {"Manual Line Break", "^l"},
    {"Manual Page Break", "^m"},
    {"Nonbreaking Hyphen", "^~"},
    {"Nonbreaking Space", "^s"},
    {"Optional Hyphen", "^-"},
};

} // namespace

std::span<const SpecialCode> FindSpecialCodes()
{
    return FindCodes;
}

std::span<const SpecialCode> ReplaceSpecialCodes()
{
    return ReplaceCodes;
}

} // namespace vexlo
