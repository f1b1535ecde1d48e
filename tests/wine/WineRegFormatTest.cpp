// The reader and writer on hand-made text: what Wine writes for each kind of
// value and escape, what it accepts, and what we refuse.
#include "registry/win32/FileTime.h"
#include "registry/win32/WideText.h"
#include "registry/wine/WineRegParts.h"
#include "registry/wine/WineRegReader.h"
#include "registry/wine/WineRegWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

using namespace quarnel::platform;
using namespace quarnel::platform::wine;

namespace {

const std::string kHead = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n"
                          "#arch=win64\n";

std::string section(const std::string &path, const std::string &body)
{
    return "\n[" + path + "] 1796630854\n#time=1dd8622040f4106\n" + body;
}

struct Loaded
{
    RegKey root;
    Preamble preamble;
    ReadResult result;
};

// The text as a file read by offset, a few bytes at a time.
TextAt fileOf(const std::string &text)
{
    return [&text](uint64_t at, char *to, std::size_t room, std::size_t &got) {
        at = std::min<uint64_t>(at, text.size());
        got = std::min<std::size_t>({room, text.size() - at, 1 + at % 7});
        std::memcpy(to, text.data() + at, got);
        return true;
    };
}

void expectSameRead(const Loaded &other, const Loaded &whole, const std::string &text)
{
    EXPECT_EQ(other.result.ok, whole.result.ok) << text;
    EXPECT_EQ(other.result.line, whole.result.line) << text;
    EXPECT_EQ(other.result.message, whole.result.message) << text;
    if (whole.result.ok) {
        EXPECT_EQ(writeHive(other.root, other.preamble), writeHive(whole.root, whole.preamble))
            << text;
    }
}

// Read whole, and again a few bytes at a time as files are, and in parts side
// by side from every place a part may start (one at a time, and all at once):
// each must give the same keys, and the same failure on the same line.
std::unique_ptr<Loaded> load(const std::string &text)
{
    auto l = std::make_unique<Loaded>();
    l->result = readHive(text, l->root, l->preamble);
    Loaded pieces;
    std::size_t at = 0, step = 0;
    pieces.result = readHive(
        [&](char *to, std::size_t room, std::size_t &got) {
            got = std::min({room, text.size() - at, 1 + step++ % 7});
            std::memcpy(to, text.data() + at, got);
            at += got;
            return true;
        },
        pieces.root, pieces.preamble);
    expectSameRead(pieces, *l, text);
    const TextAt file = fileOf(text);
    const std::vector<uint64_t> starts = partStarts(file, text.size(), text.size());
    for (std::size_t i = 1; i < starts.size(); ++i) {
        Loaded parts;
        parts.result = readHiveParts(file, text.size(), {0, starts[i]}, parts.root, parts.preamble);
        expectSameRead(parts, *l, text);
    }
    if (starts.size() > 2) {
        Loaded parts;
        parts.result = readHiveParts(file, text.size(), starts, parts.root, parts.preamble);
        expectSameRead(parts, *l, text);
    }
    return l;
}

// Reads the text and writes it again; the text must come back unchanged.
void expectRoundTrip(const std::string &text)
{
    auto l = load(text);
    ASSERT_TRUE(l->result.ok) << l->result.line << ": " << l->result.message;
    EXPECT_EQ(writeHive(l->root, l->preamble), text);
}

std::vector<uint8_t> utf16z(std::u16string_view s)
{
    return utf16leBytes<std::vector<uint8_t>>(std::u16string(s) + u'\0');
}

// The value line the writer produces for one value.
std::string lineFor(std::u16string name, uint32_t type, std::vector<uint8_t> data)
{
    RegKey root;
    bool created;
    RegKey &k = root.addSubkey(u"K", created);
    k.lastWriteTime = 0x1dd8622040f4106;
    k.setValue(name, type, data);
    const std::string all = writeHive(root, {});
    const std::size_t at = all.find("#time=1dd8622040f4106\n") + 22;
    return all.substr(at);
}

} // namespace

