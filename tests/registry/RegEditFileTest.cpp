#include "registry/regfile/RegEditFile.h"
#include "registry/regfile/ImportFile.h"
#include "registry/regfile/RegEditText.h"
#include "registry/win32/WideText.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> utf16(std::u16string_view units)
{
    return utf16leBytes<std::vector<uint8_t>>(units);
}

std::vector<uint8_t> bytes(std::string_view s)
{
    return {s.begin(), s.end()};
}

// The written file as 8-bit text, after checking its byte-order mark.
std::string textOf(const std::string &file)
{
    EXPECT_EQ(file.substr(0, 2), "\xFF\xFE");
    return BytesFromWide(utf16leUnits(file.substr(2)));
}

std::string fileOf(std::string_view text)
{
    return "\xFF\xFE" + utf16leBytes(WideFromBytes(text));
}

} // namespace

TEST(RegEditFile, WritesFriendlyFormsOnlyWhereExact)
{
    RegEditFile file;
    file.sections.push_back({"HKEY_CURRENT_USER\\Software\\Gone", true, {}});
    file.sections.push_back(
        {"HKEY_CURRENT_USER\\Software\\k]x \"q\"",
         false,
         {
             {"", false, 1, utf16(std::u16string(u"def\0", 4))},
             {"q\"b\\", false, 1, utf16(std::u16string(u"a\r\nb\t\"\\\0", 8))},
             {"empty", false, 1, utf16(std::u16string(u"\0", 1))},
             {"none", false, 1, {}},
             {"odd", false, 1, bytes(std::string("a\0b", 3))},
             {"noterm", false, 1, utf16(u"ab")},
             {"embedded", false, 1, utf16(std::u16string(u"a\0b\0", 4))},
             {"expand", false, 2, utf16(std::u16string(u"%A%\0", 4))},
             {"dw", false, 4, {0x78, 0x56, 0x34, 0x12}},
             {"short dw", false, 4, {1, 2}},
             {"qw", false, 11, {1, 2, 3, 4, 5, 6, 7, 8}},
             {"odd type", false, 0xffff0012, {}},
             {"bin", false, 3, {}},
             {"one byte", false, 7, {'a'}},
             {"caf\xC3\xA9 \xE9", false, 0, {}}, // the last byte is not valid UTF-8
             {"old", true, 0, {}},
         }});
    file.sections.push_back({"HKEY_LOCAL_MACHINE\\Software\\B", false, {{"", true, 0, {}}}});
    EXPECT_EQ(textOf(file.write()), "Windows Registry Editor Version 5.00\r\n"
                                    "\r\n"
                                    "[-HKEY_CURRENT_USER\\Software\\Gone]\r\n"
                                    "\r\n"
                                    "[HKEY_CURRENT_USER\\Software\\k]x \"q\"]\r\n"
                                    "@=\"def\"\r\n"
                                    "\"q\\\"b\\\\\"=\"a\\r\\nb\t\\\"\\\\\"\r\n"
                                    "\"empty\"=\"\"\r\n"
                                    "\"none\"=hex(1):\r\n"
                                    "\"odd\"=hex(1):61,00,62\r\n"
                                    "\"noterm\"=hex(1):61,00,62,00\r\n"
                                    "\"embedded\"=hex(1):61,00,00,00,62,00,00,00\r\n"
                                    "\"expand\"=hex(2):25,00,41,00,25,00,00,00\r\n"
                                    "\"dw\"=dword:12345678\r\n"
                                    "\"short dw\"=hex(4):01,02\r\n"
                                    "\"qw\"=hex(b):01,02,03,04,05,06,07,08\r\n"
                                    "\"odd type\"=hex(ffff0012):\r\n"
                                    "\"bin\"=hex:\r\n"
                                    "; Wine's regedit crashes on string data of one byte; "
                                    "Quarnel's undo restores it\r\n"
                                    ";Quarnel: \"one byte\"=hex(7):61\r\n"
                                    "\"caf\xC3\xA9 \xE9\"=hex(0):\r\n"
                                    "\"old\"=-\r\n"
                                    "\r\n"
                                    "[HKEY_LOCAL_MACHINE\\Software\\B]\r\n"
                                    "@=-\r\n"
                                    "\r\n");
}

