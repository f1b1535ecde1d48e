#include "registry/wine/FileBackedStore.h"

#include "registry/source/Backups.h"
#include "registry/source/RegistryCopy.h"
#include "registry/source/SafeOpen.h"
#include "registry/win32/winreg.h"
#include "registry/wine/JournalReplay.h"
#include "registry/wine/WinePrefix.h"
#include "registry/wine/WineRegParts.h"
#include "registry/wine/WineRegWriter.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <pwd.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quarnel::platform::wine {

class FileBackedStore::Hooks final : public StoreHooks
{
public:
    explicit Hooks(FileBackedStore &owner) : m_owner(owner) {}
    long beforeChange(const RegKey &key) override { return m_owner.beforeChange(key); }
    long recordChange(const RegKey &key, const PendingChange &change) override
    {
        return m_owner.recordChange(key, change);
    }

private:
    FileBackedStore &m_owner;
};

namespace {

// A regular file read whole, never through a link (a backup's file), with the
// checks of every registry file read (FileContent: no more than kMaxFileBytes).
bool readWholeFile(const std::string &path, std::string &text, std::string &error)
{
    const int fd = openForReading(path, false, error);
    if (fd < 0) return false;
    FileContent content;
    const bool read = content.readFrom(fd, path, error);
    ::close(fd);
    if (read) text.assign(content.text());
    return read;
}

const char *const kShownReadOnly = "\nQuarnel shows the registry read-only.";

const char16_t *const kRootPaths[3] = {u"REGISTRY\\Machine", u"REGISTRY\\User\\.Default",
                                       u"REGISTRY\\User\\"};

// Marks a detached tree deleted so that handles still open on it report so.
void markDeleted(RegKey &key)
{
    std::vector<RegKey *> todo{&key};
    while (!todo.empty()) {
        RegKey *k = todo.back();
        todo.pop_back();
        k->deleted = true;
        for (auto &child : k->subkeys)
            todo.push_back(child.get());
    }
}

// Gives `target` the content of `fresh` (a tree loaded aside). Keys present in
// both stay the same objects, so handles open on them stay valid across a reload.
void takeContent(RegKey &target, RegKey &fresh)
{
    struct Pair
    {
        RegKey *target;
        RegKey *fresh;
    };
    treeChanged();
    std::vector<Pair> todo{{&target, &fresh}};
    while (!todo.empty()) {
        auto [to, from] = todo.back();
        todo.pop_back();
        to->values = std::move(from->values);
        to->extra = std::move(from->extra);
        to->isLink = from->isLink;
        if (from != &fresh) to->lastWriteTime = from->lastWriteTime;
        std::vector<KeyRef> merged;
        merged.reserve(from->subkeys.size());
        std::vector<bool> kept(to->subkeys.size());
        for (auto &child : from->subkeys) {
            bool found;
            const std::size_t pos = to->subkeyPosition(child->name(), found);
            if (found) {
                kept[pos] = true;
                merged.push_back(to->subkeys[pos]);
                todo.push_back({merged.back().get(), child.get()});
            } else {
                child->parent = to;
                merged.push_back(child);
            }
        }
        for (std::size_t i = 0; i < kept.size(); ++i)
            if (!kept[i]) {
                markDeleted(*to->subkeys[i]);
                to->subkeys[i]->parent = nullptr;
            }
        to->subkeys = std::move(merged); // `fresh` lists its keys sorted already
    }
}

// The SID named by user.reg's root comment, when it has one.
std::u16string sidOfPreamble(const Preamble &preamble)
{
    const std::string marker = ";; All keys relative to REGISTRY\\\\User\\\\";
    for (const std::string &line : preamble)
        if (line.starts_with(marker) && line.size() > marker.size() &&
            line.find('\\', marker.size()) == std::string::npos)
            return std::u16string(line.begin() + static_cast<std::ptrdiff_t>(marker.size()),
                                  line.end());
    return {};
}

// Why Quarnel keeps out of a registry folder of another user (as root on
// someone's prefix), or "": whatever it created there would belong to us, and
// that user's Wine and Quarnel would fail on it.
std::string foreignOwnerMessage(const std::string &directory)
{
    struct stat st
    {
    };
    if (::stat(directory.c_str(), &st) != 0 || st.st_uid == ::geteuid()) return {};
    const auto nameOf = [](uid_t uid) {
        const passwd *pw = ::getpwuid(uid);
        return (pw ? std::string(pw->pw_name) + ", " : std::string()) + "uid " +
               std::to_string(uid);
    };
    return "The registry in " + directory + " belongs to another user (" + nameOf(st.st_uid) +
           ") than the one Quarnel runs as (" + nameOf(::geteuid()) +
           "). Quarnel shows it read-only and creates no file there, because that user's Wine "
           "and Quarnel could not use files of ours. Start Quarnel as that user to change it.";
}

} // namespace

