// A real run over a generated registry finds exactly the rows the generator
// predicts, per root and per kind of row.
#include "tests/search/SearchFixture.h"

#include "tools/generator/RegistryGenerator.h"
#include "tools/generator/Win32RegistrySink.h"

#include <QCheckBox>

#include <map>

namespace {

using namespace quarnel::generator;

class GeneratedRegistryTest : public SearchFixture
{
};

std::map<std::string, RowCounts> countByRoot(const std::vector<ResultRow> &rows)
{
    std::map<std::string, RowCounts> counts;
    for (const ResultRow &row : rows) {
        RowCounts &c = counts[row.root];
        if (row.name.empty())
            ++c.keys;
        else if (row.type.empty())
            ++c.valueNames;
        else if (row.type == "REG_MULTI_SZ")
            ++c.multiStrings;
        else
            ++c.stringData;
    }
    return counts;
}

TEST_F(GeneratedRegistryTest, RowsOfARunAreThePredictedOnes)
{
    GeneratorResult generated;
    {
        Win32RegistrySink sink;
        generated = generateRegistry(GeneratorOptions::small(), sink);
    }
    searchrun::setMessageStepGapNs(searchrun::kMessageStepGapNs);
    static const char *const names[RootCount] = {
        "HKEY_CLASSES_ROOT",   "HKEY_CURRENT_USER",     "HKEY_LOCAL_MACHINE", "HKEY_USERS",
        "HKEY_CURRENT_CONFIG", "HKEY_PERFORMANCE_DATA", "HKEY_DYN_DATA"};
    for (bool mirrored : {false, true}) {
        form->ckbmirr->setChecked(mirrored);
        for (const NeedleResult &needle : generated.needles) {
            search(needle.text);
            const auto counts = countByRoot(rows());
            EXPECT_EQ(rows().size(),
                      mirrored ? needle.mirroredScopeRows() : needle.defaultScopeRows());
            for (int root = mirrored ? 0 : 2; root < RootCount; ++root) {
                const auto found = counts.find(names[root]);
                EXPECT_EQ(found == counts.end() ? RowCounts{} : found->second,
                          needle.perRoot[std::size_t(root)])
                    << needle.text << " under " << names[root];
            }
        }
    }
}

} // namespace
