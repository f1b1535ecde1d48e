// Cases about the wide value calls: stored bytes in and out, whatever their
// length or terminator, and names beyond the 8-bit code page.
#include "tests/conformance/Cases.h"

#include <string>
#include <vector>

namespace conformance {

namespace {

// Data followed by two non-NUL bytes: a NUL unit just past the count would be
// counted in by Wine's set call.
std::vector<unsigned char> padded(const char *bytes, std::size_t n)
{
    std::vector<unsigned char> data(bytes, bytes + n);
    data.insert(data.end(), {'Q', 'Q'});
    return data;
}

} // namespace

void wideValueCases(const Key &s)
{
    section("wide value calls");
    Key w = createKey(s, "Wide", "wide");
    const struct
    {
        const char16_t *name;
        DWORD type;
        const char *bytes;
        std::size_t count;
    } values[] = {
        {u"sz", REG_SZ, "a\0b\0\0\0", 6},
        {u"sz noterm", REG_SZ, "a\0b\0", 4},
        {u"sz odd", REG_SZ, "a\0b\0c", 5},
        {u"sz one", REG_SZ, "a", 1},
        {u"sz empty", REG_SZ, "", 0},
        {u"sz embedded", REG_SZ, "a\0\0\0b\0\0\0", 8},
        {u"multi", REG_MULTI_SZ, "a\0\0\0b\0\0\0\0\0", 10},
        {u"multi odd", REG_MULTI_SZ, "a\0\0", 3},
        {u"expand", REG_EXPAND_SZ, "%\0A\0%\0\0\0", 8},
        {u"bin", REG_BINARY, "\x01\x02\x03", 3},
        {u"odd type", 0x1234, "\x01\x02", 2},
        {u"caf\u00e9 \u20ac", REG_BINARY, "\xe9", 1},
        {u"lone \xd800 unit", REG_DWORD, "\x01\0\0\0", 4},
        {u"", REG_SZ, "d\0\0\0", 4},
    };
    for (const auto &v : values) {
        const auto data = padded(v.bytes, v.count);
        setValueW(w, wide(v.name).c_str(), v.type, data.data(), static_cast<DWORD>(v.count));
    }
    setValueW(w, nullptr, REG_SZ, padded("e\0\0\0", 4).data(), 4);
    setValueW(w, wide(u"null data").c_str(), REG_BINARY, nullptr, 4);
    setValueW(w, wide(u"null empty").c_str(), REG_BINARY, nullptr, 0);
    queryInfo(w);
    for (const auto &v : values) {
        const WideName name = wide(v.name);
        const int n = static_cast<int>(v.count);
        queryValueW(w, name.c_str());
        for (int size : {n - 1, n, n + 1, n + 2, n + 3})
            if (size >= 0) queryValueW(w, name.c_str(), QueryArgs{size});
    }
    queryValueW(w, nullptr, QueryArgs{8});
    queryValueW(w, wide(u"null empty").c_str(), QueryArgs{4});
    queryValueW(w, wide(u"missing").c_str(), QueryArgs{4});
    queryValueW(w, wide(u"missing").c_str());
    queryValueW(NullKey, wide(u"sz").c_str());
    setValueW(NullKey, wide(u"sz").c_str(), REG_BINARY, "x", 1);
    queryValueW(w, wide(u"SZ").c_str(), QueryArgs{8});
    QueryArgs noCount;
    noCount.withCount = false;
    queryValueW(w, wide(u"bin").c_str(), noCount);
    noCount.buffer = 8;
    queryValueW(w, wide(u"bin").c_str(), noCount);

    // The 8-bit calls on what the wide calls stored (ASCII only: the code pages differ).
    for (const char *name : {"sz", "sz noterm", "sz odd", "sz one", "sz embedded", "multi odd"})
        queryValue(w, name, QueryArgs{12});
    setValue(w, "from a", REG_SZ, "xy", 3);
    queryValueW(w, wide(u"from a").c_str(), QueryArgs{8});
    closeKey(w);
}

} // namespace conformance