namespace {

char folded(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool sameBytes(const char *at, std::string_view needle, bool fold)
{
    for (std::size_t i = 0; i < needle.size(); ++i)
        if ((fold ? folded(at[i]) : at[i]) != needle[i]) return false;
    return true;
}

struct Pattern
{
    std::string_view bytes;
    bool fold = false; // `bytes` in lower case, A..Z folded
};

// The first place from `from` on where one of `patterns` stands, and which, or
// npos. Sixteen places are tried at once by each pattern's first and last byte
// (a folded letter compared with its case bit set), then checked whole: the
// files are searched about as fast as they come from the page cache.
template <std::size_t N>
std::pair<std::size_t, std::size_t>
findAny(std::string_view text, const std::array<Pattern, N> &patterns, std::size_t from)
{
    const std::size_t n = text.size();
    const char *data = text.data();
    const auto which = [&](std::size_t place) -> std::size_t {
        for (std::size_t i = 0; i < N; ++i)
            if (place + patterns[i].bytes.size() <= n &&
                sameBytes(data + place, patterns[i].bytes, patterns[i].fold))
                return i;
        return N;
    };
    std::size_t place = from;
#if defined(__SSE2__)
    std::size_t longest = 0;
    __m128i firstCase[N], lastCase[N], firstByte[N], lastByte[N];
    std::size_t lastAt[N];
    for (std::size_t i = 0; i < N; ++i) {
        const Pattern &p = patterns[i];
        const auto caseBit = [&p](char c) -> char {
            return p.fold && c >= 'a' && c <= 'z' ? 0x20 : 0;
        };
        firstCase[i] = _mm_set1_epi8(caseBit(p.bytes.front()));
        lastCase[i] = _mm_set1_epi8(caseBit(p.bytes.back()));
        firstByte[i] = _mm_set1_epi8(p.bytes.front());
        lastByte[i] = _mm_set1_epi8(p.bytes.back());
        lastAt[i] = p.bytes.size() - 1;
        longest = std::max(longest, p.bytes.size());
    }
    for (; place + longest - 1 + 16 <= n; place += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + place));
        __m128i hits = _mm_setzero_si128();
        for (std::size_t i = 0; i < N; ++i) {
            const __m128i a = _mm_cmpeq_epi8(_mm_or_si128(block, firstCase[i]), firstByte[i]);
            const __m128i b = _mm_cmpeq_epi8(
                _mm_or_si128(
                    _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + place + lastAt[i])),
                    lastCase[i]),
                lastByte[i]);
            hits = _mm_or_si128(hits, _mm_and_si128(a, b));
        }
        for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits)); mask; mask &= mask - 1) {
            const std::size_t candidate = place + static_cast<std::size_t>(__builtin_ctz(mask));
            if (const std::size_t i = which(candidate); i < N) return {candidate, i};
        }
    }
#endif
    for (; place < n; ++place)
        if (const std::size_t i = which(place); i < N) return {place, i};
    return {std::string_view::npos, N};
}

std::size_t findBytes(std::string_view text, std::string_view what, std::size_t from)
{
    return findAny(text, std::array<Pattern, 1>{Pattern{what}}, from).first;
}

// Sections start at a key's line after a blank line (see WineRegParts).
constexpr std::string_view kSectionBreak = "\n\n[";

std::size_t sectionStartBefore(std::string_view text, std::size_t at, std::size_t first)
{
    const std::size_t found = text.rfind(kSectionBreak, at);
    return found == std::string_view::npos || found + 2 < first ? first : found + 2;
}

std::size_t sectionEndAfter(std::string_view text, std::size_t at)
{
    const std::size_t found = findBytes(text, kSectionBreak, at);
    return found == std::string_view::npos ? text.size() : found + 2;
}

} // namespace

bool sectionsHolding(std::string_view text, std::string_view needle, std::string &sections)
{
    sections.clear();
    if (needle.empty()) return false;
    for (const char c : needle)
        if (c < 0x20 || c > 0x7e || c == '\\' || c == '"' || c == '[' || c == ']' ||
            (c >= 'A' && c <= 'Z'))
            return false;
    // Keys the store has whether a file names them or not, and the roots' own names.
    for (const std::string_view own :
         {"registry", "machine", "user", "software\\classes", "system\\currentcontrolset",
          "hardware profiles\\current", "dyndata", ".default", "s-1-5-21-0-0-0-1000"})
        if (own.find(needle) != std::string_view::npos) return false;
    const std::size_t firstBreak = findBytes(text, kSectionBreak, 0);
    const std::size_t first = firstBreak == std::string_view::npos ? text.size() : firstBreak + 2;
    std::vector<std::pair<std::size_t, std::size_t>> taken;
    // A key reached through a link has the link's path: below a link whose own
    // path holds the text, every key is a hit, wherever its sections are.
    bool linkHolds = false;
    const auto take = [&](std::size_t at) {
        const std::size_t start = sectionStartBefore(text, at, first);
        const std::size_t end = sectionEndAfter(text, std::max(at, start));
        taken.emplace_back(start, end);
        const std::string_view section = text.substr(start, end - start);
        for (std::size_t link = findBytes(section, "\n#link", 0); link != std::string_view::npos;
             link = findBytes(section, "\n#link", link + 1)) {
            const std::size_t line = section.rfind("\n[", link);
            const std::size_t from = line == std::string_view::npos ? 0 : line + 1;
            const std::string_view header = section.substr(from, section.find('\n', from) - from);
            linkHolds = linkHolds ||
                        findAny(header, std::array<Pattern, 1>{Pattern{needle, true}}, 0).first !=
                            std::string_view::npos;
        }
        return end;
    };
    // String data Wine could not write as text (no closing NUL, an odd length) is hex.
    const std::array<Pattern, 3> patterns{Pattern{needle, true}, Pattern{"\n#link"},
                                          Pattern{"=hex("}};
    for (auto [at, which] = findAny(text, patterns, first); at != std::string_view::npos;) {
        std::size_t next = at + 1;
        const std::string_view type = which == 2 ? text.substr(at + 5, 2) : "";
        if (which != 2 || type == "1)" || type == "2)" || type == "7)") next = take(at);
        std::tie(at, which) = findAny(text, patterns, next);
    }
    if (linkHolds) return false;
    std::sort(taken.begin(), taken.end());
    sections.assign(text.substr(0, first));
    std::size_t done = first;
    for (const auto &[start, end] : taken) {
        if (end <= done) continue;
        sections.append(text.substr(std::max(start, done), end - std::max(start, done)));
        done = end;
    }
    return true;
}

