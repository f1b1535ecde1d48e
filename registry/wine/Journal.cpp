#include "registry/wine/Journal.h"

#include "registry/source/SafeOpen.h"
#include "registry/win32/WideText.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarnel::platform::wine {

namespace {

constexpr char kMagic[8] = {'Q', 'R', 'N', 'L', 'J', 'R', 'N', '2'};
// The earlier format: records name their keys in full and have no `kept`.
constexpr char kLegacyMagic[8] = {'Q', 'R', 'N', 'L', 'J', 'R', 'N', '1'};
constexpr uint32_t kMaxRecord = 64u << 20;

uint32_t checksum(const uint8_t *p, std::size_t n)
{
    uint32_t h = 2166136261u; // FNV-1a
    for (std::size_t i = 0; i < n; ++i)
        h = (h ^ p[i]) * 16777619u;
    return h;
}

void put32(std::vector<uint8_t> &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void put64(std::vector<uint8_t> &out, uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void putText(std::vector<uint8_t> &out, const std::u16string &s)
{
    put32(out, static_cast<uint32_t>(s.size()));
    appendUtf16le(out, s);
}

struct Cursor
{
    const uint8_t *p;
    const uint8_t *end;
    bool ok = true;

    uint64_t get(int bytes)
    {
        if (end - p < bytes) {
            ok = false;
            return 0;
        }
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= static_cast<uint64_t>(p[i]) << (8 * i);
        p += bytes;
        return v;
    }
    std::u16string text()
    {
        const auto n = static_cast<std::size_t>(get(4));
        if (!ok || static_cast<std::size_t>(end - p) / 2 < n) {
            ok = false;
            return {};
        }
        std::u16string s = utf16leUnits(p, 2 * n);
        p += 2 * n;
        return s;
    }
};

std::vector<uint8_t> encode(const JournalRecord &r, bool legacy)
{
    std::vector<uint8_t> payload;
    payload.reserve(36 + r.path.size() * 2 + r.name.size() * 2 + r.data.size());
    payload.push_back(r.op);
    payload.push_back(r.hive);
    put64(payload, r.time);
    if (!legacy) put32(payload, r.kept);
    putText(payload, r.path);
    putText(payload, r.name);
    put32(payload, r.type);
    put32(payload, static_cast<uint32_t>(r.data.size()));
    payload.insert(payload.end(), r.data.begin(), r.data.end());
    std::vector<uint8_t> out;
    out.reserve(payload.size() + 8);
    put32(out, static_cast<uint32_t>(payload.size()));
    put32(out, checksum(payload.data(), payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

bool decode(const uint8_t *p, std::size_t n, bool legacy, JournalRecord &r)
{
    Cursor c{p, p + n};
    r.op = static_cast<JournalRecord::Op>(c.get(1));
    r.hive = static_cast<uint8_t>(c.get(1));
    r.time = c.get(8);
    r.kept = legacy ? 0 : static_cast<uint32_t>(c.get(4));
    r.path = c.text();
    r.name = c.text();
    r.type = static_cast<uint32_t>(c.get(4));
    const auto size = static_cast<std::size_t>(c.get(4));
    if (!c.ok || static_cast<std::size_t>(c.end - c.p) != size) return false;
    r.data.assign(c.p, c.end);
    return r.op >= JournalRecord::KeyCreated && r.op <= JournalRecord::Restore;
}

bool writeAll(int fd, const void *data, std::size_t n)
{
    const auto *p = static_cast<const uint8_t *>(data);
    while (n) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// Whether `bytes` begin a journal: a magic of ours, or the start of one (a
// journal whose creation was cut short).
bool isOurs(std::string_view bytes)
{
    const std::size_t n = std::min(bytes.size(), sizeof kMagic);
    return std::memcmp(bytes.data(), kMagic, n) == 0 ||
           std::memcmp(bytes.data(), kLegacyMagic, n) == 0;
}

bool isLegacy(std::string_view bytes)
{
    return bytes.size() >= sizeof kLegacyMagic &&
           std::memcmp(bytes.data(), kLegacyMagic, sizeof kLegacyMagic) == 0;
}

// Follows each hive's chain of records: one that keeps more keys than its
// predecessor named, or has none to keep them from, cannot be replayed.
class ChainCheck
{
public:
    bool accept(const JournalRecord &r)
    {
        int64_t &depth = m_depth[r.hive];
        if (r.op == JournalRecord::HiveFile) {
            depth = -1;
            return true;
        }
        if (r.kept > 0 && (depth < 0 || r.kept > depth)) return false;
        // The writer never names an empty key; a record that does is not ours.
        const std::u16string_view path = r.path;
        if (!path.empty() && (path.front() == u'\\' || path.back() == u'\\' ||
                              path.find(u"\\\\") != std::u16string_view::npos))
            return false;
        depth =
            int64_t(r.kept) + (path.empty() ? 0 : 1 + std::count(path.begin(), path.end(), u'\\'));
        return true;
    }

private:
    std::array<int64_t, 256> m_depth = filledWith(-1);
    static std::array<int64_t, 256> filledWith(int64_t v)
    {
        std::array<int64_t, 256> a;
        a.fill(v);
        return a;
    }
};

// Reads a journal's bytes through a window that slides along the file, so
// that a big journal (or a big file of garbage in its place) never sits in
// memory whole, and reading stops where the records stop.
class PieceReader
{
public:
    PieceReader(int fd, uint64_t size) : m_fd(fd), m_size(size) {}

    uint64_t size() const { return m_size; }
    // The `n` bytes at `at`, or nullptr when they cannot be read (past the end, a read error).
    const uint8_t *at(uint64_t at, std::size_t n)
    {
        if (at > m_size || m_size - at < n) return nullptr;
        if (at < m_start || at + n > m_start + m_filled) {
            const std::size_t room = std::max<std::size_t>(n, kWindow);
            if (m_buffer.size() < room) m_buffer.resize(room);
            m_start = at;
            m_filled = 0;
            const std::size_t want =
                static_cast<std::size_t>(std::min<uint64_t>(room, m_size - at));
            while (m_filled < want) {
                const ssize_t r = ::pread(m_fd, m_buffer.data() + m_filled, want - m_filled,
                                          static_cast<off_t>(at + m_filled));
                if (r < 0 && errno == EINTR) continue;
                if (r <= 0) break;
                m_filled += static_cast<std::size_t>(r);
            }
            if (m_filled < n) return nullptr;
        }
        return m_buffer.data() + (at - m_start);
    }

private:
    static constexpr std::size_t kWindow = std::size_t(1) << 20;
    int m_fd;
    uint64_t m_size;
    std::vector<uint8_t> m_buffer;
    uint64_t m_start = 0;
    std::size_t m_filled = 0;
};

// Splits a unit mark's data into what a unit is (earlier ones hold the first two only).
JournalUnit unitOf(const JournalRecord &r)
{
    std::string texts[4];
    std::size_t n = 0;
    for (uint8_t byte : r.data) {
        if (byte == 0 && n < 3)
            ++n;
        else
            texts[n].push_back(static_cast<char>(byte));
    }
    JournalUnit unit{texts[0], texts[1], texts[2], -1};
    if (!texts[3].empty() && texts[3].size() <= 18 &&
        texts[3].find_first_not_of("0123456789") == std::string::npos)
        unit.undoFileSize = std::stoll(texts[3]);
    return unit;
}

std::vector<uint8_t> encodeId(const FileId &id)
{
    std::vector<uint8_t> out{static_cast<uint8_t>(id.exists)};
    for (uint64_t v : {id.device, id.inode, id.size, static_cast<uint64_t>(id.mtimeSec),
                       static_cast<uint64_t>(id.mtimeNsec)})
        put64(out, v);
    return out;
}

FileId decodeId(Cursor &c)
{
    FileId id;
    id.exists = c.get(1) != 0;
    id.device = c.get(8);
    id.inode = c.get(8);
    id.size = c.get(8);
    id.mtimeSec = static_cast<int64_t>(c.get(8));
    id.mtimeNsec = static_cast<int64_t>(c.get(8));
    return id;
}

// A restore record's data: the two folders, each ended by a NUL, then the three files.
std::optional<JournalRestore> restoreOf(const JournalRecord &r)
{
    JournalRestore restore;
    restore.ready = r.type != 0;
    const auto *p = r.data.data();
    const auto *end = p + r.data.size();
    for (std::string *folder : {&restore.backup, &restore.madeBefore}) {
        const auto *nul = std::find(p, end, uint8_t(0));
        if (nul == end) return std::nullopt;
        folder->assign(p, nul);
        p = nul + 1;
    }
    Cursor c{p, end};
    for (FileId &id : restore.files)
        id = decodeId(c);
    if (!c.ok) return std::nullopt;
    return restore;
}

struct Parsed
{
    uint64_t intact = 0; // where the whole records end; 0: no journal of ours
    bool legacy = false;
    JournalGaps gaps;
};

// Reads the records of the file open as `fd`; unit marks are taken out, and the
// records of a unit without its closing mark are dropped.
Parsed parse(int fd, uint64_t size, std::vector<JournalRecord> &records)
{
    Parsed result;
    PieceReader file(fd, size);
    const uint8_t *magic = file.at(0, std::min<uint64_t>(size, sizeof kMagic));
    const std::string_view head(reinterpret_cast<const char *>(magic),
                                magic ? std::min<uint64_t>(size, sizeof kMagic) : 0);
    if (size < sizeof kMagic || !isOurs(head)) return result;
    result.legacy = isLegacy(head);
    ChainCheck chains;
    uint64_t pos = sizeof kMagic;
    constexpr std::size_t kNoUnit = std::size_t(-1);
    std::size_t unitStart = kNoUnit; // where the open unit's records begin
    JournalUnit unit;
    bool damaged = false;
    while (size - pos >= 8) {
        const uint8_t *header = file.at(pos, 8);
        if (!header) break;
        Cursor c{header, header + 8};
        const auto len = static_cast<uint32_t>(c.get(4));
        const auto sum = static_cast<uint32_t>(c.get(4));
        if (len > kMaxRecord) {
            damaged = true;
            break;
        }
        if (size - pos - 8 < len) break; // cut short while it was written
        const uint8_t *payload = file.at(pos + 8, len);
        JournalRecord r;
        if (!payload || checksum(payload, len) != sum || !decode(payload, len, result.legacy, r) ||
            !chains.accept(r)) {
            damaged = true;
            break;
        }
        pos += 8 + len;
        if (r.op == JournalRecord::UnitBegin) {
            if (unitStart == kNoUnit) {
                unitStart = records.size();
                unit = unitOf(r);
            }
        } else if (r.op == JournalRecord::UnitEnd) {
            unitStart = kNoUnit;
        } else if (r.op == JournalRecord::Restore) {
            result.gaps.restore = restoreOf(r);
        } else {
            records.push_back(std::move(r));
        }
    }
    if (unitStart != kNoUnit) {
        records.resize(unitStart);
        result.gaps.cutShort.push_back(std::move(unit));
    }
    result.intact = pos;
    result.gaps.droppedAt = pos;
    result.gaps.droppedBytes = size - pos;
    result.gaps.damaged = damaged;
    return result;
}

// Encodes the records, or returns false when one of them cannot be replayed.
bool encodeAll(const std::vector<JournalRecord> &records, std::vector<uint8_t> &bytes)
{
    ChainCheck chains;
    for (const JournalRecord &r : records) {
        if (!chains.accept(r)) return false;
        const auto e = encode(r, false);
        bytes.insert(bytes.end(), e.begin(), e.end());
    }
    return true;
}

} // namespace

bool Journal::open(const std::string &path, std::vector<JournalRecord> &records, JournalGaps &gaps,
                   std::string &error)
{
    close();
    records.clear();
    gaps = {};
    m_sound = true;
    m_legacy = false;
    std::fill(std::begin(m_follows), std::end(m_follows), false);
    m_fd = openForWriting(path, O_RDWR | O_CREAT, 0600, error);
    if (m_fd < 0) return false;
    m_path = path;
    struct stat st
    {
    };
    if (::fstat(m_fd, &st) != 0) {
        error = "cannot read the journal " + path + ": " + std::strerror(errno);
        close();
        return false;
    }
    const auto size = static_cast<uint64_t>(st.st_size);
    char head[sizeof kMagic];
    const ssize_t got = ::pread(m_fd, head, std::min<uint64_t>(size, sizeof head), 0);
    if (got < 0) {
        error = "cannot read the journal " + path + ": " + std::strerror(errno);
        close();
        return false;
    }
    if (!isOurs(std::string_view(head, static_cast<std::size_t>(got)))) {
        error = path + " is not a journal of Quarnel's. Quarnel leaves it as it is; move it out "
                       "of the way to make changes.";
        close();
        return false;
    }
    Parsed parsed = parse(m_fd, size, records);
    gaps = std::move(parsed.gaps);
    uint64_t intact = parsed.intact;
    if (intact == 0) {
        // New, or its creation was cut short: start it afresh with our magic.
        gaps.droppedBytes = size;
        if (::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0 ||
            !writeAll(m_fd, kMagic, sizeof kMagic)) {
            error = "cannot write the journal " + path + ": " + std::strerror(errno);
            close();
            return false;
        }
        intact = sizeof kMagic;
    } else if (intact < size) {
        if (::ftruncate(m_fd, static_cast<off_t>(intact)) != 0) {
            error = "cannot repair the journal " + path + ": " + std::strerror(errno);
            close();
            return false;
        }
    }
    // One of the earlier format is appended to in it until it is rewritten or emptied.
    m_legacy = parsed.legacy;
    m_end = intact;
    ::lseek(m_fd, static_cast<off_t>(intact), SEEK_SET);
    return true;
}

bool Journal::peek(const std::string &path, std::vector<JournalRecord> &records, std::string &error,
                   JournalGaps *gaps)
{
    records.clear();
    struct stat st
    {
    };
    if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) return true;
    const int fd = openForReading(path, false, error);
    if (fd < 0) return false;
    const bool ok = ::fstat(fd, &st) == 0;
    if (ok) {
        Parsed parsed = parse(fd, static_cast<uint64_t>(st.st_size), records);
        if (gaps) *gaps = std::move(parsed.gaps);
    } else {
        error = "cannot read the journal " + path + ": " + std::strerror(errno);
    }
    ::close(fd);
    return ok;
}

bool Journal::append(const JournalRecord &record, std::string &error)
{
    if (m_fd < 0 || !m_sound) {
        error = "the journal " + m_path + " cannot be written";
        return false;
    }
    const bool chained = record.op != JournalRecord::HiveFile && !m_legacy;
    const bool hadPrevious = follows(record.hive);
    if (record.hive < 3) m_follows[record.hive] = false; // until this record is in
    if (record.kept > 0 && !hadPrevious) {
        error = "a change for the journal " + m_path + " names no whole key";
        return false;
    }
    const std::vector<uint8_t> bytes = encode(record, m_legacy);
    if (bytes.size() - 8 > kMaxRecord || m_end + bytes.size() > kMaxFileBytes) {
        error = "the change is too large for the journal " + m_path;
        return false;
    }
    if (writeAll(m_fd, bytes.data(), bytes.size())) {
        m_end += bytes.size();
        if (record.hive < 3) m_follows[record.hive] = chained;
        return true;
    }
    error = "cannot write the journal " + m_path + ": " + std::strerror(errno);
    // Whatever part of the record made it would hide every record after it.
    m_sound = ::ftruncate(m_fd, static_cast<off_t>(m_end)) == 0 &&
              ::lseek(m_fd, static_cast<off_t>(m_end), SEEK_SET) == static_cast<off_t>(m_end);
    return false;
}

bool Journal::rewrite(const std::vector<JournalRecord> &records, std::string &error)
{
    std::vector<uint8_t> bytes(kMagic, kMagic + sizeof kMagic);
    if (!encodeAll(records, bytes)) {
        error = "cannot rewrite the journal " + m_path + ": a change names no whole key";
        return false;
    }
    // Written aside and renamed, so a crash leaves either the old or the new journal.
    const std::string temp = m_path + ".new";
    ::unlink(temp.c_str()); // a link planted under this name goes, unfollowed
    const int fd = openForWriting(temp, O_WRONLY | O_CREAT | O_EXCL, 0600, error);
    if (fd < 0) return false;
    if (!writeAll(fd, bytes.data(), bytes.size()) || ::fsync(fd) != 0 ||
        ::rename(temp.c_str(), m_path.c_str()) != 0) {
        error = "cannot rewrite the journal " + m_path + ": " + std::strerror(errno);
        ::close(fd);
        ::unlink(temp.c_str());
        return false;
    }
    close();
    m_fd = fd;
    m_end = bytes.size();
    m_sound = true;
    m_legacy = false;
    std::fill(std::begin(m_follows), std::end(m_follows), false);
    ::lseek(m_fd, 0, SEEK_END);
    return true;
}

bool Journal::reset(const std::vector<JournalRecord> &start, std::string &error)
{
    std::vector<uint8_t> bytes;
    if (!encodeAll(start, bytes)) {
        error = "cannot empty the journal " + m_path + ": a change names no whole key";
        return false;
    }
    if (m_fd < 0 || ::ftruncate(m_fd, sizeof kMagic) != 0) {
        error = "cannot empty the journal " + m_path + ": " + std::strerror(errno);
        return false;
    }
    m_end = sizeof kMagic;
    std::fill(std::begin(m_follows), std::end(m_follows), false);
    // Emptied before the magic changes: the earlier format's magic on no
    // records is a sound journal, the new one on the earlier records is not.
    if (m_legacy && ::pwrite(m_fd, kMagic, sizeof kMagic, 0) == sizeof kMagic) m_legacy = false;
    m_sound = ::lseek(m_fd, sizeof kMagic, SEEK_SET) == static_cast<off_t>(sizeof kMagic);
    if (!m_sound || m_legacy) {
        error = "cannot empty the journal " + m_path + ": " + std::strerror(errno);
        return false;
    }
    if (!writeAll(m_fd, bytes.data(), bytes.size())) {
        error = "cannot write the journal " + m_path + ": " + std::strerror(errno);
        m_sound = ::ftruncate(m_fd, sizeof kMagic) == 0 &&
                  ::lseek(m_fd, sizeof kMagic, SEEK_SET) == static_cast<off_t>(sizeof kMagic);
        return false;
    }
    m_end += bytes.size();
    return true;
}

bool Journal::truncateTo(uint64_t end, std::string &error)
{
    std::fill(std::begin(m_follows), std::end(m_follows), false);
    m_sound = m_fd >= 0 && end <= m_end && ::ftruncate(m_fd, static_cast<off_t>(end)) == 0 &&
              ::lseek(m_fd, static_cast<off_t>(end), SEEK_SET) == static_cast<off_t>(end);
    if (!m_sound) {
        error = "cannot cut back the journal " + m_path + ": " + std::strerror(errno);
        return false;
    }
    m_end = end;
    return true;
}

void Journal::close()
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

JournalRecord hiveFileRecord(uint8_t hive, const FileId &id)
{
    JournalRecord r;
    r.op = JournalRecord::HiveFile;
    r.hive = hive;
    r.data = encodeId(id);
    return r;
}

JournalRecord unitBeginRecord(const JournalUnit &unit)
{
    JournalRecord r;
    r.op = JournalRecord::UnitBegin;
    r.hive = kNoHive;
    const std::string size = unit.undoFileSize < 0 ? "" : std::to_string(unit.undoFileSize);
    for (const std::string *text : {&unit.description, &unit.undoFile, &unit.record, &size}) {
        if (text != &unit.description) r.data.push_back(0);
        r.data.insert(r.data.end(), text->begin(), text->end());
    }
    return r;
}

JournalRecord restoreRecord(const JournalRestore &restore)
{
    JournalRecord r;
    r.op = JournalRecord::Restore;
    r.hive = kNoHive;
    r.type = restore.ready ? 1 : 0;
    for (const std::string *folder : {&restore.backup, &restore.madeBefore}) {
        r.data.insert(r.data.end(), folder->begin(), folder->end());
        r.data.push_back(0);
    }
    for (const FileId &id : restore.files) {
        const std::vector<uint8_t> bytes = encodeId(id);
        r.data.insert(r.data.end(), bytes.begin(), bytes.end());
    }
    return r;
}

JournalRecord unitEndRecord()
{
    JournalRecord r;
    r.op = JournalRecord::UnitEnd;
    r.hive = kNoHive;
    return r;
}

std::vector<JournalRecord> changesNotIn(const std::vector<JournalRecord> &records, uint8_t hive,
                                        const FileId &onDisk, bool &known)
{
    const std::vector<uint8_t> id = encodeId(onDisk);
    const auto names = [&](const JournalRecord &r) {
        return r.op == JournalRecord::HiveFile && r.hive == hive && r.data == id;
    };
    const auto last = std::find_if(records.rbegin(), records.rend(), names);
    known = last != records.rend();
    std::vector<JournalRecord> changes;
    for (auto it = known ? last.base() : records.begin(); it != records.end(); ++it)
        if (it->hive == hive && it->op != JournalRecord::HiveFile) changes.push_back(*it);
    return changes;
}

} // namespace quarnel::platform::wine
