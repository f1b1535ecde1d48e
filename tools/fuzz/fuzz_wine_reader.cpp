// libFuzzer target for the Wine registry file reader. Besides not crashing, it
// checks that whatever the reader accepts, the writer turns into text that the
// reader accepts again with the same content (no line Wine would call malformed),
// and that the text read a few bytes at a time, as files are, and in parts side
// by side, as big files are, reads the same.
#include "registry/wine/WineRegParts.h"
#include "registry/wine/WineRegReader.h"
#include "registry/wine/WineRegWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

using namespace quarnel::platform;

namespace {

// The same keys, values, classes and kept lines; the times may differ, as a
// section without one is stamped with the time it is read.
bool sameContent(const RegKey &a, const RegKey &b)
{
    std::vector<std::pair<const RegKey *, const RegKey *>> todo{{&a, &b}};
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        if (!sameUnits(x->name(), y->name()) || x->className() != y->className() ||
            x->isLink != y->isLink || x->values.size() != y->values.size() ||
            x->subkeys.size() != y->subkeys.size() ||
            (x->extra ? x->extra->unknownLines : std::vector<std::string>()) !=
                (y->extra ? y->extra->unknownLines : std::vector<std::string>()))
            return false;
        for (std::size_t i = 0; i < x->values.size(); ++i) {
            const ValueRef v = x->values[i], w = y->values[i];
            if (!sameUnits(v.name(), w.name()) || v.type != w.type || v.dataCopy() != w.dataCopy())
                return false;
        }
        for (std::size_t i = 0; i < x->subkeys.size(); ++i)
            todo.push_back({x->subkeys[i].get(), y->subkeys[i].get()});
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    RegKey root;
    wine::Preamble preamble;
    const wine::ReadResult read = wine::readHive(text, root, preamble);
    const bool ok = read.ok;

    std::size_t at = 0;
    const std::size_t step = size ? 1 + data[0] % 7 : 1;
    const wine::TextPieces pieces = [&](char *to, std::size_t room, std::size_t &got) {
        got = std::min({room, step, size - at});
        if (got) std::memcpy(to, data + at, got);
        at += got;
        return true;
    };
    RegKey pieced;
    wine::Preamble piecedPreamble;
    if (wine::readHive(pieces, pieced, piecedPreamble).ok != ok) std::abort();

    // Read in parts side by side, as big files are: the same failure on the same
    // line, or the same content.
    const wine::TextAt file = [&](uint64_t from, char *to, std::size_t room, std::size_t &got) {
        got = from < size ? std::min({room, step, size - static_cast<std::size_t>(from)}) : 0;
        if (got) std::memcpy(to, data + from, got);
        return true;
    };
    RegKey inParts;
    wine::Preamble partsPreamble;
    const wine::ReadResult parts =
        wine::readHiveParts(file, size, wine::partStarts(file, size, 4), inParts, partsPreamble);
    if (parts.ok != ok || parts.line != read.line || parts.message != read.message) std::abort();

    if (!ok) return 0;
    if (piecedPreamble != preamble || !sameContent(root, pieced)) std::abort();
    if (partsPreamble != preamble || !sameContent(root, inParts)) std::abort();
    const std::string once = wine::writeHive(root, preamble);
    RegKey again;
    wine::Preamble preamble2;
    if (!wine::readHive(once, again, preamble2).ok) std::abort();
    if (preamble2 != preamble || !sameContent(root, again)) std::abort(); // nothing lost on a save
    if (wine::writeHive(again, preamble2) != once) std::abort();
    return 0;
}