std::shared_ptr<KeyStore> readRegistryCopy(const std::string &directory, std::string &error,
                                           std::string_view holding)
{
    std::shared_ptr<KeyStore> store = RegistryCopy::refusingStore();
    const std::string system = directory + "/" + kHiveFiles[kSystemHive];
    if (!fileIdOf(system).exists) {
        error = system + ": no such file";
        return nullptr;
    }
    std::unique_ptr<char[]> whole; // left unfilled: the reads fill it
    std::size_t room = 0;
    std::string sections;
    for (int hive = 0; hive < 3; ++hive) {
        const std::string path = directory + "/" + kHiveFiles[hive];
        if (!fileIdOf(path).exists) continue;
        FilePieces file;
        if (!file.open(path, error)) return nullptr;
        const TextAt at = [&file](uint64_t offset, char *to, std::size_t room, std::size_t &got) {
            return file.readAt(offset, to, room, got);
        };
        RegKey fresh;
        Preamble preamble;
        ReadResult r;
        bool cut = false;
        std::string_view wholeText;
        if (!holding.empty()) {
            // Read whole, then only what may hold the text goes into keys.
            if (room < file.size()) {
                room = file.size();
                whole.reset(new char[room]);
            }
            std::size_t filled = 0;
            for (std::size_t got = 1; filled < file.size() && got > 0; filled += got)
                if (!file.readAt(filled, whole.get() + filled, file.size() - filled, got)) {
                    error = file.error();
                    return nullptr;
                }
            wholeText = std::string_view(whole.get(), filled);
            cut = sectionsHolding(wholeText, holding, sections);
            if (cut) r = readHive(std::string_view(sections), fresh, preamble);
        }
        // Read once: a file read whole already is not read from disk again.
        const auto readWhole = [&](RegKey &into) {
            return holding.empty() ? readHive(at, file.size(), into, preamble)
                                   : readHive(wholeText, into, preamble);
        };
        RegKey again;
        RegKey *content = &fresh;
        if (!cut) {
            r = readWhole(fresh);
        } else if (!r.ok) {
            // A cut-down text that does not read: the whole file decides, and says
            // where when it does not read either (the cut-down text's lines are not the file's).
            preamble.clear();
            r = readWhole(again);
            content = &again;
        }
        if (!r.ok) {
            error = r.unreadable && !file.error().empty()
                        ? file.error()
                        : path + ":" + std::to_string(r.line) + ": " + r.message;
            return nullptr;
        }
        if (hive == kUserHive)
            if (std::u16string sid = sidOfPreamble(preamble); !sid.empty())
                store->currentUserSid = sid;
        RegKey &root = hive == kSystemHive ? store->machine()
                       : hive == kUserDefaultHive
                           ? store->ensurePath(store->users(), u".Default")
                           : store->ensurePath(store->users(), store->currentUserSid);
        takeContent(root, *content);
    }
    return store;
}

FileBackedStore::FileBackedStore()
    : m_store(std::make_shared<KeyStore>()), m_hooks(std::make_shared<Hooks>(*this))
{
}

FileBackedStore::~FileBackedStore()
{
    // A program that exits without closing still gets its changes into the files.
    if (m_lock.held()) close();
    m_store->setHooks(std::make_shared<StoreHooks>());
}

std::string FileBackedStore::pathOf(int hive) const
{
    return m_directory + "/" + kHiveFiles[hive];
}

bool FileBackedStore::hasUnsavedChanges() const
{
    return std::any_of(std::begin(m_hives), std::end(m_hives),
                       [](const Hive &h) { return h.dirty; });
}

RegistryRefusal FileBackedStore::lockRefusalOf(pid_t holder, const std::string &error) const
{
    RegistryRefusal refusal;
    refusal.directory = m_directory;
    refusal.holder = holder;
    if (!holder) {
        refusal.kind = RegistryRefusal::Kind::NotLocked;
        refusal.detail = error;
        return refusal;
    }
    refusal.holderName = processName(holder);
    if (refusal.holderName.rfind("wineserver", 0) != 0) {
        refusal.kind = RegistryRefusal::Kind::InUse;
        return refusal;
    }
    refusal.kind = RegistryRefusal::Kind::WineRunning;
    // "wineserver -k" finds a server only under the TMPDIR it was started with.
    const std::string tmp = wineServerTempFolder(holder, m_directory);
    if (tmp != "/tmp") refusal.wineTemp = tmp;
    return refusal;
}

RegistryRefusal FileBackedStore::refusal() const
{
    RegistryRefusal refusal;
    if (!m_readOnly) {
        refusal.detail = refusalReason();
        if (!refusal.detail.empty()) refusal.kind = RegistryRefusal::Kind::Other;
        refusal.directory = m_directory;
        return refusal;
    }
    refusal = m_lockRefusal;
    refusal.directory = m_directory;
    switch (refusal.kind) {
    case RegistryRefusal::Kind::WineRunning:
        // Asked afresh: the Wine of the opening may be gone, or another one running.
        if (const pid_t server = runningWineServer(refusal.directory))
            refusal.holder = server;
        else
            refusal.holderEnded = true;
        break;
    case RegistryRefusal::Kind::InUse:
        // A process id taken by another program since counts as ended too.
        refusal.holderEnded = (::kill(refusal.holder, 0) != 0 && errno == ESRCH) ||
                              processName(refusal.holder) != refusal.holderName;
        break;
    case RegistryRefusal::Kind::None:
        refusal.kind = RegistryRefusal::Kind::Other;
        refusal.detail = m_readOnlyMessage.empty() ? "The registry in " + m_directory +
                                                         " is open read-only; nothing can be "
                                                         "changed."
                                                   : m_readOnlyMessage;
        break;
    case RegistryRefusal::Kind::NotLocked:
    case RegistryRefusal::Kind::Other: break;
    }
    return refusal;
}

