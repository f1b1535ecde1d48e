#include "results/BulkEditRules.h"

#include "registry/api/KeyPath.h"
#include "search/Matcher.h"
#include "search/Matching.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

std::string rowKeyText(const ResultRow &row)
{
    return row.root + '\\' + row.branch;
}

std::string rowValueText(const ResultRow &row)
{
    return row.root + '\\' + row.branch + row.name;
}

std::string rowKeyId(const ResultRow &row)
{
    // Root names never hold a NUL, so the pair reads back unambiguously.
    return row.root + '\0' + row.branch;
}

std::string rowValueId(const ResultRow &row)
{
    return row.root + '\0' + row.branch + '\0' + row.name;
}

std::string replaceQuestion(std::string_view searchTyped, std::string_view replacementTyped)
{
    std::string text = "Replace \n\r\"";
    text += searchTyped;
    text += "\" with \n\r\"";
    text += replacementTyped;
    text += "\" in selected Keys/Names/Values?";
    return text;
}

bool replaceInStringData(std::string &data, std::string_view loweredSearch,
                         std::string_view replacement)
{
    return replaceInStringData(data, Matcher(loweredSearch), replacement);
}

bool replaceInStringData(std::string &data, const Matcher &matcher, std::string_view replacement)
{
    const std::size_t shown = std::min(data.find('\0'), data.size());
    std::string text = data.substr(0, shown);
    if (!matcher.replaceFirst(text, replacement)) return false;
    data.replace(0, shown, text);
    return true;
}

NameSpan ownNameSpan(std::string_view branch)
{
    std::size_t end = branch.size();
    if (end > 0 && branch[end - 1] == '\\') --end;
    const std::size_t slash = end == 0 ? std::string_view::npos : branch.rfind('\\', end - 1);
    const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    return {start, end - start};
}

bool replaceInOwnName(std::string &branch, std::string_view loweredSearch,
                      std::string_view replacement)
{
    return replaceInOwnName(branch, Matcher(loweredSearch), replacement);
}

bool replaceInOwnName(std::string &branch, const Matcher &matcher, std::string_view replacement)
{
    const NameSpan own = ownNameSpan(branch);
    std::string name = branch.substr(own.start, own.length);
    if (name.empty() || !matcher.replaceFirst(name, replacement)) return false;
    branch.replace(own.start, own.length, name);
    return true;
}

ReplacePlan planReplace(const ResultRow &row, std::string_view loweredSearch,
                        std::string_view replacement)
{
    return planReplace(row, Matcher(loweredSearch), replacement);
}

ReplacePlan planReplace(const ResultRow &row, const Matcher &matcher, std::string_view replacement)
{
    ReplacePlan plan;
    if (row.kind() == ResultRowKind::Data) {
        plan.refusal = replaceRefusal(row.type);
        if (!plan.refusal.empty()) return plan;
        plan.rewritesData = matcher.options().data;
    }
    // A value really named "(Standard)" is renamed like any other. A name the
    // replace gives back unchanged is no change at all.
    if (std::string name = row.name; !row.defaultValue && matcher.looksAtNames() &&
                                     matcher.replaceFirst(name, replacement) && name != row.name)
        plan.newValueName = std::move(name);
    std::string branch = row.branch;
    plan.keyNameHit = matcher.looksAtKeys() && replaceInOwnName(branch, matcher, replacement) &&
                      branch != row.branch;
    if (!plan.keyNameHit) return plan;
    // The new path would name the parent key.
    if (ownNameSpan(branch).length == 0)
        plan.refusal = "nothing would be left of the key's name";
    else
        plan.newBranch = std::move(branch);
    return plan;
}

std::vector<std::size_t> keyMoveOrder(const std::vector<ResultRow> &rows)
{
    std::unordered_map<std::string_view, std::size_t> rootOrder;
    std::vector<std::pair<std::size_t, std::size_t>> sortKey; // root's place, depth
    sortKey.reserve(rows.size());
    for (const ResultRow &row : rows) {
        const std::size_t root = rootOrder.try_emplace(row.root, rootOrder.size()).first->second;
        sortKey.emplace_back(root, KeyPath::fromBranch(row.branch).depth());
    }
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (sortKey[a].first != sortKey[b].first) return sortKey[a].first < sortKey[b].first;
        return sortKey[a].second > sortKey[b].second;
    });
    return order;
}