TEST(WineRegFormat, EveryValueFormRoundTrips)
{
    // The hive root's own values come first, under an empty path.
    expectRoundTrip(kHead + section("", "\"atRoot\"=\"hive root\"\n") +
                    section("Software\\\\Forms", "@=\"default\"\n"
                                                 "\"@\"=\"named at\"\n"
                                                 "\"bin\"=hex:00,ff,10\n"
                                                 "\"d\"=dword:12345678\n"
                                                 "\"e\"=str(2):\"%PATH%;x\"\n"
                                                 "\"empty\"=hex:\n"
                                                 "\"m\"=str(7):\"one\\0two\\0three\\0\"\n"
                                                 "\"m2\"=hex(7):61,00,00,00,62,00\n"
                                                 "\"n\"=hex(0):\n"
                                                 "\"odd\"=hex(1):61,00,62,00,63\n"
                                                 "\"q\"=hex(b):01,02,03,04,05,06,07,08\n"
                                                 "\"w\"=hex(ffff0012):01\n") +
                    section("Software\\\\Forms\\\\Escapes",
                            "\"[br]\"=\"\\x20ac\\xe9g\\x00e90\\x00e9F\\xd83d\\xde00\x7f\"\n"
                            "\"a\\\"q\\\\b\"=\"\\a\\b\\t\\n\\v\\f\\r\\e\\0001\\1\\37\\28\"\n") +
                    section("Software\\\\quo\"te\\\\\\[x\\]", "#class=\"My\\\"Class\\xe9\"\n") +
                    section("Software\\\\Wow6432Node\\\\Link",
                            "#link\n\"SymbolicLinkValue\"=hex(6):5c,00,52,00\n"));
}

TEST(WineRegFormat, WritesValuesInWinesNormalForm)
{
    EXPECT_EQ(lineFor(u"", 1, utf16z(u"")), "@=\"\"\n");
    EXPECT_EQ(lineFor(u"s", 1, {}), "\"s\"=hex(1):\n");
    EXPECT_EQ(lineFor(u"s", 1, {'a', 0, 0, 0, 0, 0}), "\"s\"=\"a\\0\"\n");
    EXPECT_EQ(lineFor(u"m", 7, {'a', 0, 0, 0, 'b', 0, 0, 0}), "\"m\"=str(7):\"a\\0b\"\n");
    EXPECT_EQ(lineFor(u"d", 4, {1, 2}), "\"d\"=hex(4):01,02\n");
    EXPECT_EQ(lineFor(u"d", 4, {0x78, 0x56, 0x34, 0x12}), "\"d\"=dword:12345678\n");
    EXPECT_EQ(lineFor(u"b", 5, {0x78, 0x56}), "\"b\"=hex(5):78,56\n");
    // Escape padding depends on the next character.
    EXPECT_EQ(lineFor(u"x", 1,
                      utf16z(u"\u0001"
                             u"7\u0002"
                             u"8")),
              "\"x\"=\"\\0017\\28\"\n");
    EXPECT_EQ(lineFor(u"x", 1,
                      utf16z(u"\u0100"
                             u"0\u00e9"
                             u"g")),
              "\"x\"=\"\\x01000\\xe9g\"\n");
}

TEST(WineRegFormat, WrapsHexLikeWine)
{
    std::vector<uint8_t> bytes(200);
    for (int i = 0; i < 200; ++i)
        bytes[i] = uint8_t(i);
    const std::string text = lineFor(u"bin200", 3, bytes);
    const std::size_t first = text.find('\n');
    EXPECT_EQ(first, 80u);
    EXPECT_EQ(text.substr(0, 80), "\"bin200\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,"
                                  "0f,10,11,12,13,14,15,\\");
    const std::size_t second = text.find('\n', first + 1);
    EXPECT_EQ(second - first - 1, 78u);
    // A long name breaks after the first byte; strings never wrap.
    EXPECT_EQ(lineFor(std::u16string(80, u'n'), 3, {1, 2}).find("01,\\\n  02"), 87u);
    EXPECT_EQ(lineFor(u"s", 1, utf16z(std::u16string(600, u'a'))).find('\\'), std::string::npos);
}