bool FileBackedStore::createOwnRegistry(std::string &error)
{
    // The keys a registry needs for the predefined views; the rest grows with use.
    KeyStore fresh;
    fresh.ensurePath(fresh.machine(), u"Software\\Microsoft\\Windows\\CurrentVersion");
    fresh.ensurePath(fresh.machine(), u"System\\CurrentControlSet\\Control");
    RegKey *roots[3] = {&fresh.machine(), &fresh.ensurePath(fresh.users(), u".Default"),
                        &fresh.ensurePath(fresh.users(), fresh.currentUserSid)};
    for (int i : {kUserDefaultHive, kUserHive}) {
        fresh.ensurePath(*roots[i], u"Software\\Microsoft\\Windows\\CurrentVersion");
        fresh.ensurePath(*roots[i], u"Environment");
        fresh.ensurePath(*roots[i], u"Control Panel");
    }
    // system.reg last: its presence marks the registry as complete.
    for (int i : {kUserHive, kUserDefaultHive, kSystemHive}) {
        const std::u16string rootPath =
            std::u16string(kRootPaths[i]) + (i == kUserHive ? fresh.currentUserSid : u"");
        FileId id;
        if (!replaceFile(pathOf(i), writeHive(*roots[i], standardPreamble(rootPath)), m_sync, id,
                         error))
            return false;
    }
    return true;
}

bool FileBackedStore::loadHive(int hive, const std::vector<JournalRecord> &changes,
                               std::string &error)
{
    Hive &h = m_hives[hive];
    const std::string path = pathOf(hive);
    const FileId id = fileIdOf(path);
    RegKey fresh;
    Preamble preamble;
    if (id.exists) {
        FilePieces file;
        if (!file.open(path, error)) return false;
        const ReadResult r =
            readHive([&file](uint64_t at, char *to, std::size_t room,
                             std::size_t &got) { return file.readAt(at, to, room, got); },
                     file.size(), fresh, preamble);
        if (!r.ok) {
            // Looking for where parts start may have met a read error the read did not.
            error = r.unreadable && !file.error().empty()
                        ? file.error()
                        : path + ":" + std::to_string(r.line) + ": " + r.message;
            return false;
        }
    }
    if (hive == kUserHive)
        if (std::u16string sid = sidOfPreamble(preamble); !sid.empty())
            m_store->currentUserSid = sid;
    if (!h.root)
        h.root = hive == kSystemHive ? &m_store->machine()
                 : hive == kUserDefaultHive
                     ? &m_store->ensurePath(m_store->users(), u".Default")
                     : &m_store->ensurePath(m_store->users(), m_store->currentUserSid);
    m_trail.setRoot(hive, h.root);
    JournalReplay replay(fresh);
    for (const JournalRecord &r : changes) {
        replay.apply(r);
        h.dirty = true;
    }
    if (preamble.empty())
        preamble = standardPreamble(std::u16string(kRootPaths[hive]) +
                                    (hive == kUserHive ? m_store->currentUserSid : u""));
    takeContent(*h.root, fresh);
    h.preamble = std::move(preamble);
    h.id = id;
    h.loaded = true;
#if defined(__GLIBC__)
    // The file was read on several threads, each with buffers of its own, and a
    // reload freed the keys it replaced: the free pages go back to the system
    // instead of staying with the process.
    ::malloc_trim(0);
#endif
    return true;
}

FileBackedStore::OpenResult FileBackedStore::open(const std::string &directory, bool isWinePrefix,
                                                  const Confirm &confirmRecovery, bool forReading)
{
    m_directory = directory;
    m_isWinePrefix = isWinePrefix;
    m_readOnly = true;
    m_lockRefusal = {};
    OpenResult result;
    const bool holdsFiles = winePrefixAt(directory) != SourceKind::Holding::None;
    if (isWinePrefix && !holdsFiles)
        return {Status::Failed, directory + " is not a Wine prefix (it has no system.reg).", {}};
    if (!forReading && !isWinePrefix && !holdsFiles) {
        // Our own directory only; a Wine prefix is never created here.
        // A folder that cannot be made shows as the lock that cannot be taken.
        makeOwnFolders(directory);
    }
    pid_t holder = 0;
    std::string lockError;
    std::vector<std::string> lockPaths{directory + "/" + kOwnLockFile};
    // Our lock, journal and backups would belong to us and lock its owner out.
    const std::string foreign = forReading ? std::string() : foreignOwnerMessage(directory);
    if (!foreign.empty()) {
        lockError = foreign;
    } else if (isWinePrefix && !forReading) {
        // A server started with another TMPDIR has its lock where ours never meets it.
        holder = runningWineServer(directory);
        lockPaths =
            holder ? std::vector<std::string>{} : wineServerLockPaths(directory, true, &lockError);
    }
    const bool locked = !forReading && !holder && lockError.empty() &&
                        m_lock.acquire(lockPaths, holder, lockError, isWinePrefix);
    if (locked) {
        m_readOnly = false;
        for (int i = 0; i < 3; ++i)
            ::unlink((pathOf(i) + kTempSuffix).c_str()); // left by a save that crashed
        removeLeftovers(safetyFolder(), kHiveFiles);     // and by a backup that was cut short
        std::string error;
        // Asked again under the lock: another Quarnel may have made it meanwhile.
        if (!isWinePrefix && winePrefixAt(directory) == SourceKind::Holding::None &&
            !createOwnRegistry(error)) {
            m_lock.release();
            return {Status::Failed,
                    "Quarnel cannot create its registry in " + directory + ": " + error,
                    {}};
        }
    } else if (!foreign.empty()) {
        result.message = foreign;
    } else if (!forReading) {
        // Each face says it in its own words (registryRefusal).
        m_lockRefusal = lockRefusalOf(holder, lockError);
    }

    // Changes journaled by an earlier run that did not reach the files.
    std::vector<JournalRecord> records;
    std::string error;
    const std::string journalPath = directory + "/" + kJournalFile;
    JournalGaps gaps;
    const bool journalOk = m_readOnly ? Journal::peek(journalPath, records, error, &gaps)
                                      : m_journal.open(journalPath, records, gaps, error);
    if (!journalOk) goReadOnly(error + kShownReadOnly, result.message);
    settleRestore(gaps.restore, result.message);

    std::string loadErrors;
    for (int i = 0; i < 3; ++i) {
        std::string loadError;
        if (!loadHive(i, {}, loadError)) loadErrors += (loadErrors.empty() ? "" : "\n") + loadError;
    }
    if (!loadErrors.empty())
        goReadOnly(loadErrors +
                       "\nQuarnel leaves the registry files untouched and shows them read-only. "
                       "Repair or restore the file, then start Quarnel again.",
                   result.message);

    m_store->setHooks(m_hooks);
    const FileId onDisk[3] = {m_hives[0].id, m_hives[1].id, m_hives[2].id};
    m_covered = !m_readOnly && areSavedFiles(safetyFolder(), kHiveFiles, onDisk) &&
                !listBackups(safetyFolder(), kHiveFiles).empty();
    recover(planRecovery(records, onDisk), confirmRecovery, result.message);
    // A torn last record is a change whose call never returned: nothing to tell.
    if (gaps.damaged)
        result.message += (result.message.empty() ? "" : "\n") +
                          droppedJournalMessage(journalPath, gaps, !m_readOnly);
    for (const JournalUnit &unit : gaps.cutShort) {
        result.message += (result.message.empty() ? "" : "\n") + cutShortMessage(unit);
        if (unit.undoFile.empty()) continue;
        result.undosCutShort.push_back(unit.undoFile);
        // None of the undo was applied: its file is not marked as taken back, nor
        // is there a record of it.
        if (!m_readOnly)
            forgetUndoCutShort(safetyFolder(), unit.undoFile, unit.undoFileSize, unit.record);
    }
    result.status = m_readOnly ? Status::ReadOnly : Status::Ok;
    if (m_readOnly) m_readOnlyMessage = result.message;
    return result;
}

