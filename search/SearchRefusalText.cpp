#include "search/SearchRefusalText.h"

#include "search/SearchCheck.h"

std::string windowRefusalText(const SearchRefusal &refusal)
{
    using Kind = SearchRefusal::Kind;
    switch (refusal.kind) {
    case Kind::None: return {};
    case Kind::OptionText: return std::string(refusal.option->label) + ": " + refusal.detail;
    case Kind::NothingToLookIn: return "Nothing to look in: choose keys, value names or data.";
    case Kind::NoTimeBetween:
        return "No key can have changed in that time: \"changed since\" is not before "
               "\"changed before\".";
    case Kind::EmptyText: return "Please enter a text to search for.";
    case Kind::Pattern: return "The regular expression is not valid: " + refusal.detail;
    case Kind::Replacement:
        return "The new text does not suit the regular expression: " + refusal.detail;
    }
    return {};
}
