#include "search/SearchEngine.h"

#include "registry/api/KeyPath.h"
#include "registry/api/MultiStringSplitter.h"
#include "registry/api/RootTable.h"
#include "registry/api/TRegistry.h"
#include "registry/text/RegistryPathText.h"
#include "registry/text/ValueText.h"
#include "search/Matcher.h"

#include <algorithm>

namespace {

// Data the single lookup could not deliver, read the long way: those calls
// raise the error that ends the walk, as any failed read does. Returns its size.
std::size_t refetchData(TRegistry &registry, const std::string &name, TValueKind kind,
                        std::vector<char> &bytes)
{
    if (!IsTextKind(kind)) return ReadRawData(registry, name, bytes);
    const std::string text = registry.ReadText(name);
    if (bytes.size() < text.size()) bytes.resize(text.size());
    std::copy(text.begin(), text.end(), bytes.begin());
    return text.size();
}

} // namespace

SearchScope SearchScope::defaultRoots(bool mirrored)
{
    SearchScope scope;
    if (mirrored) scope.firstRoot = 0;
    return scope;
}

SearchScope SearchScope::below(int rootIndex, std::string_view nodePath)
{
    SearchScope scope;
    scope.firstRoot = scope.lastRoot = rootIndex;
    scope.keyPath = KeyPath::fromNodePath(nodePath).walkerPath();
    return scope;
}

std::optional<SearchScope> SearchScope::parse(std::string_view rootAndPath)
{
    const RegistryPathText at = RegistryPathText::fromTyped(rootAndPath);
    if (at.rootIndex() < 0) return std::nullopt;
    return below(at.rootIndex(), KeyPath::fromRelative(at.below()).nodePath());
}

struct SearchEngine::Frame
{
    std::string keyPath;
    std::vector<std::string> subkeys;
    std::size_t next = 0;
    bool big = false;
    bool childReturned = false;
};

SearchEngine::SearchEngine(const Matcher &matcher, SearchSink &sink)
    : m_matcher(matcher), m_sink(sink)
{
}

SearchEngine::SearchEngine(std::string_view searchText, SearchSink &sink)
    : m_ownMatcher(std::make_unique<const Matcher>(searchText)), m_matcher(*m_ownMatcher),
      m_sink(sink)
{
}

SearchEngine::~SearchEngine() = default;

std::string SearchEngine::keysBeyondDepthText()
{
    return "Keys more than " + std::to_string(kMaxWalkDepth) +
           " levels below the searched key were not searched.";
}

bool SearchEngine::visit(HKEY root, std::string_view rootName, Frame &frame, int depth)
{
    const std::string &keyPath = frame.keyPath;
    const std::string_view branch = KeyPath::branchOfWalkerPath(keyPath);
    const auto found = [&](std::string_view name = {}, std::string_view type = {},
                           std::string_view value = {}) {
        // Only data rows can stand for the default value: its empty name never matches.
        const bool defaultValue = name.empty() && !type.empty();
        if (defaultValue) name = kStandardName;
        m_sink.found(ResultRowView{rootName, branch, name, type, value, defaultValue});
    };

    TRegistry registry;
    const bool opened = OpenWithAllAccess(registry, root, keyPath);
    const std::uint64_t markAtOpen = m_sink.changeMark();
    const Matcher &m = m_matcher;
    // A key written outside the changed range is not tested, nor are its values;
    // its subkeys are, as each has a time of its own.
    TKeyInfoRec keyInfo;
    const bool tested = opened && (!m.filtersByTime() || (registry.QueryKeyInfo(keyInfo) &&
                                                          m.keyTimeFits(keyInfo.LastWriteTime)));
    if (tested) {
        if (m.matchesKey(keyPath)) found();

        std::vector<std::string> &names = m_names;
        registry.ListValueNames(names);
        std::vector<char> &bytes = m_valueBytes;
        m_statistics.values += std::int32_t(names.size());
        const std::size_t count = names.size();
        for (std::size_t i = 0; i < count; ++i) {
            if (!m_sink.nextValue(i, count)) break;
            const std::string &name = names[i];
            if (m.matchesName(name)) found(name);
            TValueInfoRec info;
            const bool fetched = registry.FetchValue(name, info, bytes);
            m_statistics.bytes += info.DataSize;
            const bool textKind = IsTextKind(info.Kind);
            const bool multi = info.Kind == TValueKind::vkMultiString;
            // Number and binary data count only when the options look at them.
            const bool other = !textKind && !multi && m.looksAtData(info.RegType);
            std::size_t size = info.DataSize;
            if (!fetched && (textKind || multi || other))
                size = refetchData(registry, name, info.Kind, bytes);
            if (textKind) {
                std::string_view text(bytes.data(), size);
                text = text.substr(0, text.find('\0'));
                if (m.matchesText(text)) found(name, TypeText(info.RegType), text);
            } else if (multi) {
                const std::vector<std::string> entries = SplitMultiString(bytes.data(), int(size));
                const bool hit =
                    std::any_of(entries.begin(), entries.end(),
                                [&](const std::string &e) { return m.matchesText(e); });
                if (hit) found(name, TypeText(info.RegType), MultiStringText(entries));
            } else if (other) {
                const std::string_view data(bytes.data(), size);
                if (m.matchesData(info.RegType, data))
                    found(name, TypeText(info.RegType), OtherValueText(info.RegType, data));
            }
        }
    }

    if (!opened || m_sink.changeMark() != markAtOpen) registry.OpenPath(keyPath);
    registry.ListSubkeys(frame.subkeys);
    registry.ClosePath();

    const std::size_t count = frame.subkeys.size();
    frame.big = count >= kBigKey;
    if (frame.big) m_sink.bigKeyListed(keyPath, count);
    if (depth > kMaxWalkDepth) {
        if (count > 0 && m_sink.goOn()) m_statistics.keysBeyondDepth = true;
        return false;
    }
    return true;
}

