// Export… of result rows on a scratch copy of a Wine-written prefix, imported by
// Wine's own `regedit /s` into another copy: exactly the keys and values the rows
// stand for arrive, of every type, byte for byte.
#include "tests/results/BulkEditFixture.h"

#include "registry/kinds/SourceKinds.h"
#include "results/ExportDialog.h"
#include "tests/wine/WineTestSupport.h"

#include <algorithm>
#include <cstdio>

using namespace quarnel::test;
using namespace std::string_literals;

namespace {

const std::string kArea = "\\Software\\QuExport";

void setRaw(const std::string &path, const std::string &name, DWORD type, const std::string &data)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str() + 1, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, type,
                             reinterpret_cast<const BYTE *>(data.data()), DWORD(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// One value a line: its key, name, type and bytes in hex.
std::string valueLine(TRegistry &reg, const std::string &path, const std::string &name)
{
    std::vector<uint8_t> bytes;
    DWORD type = 0;
    if (!reg.FetchStored(name, bytes, type)) return path + " [" + name + "] missing\n";
    std::string line = path + " [" + name + "] " + std::to_string(type) + ":";
    char hex[4];
    for (uint8_t byte : bytes) {
        std::snprintf(hex, sizeof hex, " %02x", byte);
        line += hex;
    }
    return line + '\n';
}

// The key with every value and every key below it, in name order.
std::string treeDump(const std::string &path)
{
    TRegistry reg;
    reg.SelectRoot(HKEY_CURRENT_USER);
    if (!reg.OpenPath(path)) return path + " missing\n";
    std::string out = path + '\n';
    std::vector<std::string> names, subkeys;
    reg.ListValueNames(names);
    std::sort(names.begin(), names.end());
    for (const std::string &name : names)
        out += valueLine(reg, path, name);
    reg.ListSubkeys(subkeys);
    std::sort(subkeys.begin(), subkeys.end());
    for (const std::string &subkey : subkeys)
        out += treeDump(path + '\\' + subkey);
    return out;
}

std::string valueDump(const std::string &path, const std::vector<std::string> &names)
{
    TRegistry reg;
    reg.SelectRoot(HKEY_CURRENT_USER);
    if (!reg.OpenPath(path)) return path + " missing\n";
    std::string out;
    for (const std::string &name : names)
        out += valueLine(reg, path, name);
    return out;
}

} // namespace

class ExportByWineTest : public BulkEditTest
{
protected:
    void TearDown() override
    {
        ExportDialog::setChooser({});
        quarnel::platform::closeRegistry();
    }
};

TEST_F(ExportByWineTest, ExportedRowsImportedByRegeditGiveExactlyTheirKeysAndValues)
{
    REQUIRE_PREFIX();
    const std::string from = scratchPrefix();
    ASSERT_EQ(quarnel::platform::openRegistryAt(from, true).status,
              quarnel::platform::RegistryOpened::Status::Ok);
    // Every type, in a key exported whole (with keys below it, one of them empty)
    // and in a key of which some values are exported.
    const std::vector<std::pair<DWORD, std::string>> data = {
        {REG_SZ, "text \xC3\xA4\0"s},
        {REG_EXPAND_SZ, "%SystemRoot%\\x\0"s},
        {REG_MULTI_SZ, "one\0two\0\0"s},
        {REG_DWORD, "\x80\x07\0\0"s},
        {REG_DWORD_BIG_ENDIAN, "\0\0\x07\x80"s},
        {REG_QWORD, "\x01\x02\x03\x04\x05\x06\x07\x08"s},
        {REG_BINARY, "\xDE\xAD\0\xBE\xEF"s},
        {REG_NONE, "\x01"s},
        {0x1234, "odd type"s},
    };
    std::vector<std::string> someNames;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::string name = "v" + std::to_string(i);
        setRaw(kArea + "\\Whole", name, data[i].first, data[i].second);
        setRaw(kArea + "\\Some", name, data[i].first, data[i].second);
        someNames.push_back(name);
    }
    setRaw(kArea + "\\Whole", "", REG_SZ, "whole's default\0"s);
    setRaw(kArea + "\\Whole\\Inner", "x", REG_SZ, "y\0"s);
    makeKey(kArea.substr(1) + "\\Whole\\Inner\\Empty");
    setRaw(kArea + "\\Some", "", REG_SZ, "some default\0"s);
    setRaw(kArea + "\\Some", "left", REG_SZ, "not exported\0"s);

    // A key row, a data row, the default value's row and name rows of every type.
    addKeyRow(kArea.substr(1) + "\\Whole\\");
    addDataRow(kArea.substr(1) + "\\Some\\", "v0", "REG_SZ", "text \xC3\xA4");
    addDefaultRow(kArea.substr(1) + "\\Some\\", "REG_SZ", "some default");
    for (const std::string &name : someNames)
        addNameRow(kArea.substr(1) + "\\Some\\", name);
    selectAll();
    const std::string file = from + "/hits.reg";
    ExportDialog::setChooser([&](std::string &path, RowFormat &format) {
        path = file;
        format = RowFormat::Reg;
        return true;
    });
    WindowHarness::trigger(form().Export1);
    ASSERT_TRUE(boxes().empty()) << boxes()[0].text;
    someNames.push_back("");
    const std::string whole = treeDump(kArea + "\\Whole");
    const std::string some = valueDump(kArea + "\\Some", someNames);
    ASSERT_EQ(quarnel::platform::closeRegistry(), "");

    const std::string to = scratchPrefix(true);
    const std::string command = "wine regedit /s \"" + file + "\"; rc=$?; wineserver -w; exit $rc";
    std::string output;
    int status = runInPrefix(to, command, &output);
    if (status != 0) // Wine beside other tests' Wine at times does not start: once more
        status = runInPrefix(to, command, &output);
    ASSERT_EQ(status, 0) << output;

    ASSERT_EQ(quarnel::platform::openRegistryAt(to, true).status,
              quarnel::platform::RegistryOpened::Status::Ok);
    EXPECT_EQ(treeDump(kArea + "\\Whole"), whole);
    someNames.push_back("left");
    EXPECT_EQ(valueDump(kArea + "\\Some", someNames), some + kArea + "\\Some [left] missing\n");
}
