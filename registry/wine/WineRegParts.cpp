#include "registry/wine/WineRegParts.h"

#include "registry/win32/RegText.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <iterator>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>

namespace quarnel::platform::wine {

namespace {

// Whether a part may start at text[at]: a section's line ('[' first) right after
// a blank line. A blank line ends every value, so what comes before reads the
// same without what follows.
bool isPartStart(std::string_view text, std::size_t at)
{
    if (at < 2 || text[at] != '[' || text[at - 1] != '\n') return false;
    for (std::size_t i = at - 1; i-- > 0;) {
        if (text[i] == '\n') return true;
        if (text[i] != '\r' && text[i] != ' ' && text[i] != '\t') return false;
    }
    return false; // the blank line's start lies before the text: not known
}

// Gives `into` what a later part of the same file read into `part`, as reading
// them in one would have: a key both have keeps its time (a section's time only
// counts for a key it makes) and takes the later values, class, link mark and
// kept lines; keys only the later part has move over whole.
void joinPart(RegKey &into, RegKey &part, std::vector<RegKey *> classed)
{
    std::sort(classed.begin(), classed.end());
    struct Pair
    {
        RegKey *into;
        RegKey *part;
        KeyRef hold; // the part's key, until it is joined
    };
    std::vector<Pair> todo;
    todo.push_back({&into, &part, {}});
    while (!todo.empty()) {
        Pair pair = std::move(todo.back());
        todo.pop_back();
        RegKey &to = *pair.into, &from = *pair.part;
        if (to.values.empty())
            to.values = std::move(from.values);
        else
            for (const ValueRef v : from.values)
                to.setValue(v.name(), v.type, v.data());
        if (from.isLink) to.isLink = true;
        if (from.extra) {
            if (std::binary_search(classed.begin(), classed.end(), &from))
                to.extras().className = std::move(from.extra->className);
            std::vector<std::string> &lines = from.extra->unknownLines;
            if (!lines.empty())
                to.extras().unknownLines.insert(to.extras().unknownLines.end(),
                                                std::make_move_iterator(lines.begin()),
                                                std::make_move_iterator(lines.end()));
        }
        // Both lists are sorted: one pass merges them.
        std::vector<KeyRef> merged;
        merged.reserve(to.subkeys.size() + from.subkeys.size());
        auto a = to.subkeys.begin(), b = from.subkeys.begin();
        while (a != to.subkeys.end() || b != from.subkeys.end()) {
            const int order = a == to.subkeys.end()     ? 1
                              : b == from.subkeys.end() ? -1
                                                        : compareNames((*a)->name(), (*b)->name());
            if (order > 0) {
                (*b)->parent = &to;
                merged.push_back(std::move(*b++));
                continue;
            }
            if (order == 0) {
                RegKey *later = b->get();
                todo.push_back({a->get(), later, std::move(*b++)});
            }
            merged.push_back(std::move(*a++));
        }
        to.subkeys = std::move(merged);
        from.subkeys.clear();
    }
}

// One part of a file, read on whichever thread takes it.
struct Part
{
    uint64_t at = 0;
    uint64_t end = 0;  // the next part's start, or the file's size
    bool last = false; // reads on to the file's end, past its size
    RegKey ownRoot;    // the first part reads into the caller's root
    Preamble preamble;
    PartRead read;
    std::exception_ptr failure; // what the part threw, to be thrown on the caller's thread
};

void readPart(const TextAt &file, Part &part, RegKey &root, Preamble &preamble, bool first)
{
    try {
        const TextPieces pieces = [&](char *to, std::size_t room, std::size_t &got) {
            got = 0;
            if (!part.last)
                room = static_cast<std::size_t>(std::min<uint64_t>(room, part.end - part.at));
            if (room && !file(part.at, to, room, got)) return false;
            part.at += got;
            return true;
        };
        part.read = readHivePart(pieces, root, preamble, !first, part.end - part.at);
    } catch (...) {
        part.failure = std::current_exception();
    }
}

// What reading the parts in one would have reported of the parts before `limit`:
// a file that is no registry file; else the first read error or NUL, which one
// read finds wherever it lies (after any other fault it reads on for a NUL);
// else the first other fault. Lines count from the file's start.
std::optional<ReadResult> combinedFault(const std::vector<std::unique_ptr<Part>> &parts,
                                        std::size_t limit)
{
    if (limit && parts.front()->read.notRegistryFile) return parts.front()->read.result;
    const auto firstWhere = [&](auto &&holds) -> std::optional<ReadResult> {
        std::size_t linesBefore = 0;
        for (std::size_t i = 0; i < limit; ++i) {
            const PartRead &read = parts[i]->read;
            if (holds(read)) {
                ReadResult r = read.result;
                r.line += linesBefore;
                return r;
            }
            linesBefore += read.lines;
        }
        return std::nullopt;
    };
    if (auto r = firstWhere([](const PartRead &p) { return p.readFailed || p.nulLine; })) return r;
    return firstWhere([](const PartRead &p) { return !p.result.ok; });
}

} // namespace

std::vector<uint64_t> partStarts(const TextAt &file, uint64_t size, std::size_t parts)
{
    // A long value may lie where a part would start; the next blank line before
    // a section is looked for this far.
    constexpr std::size_t kWindow = 64 * 1024, kOverlap = 256, kFarthest = 4 * 1024 * 1024;
    std::vector<uint64_t> starts{0};
    if (parts < 2) return starts;
    const auto buffer = std::make_unique_for_overwrite<char[]>(kWindow);
    for (std::size_t k = 1; k < parts; ++k) {
        uint64_t from = std::max(size / parts * k, starts.back() + 1);
        for (uint64_t searched = 0; searched < kFarthest && from < size; searched += kWindow) {
            const auto want = static_cast<std::size_t>(std::min<uint64_t>(kWindow, size - from));
            std::size_t filled = 0, got = 0;
            while (filled < want &&
                   file(from + filled, buffer.get() + filled, want - filled, got) && got)
                filled += got;
            const std::string_view window(buffer.get(), filled);
            std::size_t found = 0;
            for (std::size_t at = 2; !found && at < filled; ++at)
                if (isPartStart(window, at)) found = at;
            if (found) {
                starts.push_back(from + found);
                break;
            }
            if (filled < kWindow) return starts; // the file's end, or it cannot be read
            // A start may lie across the windows' edge, its blank line before it.
            from += kWindow - kOverlap;
        }
    }
    return starts;
}

ReadResult readHiveParts(const TextAt &file, uint64_t size, const std::vector<uint64_t> &starts,
                         RegKey &root, Preamble &preamble)
{
    std::vector<std::unique_ptr<Part>> parts;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        parts.push_back(std::make_unique<Part>());
        parts[i]->at = starts[i];
        parts[i]->end = i + 1 < starts.size() ? starts[i + 1] : std::max(size, starts[i]);
    }
    parts.back()->last = true;
    std::atomic<std::size_t> next = 0;
    const auto work = [&] {
        for (std::size_t i; (i = next++) < parts.size();) {
            Part &part = *parts[i];
            readPart(file, part, i ? part.ownRoot : root, i ? part.preamble : preamble, i == 0);
        }
    };
    {
        std::vector<std::jthread> helpers;
        const std::size_t threads =
            std::min<std::size_t>(parts.size(), std::max(1u, std::thread::hardware_concurrency()));
        try {
            while (helpers.size() + 1 < threads)
                helpers.emplace_back(work);
        } catch (const std::system_error &) {
            // No thread to spare: the threads there are read the rest.
        }
        work();
    } // the helpers are joined here
    // A part that threw ends what is known: a fault before it is what one read
    // would have met first, else what it threw is.
    std::size_t thrown = 0;
    while (thrown < parts.size() && !parts[thrown]->failure)
        ++thrown;
    if (auto fault = combinedFault(parts, thrown)) return *fault;
    if (thrown < parts.size()) std::rethrow_exception(parts[thrown]->failure);
    bool rootSeen = parts.front()->read.rootSeen;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        Part &part = *parts[i];
        // The root exists before the file: its first section gives its time.
        if (!rootSeen && part.read.rootSeen) root.lastWriteTime = part.ownRoot.lastWriteTime;
        rootSeen = rootSeen || part.read.rootSeen;
        joinPart(root, part.ownRoot, std::move(part.read.classed));
    }
    return {};
}

ReadResult readHive(const TextAt &file, uint64_t size, RegKey &root, Preamble &preamble)
{
    // A part smaller than this is not worth a thread.
    constexpr uint64_t kMinPartBytes = 2 * 1024 * 1024;
    constexpr std::size_t kMaxParts = 8;
    const std::size_t parts = static_cast<std::size_t>(std::min<uint64_t>(
        {std::max(1u, std::thread::hardware_concurrency()), size / kMinPartBytes, kMaxParts}));
    return readHiveParts(file, size,
                         parts > 1 ? partStarts(file, size, parts) : std::vector<uint64_t>{0}, root,
                         preamble);
}

} // namespace quarnel::platform::wine
