// An append-only record of every change since the registry files were last
// saved. Each change is one write() before the call that made it returns, so it
// survives the process being killed; a record cut short by a crash is detected
// by its length and checksum and ignored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quarnel::platform::wine {

struct JournalRecord
{
    enum Op : uint8_t
    {
        KeyCreated = 1,
        ValueSet = 2,
        ValueDeleted = 3,
        SubkeyDeleted = 4,
        KeyMarked = 5 // `name` is the key's class; `type` 1 marks a symbolic link
    };
    Op op = KeyCreated;
    uint8_t hive = 0;
    uint64_t time = 0;      // the key's last-write time after the change
    std::u16string path;    // key below the hive's root, components joined by '\'
    std::u16string name;    // value name, or the deleted subkey's name
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

class Journal
{
public:
    Journal() = default;
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;
    ~Journal() { close(); }

    // Opens (creating) the journal and reads the records it holds. A torn last
    // record is reported in `tornBytes` and cut off the file.
    bool open(const std::string &path, std::vector<JournalRecord> &records, std::size_t &tornBytes,
              std::string &error);
    // Opens the journal read-only and returns its records (for a registry opened read-only).
    static bool peek(const std::string &path, std::vector<JournalRecord> &records, std::string &error);

    bool append(const JournalRecord &record, std::string &error);
    // Replaces the journal's content with these records (those not yet saved).
    bool rewrite(const std::vector<JournalRecord> &records, std::string &error);
    // Empties the journal once everything in it has reached the registry files.
    bool reset(std::string &error);
    void close();

    const std::string &path() const { return m_path; }
    bool isOpen() const { return m_fd >= 0; }

private:
    std::string m_path;
    int m_fd = -1;
};

} // namespace quarnel::platform::wine
