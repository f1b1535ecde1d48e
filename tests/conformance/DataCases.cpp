// Cases about sizes: data larger than the implementations' first buffers, odd
// counts, null pointers the calls accept, and how deep keys may nest.
#include "tests/conformance/Cases.h"

#include <string>
#include <vector>

namespace conformance {

void dataCases(const Key &s)
{
    section("large and odd data");
    Key d = createKey(s, "Data", "data");
    std::vector<unsigned char> bin(300);
    for (std::size_t i = 0; i < bin.size(); ++i)
        bin[i] = static_cast<unsigned char>(i * 7);
    setValue(d, "bin300", REG_BINARY, bin.data(), 300);
    std::string text(600, 'x');
    for (std::size_t i = 0; i < text.size(); i += 10)
        text[i] = static_cast<char>('a' + i / 10 % 26);
    setValue(d, "sz600", REG_SZ, text.c_str(), 601);
    text[599] = 'Q'; // the byte after the count is not NUL
    setValue(d, "sz599 noterm", REG_SZ, text.c_str(), 599);
    queryInfo(d);
    for (const char *name : {"bin300", "sz600", "sz599 noterm"}) {
        queryValue(d, name);
        for (int size : {299, 300, 599, 600, 601, 602})
            queryValue(d, name, QueryArgs{size});
    }
    listValues(d, 700);
    EnumArgs small;
    small.dataBuffer = 10;
    enumValue(d, 1, small);

    setValue(d, "sz extra nuls", REG_SZ, "ab\0\0\0", 5);
    queryValue(d, "sz extra nuls", QueryArgs{8});
    setValue(d, "expand noterm", REG_EXPAND_SZ, "%A%B", 3);
    queryValue(d, "expand noterm", QueryArgs{8});
    setValue(d, "multi empty", REG_MULTI_SZ, "", 0);
    queryValue(d, "multi empty", QueryArgs{8});
    setValue(d, "bin null 4", REG_BINARY, nullptr, 4);
    queryValue(d, "bin null 4");
    setValue(d, nullptr, REG_DWORD, "\x2a\x00\x00\x00", 4);
    queryValue(d, nullptr, QueryArgs{4});
    queryInfo(d);

    std::vector<unsigned char> big(100000, 0x5a);
    setValue(d, "big", REG_BINARY, big.data(), static_cast<DWORD>(big.size()));
    queryValue(d, "big");
    queryValue(d, "big", QueryArgs{99999});
    std::string bigText(70000, 'w');
    setValue(d, "big text", REG_SZ, bigText.c_str(), static_cast<DWORD>(bigText.size() + 1));
    queryValue(d, "big text");
    queryInfo(d);
    deleteValue(d, "big");
    deleteValue(d, "big text");
    setValue(d, "", REG_NONE, "", 0);
    queryValue(d, "", QueryArgs{4});
    deleteValue(d, "");

    section("null out-pointers");
    EnumArgs noCount;
    noCount.withCount = false;
    noCount.dataBuffer = 8;
    enumValue(d, 0, noCount);
    noCount.dataBuffer = -1;
    noCount.withType = false;
    enumValue(d, 0, noCount);
    QueryArgs noCountQuery;
    noCountQuery.withCount = false;
    noCountQuery.buffer = 8;
    queryValue(d, "bin300", noCountQuery);
    noCountQuery.buffer = -1;
    noCountQuery.withType = false;
    queryValue(d, "bin300", noCountQuery);
    closeKey(d);
}

void optionCases(const Key &s)
{
    section("options");
    const DWORD optionSets[] = {REG_OPTION_BACKUP_RESTORE, REG_OPTION_OPEN_LINK, 0x10, 0x100,
                                0x80000000u};
    for (DWORD options : optionSets) {
        const std::string name = "Opt" + std::to_string(options);
        closeKey(createKey(s, name.c_str(), "opt", CreateArgs{options}));
        closeKey(openKey(s, name.c_str(), "opt"));
        closeKey(openKey(s, name.c_str(), "opt", OpenArgs{options}));
        deleteKey(s, name.c_str());
    }
    closeKey(openKey(s, "", "self", OpenArgs{REG_OPTION_VOLATILE}));
    closeKey(createKey(s, "", "self", CreateArgs{REG_OPTION_VOLATILE}));
    Key v = createKey(s, "OptVolatile", "vol",
                      CreateArgs{REG_OPTION_VOLATILE | REG_OPTION_BACKUP_RESTORE});
    closeKey(createKey(v, "Child", "child", CreateArgs{REG_OPTION_VOLATILE}));
    createKey(v, "Stable\\Deeper", "x");
    closeKey(createKey(s, "OptVolatile\\A\\B", "b", CreateArgs{REG_OPTION_VOLATILE}));
    listKeys(v);
    closeKey(v);
}

void nestingCases(const Key &s)
{
    section("nesting limit");
    // Nest one level per call until the first refusal; the trace keeps the summary.
    Key n = createKey(s, "Nest", "nest");
    HKEY cur = n.h;
    int depth = 0;
    LONG rc = ERROR_SUCCESS;
    while (depth < 600) {
        HKEY next = nullptr;
        rc = RegCreateKeyExA(cur, "n", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &next, nullptr);
        if (cur != n.h) RegCloseKey(cur);
        if (rc != ERROR_SUCCESS) {
            cur = nullptr;
            break;
        }
        cur = next;
        ++depth;
    }
    if (cur && cur != n.h) RegCloseKey(cur);
    // The scratch key itself sits three levels below the user's root.
    note("created " + std::to_string(depth) +
         " nested keys below Software\\QuarnelConformance\\Nest, then rc=" + std::to_string(rc));
    closeKey(n);
}

} // namespace conformance