void FileBackedStore::goReadOnly(const std::string &why, std::string &message)
{
    m_readOnly = true;
    m_journal.close();
    m_lock.release();
    message += (message.empty() ? "" : "\n") + why;
}

void FileBackedStore::recover(const Recovery &plan, const Confirm &confirm, std::string &message)
{
    const auto add = [&message](const std::string &text) {
        if (!text.empty()) message += (message.empty() ? "" : "\n") + text;
    };
    const auto apply = [this, &plan] {
        for (int i = 0; i < 3; ++i) {
            // A hive whose file did not load (the registry is then read-only) has
            // no keys to show its changes over; they stay in the journal.
            if (!m_hives[i].root) continue;
            JournalReplay replay(*m_hives[i].root);
            for (const JournalRecord &r : plan.changes[i]) {
                replay.apply(r);
                m_hives[i].dirty = true;
            }
        }
    };
    if (m_readOnly) {
        apply(); // shown as they would be; nothing is written
        return;
    }
    std::string error;
    if (plan.count && plan.filesChanged &&
        !(confirm && confirm(recoveryQuestion(plan.count, m_directory)))) {
        const std::string journalPath = m_journal.path();
        m_journal.close();
        const std::string kept = setJournalAside(journalPath, std::time(nullptr), error);
        std::vector<JournalRecord> none;
        JournalGaps gaps;
        if (kept.empty() || !m_journal.open(journalPath, none, gaps, error))
            return goReadOnly(error + kShownReadOnly, message);
        add(keptAsideMessage(plan.count, kept));
    } else if (plan.count) {
        apply();
        add(recoveredMessage(plan.count));
        add(flush()); // also starts the journal afresh
        return;
    }
    // From here on the journal holds changes made against these files.
    if (!m_journal.reset(hiveFiles(), error)) goReadOnly(error + kShownReadOnly, message);
}

std::vector<JournalRecord> FileBackedStore::hiveFiles() const
{
    std::vector<JournalRecord> files;
    for (uint8_t i = 0; i < 3; ++i)
        files.push_back(hiveFileRecord(i, m_hives[i].id));
    return files;
}

bool FileBackedStore::backedUp()
{
    if (!m_backupFolder.empty() || m_backupCovers) return true;
    // The files as this session found them or saved them, and those as Quarnel last
    // saved its changes: the newest backup and the undo files hold every change.
    for (int i = 0; m_covered && i < 3; ++i)
        m_covered = fileIdOf(pathOf(i)) == m_hives[i].id;
    m_backupCovers = m_covered;
    return m_backupCovers;
}

long FileBackedStore::beforeChange(const RegKey &key)
{
    if (m_readOnly || m_wineStarted) return ERROR_ACCESS_DENIED;
    if (!m_journalError.empty()) return ERROR_CANTWRITE;
    if (key.isVolatile) return ERROR_SUCCESS;
    // Outside the three hives only volatile keys may change: nothing else would be kept.
    if (m_trail.locate(key).hive < 0) return ERROR_ACCESS_DENIED;
    // Nothing changes without a backup; after a failed one, nothing changes until
    // the user has been told (backupBeforeFirstChange) and it has been made.
    if (!backedUp() && (!m_backupFailure.empty() || !makeBackup())) return ERROR_CANTWRITE;
    return ERROR_SUCCESS;
}

std::string FileBackedStore::safetyFolder() const
{
    return m_directory + "/" + kSafetyFolderName;
}

std::span<const char *const> FileBackedStore::backupFiles() const
{
    return kHiveFiles;
}

