// Nothing a call reported as done is lost: not when the process is killed right
// after it, nor during a save, nor when another program changed a file meanwhile.
#include "tests/wine/WineTestSupport.h"

#include "registry/kinds/SourceKinds.h"
#include "registry/win32/KeyStore.h"
#include "registry/win32/RegText.h"
#include "registry/win32/winreg.h"
#include "registry/wine/Journal.h"
#include "registry/wine/WinePrefix.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace quarnel::platform;
using namespace quarnel::test;
using std::string_literals::operator""s;

namespace {

// The text of value "v" below HKEY_CURRENT_USER; empty when it is not there.
std::string userValueV(const char *keyPath)
{
    HKEY key = nullptr;
    char text[16] = {};
    DWORD size = sizeof text;
    RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_ALL_ACCESS, &key);
    RegQueryValueExA(key, "v", nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size);
    RegCloseKey(key);
    return std::string(text);
}

LONG setNumber(HKEY key, int i)
{
    const std::string name = "v" + std::to_string(i);
    const DWORD value = DWORD(i);
    return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                          4);
}

// Runs a child that opens the registry and sets v0, v1, ... (saving after each
// when `saveEach`), telling the parent after each call returned; the parent
// kills it with SIGKILL after `delay`. Returns how many calls had returned.
int killedWriter(const std::string &prefix, bool saveEach, std::chrono::microseconds delay)
{
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (openRegistryAt(prefix, true).status != RegistryOpened::Status::Ok) _exit(2);
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Durable", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr);
        for (int i = 0;; ++i) {
            if (setNumber(key, i) != ERROR_SUCCESS) _exit(3);
            if (saveEach) flushRegistryIfIdle(0);
            if (write(fds[1], &i, sizeof i) != sizeof i) _exit(4);
        }
    }
    close(fds[1]);
    std::this_thread::sleep_for(delay);
    kill(pid, SIGKILL);
    int last = -1, i;
    while (read(fds[0], &i, sizeof i) == sizeof i)
        last = i;
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    return last + 1;
}

// How many of v0, v1, ... the registry holds, in a row from v0.
int valuesInARow()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Durable", 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        return 0;
    int n = 0;
    for (;; ++n) {
        const std::string name = "v" + std::to_string(n);
        DWORD v = 0, size = 4;
        if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE *>(&v),
                             &size) != ERROR_SUCCESS ||
            v != DWORD(n))
            break;
    }
    RegCloseKey(key);
    return n;
}

// Software\Mix in each hive as the store holds it: keys, classes and values.
std::string dumpMix()
{
    KeyStore &store = activeStore();
    std::string out;
    for (const RegKey *root : {&store.machine(), store.users().findSubkey(u".Default"),
                               store.users().findSubkey(store.currentUserSid)}) {
        const RegKey *software = root ? root->findSubkey(u"Software") : nullptr;
        std::vector<std::pair<const RegKey *, std::string>> todo;
        if (const RegKey *mix = software ? software->findSubkey(u"Mix") : nullptr)
            todo.push_back({mix, bytesFromUtf16(root->name()) + "\\Mix"});
        while (!todo.empty()) {
            const auto [key, path] = todo.back();
            todo.pop_back();
            out += path + " (" + bytesFromUtf16(key->className()) + ")\n";
            for (const ValueRef v : key->values)
                out += "  " + bytesFromUtf16(v.name()) + " " + std::to_string(v.type) + " " + [&] {
                    const auto bytes = v.dataCopy();
                    return std::string(bytes.begin(), bytes.end());
                }() + "\n";
            for (const auto &child : key->subkeys)
                todo.push_back({child.get(), path + "\\" + bytesFromUtf16(child->name())});
        }
    }
    return out;
}

// One random change below Software\Mix of a random hive, at a depth of up to five keys.
void changeSomething(std::mt19937 &random)
{
    const struct
    {
        HKEY root;
        const char *base;
    } hives[] = {{HKEY_LOCAL_MACHINE, "Software\\Mix"},
                 {HKEY_CURRENT_USER, "Software\\Mix"},
                 {HKEY_USERS, ".Default\\Software\\Mix"}};
    const auto &hive = hives[random() % 3];
    std::string path = hive.base;
    for (unsigned depth = random() % 6; depth > 0; --depth)
        path += "\\"s + "abc"[random() % 3];
    const std::string name = "v" + std::to_string(random() % 3);
    const std::string data = std::to_string(random());
    HKEY key = nullptr;
    switch (random() % 5) {
    case 0:
        RegDeleteKeyA(hive.root, path.c_str()); // refused while it has subkeys
        return;
    case 1:
        if (RegOpenKeyExA(hive.root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            return;
        RegDeleteValueA(key, name.c_str());
        break;
    default: {
        std::string cls = random() % 4 ? "" : "class" + data;
        RegCreateKeyExA(hive.root, path.c_str(), 0, cls.data(), 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr);
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                       DWORD(data.size() + 1));
    }
    }
    RegCloseKey(key);
}
} // namespace

