// A search of another registry reads only the sections of its files that may
// hold the text: on a prefix Wine wrote (links, hex data, every root), it finds
// exactly the rows a search of the whole registry finds.
#include "registry/kinds/SourceKinds.h"
#include "registry/win32/KeyStore.h"
#include "search/Matching.h"
#include "search/RegistryCopySearch.h"
#include "tests/wine/WineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

class RowSink : public SearchSink
{
public:
    void found(const ResultRowView &row) override
    {
        rows.push_back(std::string(row.root) + "|" + std::string(row.branch) + "|" +
                       std::string(row.name) + "|" + std::string(row.type) + "|" +
                       std::string(row.value));
    }
    std::vector<std::string> rows;
};

std::vector<std::string> wholeRows(const std::string &folder, const std::string &text,
                                   const SearchScope &scope)
{
    std::string error;
    auto copy = quarnel::platform::readRegistryCopy(folder, error);
    EXPECT_TRUE(copy) << error;
    RowSink sink;
    const quarnel::platform::ThreadStoreScope onThisThread(copy);
    const std::string lowered = asciiLower(text);
    SearchEngine(lowered, sink).run(scope);
    return sink.rows;
}

} // namespace

TEST(RegistryCopyOnWine, SectionsReadFindWhatTheWholeRegistryGives)
{
    REQUIRE_PREFIX();
    const std::string prefix = quarnel::test::scratchPrefix();
    for (const bool mirrored : {false, true})
        for (const char *text :
             {"wine",    "Microsoft", "DLL",        "ControlSet", "Current",
              "Version", "fonts",     "x",          "e",          "32",
              ".exe",    "Explorer",  "hardware",   "Software",   "system",
              "default", "S-1-5",     "#link",      "hex(",       "=",
              "link",    " ",         "Time Zones", "Classes",    "Wow",
              "AppId",   "Interface", "ole32",      "@",          "str",
              "{",       "0",         "dword",      "Node",       "nothing-like-it"}) {
            SCOPED_TRACE(std::string(text) + (mirrored ? " mirrored" : ""));
            const SearchScope scope = SearchScope::defaultRoots(mirrored);
            RowSink sink;
            std::string error;
            ASSERT_TRUE(searchRegistryCopy(prefix, text, scope, sink, error)) << error;
            const std::vector<std::string> whole = wholeRows(prefix, text, scope);
            std::string apart; // the first rows where the two differ
            for (std::size_t i = 0;
                 i < std::max(whole.size(), sink.rows.size()) && apart.size() < 600; ++i)
                if (i >= whole.size() || i >= sink.rows.size() || whole[i] != sink.rows[i])
                    apart += "\n  " + std::to_string(i) + " read " +
                             (i < sink.rows.size() ? sink.rows[i] : "-") + "\n  " +
                             std::to_string(i) + " whole " + (i < whole.size() ? whole[i] : "-");
            EXPECT_EQ(sink.rows.size(), whole.size());
            EXPECT_EQ(apart, "");
        }
}
