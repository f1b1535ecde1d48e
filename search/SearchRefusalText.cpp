#include "search/SearchRefusalText.h"

#include "search/SearchCheck.h"

std::string windowRefusalText(const SearchRefusal &refusal)
{
    using Kind = SearchRefusal::Kind;
    switch (refusal.kind) {
    case Kind::None: return {};
    case Kind::OptionText: return std::string(refusal.option->label) + ": " + refusal.detail;
    case Kind::NothingToLookIn:
    case Kind::NoTimeBetween: return optionsRefusalText(refusal.kind);
    case Kind::EmptyText: return "Please enter a text to search for.";
    case Kind::Pattern: return "The regular expression is not valid: " + refusal.detail;
    case Kind::Replacement:
        return "The new text does not suit the regular expression: " + refusal.detail;
    }
    return {};
}