void SearchEngine::walk(HKEY root, std::string_view rootName, const std::string &keyPath)
{
    // One frame per key on the way down; depth is the frame's count (the starting key is 1).
    std::vector<Frame> stack;
    stack.emplace_back();
    stack.back().keyPath = keyPath;
    if (!visit(root, rootName, stack.back(), 1)) return;
    while (!stack.empty()) {
        Frame &frame = stack.back();
        if (frame.childReturned) {
            frame.childReturned = false;
            if (!m_sink.goOn()) {
                stack.pop_back();
                if (!stack.empty()) stack.back().childReturned = true;
                continue;
            }
        }
        // An empty name would repeat this key under a doubled backslash, without end.
        while (frame.next < frame.subkeys.size() && frame.subkeys[frame.next].empty())
            ++frame.next;
        if (frame.next == frame.subkeys.size()) {
            stack.pop_back();
            if (!stack.empty()) stack.back().childReturned = true;
            continue;
        }
        const std::size_t j = frame.next++;
        ++m_statistics.keys;
        if (frame.big) m_sink.bigKeyStep(j, frame.subkeys.size());
        Frame child;
        child.keyPath = KeyPath::walkerChild(frame.keyPath, frame.subkeys[j]);
        const int depth = int(stack.size()) + 1;
        if (visit(root, rootName, child, depth)) {
            stack.push_back(std::move(child)); // `frame` is not used past this point
        } else {
            frame.childReturned = true;
        }
    }
}

void SearchEngine::run(const SearchScope &scope)
{
    for (int index = scope.firstRoot; index <= scope.lastRoot; ++index) {
        const RootEntry &entry = RootTable()[std::size_t(index)];
        m_sink.rootStarted(index);
        walk(entry.handle, entry.displayName, scope.keyPath);
        m_sink.rootDone(index);
        if (!m_sink.goOn()) break;
    }
}

namespace {

class CollectingSink : public SearchSink
{
public:
    std::vector<ResultRow> rows;
    void found(const ResultRowView &row) override
    {
        rows.push_back(ResultRow{std::string(row.root), std::string(row.branch),
                                 std::string(row.name), std::string(row.type),
                                 std::string(row.value), row.defaultValue});
    }
};

} // namespace

std::vector<ResultRow> searchRows(std::string_view searchText, const SearchScope &scope,
                                  SearchStatistics *statistics)
{
    return searchRows(Matcher(searchText), scope, statistics);
}

std::vector<ResultRow> searchRows(const Matcher &matcher, const SearchScope &scope,
                                  SearchStatistics *statistics)
{
    CollectingSink sink;
    SearchEngine engine(matcher, sink);
    engine.run(scope);
    if (statistics) *statistics = engine.statistics();
    return std::move(sink.rows);
}