bool FileBackedStore::makeBackup()
{
    // The files as they are on disk now, also when another program rewrote one
    // since we read it: a backup gives back what was there, not our view of it.
    std::vector<BackupFile> files;
    std::string unsaved;
    for (int i = 0; i < 3; ++i) {
        if (m_hives[i].dirty) unsaved += std::string(unsaved.empty() ? "" : ", ") + kHiveFiles[i];
        const std::string path = pathOf(i);
        if (fileIdOf(path).exists) files.push_back({kHiveFiles[i], path, {}});
    }
    const std::time_t now = std::time(nullptr);
    if (!unsaved.empty()) {
        // Changes of an earlier run replayed from the journal that could not be
        // saved: the folder says that they are not in it.
        const std::string note =
            "This backup holds the registry files as they were on disk at " + timeStamp(now) +
            " UTC, before Quarnel's first change of that session.\n"
            "Quarnel then also had changes of an earlier session to " +
            unsaved + " that it had not saved into the files yet (they were in " +
            m_journal.path() + "). Those changes are not in this backup.\n";
        files.push_back({kBackupNoteFile, {}, [note](const ChunkSink &sink) { sink(note); }});
    }
    std::string error;
    m_backupFolder =
        platform::makeBackup(safetyFolder(), kHiveFiles, files, now, m_sync, error, m_backupsKept);
    if (m_backupFolder.empty())
        m_backupFailure = "Quarnel cannot back up the registry before changing it, so it has "
                          "changed nothing.\n" +
                          error;
    else
        m_covered = true;
    return !m_backupFolder.empty();
}

std::string FileBackedStore::backupBeforeFirstChange()
{
    if (m_readOnly || backedUp()) return {};
    m_backupFailure.clear(); // asked again: try again
    return makeBackup() ? std::string() : m_backupFailure;
}

std::string FileBackedStore::restoreBackup(const std::string &backupFolder, std::string &madeBackup)
{
    madeBackup.clear();
    if (m_readOnly) return "The registry in " + m_directory + " is open read-only.";
    if (const std::string why = refusalReason(); !why.empty()) return why;
    if (m_unit.depth > 0) return "A change is still being made.";
    if (m_isWinePrefix)
        if (const pid_t server = runningWineServer(m_directory))
            return "Wine runs on the prefix " + m_directory + " (wineserver, process " +
                   std::to_string(server) +
                   "): close its Windows programs first. Nothing was restored.";
    // The backup's files read whole first: making the new backup may prune it.
    std::string contents[3];
    bool present[3] = {};
    for (int i = 0; i < 3; ++i) {
        const std::string path = backupFolder + "/" + kHiveFiles[i];
        if (!fileIdOf(path).exists) continue;
        std::string error;
        if (!readWholeFile(path, contents[i], error))
            return "Cannot read " + path + ", so nothing was restored.\n" + error;
        present[i] = true;
    }
    if (!present[0] && !present[1] && !present[2])
        return backupFolder + " holds no registry files; nothing was restored.";
    if (std::string failed = flush(); !failed.empty())
        return "Quarnel cannot save the registry before restoring, so nothing was restored.\n" +
               failed;
    // One unit: after a kill from here on the next start finds the registry as it
    // was or, once every file is written aside, as the backup's.
    JournalRestore restore{backupFolder, {}, false, {}};
    const uint64_t start = m_journal.end();
    std::string error;
    const auto giveUp = [&](const std::string &what) {
        removeRestoreFiles();
        std::string ignored;
        m_journal.truncateTo(start, ignored);
        madeBackup.clear(); // no file was replaced: the registry need not be opened again
        return what + ", so nothing was restored.\n" + error;
    };
    if (!m_journal.append(restoreRecord(restore), error))
        return giveUp("Quarnel cannot write to its journal");
    std::vector<BackupFile> now;
    for (int i = 0; i < 3; ++i)
        if (fileIdOf(pathOf(i)).exists) now.push_back({kHiveFiles[i], pathOf(i), {}});
    madeBackup = platform::makeBackup(safetyFolder(), kHiveFiles, now, std::time(nullptr), m_sync,
                                      error, m_backupsKept);
    if (madeBackup.empty()) return giveUp("Quarnel cannot back up the registry before restoring");
    restore.madeBefore = madeBackup;
    // All of them before any takes its place: a full disk stops the restore here.
    for (int i = 0; i < 3; ++i)
        if (present[i] && !writeAside(i, contents[i], restore.files[i], error))
            return giveUp("Quarnel cannot write the backup's " + std::string(kHiveFiles[i]) +
                          " beside the registry's");
    restore.ready = true;
    if (!m_journal.append(restoreRecord(restore), error))
        return giveUp("Quarnel cannot write to its journal");
    if (!finishRestore(restore, error))
        return "Quarnel could not put every file of the backup in place (" + error +
               "). It tries again when it opens this registry next.";
    for (int i = 0; i < 3; ++i)
        if (present[i]) m_hives[i].id = restore.files[i];
    m_covered = false; // no undo file leads from the backups to these files
    if (!m_journal.reset(hiveFiles(), error)) return error;
    return {};
}

bool FileBackedStore::writeAside(int hive, const std::string &text, FileId &written,
                                 std::string &error)
{
    const std::string aside = pathOf(hive) + kRestoreSuffix;
    const auto produce = [&text](const ChunkSink &sink) { sink(text); };
    if (!replaceFile(aside, produce, m_sync, written, error)) return false;
    // It takes the place of the registry's file: with that file's permissions.
    struct stat st
    {
    };
    if (::stat(pathOf(hive).c_str(), &st) == 0) ::chmod(aside.c_str(), st.st_mode & 07777);
    return true;
}