// Links, line breaks in key names, paths longer than Wine's regedit takes and
// keys below a link of the file: in our own lines, which regedit skips.
TEST(RegEditFile, WritesWhatRegeditCannotTakeInLinesOfItsOwn)
{
    const std::string hkcu = "HKEY_CURRENT_USER\\Software\\";
    std::string far = hkcu + "Far";
    while (far.size() < 32800)
        far += "\\" + std::string(200, 'f');
    std::vector<uint8_t> target(100, 'T');
    RegEditFile file;
    file.sections = {
        {hkcu + "new\nline\\cr\rkey", true, {}},
        {hkcu + "Zones", false, {{"SymbolicLinkValue", false, 6, target}}, true},
        {hkcu + "Zones\\Inside", false, {{"v", false, 4, {1, 0, 0, 0}}}},
        {hkcu + "new\nline", false, {{"v", false, 1, utf16(std::u16string(u"x\0", 2))}}},
        {far, false, {{"", false, 3, {1}}}},
        {hkcu + "Zones2", false, {{"w", false, 4, {2, 0, 0, 0}}}},
    };
    const std::string text = textOf(file.write());
    const std::string hex100 = [] {
        std::string h;
        for (int i = 0; i < 100; ++i)
            h += i ? ",54" : "54";
        return h;
    }();
    const std::string skip = "; Wine's regedit cannot restore this key (";
    const std::size_t farAt = text.find(";Quarnel: key \"HKEY_CURRENT_USER\\\\Software\\\\Far\\\\");
    ASSERT_NE(farAt, std::string::npos);
    EXPECT_EQ(text.substr(0, farAt),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n" +
                  skip +
                  "a line break in a key name); Quarnel's undo does\r\n"
                  ";Quarnel: delete \"HKEY_CURRENT_USER\\\\Software\\\\new\\nline\\\\cr\\rkey\"\r\n"
                  "\r\n" +
                  skip +
                  "a symbolic link); Quarnel's undo does\r\n"
                  ";Quarnel: link \"HKEY_CURRENT_USER\\\\Software\\\\Zones\"\r\n"
                  ";Quarnel: \"SymbolicLinkValue\"=hex(6):" +
                  hex100 + "\r\n\r\n" + skip +
                  "a key below a symbolic link); Quarnel's undo does\r\n"
                  ";Quarnel: key \"HKEY_CURRENT_USER\\\\Software\\\\Zones\\\\Inside\"\r\n"
                  ";Quarnel: \"v\"=dword:00000001\r\n"
                  "\r\n" +
                  skip +
                  "a line break in a key name); Quarnel's undo does\r\n"
                  ";Quarnel: key \"HKEY_CURRENT_USER\\\\Software\\\\new\\nline\"\r\n"
                  ";Quarnel: \"v\"=\"x\"\r\n"
                  "\r\n" +
                  skip + "a path longer than regedit takes); Quarnel's undo does\r\n");
    EXPECT_NE(
        text.find("\r\n\r\n[HKEY_CURRENT_USER\\Software\\Zones2]\r\n\"w\"=dword:00000002\r\n"),
        std::string::npos);
    RegEditFile back;
    const auto r = RegEditFile::parse(file.write(), back);
    ASSERT_TRUE(r.ok) << r.line << ": " << r.message;
    EXPECT_EQ(back.sections, file.sections);
    // One path a unit shorter than regedit's limit is an ordinary section.
    file.sections = {{"HKEY_CURRENT_USER\\" + std::string(32766, 'k'), true, {}}};
    EXPECT_EQ(textOf(file.write()).substr(38, 24), "\r\n[-HKEY_CURRENT_USER\\kk");
}

TEST(RegEditFile, ReadsBackWhatItWrites)
{
    std::vector<uint8_t> big(5000);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = uint8_t(i * 7);
    RegEditFile file;
    file.sections.push_back({"HKEY_CURRENT_USER\\Software\\New\\Path", true, {}});
    file.sections.push_back(
        {"HKEY_USERS\\.Default\\caf\xC3\xA9\xFF\\\xED\xA0\x80 [x]",
         false,
         {
             {"", false, 1, utf16(std::u16string(u"\0", 1))},
             {"\xE9\xFE name \"@\"", false, 1, utf16(std::u16string(u"\r\n\\\"\xd800\0", 6))},
             {"@", false, 2, bytes(std::string("a\0b", 3))},
             {"big", false, 3, big},
             {"dw", false, 4, {0, 0, 0, 0x80}},
             {"none", false, 0, {}},
             {"gone", true, 0, {}},
         }});
    RegEditFile back;
    const auto r = RegEditFile::parse(file.write(), back);
    ASSERT_TRUE(r.ok) << r.line << ": " << r.message;
    EXPECT_EQ(back.sections, file.sections);
}