TEST(WineRegFormat, WritesOnlyTheKeysWineWrites)
{
    auto l = load(kHead + section("A\\\\B", "") + section("A\\\\C", "\"v\"=\"1\"\n"));
    ASSERT_TRUE(l->result.ok);
    bool created;
    RegKey &vol = l->root.findSubkey(u"A")->findSubkey(u"B")->addSubkey(u"Vol", created);
    vol.isVolatile = true;
    const std::string out = writeHive(l->root, l->preamble);
    EXPECT_EQ(out.find("[A]"), std::string::npos);      // only subkeys: implied by their paths
    EXPECT_NE(out.find("[A\\\\B]"), std::string::npos); // children all volatile: kept as a leaf
    EXPECT_EQ(out.find("Vol"), std::string::npos);
}

TEST(WineRegFormat, AcceptsWhatWineAccepts)
{
    auto l = load("WINE REGISTRY Version 2\r\n\r\n[b\\\\c]1796628000 trailing\r\n"
                  "  \"x\" = \"caf\xc3\xa9\" ignored\r\n"
                  "\"h\"=hex:1,AB, \\\r\n\t02,\r\n"
                  "\"d\"=dword:-1\r\n"
                  "\"o\"=dword:1fedcba9876543210\r\n\"o16\"=dword:fedcba9876543210\r\n"
                  "\"t\"=hex:01,\\\n\n"
                  "[\\\\a\\\\] 1796628000\r\n\"v\"=\"1\"\r\n"
                  "[B\\\\C] 5\r\n#time=zzzz\r\n\"x\"=\"later\"\r\n");
    ASSERT_TRUE(l->result.ok) << l->result.line << ": " << l->result.message;
    RegKey *c = l->root.findSubkey(u"b")->findSubkey(u"c");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->lastWriteTime, 0x1dd861b5e945000u); // the first section's time stays
    EXPECT_EQ(c->findValue(u"x")->dataCopy(), utf16z(u"later"));
    EXPECT_EQ(c->findValue(u"h")->dataCopy(), (std::vector<uint8_t>{1, 0xab, 2}));
    EXPECT_EQ(c->findValue(u"d")->dataCopy(), (std::vector<uint8_t>{0xff, 0xff, 0xff, 0xff}));
    // strtoul's overflow gives all ones; sixteen digits only wrap to 32 bits.
    EXPECT_EQ(c->findValue(u"o")->dataCopy(), (std::vector<uint8_t>{0xff, 0xff, 0xff, 0xff}));
    EXPECT_EQ(c->findValue(u"o16")->dataCopy(), (std::vector<uint8_t>{0x10, 0x32, 0x54, 0x76}));
    EXPECT_EQ(c->findValue(u"t")->dataCopy(), (std::vector<uint8_t>{1}));
    EXPECT_TRUE(l->root.findSubkey(u"a"));
    ASSERT_TRUE(c->extra); // the invalid #time is kept, not interpreted
    EXPECT_EQ(c->extra->unknownLines.front(), "#time=zzzz");
}

// A big file is read in parts side by side; a key whose sections lie in two
// parts ends up as if the file had been read in one.
TEST(WineRegFormat, ReadsAKeySplitAcrossPartsAsInOne)
{
    const std::string text = kHead + "\n[A\\\\B] 1000\n#time=1d000000000000a\n#class=\"first\"\n"
                                     "\"v\"=\"1\"\n\"w\"=\"keep\"\n"
                                     "\n[A\\\\C] 1000\n\"c\"=dword:1\n"
                                     "\n[] 2000\n\"r\"=\"root\"\n"
                                     "\n[a\\\\B] 3000\n#time=1\n#class=\"\"\n#link\n; later\n"
                                     "\"V\"=\"2\"\n\"x\"=\"new\"\n"
                                     "\n[a\\\\d] 4000\n\"d\"=\"1\"\n";
    auto whole = load(text); // also every single split against the whole read
    ASSERT_TRUE(whole->result.ok) << whole->result.line << ": " << whole->result.message;
    const TextAt file = fileOf(text);
    Loaded parts;
    const std::vector<uint64_t> starts = partStarts(file, text.size(), text.size());
    ASSERT_EQ(starts.size(), 6u);
    ASSERT_TRUE(readHiveParts(file, text.size(), starts, parts.root, parts.preamble).ok);
    for (const RegKey *root : {&whole->root, &parts.root}) {
        EXPECT_EQ(root->lastWriteTime, fileTimeFromUnixSeconds(2000));
        const RegKey *a = root->findSubkey(u"A");
        ASSERT_TRUE(a);
        EXPECT_EQ(a->lastWriteTime, fileTimeFromUnixSeconds(1000)); // the section that made it
        const RegKey *b = a->findSubkey(u"B");
        ASSERT_TRUE(b);
        EXPECT_EQ(b->lastWriteTime, 0x1d000000000000au);
        EXPECT_EQ(b->className(), u""); // the later #class, though empty
        EXPECT_TRUE(b->isLink);
        ASSERT_TRUE(b->extra);
        EXPECT_EQ(b->extra->unknownLines, std::vector<std::string>{"; later"});
        ASSERT_EQ(b->values.size(), 3u);
        EXPECT_TRUE(sameUnits(b->values[0].name(), UnitText(u"v"))); // the first spelling
        EXPECT_EQ(b->values[0].dataCopy(), utf16z(u"2"));
        EXPECT_EQ(b->values[1].dataCopy(), utf16z(u"keep"));
        EXPECT_EQ(b->values[2].dataCopy(), utf16z(u"new"));
        ASSERT_TRUE(a->findSubkey(u"d"));
        EXPECT_EQ(a->findSubkey(u"d")->lastWriteTime, fileTimeFromUnixSeconds(4000));
        EXPECT_EQ(a->findSubkey(u"d")->parent, a);
        EXPECT_EQ(a->subkeys.size(), 3u);
    }
}