bool FileBackedStore::finishRestore(const JournalRestore &restore, std::string &error)
{
    for (int i = 0; i < 3; ++i) {
        const FileId &aside = restore.files[i];
        // Renamed, a file keeps its identity: one in place already was moved there.
        if (!aside.exists || fileIdOf(pathOf(i)) == aside) continue;
        const std::string from = pathOf(i) + kRestoreSuffix;
        if (fileIdOf(from) != aside) {
            error = from + " is not the file written for the restore any more";
            return false;
        }
        if (::rename(from.c_str(), pathOf(i).c_str()) != 0) {
            error = "cannot replace " + pathOf(i) + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

void FileBackedStore::removeRestoreFiles()
{
    for (int i = 0; i < 3; ++i) {
        const std::string aside = pathOf(i) + kRestoreSuffix;
        ::unlink(aside.c_str());
        ::unlink((aside + kTempSuffix).c_str());
    }
}

void FileBackedStore::settleRestore(const std::optional<JournalRestore> &restore,
                                    std::string &message)
{
    const auto add = [&message](const std::string &text) {
        message += (message.empty() ? "" : "\n") + text;
    };
    if (m_readOnly) {
        if (restore) add(restoreCutShortMessage(*restore, false));
        return;
    }
    std::string error;
    if (restore && restore->ready && !finishRestore(*restore, error))
        return goReadOnly(
            restoreCutShortMessage(*restore, false) + " (" + error + ")" + kShownReadOnly, message);
    if (restore) add(restoreCutShortMessage(*restore, true));
    removeRestoreFiles();
}

long FileBackedStore::journalFailed(const std::string &error)
{
    if (!m_journal.isSound()) m_journalError = error;
    if (m_unit.depth > 0) m_unit.failed = true;
    // Every change fails while this lasts; the user hears why once.
    if (!m_journalFailing)
        m_notice = "Quarnel cannot write to its journal, so it did not make the change that "
                   "needed it, and makes none until the journal can be written again (is the "
                   "disk full?).\n" +
                   error;
    m_journalFailing = true;
    return ERROR_CANTWRITE;
}

long FileBackedStore::recordChange(const RegKey &key, const PendingChange &change)
{
    if (key.isVolatile || change.volatileKey) return ERROR_SUCCESS;
    // A unit that lost a change is taken back whole: the rest of it need not be made.
    if (m_unit.depth > 0 && m_unit.failed) return ERROR_CANTWRITE;
    for (uint8_t i = 0; i < 3; ++i)
        if (!m_journal.follows(i)) m_trail.forget(i);
    const KeyTrail::Place place = m_trail.locate(key);
    if (place.hive < 0) return ERROR_SUCCESS;
    const int hive = place.hive;
    if (m_unit.depth > 0 && !m_unit.marked) {
        std::string error;
        const uint64_t start = m_journal.end();
        if (!m_journal.append(unitBeginRecord(m_unit.unit), error)) return journalFailed(error);
        m_unit.marked = true;
        m_unit.start = start;
    }
    JournalRecord r;
    r.hive = static_cast<uint8_t>(hive);
    r.time = change.time;
    r.name = change.name;
    r.kept = place.kept;
    for (const RegKey *k : place.added) {
        if (!r.path.empty()) r.path += u'\\';
        r.path += k->name().str();
    }
    switch (change.kind) {
    case StoreChange::KeyCreated:
        r.op = JournalRecord::KeyCreated;
        r.path += (r.path.empty() ? u"" : u"\\") + r.name;
        r.type = change.link ? 1 : 0;
        break;
    case StoreChange::ValueSet:
        r.op = JournalRecord::ValueSet;
        r.type = change.type;
        r.data.assign(change.data.begin(), change.data.end());
        break;
    case StoreChange::ValueDeleted: r.op = JournalRecord::ValueDeleted; break;
    case StoreChange::SubkeyDeleted: r.op = JournalRecord::SubkeyDeleted; break;
    case StoreChange::KeyMarked:
        r.op = JournalRecord::KeyMarked;
        r.type = change.link ? 1 : 0;
        break;
    }
    std::string error;
    if (!m_journal.append(r, error)) {
        m_trail.forget(hive);
        return journalFailed(error);
    }
    m_journalFailing = false;
    if (m_unit.depth > 0) m_unit.hives |= 1u << hive;
    m_trail.follow(place, change.kind == StoreChange::KeyCreated ? change.name : u"");
    m_hives[hive].dirty = true;
    m_lastChange = std::chrono::steady_clock::now();
    return ERROR_SUCCESS;
}

std::string FileBackedStore::refusalReason() const
{
    if (m_wineStarted) return m_wineStartedMessage;
    if (!m_journalError.empty())
        return "Quarnel cannot trust its journal with more changes, so it makes none.\n" +
               m_journalError;
    return {};
}

std::string FileBackedStore::takeNotice()
{
    return std::exchange(m_notice, std::string());
}

bool FileBackedStore::saveHive(int hive, std::string &error)
{
    Hive &h = m_hives[hive];
    const std::string path = pathOf(hive);
    if (fileIdOf(path) != h.id) {
        // Changed behind our back: take the file as it is now and put our
        // journaled changes on top, so that neither side's update is lost.
        m_covered = false; // what the other program wrote is in no backup
        std::string loadError;
        std::vector<JournalRecord> records;
        bool known = false;
        if (!Journal::peek(m_journal.path(), records, loadError) ||
            !loadHive(hive, changesNotIn(records, static_cast<uint8_t>(hive), h.id, known),
                      loadError)) {
            error = path + " was changed by another program and cannot be read now (" + loadError +
                    ").";
            return false;
        }
    }
    const auto produce = [&h](const ChunkSink &sink) { writeHive(*h.root, h.preamble, sink); };
    // Named in the journal before it takes the file's place: after a crash either
    // the old file or this one is there, and the journal knows both.
    const auto named = [this, hive](const FileId &id) {
        std::string ignored;
        m_journal.append(hiveFileRecord(static_cast<uint8_t>(hive), id), ignored);
    };
    if (!replaceFile(path, produce, m_sync, h.id, error, named)) return false;
    h.dirty = false;
    return true;
}

std::string FileBackedStore::flush()
{
    // A unit's changes reach the files together, once it is closed.
    if (m_readOnly || m_unit.depth > 0 || !hasUnsavedChanges()) return {};
    // A Wine started beside us with another TMPDIR never met our lock. It read
    // the files at its start and writes them back later: what we saved now would
    // be lost then, so it stays in the journal, and nothing more changes.
    if (m_isWinePrefix)
        if (const pid_t server = runningWineServer(m_directory)) {
            m_wineStarted = true;
            m_wineStartedMessage =
                "Wine was started on the prefix " + m_directory + " (wineserver, process " +
                std::to_string(server) +
                ") while Quarnel had it open. Quarnel does not save now, because Wine would "
                "overwrite the files later, and makes no more changes. Your changes are kept "
                "in " +
                m_journal.path() +
                ": close the Windows programs of this prefix, then start Quarnel again to "
                "apply them.";
            return m_wineStartedMessage;
        }
    std::string messages;
    bool allSaved = true;
    for (int i = 0; i < 3; ++i) {
        std::string error;
        if (m_hives[i].dirty && !saveHive(i, error)) {
            allSaved = false;
            messages += (messages.empty() ? "" : "\n") + error;
        }
    }
    std::string error;
    if (allSaved) {
        if (!m_journal.reset(hiveFiles(), error))
            messages += (messages.empty() ? "" : "\n") + error;
        // Should it fail, the next session makes a backup: nothing is lost.
        const FileId saved[3] = {m_hives[0].id, m_hives[1].id, m_hives[2].id};
        std::string ignored;
        if (m_covered) writeSavedFiles(safetyFolder(), kHiveFiles, saved, m_sync, ignored);
    } else {
        messages += "\nQuarnel keeps your changes in " + m_journal.path() +
                    ", tries to save them again later and otherwise applies them at its next "
                    "start.";
        // Keep only what has not reached its file, so that a later replay does
        // not undo what others changed in the files saved meanwhile.
        std::vector<JournalRecord> records, keep = hiveFiles();
        if (Journal::peek(m_journal.path(), records, error)) {
            for (uint8_t i = 0; i < 3; ++i) {
                bool known = false;
                if (m_hives[i].dirty)
                    for (auto &r : changesNotIn(records, i, m_hives[i].id, known))
                        keep.push_back(std::move(r));
            }
            m_journal.rewrite(keep, error);
        }
    }
    return messages;
}

std::string FileBackedStore::flushIfIdle(std::chrono::milliseconds quiet)
{
    const auto now = std::chrono::steady_clock::now();
    if (!hasUnsavedChanges() || now - m_lastChange < quiet || now < m_retryAfter) return {};
    std::string message = flush();
    // A save that fails is retried now and then, and reported once, not at every tick.
    if (message.empty()) {
        m_lastFailure.clear();
        return {};
    }
    m_retryAfter = now + std::chrono::seconds(30);
    if (message == m_lastFailure) return {};
    m_lastFailure = message;
    return message;
}

void FileBackedStore::beginUnit(const std::string &description, const std::string &undoFile,
                                const std::string &record)
{
    if (m_unit.depth++ > 0) return;
    const JournalUnit unit{description, undoFile, record};
    m_unit = OpenUnit{1, unit};
    if (const FileId undo = fileIdOf(unit.undoFile); undo.exists)
        m_unit.unit.undoFileSize = static_cast<int64_t>(undo.size);
}

bool FileBackedStore::endUnit(bool keep, std::string &error)
{
    if (m_unit.depth == 0) return keep;
    if (!keep) m_unit.failed = true; // nested: the outermost unit goes back whole
    if (--m_unit.depth > 0) return !m_unit.failed;
    const OpenUnit unit = m_unit;
    m_unit = {};
    if (!unit.marked) return !unit.failed; // nothing of it reached the journal or the keys
    std::string appendError;
    if (!unit.failed) {
        if (m_journal.append(unitEndRecord(), appendError)) return true;
        journalFailed(appendError);
    }
    m_unit = unit; // for takeBackUnit
    m_unit.depth = 0;
    takeBackUnit(error);
    m_unit = {};
    return false;
}

bool FileBackedStore::takeBackUnit(std::string &error)
{
    std::string cutError;
    if (!m_journal.truncateTo(m_unit.start, cutError)) m_journalError = cutError;
    // Left in the journal, the unit has no closing mark: it is not replayed.
    m_trail.forgetAll();
    std::vector<JournalRecord> records;
    std::string loadError;
    bool loaded = Journal::peek(m_journal.path(), records, loadError);
    for (int i = 0; loaded && i < 3; ++i) {
        if (!(m_unit.hives & (1u << i))) continue;
        Hive &h = m_hives[i];
        bool known = false;
        std::vector<JournalRecord> changes =
            changesNotIn(records, static_cast<uint8_t>(i), h.id, known);
        h.dirty = false; // loadHive marks it again when changes remain
        loaded = loadHive(i, changes, loadError);
    }
    if (loaded) return true;
    // What is in memory now is part of a unit: it must never reach the files.
    m_readOnly = true;
    m_journalError = "Quarnel could not take back " + m_unit.unit.description +
                     " after a failure (" + loadError +
                     "), so it makes and saves no more changes; the registry files are as they "
                     "were before it. Start Quarnel again.";
    error = m_journalError;
    return false;
}

std::string FileBackedStore::close()
{
    std::string message = flush();
    m_store->setHooks(std::make_shared<StoreHooks>());
    m_journal.close();
    m_trail.forgetAll();
    m_lock.release();
    m_readOnly = true;
    return message;
}

} // namespace quarnel::platform::wine
