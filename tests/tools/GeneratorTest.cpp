#include "tools/generator/RegistryGenerator.h"
#include "tools/generator/TextDumpSink.h"
#include "tools/generator/Win32RegistrySink.h"

#include "registry/api/MultiStringSplitter.h"
#include "registry/api/RootTable.h"
#include "registry/win32/KeyStore.h"
#include "registry/win32/winreg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <stdexcept>

using namespace quarnel::generator;
using quarnel::platform::KeyStore;
using quarnel::platform::setActiveStore;

namespace {

std::string lowerAscii(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Counts result rows the way a search walks a root: the whole key path, each
// value name, string data up to its first NUL, and multi-string entries one by
// one, with one row per value. Reads the store only through the Win32 calls.
class BruteForceSearch
{
public:
    explicit BruteForceSearch(const std::string &needle) : m_needle(lowerAscii(needle)) {}

    RowCounts walkRoot(HKEY root)
    {
        m_counts = {};
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, nullptr, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            walk(key, "\\");
            RegCloseKey(key);
        }
        return m_counts;
    }

    // Hits whose text does not hold the needle as written: planted case is mixed.
    std::size_t hitsInOtherCase = 0;

private:
    bool hit(const std::string &text, const std::string &original)
    {
        if (lowerAscii(text).find(m_needle) == std::string::npos) return false;
        if (text.find(original) == std::string::npos) ++hitsInOtherCase;
        return true;
    }

    void walk(HKEY key, const std::string &path)
    {
        if (hit(path, m_needle)) ++m_counts.keys;
        DWORD subkeys = 0, values = 0, maxName = 0, maxData = 0;
        // Performance data opens but has no key behind it: nothing to search.
        if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                             &maxName, &maxData, nullptr, nullptr) != ERROR_SUCCESS)
            return;
        // Names and data grow at most threefold from UTF-16 units to UTF-8 bytes.
        std::vector<char> name(maxName * 3 + 1);
        std::vector<BYTE> data(maxData * 3 / 2 + 2);
        for (DWORD i = 0; i < values; ++i) {
            DWORD nameLen = static_cast<DWORD>(name.size()),
                  dataLen = static_cast<DWORD>(data.size());
            DWORD type = 0;
            ASSERT_EQ(
                RegEnumValueA(key, i, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen),
                ERROR_SUCCESS);
            const std::string valueName(name.data(), nameLen);
            if (!valueName.empty() && hit(valueName, m_needle)) ++m_counts.valueNames;
            const char *bytes = reinterpret_cast<const char *>(data.data());
            if (type == REG_SZ || type == REG_EXPAND_SZ) {
                if (hit(std::string(bytes, strnlen(bytes, dataLen)), m_needle))
                    ++m_counts.stringData;
            } else if (type == REG_MULTI_SZ) {
                bool any = false;
                for (const std::string &entry : SplitMultiString(bytes, static_cast<int>(dataLen)))
                    any = hit(entry, m_needle) || any;
                if (any) ++m_counts.multiStrings;
            }
        }
        for (DWORD i = 0; i < subkeys; ++i) {
            char childName[1024];
            DWORD len = sizeof childName;
            ASSERT_EQ(RegEnumKeyExA(key, i, childName, &len, nullptr, nullptr, nullptr, nullptr),
                      ERROR_SUCCESS);
            HKEY child = nullptr;
            ASSERT_EQ(RegOpenKeyExA(key, childName, 0, KEY_ALL_ACCESS, &child), ERROR_SUCCESS);
            walk(child, path + childName + "\\");
            RegCloseKey(child);
        }
    }

    std::string m_needle;
    RowCounts m_counts;
};

void countStore(HKEY key, std::size_t &keys, std::size_t &values)
{
    DWORD subkeys = 0, valueCount = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &valueCount,
                     nullptr, nullptr, nullptr, nullptr);
    values += valueCount;
    for (DWORD i = 0; i < subkeys; ++i) {
        char name[1024];
        DWORD len = sizeof name;
        RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr);
        HKEY child = nullptr;
        ASSERT_EQ(RegOpenKeyExA(key, name, 0, KEY_ALL_ACCESS, &child), ERROR_SUCCESS);
        ++keys;
        countStore(child, keys, values);
        RegCloseKey(child);
    }
}