TEST(Durability, KillNineLosesNoReturnedCall)
{
    REQUIRE_PREFIX();
    std::mt19937 random(42);
    for (bool saveEach : {false, true}) {
        const std::string prefix = scratchPrefix();
        for (int trial = 0; trial < 6; ++trial) {
            const auto delay = std::chrono::microseconds(20000 + random() % 80000);
            const int returned = killedWriter(prefix, saveEach, delay);
            const auto opened = openRegistryAt(prefix, true);
            ASSERT_EQ(opened.status, RegistryOpened::Status::Ok) << opened.message;
            // Every call that returned is there; at most the one in flight is extra.
            const int present = valuesInARow();
            EXPECT_GE(present, returned) << "saveEach " << saveEach << " trial " << trial;
            EXPECT_LE(present, returned + 1);
            // Start the next trial from a clean key.
            RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Durable");
            HKEY key = nullptr;
            RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Durable", 0, KEY_ALL_ACCESS, &key);
            for (int i = 0; i < present; ++i)
                RegDeleteValueA(key, ("v" + std::to_string(i)).c_str());
            RegCloseKey(key);
            ASSERT_EQ(closeRegistry(), "");
            // Every file left behind is one Wine reads, and no temporary file stays.
            EXPECT_NE(access((prefix + "/user.reg.quarnel-tmp").c_str(), F_OK), 0);
        }
        std::system(("rm -rf '" + prefix + "'").c_str());
    }
}

TEST(Durability, TornJournalRecordIsDropped)
{
    char templ[] = "/tmp/quarnel-journal-XXXXXX";
    const std::string path = std::string(mkdtemp(templ)) + "/quarnel.journal";
    std::vector<wine::JournalRecord> records;
    wine::JournalGaps gaps;
    std::string error;
    {
        wine::Journal journal;
        ASSERT_TRUE(journal.open(path, records, gaps, error)) << error;
        for (int i = 0; i < 3; ++i) {
            wine::JournalRecord r;
            r.op = wine::JournalRecord::ValueSet;
            r.path = u"Software\\A";
            r.name = u"v" + std::u16string(1, char16_t(u'0' + i));
            r.data = {1, 2, 3};
            ASSERT_TRUE(journal.append(r, error));
        }
    }
    const std::string full = readFile(path);
    writeFile(path, full.substr(0, full.size() - 5));
    wine::Journal journal;
    ASSERT_TRUE(journal.open(path, records, gaps, error)) << error;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].name, u"v1");
    const auto torn = gaps.droppedBytes;
    EXPECT_GT(torn, 0u);
    EXPECT_FALSE(gaps.damaged); // a record cut short as it was written
    EXPECT_EQ(readFile(path), full.substr(0, full.size() - 5 - torn)); // the torn tail is cut off
    // A record naming an empty key is not one we wrote: reading stops before it.
    wine::JournalRecord odd;
    odd.op = wine::JournalRecord::ValueSet;
    odd.path = u"Software\\\\A";
    ASSERT_TRUE(journal.append(odd, error)) << error;
    ASSERT_TRUE(wine::Journal::peek(path, records, error)) << error;
    EXPECT_EQ(records.size(), 2u);
    std::system(("rm -rf '" + path.substr(0, path.rfind('/')) + "'").c_str());
}