TEST(WineRegFormat, KeepsLinesItDoesNotInterpret)
{
    expectRoundTrip(kHead + "#future=1\n" +
                    section("K", "#unknownmeta=5\n; comment\n\"v\"=\"1\"\n"));
}

TEST(WineRegFormat, RefusesWhatWineWouldDropOrEmpty)
{
    const struct
    {
        std::string body;
        std::size_t line;
        std::string message;
    } cases[] = {
        {"\"u\"=foo:1234\n", 8, "malformed value"},
        {"\"u\"=hex(zz):01\n", 8, "malformed value"},
        {"\"u\"=hex:0102\n", 8, "malformed value"},
        {"\"u\"=str(4):\"x\"\n", 8, "malformed value"},
        {"\"a5\"=\n", 8, "malformed value"},
        {"\"e\"=\"abc\n", 8, "unterminated string"},
        {"\"e\"=\"abc\\\"\n", 8, "unterminated string"},
        {"\"u\"=HEX:01\n", 8, "malformed value"},
        {"\"u\"=hex:01,02\\\n  03\n", 8, "malformed value"},
        {"\"u\"=hex:01 x\n", 8, "malformed value"},
        {"this is garbage\n", 8, "unrecognized input"},
        {"q=unquoted\n", 8, "unrecognized input"},
        {"\"lat\"=\"caf\xe9\"\n", 8, "invalid UTF-8"},
        {std::string("\"b\"=\"x\"\n\"bin\"=\"\0\"\n", 18), 9, "binary data"},
        {std::string("garbage\n\"bin\"=\"\0\"\n", 17), 9, "binary data"},
        {std::string("garbage\n\n[L]\n\"bin\"=\"\0\"\n", 23), 11, "binary data"},
        {"\"u\"=hex:01,\\", 8, "ends inside a value"},
        {"\"s\"=\"trunc", 8, "unterminated"},
        {"[key\n", 8, "malformed key"},
    };
    for (const auto &c : cases) {
        auto l = load(kHead + section("K", c.body));
        EXPECT_FALSE(l->result.ok) << c.body;
        EXPECT_EQ(l->result.line, c.line) << c.body;
        EXPECT_NE(l->result.message.find(c.message), std::string::npos)
            << c.body << " gave " << l->result.message;
    }
    EXPECT_FALSE(load("")->result.ok);
    EXPECT_FALSE(load("\xef\xbb\xbfWINE REGISTRY Version 2\n")->result.ok);
    EXPECT_FALSE(load("WINE REGISTRY Version 3\n")->result.ok);
    // Nothing after the first line counts then, not even a NUL in a later part.
    EXPECT_EQ(load(std::string("WINE REGISTRY Version 3\n\n[K]\n\0\n", 31))->result.line, 1u);
    EXPECT_EQ(load("WINE REGISTRY Version 2\n\"v\"=\"1\"\n")->result.message, "value without key");

    // A later part that cannot be read, or throws, changes nothing of what one read
    // meets first: here a NUL in the first part.
    for (const bool nulFirst : {true, false}) {
        const std::string text = kHead +
                                 section("K", nulFirst ? std::string("\"b\"=\"\0\"\n", 8) : "") +
                                 section("L", "\"v\"=\"1\"\n");
        const uint64_t seam = partStarts(fileOf(text), text.size(), text.size()).back();
        const auto lateFails = [&](bool throws) -> TextAt {
            return [&, throws](uint64_t at, char *to, std::size_t room, std::size_t &got) {
                if (at < seam) return fileOf(text)(at, to, room, got);
                if (throws) throw std::runtime_error("read");
                return false;
            };
        };
        Loaded unread, thrown;
        unread.result =
            readHiveParts(lateFails(false), text.size(), {0, seam}, unread.root, unread.preamble);
        EXPECT_EQ(unread.result.unreadable, !nulFirst);
        if (!nulFirst) {
            EXPECT_THROW(readHiveParts(lateFails(true), text.size(), {0, seam}, thrown.root,
                                       thrown.preamble),
                         std::runtime_error);
            continue;
        }
        EXPECT_EQ(unread.result.line, 8u);
        EXPECT_EQ(unread.result.message, "binary data (a NUL byte) in the file");
        thrown.result =
            readHiveParts(lateFails(true), text.size(), {0, seam}, thrown.root, thrown.preamble);
        EXPECT_EQ(thrown.result.message, unread.result.message);
    }
}

