#include "search/SearchCheck.h"

#include "search/Matcher.h"

std::string optionsRefusalText(SearchRefusal::Kind kind)
{
    if (kind == SearchRefusal::Kind::NothingToLookIn)
        return "Nothing to look in: choose keys, value names or data.";
    return "No key can have changed in that time: \"changed since\" is not before "
           "\"changed before\".";
}

CheckedSearch checkSearch(const SearchRequest &request, std::uint64_t now)
{
    CheckedSearch checked;
    checked.options = request.options;
    SearchOptions &options = checked.options;
    SearchRefusal &refusal = checked.refusal;
    using Kind = SearchRefusal::Kind;
    for (const auto &[row, text] : request.optionTexts) {
        if (readOptionText(*row, text, now, options, refusal.detail)) continue;
        refusal.kind = Kind::OptionText;
        refusal.option = row;
        return checked;
    }
    if (!options.keys && !options.names && !options.data) {
        refusal.kind = Kind::NothingToLookIn;
        return checked;
    }
    if (options.changedSince && options.changedBefore &&
        *options.changedSince >= *options.changedBefore) {
        refusal.kind = Kind::NoTimeBetween;
        return checked;
    }
    if (request.textRequired && request.text.empty()) {
        refusal.kind = Kind::EmptyText;
        return checked;
    }
    auto matcher = std::make_shared<const Matcher>(request.text, options);
    if (!matcher->valid()) {
        refusal = {Kind::Pattern, nullptr, matcher->error()};
        return checked;
    }
    if (request.replacement) {
        if (std::string why = matcher->replacementProblem(*request.replacement); !why.empty()) {
            refusal = {Kind::Replacement, nullptr, std::move(why)};
            return checked;
        }
    }
    checked.matcher = std::move(matcher);
    return checked;
}
