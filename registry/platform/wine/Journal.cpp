#include "registry/platform/wine/Journal.h"

#include "registry/platform/wine/SafeOpen.h"

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
    for (char16_t c : s) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
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
        std::u16string s(n, u'\0');
        for (std::size_t i = 0; i < n; ++i)
            s[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
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
    return r.op >= JournalRecord::KeyCreated && r.op <= JournalRecord::HiveFile;
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

// Parses records; returns the length of the intact part.
std::size_t parse(std::string_view text, std::vector<JournalRecord> &records)
{
    const auto *bytes = reinterpret_cast<const uint8_t *>(text.data());
    if (text.size() < sizeof kMagic || !isOurs(text)) return 0;
    const bool legacy = isLegacy(text);
    ChainCheck chains;
    std::size_t pos = sizeof kMagic;
    while (text.size() - pos >= 8) {
        Cursor c{bytes + pos, bytes + text.size()};
        const auto len = static_cast<uint32_t>(c.get(4));
        const auto sum = static_cast<uint32_t>(c.get(4));
        if (len > kMaxRecord || text.size() - pos - 8 < len) break;
        const uint8_t *payload = bytes + pos + 8;
        JournalRecord r;
        if (checksum(payload, len) != sum || !decode(payload, len, legacy, r) || !chains.accept(r))
            break;
        records.push_back(std::move(r));
        pos += 8 + len;
    }
    return pos;
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

std::vector<uint8_t> encodeId(const FileId &id)
{
    std::vector<uint8_t> out{static_cast<uint8_t>(id.exists)};
    for (uint64_t v : {id.device, id.inode, id.size, static_cast<uint64_t>(id.mtimeSec),
                       static_cast<uint64_t>(id.mtimeNsec)})
        put64(out, v);
    return out;
}

} // namespace

bool Journal::open(const std::string &path, std::vector<JournalRecord> &records,
                   std::size_t &tornBytes, std::string &error)
{
    close();
    records.clear();
    tornBytes = 0;
    m_sound = true;
    m_legacy = false;
    std::fill(std::begin(m_follows), std::end(m_follows), false);
    m_fd = openForWriting(path, O_RDWR | O_CREAT, 0600, error);
    if (m_fd < 0) return false;
    m_path = path;
    FileContent file;
    if (!file.readFrom(m_fd, path, error)) {
        close();
        return false;
    }
    const std::string_view bytes = file.text();
    if (!isOurs(bytes)) {
        error = path + " is not a journal of Quarnel's. Quarnel leaves it as it is; move it out "
                       "of the way to make changes.";
        close();
        return false;
    }
    std::size_t intact = parse(bytes, records);
    if (intact == 0) {
        // New, or its creation was cut short: start it afresh with our magic.
        tornBytes = bytes.size();
        if (::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0 ||
            !writeAll(m_fd, kMagic, sizeof kMagic)) {
            error = "cannot write the journal " + path + ": " + std::strerror(errno);
            close();
            return false;
        }
        intact = sizeof kMagic;
    } else if (intact < bytes.size()) {
        tornBytes = bytes.size() - intact;
        if (::ftruncate(m_fd, static_cast<off_t>(intact)) != 0) {
            error = "cannot repair the journal " + path + ": " + std::strerror(errno);
            close();
            return false;
        }
    }
    // One of the earlier format is appended to in it until it is rewritten or emptied.
    m_legacy = isLegacy(bytes);
    m_end = intact;
    ::lseek(m_fd, static_cast<off_t>(intact), SEEK_SET);
    return true;
}

bool Journal::peek(const std::string &path, std::vector<JournalRecord> &records, std::string &error)
{
    records.clear();
    struct stat st
    {
    };
    if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) return true;
    const int fd = openForReading(path, false, error);
    if (fd < 0) return false;
    FileContent file;
    const bool ok = file.readFrom(fd, path, error);
    ::close(fd);
    if (ok) parse(file.text(), records);
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