TEST(RegEditFile, ReadsTheEditorsExportsAndReportsErrorsByLine)
{
    RegEditFile file;
    auto r = RegEditFile::parse(fileOf("Windows Registry Editor Version 5.00\r\n\r\n"
                                       "; a comment\r\n"
                                       "[HKEY_CURRENT_USER\\Software\\Exp]\r\n"
                                       "\"spaced\" = \"x\\qy\" ; text after the string\r\n"
                                       "\"wrapped\"=hex(7):61,00,\\\r\n"
                                       "00,  00 ,\\\r\n"
                                       "\t\t0,0\r\n"
                                       "\"short\"=dword:2a\r\n"
                                       "\"crlf\"=\"a\\r\\nb\"\r\n"),
                                file);
    ASSERT_TRUE(r.ok) << r.line << ": " << r.message;
    ASSERT_EQ(file.sections.size(), 1u);
    const auto &v = file.sections[0].values;
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[0].data, utf16(std::u16string(u"xqy\0", 4)));
    EXPECT_EQ(v[1].data, (std::vector<uint8_t>{0x61, 0, 0, 0, 0, 0}));
    EXPECT_EQ(v[2].data, (std::vector<uint8_t>{0x2a, 0, 0, 0}));
    EXPECT_EQ(v[3].data, utf16(std::u16string(u"a\r\nb\0", 5)));
    // Plain UTF-8 with LF line ends reads too.
    r = RegEditFile::parse(
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n@=\"\xC3\xA9\"\n", file);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(file.sections[0].values[0].data, utf16(std::u16string(u"\u00e9\0", 2)));

    const std::pair<const char *, std::size_t> errors[] = {
        {"REGEDIT5\r\n", 1},
        {"Windows Registry Editor Version 5.00\r\n\"v\"=\"x\"\r\n", 2},
        {"Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=hex:0102\r\n", 3},
        {"Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=str(2):\"x\"\r\n",
         3},
        {"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A\r\n", 3},
        {"Windows Registry Editor Version 5.00\r\n;Quarnel: key HKEY_CURRENT_USER\r\n", 2},
        {"Windows Registry Editor Version 5.00\r\n;Quarnel: keys \"HKEY_CURRENT_USER\"\r\n", 2},
    };
    for (const auto &[text, line] : errors) {
        r = RegEditFile::parse(fileOf(text), file);
        EXPECT_FALSE(r.ok) << text;
        EXPECT_EQ(r.line, line) << text << r.message;
    }
}

// One pass: each faulty line is noted with its line and the reading goes on, a
// value's wrapped lines and the values of a key line that did not read with it.
TEST(RegEditFile, FindsEveryFaultInOnePass)
{
    const std::string text = "Windows Registry Editor Version 5.00\r\n"
                             "\"early\"=\"x\"\r\n"
                             "[HKEY_CURRENT_USER\\A\r\n"
                             "\"v\"=\"x\"\r\n"
                             "[HKEY_CURRENT_USER\\B]\r\n"
                             "\"bin\"=hex:01,zz,\\\r\n"
                             "  02,03\r\n"
                             "\"ok\"=dword:1\r\n"
                             "\"wrapped\"=hex:01,\\\r\n"
                             "  0x,02\r\n"
                             "[HKEY_CURRENT_USER\\Cut" +
                             std::string(1, '\0') +
                             "Here]\r\n"
                             "\"a" +
                             std::string(1, '\0') +
                             "b\"=\"x\"\r\n"
                             "\"own\"=\"a\\0b\"\r\n"
                             ";Quarnel: key \"HKEY_CURRENT_USER\\\\x\\0y\"\r\n"
                             "this is no line\r\n"
                             "\"last\"=hex:01,\\";
    using Faults = std::vector<std::pair<std::size_t, std::string>>;
    const Faults expected{{2, "value before the first key"},
                          {3, "malformed key line"},
                          {6, "malformed hex data"},
                          {10, "malformed hex data"},
                          {11, "a key name holds a NUL character"},
                          {12, "a value name holds a NUL character"},
                          {14, "a key name holds a NUL character"},
                          {15, "unrecognized line"},
                          {16, "the file ends inside hex data"}};
    // 8-bit and UTF-16 text alike.
    for (const std::string &bytes : {text, fileOf(text)}) {
        RegEditFile file;
        const RegEditParseResult r = RegEditFile::parse(bytes, file);
        Faults found;
        for (const RegEditFault &f : r.faults)
            found.emplace_back(f.line, f.reason);
        EXPECT_EQ(found, expected);
        EXPECT_EQ(r.faultCount, expected.size());
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.line, 2u);
        EXPECT_EQ(r.message, "value before the first key");
    }

    // However many there are, all are counted; the first ones are listed.
    std::string many = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n";
    for (int i = 0; i < 1500; ++i)
        many += "\"v\"=dword:zz\n";
    RegEditFile file;
    const RegEditParseResult r = RegEditFile::parse(many, file);
    EXPECT_EQ(r.faultCount, 1500u);
    ASSERT_EQ(r.faults.size(), RegEditParseResult::kListedFaults);
    EXPECT_EQ(r.faults.back().line, 1002u);
}