class Generator : public ::testing::Test
{
protected:
    void SetUp() override { setActiveStore(std::make_shared<KeyStore>()); }

    GeneratorResult fillStore(const GeneratorOptions &options)
    {
        Win32RegistrySink sink;
        return generateRegistry(options, sink);
    }

    // Every needle's predicted rows, root by root and kind by kind, against a
    // search of the filled store.
    void expectPredictedRows(const GeneratorResult &result, std::size_t minOtherCase)
    {
        for (const NeedleResult &needle : result.needles) {
            BruteForceSearch search(needle.text);
            for (int root = 0; root < RootCount; ++root) {
                const RowCounts found = search.walkRoot(RootTable()[root].handle);
                const RowCounts &predicted = needle.perRoot[root];
                EXPECT_EQ(found.keys, predicted.keys) << needle.text << " root " << root;
                EXPECT_EQ(found.valueNames, predicted.valueNames)
                    << needle.text << " root " << root;
                EXPECT_EQ(found.stringData, predicted.stringData)
                    << needle.text << " root " << root;
                EXPECT_EQ(found.multiStrings, predicted.multiStrings)
                    << needle.text << " root " << root;
            }
            EXPECT_GE(search.hitsInOtherCase, minOtherCase) << needle.text;
        }
    }
};

TEST_F(Generator, PredictedRowsMatchASearchOfTheStore)
{
    const GeneratorOptions options = GeneratorOptions::small();
    const GeneratorResult result = fillStore(options);

    EXPECT_EQ(result.keys, 3000u);
    EXPECT_EQ(result.values, 9000u);
    std::size_t keys = 0, values = 0;
    countStore(HKEY_LOCAL_MACHINE, keys, values);
    countStore(HKEY_USERS, keys, values);
    EXPECT_EQ(keys, 3000u);
    EXPECT_EQ(values, 9000u);

    ASSERT_EQ(result.needles.size(), 2u);
    // The plan's distinct places; mirror roots add rows on top.
    EXPECT_EQ(result.needles[0].perRoot[LocalMachine].total() +
                  result.needles[0].perRoot[Users].total(),
              25u);
    EXPECT_GT(result.needles[1].mirroredScopeRows(), result.needles[1].defaultScopeRows());
    expectPredictedRows(result, 10);
}

TEST_F(Generator, OverlappingAndNonAsciiNeedlesAreCountedEach)
{
    // "brik" lies inside every planted "Fabrikam"; only ASCII letters of "Grüße" change case.
    GeneratorOptions options;
    options.keyCount = 1500;
    options.valuesPerKey = 2.5;
    options.seed = 99;
    options.needles = {
        {"Fabrikam", 40, 10, 10, 5, 5, 5},
        {"brik", 3, 2, 2, 1, 1, 1},
        {"Grüße", 10, 5, 5, 2, 2, 2},
    };
    const GeneratorResult result = fillStore(options);
    const uint64_t brikPlaces = 3 + 2 + 2 + 1 + 1 + 2;
    const uint64_t fabrikamPlaces = 40 + 10 + 10 + 5 + 5 + 10;
    const auto hiveRows = [](const NeedleResult &n) {
        return n.perRoot[LocalMachine].total() + n.perRoot[Users].total();
    };
    EXPECT_EQ(hiveRows(result.needles[1]), brikPlaces + fabrikamPlaces);
    expectPredictedRows(result, 1);
}

TEST_F(Generator, NeedleThatIsAnOrdinaryWordIsKeptOutOfTheFiller)
{
    // "Settings" and "exe" are everyday words of the filler text; only planted ones may match.
    GeneratorOptions options;
    options.keyCount = 1200;
    options.seed = 5;
    options.needles = {{"Settings", 7, 3, 3, 3, 3, 3}, {"exe", 0, 1, 1, 1, 1, 1}};
    expectPredictedRows(fillStore(options), 1);
}