TEST(Durability, FileChangedOnDiskIsMergedNotOverwritten)
{
    REQUIRE_PREFIX();
    const std::string prefix = scratchPrefix();
    const std::string userReg = prefix + "/user.reg";
    ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Ours", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, nullptr);
    ASSERT_EQ(setNumber(key, 1), ERROR_SUCCESS);

    // Another program rewrites user.reg meanwhile, adding a key of its own.
    const std::string theirs =
        readFile(userReg) +
        "\n[Software\\\\Theirs] 1796631433\n#time=1dd86235d37ae66\n\"t\"=\"1\"\n";
    writeFile(userReg + ".other", theirs);
    rename((userReg + ".other").c_str(), userReg.c_str());
    EXPECT_EQ(flushRegistryIfIdle(0), "");
    const std::string merged = readFile(userReg);
    EXPECT_NE(merged.find("[Software\\\\Theirs]"), std::string::npos);
    EXPECT_NE(merged.find("[Software\\\\Ours]"), std::string::npos);

    // If the changed file cannot be read, it is not overwritten; our change
    // waits in the journal until it can.
    ASSERT_EQ(setNumber(key, 2), ERROR_SUCCESS);
    RegCloseKey(key);
    writeFile(userReg, "broken");
    const std::string message = flushRegistryIfIdle(0);
    EXPECT_NE(message.find(userReg + " was changed by another program"), std::string::npos)
        << message;
    EXPECT_EQ(readFile(userReg), "broken");
    closeRegistry();
    EXPECT_EQ(readFile(userReg), "broken");
    // Repaired by hand: the file is not the one the change was made against, so
    // the user decides.
    writeFile(userReg, merged);
    std::string question;
    const auto opened = openRegistryAt(prefix, true, [&question](const std::string &text) {
        question = text;
        return true;
    });
    ASSERT_EQ(opened.status, RegistryOpened::Status::Ok) << opened.message;
    EXPECT_NE(question.find("1 change(s)"), std::string::npos) << question;
    EXPECT_NE(opened.message.find("recovered"), std::string::npos);
    RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Ours", 0, KEY_ALL_ACCESS, &key);
    DWORD v = 0, size = 4;
    EXPECT_EQ(RegQueryValueExA(key, "v2", nullptr, nullptr, reinterpret_cast<BYTE *>(&v), &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    closeRegistry();
    std::system(("rm -rf '" + prefix + "'").c_str());
}

TEST(Durability, RecoveryAsksBeforeGoingOverFilesChangedSince)
{
    REQUIRE_PREFIX();
    const std::string prefix = scratchPrefix(true);
    const std::string userReg = prefix + "/user.reg";
    // A run that ends without saving its change to a value...
    const pid_t pid = fork();
    if (pid == 0) {
        if (openRegistryAt(prefix, true).status != RegistryOpened::Status::Ok) _exit(2);
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Recover", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr);
        _exit(RegSetValueExA(key, "v", 0, REG_SZ, reinterpret_cast<const BYTE *>("ours"), 5));
    }
    int status = -1;
    waitpid(pid, &status, 0);
    ASSERT_EQ(status, 0);
    // ...and Wine changing the same value afterwards.
    std::string out;
    ASSERT_EQ(
        runInPrefix(prefix,
                    "wine reg add \"HKCU\\\\Software\\\\Recover\" /v v /d wine /f; wineserver -w",
                    &out),
        0)
        << out;
    const std::string wineWrote = readFile(userReg);
    const auto valueOfV = [] { return userValueV("Software\\Recover"); };

    // No: the files stay as Wine left them; the changes wait in the file the message names.
    std::string question;
    auto opened = openRegistryAt(prefix, true, [&question](const std::string &text) {
        question = text;
        return false;
    });
    ASSERT_EQ(opened.status, RegistryOpened::Status::Ok) << opened.message;
    EXPECT_NE(question.find("2 change(s)"), std::string::npos) << question;
    EXPECT_NE(question.find("changed on disk since"), std::string::npos) << question;
    EXPECT_EQ(valueOfV(), "wine");
    const std::size_t at = opened.message.find("kept in ");
    ASSERT_NE(at, std::string::npos) << opened.message;
    const std::string kept =
        opened.message.substr(at + 8, opened.message.find(". To", at) - at - 8);
    EXPECT_EQ(kept.rfind(prefix + "/quarnel.journal.kept-", 0), 0u) << kept;
    EXPECT_EQ(closeRegistry(), "");
    EXPECT_EQ(readFile(userReg), wineWrote);

    // Put back and answered yes: the user chose ours over Wine's.
    ASSERT_EQ(rename(kept.c_str(), (prefix + "/quarnel.journal").c_str()), 0);
    question.clear();
    opened = openRegistryAt(prefix, true, [&question](const std::string &text) {
        question = text;
        return true;
    });
    EXPECT_NE(question, "");
    EXPECT_NE(opened.message.find("recovered 2 change(s)"), std::string::npos) << opened.message;
    EXPECT_EQ(valueOfV(), "ours");
    EXPECT_EQ(closeRegistry(), "");
    std::system(("rm -rf '" + prefix + "'").c_str());
}

// Changes to the three hives interleaved, saved, merged with a file changed on
// disk, kept through a save that failed, then a crash: the next start makes of
// the journal exactly what the calls had made.
TEST(Durability, ChangesAcrossHivesAndSavesReplayAsTheyWereMade)
{
    REQUIRE_PREFIX();
    const std::string prefix = scratchPrefix();
    const std::string userReg = prefix + "/user.reg";
    std::string good;
    const std::string made = withinDeadline([&] {
        if (openRegistryAt(prefix, true).status != RegistryOpened::Status::Ok) return "not opened"s;
        std::mt19937 random(14);
        for (int i = 0; i < 1200; ++i) {
            changeSomething(random);
            if (i == 300) flushRegistryIfIdle(0);
            if (i == 600) {
                writeFile(userReg + ".other", readFile(userReg) + "\n[Software\\\\Theirs]\n");
                rename((userReg + ".other").c_str(), userReg.c_str());
                if (!flushRegistryIfIdle(0).empty()) return "not merged"s;
            }
            if (i == 900) {
                writeFile(userReg + ".good", readFile(userReg));
                writeFile(userReg, "broken");
                if (flushRegistryIfIdle(0).empty()) return "saved over a broken file"s;
            }
        }
        return dumpMix(); // and ends as a crash would
    });
    ASSERT_NE(made.find("Mix\\"), std::string::npos) << made;
    ASSERT_EQ(rename((userReg + ".good").c_str(), userReg.c_str()), 0);
    const auto opened = openRegistryAt(prefix, true, [](const std::string &) { return true; });
    ASSERT_EQ(opened.status, RegistryOpened::Status::Ok) << opened.message;
    EXPECT_EQ(dumpMix(), made);
    EXPECT_EQ(closeRegistry(), "");
    ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    EXPECT_EQ(dumpMix(), made);
    EXPECT_NE(readFile(userReg).find("[Software\\\\Theirs]"), std::string::npos);
    closeRegistry();
}

// A journal as the earlier format wrote it (its keys named in full) is read,
// its torn tail cut off, and replayed; the file identities it names still spare
// the user the question; once emptied it is one of the current format.
TEST(Durability, JournalOfTheEarlierFormatIsReplayed)
{
    REQUIRE_PREFIX();
    const std::string prefix = scratchPrefix();
    const std::string journal = prefix + "/quarnel.journal";
    // Software\Old made in HKEY_CURRENT_USER's hive, and its value v set to "old".
    std::string earlier;
    for (const char *hex = "51524e4c4a524e31320000007590c8260102010000000000d9010c0000005300"
                           "6f006600740077006100720065005c004f006c00640000000000000000000000"
                           "00003c000000181a56360202020000000000d9010c00000053006f0066007400"
                           "77006100720065005c004f006c00640001000000760001000000080000006f00"
                           "6c0064000000";
         *hex; hex += 2)
        earlier += char(std::stoi(std::string(hex, 2), nullptr, 16));
    writeFile(journal, earlier + earlier.substr(8, 30));
    std::vector<wine::JournalRecord> records;
    std::string error;
    ASSERT_TRUE(wine::Journal::peek(journal, records, error)) << error;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].path, u"Software\\Old");
    EXPECT_EQ(records[1].kept, 0u);
    const auto valueOfV = [] { return userValueV("Software\\Old"); };
    // It never named user.reg: the user is asked.
    int asked = 0;
    const auto count = [&asked](const std::string &) { return ++asked > 0; };
    ASSERT_EQ(openRegistryAt(prefix, true, count).status, RegistryOpened::Status::Ok);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(valueOfV(), "old");
    EXPECT_EQ(readFile(journal).substr(0, 8), "QRNLJRN2");
    EXPECT_EQ(closeRegistry(), "");

    // One naming the file as it is now: appended to in its own format, and replayed unasked.
    writeFile(journal, "QRNLJRN1");
    {
        wine::Journal earlierJournal;
        wine::JournalGaps gaps;
        ASSERT_TRUE(earlierJournal.open(journal, records, gaps, error)) << error;
        ASSERT_TRUE(earlierJournal.append(
            wine::hiveFileRecord(wine::kUserHive, fileIdOf(prefix + "/user.reg")), error));
        ASSERT_FALSE(earlierJournal.follows(wine::kUserHive));
        wine::JournalRecord r = records.empty() ? wine::JournalRecord{} : records[0];
        r.op = wine::JournalRecord::ValueDeleted;
        r.hive = wine::kUserHive;
        r.path = u"Software\\Old";
        r.name = u"v";
        ASSERT_TRUE(earlierJournal.append(r, error)) << error;
    }
    ASSERT_EQ(readFile(journal).substr(0, 8), "QRNLJRN1");
    ASSERT_EQ(openRegistryAt(prefix, true, count).status, RegistryOpened::Status::Ok);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(valueOfV(), "");
    closeRegistry();
}
