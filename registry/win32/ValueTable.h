// A key's values, sorted by name (the default value, named "", first), kept in
// one block per key: a registry holds hundreds of thousands of values, and a
// block each, with its own header and rounding, cost more than their text.
// Names and string data are kept narrow where they can be (see UnitText).
#pragma once

#include "registry/win32/RegText.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace quarnel::platform {

// REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ: data stored as UTF-16LE text.
inline bool isStringType(uint32_t type)
{
    return type == 1 || type == 2 || type == 7;
}

// Value data as the calls see it: the stored bytes, string data in UTF-16LE;
// held as one byte a unit where string data allows.
class ValueData
{
public:
    ValueData() = default;
    ValueData(const uint8_t *bytes, std::size_t size, bool narrow)
        : m_bytes(bytes), m_size(size), m_narrow(narrow)
    {
    }

    // Size of the stored bytes, as RegQueryValueExW reports it.
    std::size_t size() const { return m_narrow ? 2 * m_size : m_size; }
    uint8_t operator[](std::size_t i) const
    {
        return m_narrow ? (i % 2 ? 0 : m_bytes[i / 2]) : m_bytes[i];
    }
    void copyTo(uint8_t *out) const;
    std::vector<uint8_t> bytes() const;
    // String data as text: whole UTF-16 units only.
    UnitText units() const;
    bool isNarrow() const { return m_narrow; }
    // What is held: the units when narrow, else the stored bytes.
    std::span<const uint8_t> held() const { return {m_bytes, m_size}; }

private:
    const uint8_t *m_bytes = nullptr;
    std::size_t m_size = 0; // narrow: units, else bytes
    bool m_narrow = false;
};

// One value, read in place: valid until its key's values change.
class ValueRef
{
public:
    ValueRef(UnitText name, uint32_t type, ValueData data) : type(type), m_name(name), m_data(data)
    {
    }
    UnitText name() const { return m_name; }
    ValueData data() const { return m_data; }
    std::vector<uint8_t> dataCopy() const { return m_data.bytes(); }

    uint32_t type;

private:
    UnitText m_name;
    ValueData m_data;
};

class ValueTable
{
private:
    struct Header
    {
        uint32_t count;
        uint32_t entryCapacity;
        uint32_t used;     // bytes of the record area in use, garbage included
        uint32_t capacity; // bytes of the record area
        uint32_t garbage;  // bytes no record uses any more
    };
    struct Entry
    {
        uint32_t offset; // of the record in the record area: the name, then the data
        uint32_t type;
        uint32_t nameInfo; // units; kWideFlag when they take two bytes
        uint32_t dataInfo; // stored bytes; kNarrowFlag for string data kept one byte a unit
    };
    static constexpr uint32_t kWideFlag = 0x80000000u;
    static constexpr uint32_t kNarrowFlag = 0x80000000u;

public:
    ValueTable() = default;
    ValueTable(ValueTable &&other) noexcept = default;
    ValueTable &operator=(ValueTable &&other) noexcept = default;

    std::size_t size() const { return m_block ? header().count : 0; }
    bool empty() const { return size() == 0; }
    ValueRef operator[](std::size_t i) const;

    class Iterator
    {
    public:
        Iterator(const ValueTable *table, std::size_t i) : m_table(table), m_i(i) {}
        ValueRef operator*() const { return (*m_table)[m_i]; }
        Iterator &operator++() { return ++m_i, *this; }
        bool operator==(const Iterator &other) const { return m_i == other.m_i; }

    private:
        const ValueTable *m_table;
        std::size_t m_i;
    };
    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, size()}; }

    // Index of the value with this name, or of where it would go.
    std::size_t position(UnitText name, bool &found) const;
    std::optional<ValueRef> find(UnitText name) const;

    // The most data one value may hold, and whether this table can take a value
    // of this size besides what it holds (its records are found by 32-bit offsets).
    static constexpr std::size_t kMaxDataBytes = std::size_t(1) << 30;
    bool canHold(std::size_t nameUnits, std::size_t dataBytes) const;

    // Adds the value or changes the one of that name; throws std::length_error
    // for one canHold refuses. Name and data may lie in this table.
    void set(UnitText name, uint32_t type, ValueData data);
    bool remove(UnitText name);

    // Values added in order, as a file lists them, and handed to a key in one
    // exact block; its buffers are kept for the next key.
    class Builder
    {
    public:
        bool empty() const { return m_entries.empty(); }
        // Whether `name` sorts after every value added so far.
        bool sortsLast(UnitText name) const;
        void add(UnitText name, uint32_t type, ValueData data);
        ValueTable take();

    private:
        std::vector<Entry> m_entries;
        std::vector<uint8_t> m_bytes;
    };

private:
    Header &header() const { return *reinterpret_cast<Header *>(m_block.get()); }
    Entry *entries() const { return reinterpret_cast<Entry *>(m_block.get() + sizeof(Header)); }
    uint8_t *records() const
    {
        return m_block.get() + sizeof(Header) + header().entryCapacity * sizeof(Entry);
    }
    static std::size_t recordSize(const Entry &e);
    static Entry encode(UnitText name, uint32_t type, ValueData data, std::size_t &size);
    static std::size_t nameBytes(const Entry &e); // with its padding to an even size
    static void writeRecord(uint8_t *at, const Entry &e, UnitText name, ValueData data);
    static void writeData(uint8_t *at, const Entry &e, ValueData data);
    static UnitText nameAt(const uint8_t *record, const Entry &e);
    // A new block with room for `entries` entries and `bytes` record bytes, the
    // live records packed at its front.
    void rebuild(std::size_t entries, std::size_t bytes);
    static constexpr std::size_t kMaxBlockBytes = UINT32_MAX / 2;
    bool owns(const void *p) const;

    std::unique_ptr<uint8_t[]> m_block;
};

} // namespace quarnel::platform