// UTF-16LE with and without its mark, UTF-8 with and without its, and REGEDIT4
// in the ANSI code page, its string data in hex too; a byte that does not decode
// is a fault of its line.
TEST(RegEditFile, DecodesEachFormOfText)
{
    const std::string utf8 = "\r\n[HKEY_CURRENT_USER\\\xC3\xA4rger]\r\n\"a\"=\"caf\xC3\xA9\"\r\n";
    const std::string header5 = "Windows Registry Editor Version 5.00";
    const std::string wide = fileOf(header5 + utf8);
    const std::string old = "REGEDIT4\r\n[HKEY_CURRENT_USER\\\xE4rger]\r\n\"a\"=\"caf\xE9\"\r\n";
    struct Case
    {
        std::string bytes;
        unsigned codePage;
        std::string path; // below HKEY_CURRENT_USER
        std::u16string data;
    };
    const Case cases[] = {
        {wide, 1252, "\xC3\xA4rger", u"caf\u00e9"},
        {wide.substr(2), 1252, "\xC3\xA4rger", u"caf\u00e9"},
        {header5 + utf8, 1252, "\xC3\xA4rger", u"caf\u00e9"},
        {"\xEF\xBB\xBF" + header5 + utf8, 1252, "\xC3\xA4rger", u"caf\u00e9"},
        {old, 1252, "\xC3\xA4rger", u"caf\u00e9"},
        {old, 1251, "\xD0\xB4rger", u"caf\u0439"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bytes);
        RegEditFile file;
        RegEditReadOptions options;
        options.codePage = c.codePage;
        const RegEditParseResult r = RegEditFile::parse(c.bytes, file, options);
        ASSERT_TRUE(r.ok) << r.line << ": " << r.message;
        ASSERT_EQ(file.sections.size(), 1u);
        EXPECT_EQ(file.sections[0].path, "HKEY_CURRENT_USER\\" + c.path);
        ASSERT_EQ(file.sections[0].values.size(), 1u);
        EXPECT_EQ(file.sections[0].values[0].data, utf16(c.data + u'\0'));
    }

    // REGEDIT4's string data in hex is 8-bit text as well; binary data stays bytes.
    RegEditFile file;
    RegEditReadOptions cp1252;
    cp1252.codePage = 1252;
    ASSERT_TRUE(RegEditFile::parse("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n"
                                   "\"e\"=hex(2):41,80,00\n\"m\"=hex(7):61,e9,00,00\n"
                                   "\"s\"=hex(1):41,81,00\n\"b\"=hex:41,e9\n",
                                   file, cp1252)
                    .ok);
    const auto &v = file.sections.at(0).values;
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[0].data, utf16(std::u16string(u"A\u20ac\0", 3)));
    EXPECT_EQ(v[1].data, utf16(std::u16string(u"a\u00e9\0\0", 4)));
    EXPECT_EQ(v[2].data, utf16(std::u16string(u"A\u0081\0", 3)));
    EXPECT_EQ(v[3].data, bytes("A\xE9"));

    const struct
    {
        std::string bytes;
        unsigned codePage;
        std::size_t line;
        std::string reason;
    } faults[] = {
        {header5 + "\r\n[HKEY_CURRENT_USER\\\xE4rger]\r\n", 1252, 2, "byte 0xE4 is not UTF-8"},
        {header5 + "\n[HKEY_CURRENT_USER\\\xED\xA0\x80]\n", 1252, 2, "byte 0xED is not UTF-8"},
        {wide + "A", 1252, 4, "the file ends in half a UTF-16 character"},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"a\"=\"\x81 \"\r\n", 932, 3,
         "byte 0x81 is no character of code page 932"},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"a\"=hex(2):41,81,20,00\r\n", 932, 3,
         "byte 0x81 is no character of code page 932"},
    };
    for (const auto &f : faults) {
        SCOPED_TRACE(f.bytes);
        RegEditReadOptions options;
        options.codePage = f.codePage;
        const RegEditParseResult r = RegEditFile::parse(f.bytes, file, options);
        ASSERT_EQ(r.faults.size(), 1u);
        EXPECT_EQ(r.faults[0].line, f.line);
        EXPECT_EQ(r.faults[0].reason, f.reason);
    }
}