TEST_F(Generator, TextDumpHasALinePerKeyAndValue)
{
    std::ostringstream out;
    TextDumpSink sink(out);
    sink.beginKey(Hive::Users, "S-1-5-21-0-0-0-1000", 1);
    sink.addValue({"", REG_SZ, std::string("Acme App\0", 9)});
    sink.beginKey(Hive::Users, "S-1-5-21-0-0-0-1000\\Run", 2);
    sink.addValue({"List", REG_MULTI_SZ, std::string("alpha\0beta\0\0", 12)});
    sink.addValue({"Blob", REG_BINARY, std::string("\x01\xab", 2)});
    sink.addValue({"Flag", REG_DWORD, std::string("\x2a\0\0\0", 4)});
    sink.endKey();
    sink.endKey();
    sink.beginKey(Hive::Machine, "Software", 1);
    sink.endKey();
    sink.finish();
    EXPECT_EQ(out.str(), "HKEY_USERS\\S-1-5-21-0-0-0-1000\\\n"
                         "\t(Standard)\tREG_SZ\tAcme App\n"
                         "HKEY_USERS\\S-1-5-21-0-0-0-1000\\Run\\\n"
                         "\tList\tREG_MULTI_SZ\talpha beta \n"
                         "\tBlob\tREG_BINARY\t01,ab\n"
                         "\tFlag\tREG_DWORD\t42\n"
                         "HKEY_LOCAL_MACHINE\\Software\\\n");
}

TEST_F(Generator, SameSeedGivesTheSameRegistry)
{
    const auto dump = [](const GeneratorOptions &options) {
        std::ostringstream out;
        TextDumpSink sink(out);
        generateRegistry(options, sink);
        return out.str();
    };
    GeneratorOptions options = GeneratorOptions::small();
    const std::string first = dump(options);
    EXPECT_EQ(dump(options), first);
    options.seed += 1;
    EXPECT_NE(dump(options), first);
}

TEST_F(Generator, BenchmarkPresetKeepsItsPromises)
{
    NullSink sink;
    const GeneratorResult result = generateRegistry(GeneratorOptions::benchmark(), sink);
    EXPECT_EQ(result.keys, 180000u);
    EXPECT_EQ(result.values, 610000u);
    EXPECT_NEAR(double(result.needles[0].defaultScopeRows()), 100, 15);
    EXPECT_NEAR(double(result.needles[1].defaultScopeRows()), 200000, 20000);
    // Registry-like shape: deep tails, a class-id-like key with thousands of subkeys,
    // keys with hundreds of values.
    EXPECT_LE(result.keysPerDepth.size(), 16u);
    EXPECT_GE(result.widestKey, 2000u);
    EXPECT_GE(result.mostValues, 100u);
}

TEST_F(Generator, RefusesOptionsItCannotMeet)
{
    NullSink sink;
    const auto withNeedle = [](std::string text, std::size_t valueNames = 1) {
        GeneratorOptions options = GeneratorOptions::small();
        options.needles = {{std::move(text), 0, valueNames, 0, 0, 0, 0}};
        return options;
    };
    EXPECT_THROW(generateRegistry(withNeedle(""), sink), std::invalid_argument);
    EXPECT_THROW(generateRegistry(withNeedle("a\\b"), sink), std::invalid_argument);
    EXPECT_THROW(generateRegistry(withNeedle("line\nbreak"), sink), std::invalid_argument);
    // A needle inside the fixed keys could not keep its count.
    EXPECT_THROW(generateRegistry(withNeedle("classes"), sink), std::invalid_argument);
    EXPECT_THROW(generateRegistry(withNeedle("Fabrikam", 10000), sink), std::invalid_argument);
    GeneratorOptions tiny = GeneratorOptions::small();
    tiny.keyCount = minimumKeyCount() - 1;
    EXPECT_THROW(generateRegistry(tiny, sink), std::invalid_argument);
}

} // namespace
