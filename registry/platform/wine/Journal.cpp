#include "Journal.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarnel::platform::wine {

namespace {

constexpr char kMagic[8] = {'Q', 'R', 'N', 'L', 'J', 'R', 'N', '1'};
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

std::vector<uint8_t> encode(const JournalRecord &r)
{
    std::vector<uint8_t> payload;
    payload.reserve(32 + r.path.size() * 2 + r.name.size() * 2 + r.data.size());
    payload.push_back(r.op);
    payload.push_back(r.hive);
    put64(payload, r.time);
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

bool decode(const uint8_t *p, std::size_t n, JournalRecord &r)
{
    Cursor c{p, p + n};
    r.op = static_cast<JournalRecord::Op>(c.get(1));
    r.hive = static_cast<uint8_t>(c.get(1));
    r.time = c.get(8);
    r.path = c.text();
    r.name = c.text();
    r.type = static_cast<uint32_t>(c.get(4));
    const auto size = static_cast<std::size_t>(c.get(4));
    if (!c.ok || static_cast<std::size_t>(c.end - c.p) != size)
        return false;
    r.data.assign(c.p, c.end);
    return r.op >= JournalRecord::KeyCreated && r.op <= JournalRecord::KeyMarked;
}

bool writeAll(int fd, const void *data, std::size_t n)
{
    const auto *p = static_cast<const uint8_t *>(data);
    while (n) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool readFile(int fd, std::vector<uint8_t> &bytes)
{
    bytes.clear();
    uint8_t buf[1 << 16];
    for (;;) {
        const ssize_t r = ::read(fd, buf, sizeof buf);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return false;
        if (r == 0)
            return true;
        bytes.insert(bytes.end(), buf, buf + r);
    }
}

// Parses records; returns the length of the intact part.
std::size_t parse(const std::vector<uint8_t> &bytes, std::vector<JournalRecord> &records)
{
    if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return 0;
    std::size_t pos = sizeof kMagic;
    while (bytes.size() - pos >= 8) {
        Cursor c{bytes.data() + pos, bytes.data() + bytes.size()};
        const auto len = static_cast<uint32_t>(c.get(4));
        const auto sum = static_cast<uint32_t>(c.get(4));
        if (len > kMaxRecord || bytes.size() - pos - 8 < len)
            break;
        const uint8_t *payload = bytes.data() + pos + 8;
        JournalRecord r;
        if (checksum(payload, len) != sum || !decode(payload, len, r))
            break;
        records.push_back(std::move(r));
        pos += 8 + len;
    }
    return pos;
}

} // namespace

bool Journal::open(const std::string &path, std::vector<JournalRecord> &records,
                   std::size_t &tornBytes, std::string &error)
{
    close();
    records.clear();
    tornBytes = 0;
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        error = "cannot open the journal " + path + ": " + std::strerror(errno);
        return false;
    }
    m_path = path;
    std::vector<uint8_t> bytes;
    if (!readFile(m_fd, bytes)) {
        error = "cannot read the journal " + path + ": " + std::strerror(errno);
        close();
        return false;
    }
    std::size_t intact = parse(bytes, records);
    if (intact == 0) {
        // New, empty or foreign: start it afresh with our magic.
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
    ::lseek(m_fd, static_cast<off_t>(intact), SEEK_SET);
    return true;
}

bool Journal::peek(const std::string &path, std::vector<JournalRecord> &records, std::string &error)
{
    records.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || (error = "cannot open the journal " + path, false);
    std::vector<uint8_t> bytes;
    const bool ok = readFile(fd, bytes);
    ::close(fd);
    if (ok)
        parse(bytes, records);
    return ok;
}

bool Journal::append(const JournalRecord &record, std::string &error)
{
    if (m_fd < 0) {
        error = "the journal is not open";
        return false;
    }
    const std::vector<uint8_t> bytes = encode(record);
    if (!writeAll(m_fd, bytes.data(), bytes.size())) {
        error = "cannot write the journal " + m_path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool Journal::rewrite(const std::vector<JournalRecord> &records, std::string &error)
{
    std::vector<uint8_t> bytes(kMagic, kMagic + sizeof kMagic);
    for (const JournalRecord &r : records) {
        const auto e = encode(r);
        bytes.insert(bytes.end(), e.begin(), e.end());
    }
    // Written aside and renamed, so a crash leaves either the old or the new journal.
    const std::string temp = m_path + ".new";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || !writeAll(fd, bytes.data(), bytes.size()) || ::fsync(fd) != 0 ||
        ::rename(temp.c_str(), m_path.c_str()) != 0) {
        error = "cannot rewrite the journal " + m_path + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        ::unlink(temp.c_str());
        return false;
    }
    ::close(m_fd);
    m_fd = fd;
    ::lseek(m_fd, 0, SEEK_END);
    return true;
}

bool Journal::reset(std::string &error)
{
    if (m_fd < 0 || ::ftruncate(m_fd, sizeof kMagic) != 0 ||
        ::lseek(m_fd, sizeof kMagic, SEEK_SET) != static_cast<off_t>(sizeof kMagic)) {
        error = "cannot empty the journal " + m_path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void Journal::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

} // namespace quarnel::platform::wine