TEST(RegEditText, AnsiCodePageFollowsTheLocalesLanguage)
{
    const std::pair<const char *, unsigned> locales[] = {
        {"C", 1252},           {"C.UTF-8", 1252},        {"de_DE.UTF-8", 1252},
        {"en_US", 1252},       {"ru_RU.KOI8-R", 1251},   {"sr_RS@latin", 1250},
        {"pl_PL.UTF-8", 1250}, {"el_GR", 1253},          {"tr_TR.UTF-8", 1254},
        {"he_IL", 1255},       {"ar_EG", 1256},          {"lt_LT", 1257},
        {"vi_VN", 1258},       {"th_TH", 874},           {"ja_JP.UTF-8", 932},
        {"ko_KR", 949},        {"zh_CN.UTF-8", 936},     {"zh_TW.Big5", 950},
        {"zh_HK", 950},        {"uz_UZ@cyrillic", 1251}, {"sr_RS", 1251},
    };
    for (const auto &[name, codePage] : locales)
        EXPECT_EQ(quarnel::ansiCodePageOf(name), codePage) << name;
}

// The import's reading: faults of the file and of the registry's roots, counts,
// and the sections read again from the file as they were checked.
TEST(ImportFile, CountsChecksRootsAndReadsTheFileAgainForEachStep)
{
    const quarnel::ImportRead faulty =
        quarnel::readImportFile("Windows Registry Editor Version 5.00\n"
                                "[NOROOT\\Software]\n\"v\"=\"x\"\n"
                                "[-HKEY_CURRENT_USER]\n"
                                "[HKEY_CURRENT_USER\\A]\n\"w\"=dword:zz\n");
    ASSERT_EQ(faulty.faultCount, 3u);
    EXPECT_EQ(faulty.faults[0].line, 2u);
    EXPECT_EQ(faulty.faults[0].reason, "\"NOROOT\" is not a registry root");
    EXPECT_EQ(faulty.faults[1].reason, "a whole root cannot be deleted");
    EXPECT_EQ(faulty.faults[2].line, 6u);
    EXPECT_EQ(faulty.faultCountText(), "3 faults");
    EXPECT_EQ(faulty.keys + faulty.values + faulty.bytes.size(), 0u);

    const std::string text = "Windows Registry Editor Version 5.00\n"
                             "[HKEY_CURRENT_USER\\A]\n\"v\"=\"x\"\n\"w\"=-\n"
                             "[-HKEY_LOCAL_MACHINE\\B]\n";
    std::vector<std::size_t> told;
    const quarnel::ImportRead read =
        quarnel::readImportFile(text, [&](std::size_t done, std::size_t total) {
            EXPECT_EQ(total, text.size());
            told.push_back(done);
        });
    EXPECT_EQ(read.faultCount, 0u);
    EXPECT_EQ(read.countText(), "2 keys and 2 values");
    EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.back(), text.size());
    RegEditFile whole, again;
    ASSERT_TRUE(RegEditFile::parse(text, whole).ok);
    read.forEachSection([&](const RegEditSection &s) { again.sections.push_back(s); });
    EXPECT_EQ(again.sections, whole.sections);

    const std::string folder = std::filesystem::temp_directory_path().string();
    EXPECT_EQ(quarnel::readImportPath(folder).error,
              folder + " is not a file that can be read; nothing was changed");
    EXPECT_EQ(quarnel::readImportPath(folder + "/none.reg").error,
              folder + "/none.reg is not a file that can be read; nothing was changed");
}