// Text is copied in words of several bytes: an escape, a multi-byte character
// or the closing quote at any offset in such a word must read the same, and hex
// data in any mix of Wine's and hand-written spellings.
TEST(WineRegFormat, ReadsEscapesAndHexAtEveryOffset)
{
    const std::pair<std::string, std::u16string> stops[] = {{"", u""},
                                                            {"\\\\", u"\\"},
                                                            {"\\\"", u"\""},
                                                            {"\xc3\xa9", u"\u00e9"},
                                                            {"\\x20ac", u"\u20ac"},
                                                            {"\\xe9", u"\u00e9"},
                                                            {"\\777", u"\u01ff"},
                                                            {"\xf0\x9f\x98\x80", u"\U0001F600"},
                                                            {"]", u"]"}};
    for (std::size_t k = 0; k <= 33; ++k)
        for (const auto &[text, units] : stops) {
            const std::string plain(k, 'p');
            const std::string body = "\"" + plain + text + "x\"=\"" + text + plain + text + "\"\n" +
                                     "\"h\"=hex:" + std::string(k % 3, ' ') + "1," +
                                     std::string(k, ' ').substr(0, k % 2) + "ab,";
            std::string hex = body, expectedHex = "\x01\xab";
            for (std::size_t i = 0; i < k; ++i) {
                hex += i % 5 == 4 ? "f ,\\\n  " : "0f,";
                expectedHex += '\x0f';
            }
            hex += "c\n";
            expectedHex += '\x0c';
            // In a key path a backslash separates, a bracket ends it and a quote needs no escape.
            const bool inPath = text != "\\\\" && text != "\\\"" && text != "]";
            auto l = load(kHead + section("K\\\\q" + plain + (inPath ? text : ""), hex));
            ASSERT_TRUE(l->result.ok) << k << " " << text << ": " << l->result.message;
            const std::u16string p16(plain.begin(), plain.end());
            RegKey *key = l->root.findSubkey(u"K");
            ASSERT_TRUE(key);
            key = key->findSubkey(u"q" + p16 + (inPath ? units : u""));
            ASSERT_TRUE(key) << k << " " << text;
            const auto v = key->findValue(p16 + units + u"x");
            ASSERT_TRUE(v) << k << " " << text;
            EXPECT_EQ(v->dataCopy(), utf16z(units + p16 + units)) << k << " " << text;
            const auto h = key->findValue(u"h");
            ASSERT_TRUE(h);
            EXPECT_EQ(h->dataCopy(), std::vector<uint8_t>(expectedHex.begin(), expectedHex.end()))
                << k << " " << text;
        }
}
