#include "registry/win32/ValueTable.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

namespace quarnel::platform {

// String data is read in place as UTF-16LE units.
static_assert(std::endian::native == std::endian::little);

namespace {

// Whether stored string data can be kept one byte a unit.
bool dataFitsNarrow(uint32_t type, std::span<const uint8_t> data)
{
    return isStringType(type) && fitsNarrow(data);
}

std::size_t evenUp(std::size_t n)
{
    return (n + 1) & ~std::size_t(1);
}

// The low byte of each of `count` units, read from UTF-16LE bytes.
void narrowBytes(const uint8_t *from, std::size_t count, uint8_t *to)
{
    for (std::size_t i = 0; i < count; ++i)
        to[i] = from[2 * i];
}

} // namespace

void ValueData::copyTo(uint8_t *out) const
{
    if (!m_narrow) {
        if (m_size) std::memcpy(out, m_bytes, m_size);
        return;
    }
    for (std::size_t i = 0; i < m_size; ++i) {
        out[2 * i] = m_bytes[i];
        out[2 * i + 1] = 0;
    }
}

std::vector<uint8_t> ValueData::bytes() const
{
    std::vector<uint8_t> out(size());
    copyTo(out.data());
    return out;
}

UnitText ValueData::units() const
{
    if (m_narrow) return {m_bytes, m_size};
    return std::u16string_view(reinterpret_cast<const char16_t *>(m_bytes), m_size / 2);
}

UnitText ValueTable::nameAt(const uint8_t *record, const Entry &e)
{
    const std::size_t units = e.nameInfo & ~kWideFlag;
    if (e.nameInfo & kWideFlag)
        return std::u16string_view(reinterpret_cast<const char16_t *>(record), units);
    return {record, units};
}

ValueRef ValueTable::operator[](std::size_t i) const
{
    const Entry &e = entries()[i];
    const uint8_t *record = records() + e.offset;
    const UnitText name = nameAt(record, e);
    return {name, e.type,
            ValueData(record + nameBytes(e), e.dataInfo & ~kNarrowFlag, e.dataInfo & kNarrowFlag)};
}

std::size_t ValueTable::recordSize(const Entry &e)
{
    return evenUp(nameBytes(e) + (e.dataInfo & ~kNarrowFlag));
}

ValueTable::Entry ValueTable::encode(UnitText name, uint32_t type, ValueData data,
                                     std::size_t &size)
{
    // Sizes share their word with a flag.
    if (name.size() > kMaxDataBytes || data.held().size() > kMaxDataBytes)
        throw std::length_error("value too large");
    Entry e{};
    e.type = type;
    const bool narrowName = name.fitsNarrow();
    e.nameInfo = static_cast<uint32_t>(name.size()) | (narrowName ? 0 : kWideFlag);
    if (data.isNarrow())
        e.dataInfo = static_cast<uint32_t>(data.held().size()) | kNarrowFlag;
    else if (dataFitsNarrow(type, data.held()))
        e.dataInfo = static_cast<uint32_t>(data.held().size() / 2) | kNarrowFlag;
    else
        e.dataInfo = static_cast<uint32_t>(data.held().size());
    size = recordSize(e);
    return e;
}

std::size_t ValueTable::nameBytes(const Entry &e)
{
    const std::size_t units = e.nameInfo & ~kWideFlag;
    return evenUp(e.nameInfo & kWideFlag ? 2 * units : units);
}

void ValueTable::writeRecord(uint8_t *at, const Entry &e, UnitText name, ValueData data)
{
    if (e.nameInfo & kWideFlag) {
        name.copyTo(reinterpret_cast<char16_t *>(at));
    } else {
        name.copyNarrowTo(at);
        if (name.size() % 2) at[name.size()] = 0;
    }
    writeData(at + nameBytes(e), e, data);
}

void ValueTable::writeData(uint8_t *at, const Entry &e, ValueData data)
{
    std::size_t n = 0;
    const std::span<const uint8_t> held = data.held();
    if ((e.dataInfo & kNarrowFlag) && !data.isNarrow()) {
        narrowBytes(held.data(), held.size() / 2, at + n);
        n += held.size() / 2;
    } else if (!held.empty()) {
        std::memcpy(at + n, held.data(), held.size());
        n += held.size();
    }
    if (n % 2) at[n] = 0;
}

bool ValueTable::owns(const void *p) const
{
    if (!m_block) return false;
    const auto *b = static_cast<const uint8_t *>(p);
    return b >= m_block.get() && b < records() + header().capacity;
}

bool ValueTable::canHold(std::size_t nameUnits, std::size_t dataBytes) const
{
    if (nameUnits > kMaxDataBytes || dataBytes > kMaxDataBytes) return false;
    const std::size_t live = m_block ? header().used - header().garbage : 0;
    return live + 2 * nameUnits + dataBytes + 2 <= kMaxBlockBytes;
}

void ValueTable::rebuild(std::size_t entryCount, std::size_t bytes)
{
    if (bytes > kMaxBlockBytes || entryCount > UINT32_MAX / sizeof(Entry))
        throw std::length_error("values too large");
    std::unique_ptr<uint8_t[]> block(
        new uint8_t[sizeof(Header) + entryCount * sizeof(Entry) + bytes]);
    auto &h = *reinterpret_cast<Header *>(block.get());
    h = {0, static_cast<uint32_t>(entryCount), 0, static_cast<uint32_t>(bytes), 0};
    auto *to = reinterpret_cast<Entry *>(block.get() + sizeof(Header));
    uint8_t *toRecords = block.get() + sizeof(Header) + entryCount * sizeof(Entry);
    for (std::size_t i = 0, n = size(); i < n; ++i) {
        Entry e = entries()[i];
        const std::size_t length = recordSize(e);
        std::memcpy(toRecords + h.used, records() + e.offset, length);
        e.offset = h.used;
        to[i] = e;
        h.used += static_cast<uint32_t>(length);
        ++h.count;
    }
    m_block = std::move(block);
}

std::size_t ValueTable::position(UnitText name, bool &found) const
{
    return namePosition(
        size(), [this](std::size_t i) { return (*this)[i].name(); }, name, found);
}

std::optional<ValueRef> ValueTable::find(UnitText name) const
{
    bool found;
    const std::size_t pos = position(name, found);
    if (!found) return std::nullopt;
    return (*this)[pos];
}

void ValueTable::set(UnitText name, uint32_t type, ValueData data)
{
    // What is written may lie in the block that is about to change.
    std::u16string nameCopy;
    std::vector<uint8_t> dataCopy;
    const uint8_t *namePlace = name.isNarrow()
                                   ? name.narrowUnits()
                                   : reinterpret_cast<const uint8_t *>(name.wideUnits().data());
    if (owns(namePlace)) name = std::u16string_view(nameCopy = name.str());
    if (const std::span<const uint8_t> held = data.held(); owns(held.data())) {
        dataCopy.assign(held.begin(), held.end());
        data = ValueData(dataCopy.data(), dataCopy.size(), data.isNarrow());
    }

    bool found;
    const std::size_t pos = position(name, found);
    // A value set again keeps its name, in the case it was first given in: only
    // its data is written.
    if (found) name = (*this)[pos].name();
    std::size_t length;
    Entry e = encode(name, type, data, length);
    if (found) {
        Entry &old = entries()[pos];
        const std::size_t oldLength = recordSize(old);
        if (length <= oldLength) {
            e.offset = old.offset;
            header().garbage += static_cast<uint32_t>(oldLength - length);
            writeData(records() + e.offset + nameBytes(e), e, data);
            old = e;
            return;
        }
    }
    const std::size_t count = size() + (found ? 0 : 1);
    if (!m_block || count > header().entryCapacity || header().used + length > header().capacity) {
        const std::size_t need = (m_block ? header().used - header().garbage : 0) + length;
        const std::size_t entryRoom =
            m_block && count <= header().entryCapacity ? header().entryCapacity : count + count / 2;
        rebuild(entryRoom, std::max(need, std::min(need + need / 2, kMaxBlockBytes)));
    }
    Header &h = header();
    e.offset = h.used;
    if (found) {
        // The name from the old record, which a rebuild above has moved along.
        const Entry &old = entries()[pos];
        h.garbage += static_cast<uint32_t>(recordSize(old));
        std::memcpy(records() + e.offset, records() + old.offset, nameBytes(e));
        writeData(records() + e.offset + nameBytes(e), e, data);
        h.used += static_cast<uint32_t>(length);
        entries()[pos] = e;
        return;
    }
    writeRecord(records() + e.offset, e, name, data);
    h.used += static_cast<uint32_t>(length);
    Entry *at = entries() + pos;
    std::memmove(at + 1, at, (h.count - pos) * sizeof(Entry));
    *at = e;
    ++h.count;
}

bool ValueTable::remove(UnitText name)
{
    bool found;
    const std::size_t pos = position(name, found);
    if (!found) return false;
    Header &h = header();
    h.garbage += static_cast<uint32_t>(recordSize(entries()[pos]));
    Entry *at = entries() + pos;
    std::memmove(at, at + 1, (h.count - pos - 1) * sizeof(Entry));
    --h.count;
    if (h.count == 0) {
        m_block.reset();
    } else if (h.garbage > h.used / 2 + 256) {
        // Many values gone: give their room back.
        rebuild(h.count, h.used - h.garbage);
    }
    return true;
}

bool ValueTable::Builder::sortsLast(UnitText name) const
{
    if (m_entries.empty()) return true;
    const Entry &e = m_entries.back();
    return compareNames(nameAt(m_bytes.data() + e.offset, e), name) < 0;
}

void ValueTable::Builder::add(UnitText name, uint32_t type, ValueData data)
{
    std::size_t length;
    Entry e = encode(name, type, data, length);
    e.offset = static_cast<uint32_t>(m_bytes.size());
    m_bytes.resize(m_bytes.size() + length);
    writeRecord(m_bytes.data() + e.offset, e, name, data);
    m_entries.push_back(e);
}

ValueTable ValueTable::Builder::take()
{
    ValueTable table;
    if (m_entries.empty()) return table;
    if (m_bytes.size() > kMaxBlockBytes) throw std::length_error("values too large");
    const std::size_t count = m_entries.size();
    table.m_block.reset(new uint8_t[sizeof(Header) + count * sizeof(Entry) + m_bytes.size()]);
    table.header() = {static_cast<uint32_t>(count), static_cast<uint32_t>(count),
                      static_cast<uint32_t>(m_bytes.size()), static_cast<uint32_t>(m_bytes.size()),
                      0};
    std::memcpy(table.entries(), m_entries.data(), count * sizeof(Entry));
    std::memcpy(table.records(), m_bytes.data(), m_bytes.size());
    m_entries.clear();
    m_bytes.clear();
    return table;
}

} // namespace quarnel::platform
