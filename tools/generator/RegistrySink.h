// Where a generated registry goes. The generator reports keys depth first:
// beginKey for a key (its parent was begun before and is not yet ended), then
// the key's values, then its subkeys, then endKey. Siblings come in
// generation order, not sorted; a sink that needs the registry's own order
// (a Wine-format file) fills a KeyStore through Win32RegistrySink and writes
// that, or sorts on its own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarnel::generator {

// The two hives a Wine prefix keeps: \REGISTRY\Machine (HKEY_LOCAL_MACHINE)
// and \REGISTRY\User (HKEY_USERS).
enum class Hive : uint8_t
{
    Machine,
    Users
};

struct GeneratedValue
{
    std::string name;  // UTF-8; empty for the key's default value
    uint32_t type = 0; // REG_SZ, REG_DWORD ...
    // Bytes as the 8-bit RegSetValueExA takes them: strings UTF-8 with their
    // NUL, multi-strings each entry with its NUL plus a final NUL, numbers
    // little-endian.
    std::string data;
};

class RegistrySink
{
public:
    virtual ~RegistrySink() = default;

    // `path` is the key's names below the hive root joined by backslashes;
    // `depth` is 1 for a key directly below the hive root.
    virtual void beginKey(Hive hive, std::string_view path, std::size_t depth) = 0;
    virtual void addValue(const GeneratedValue &value) = 0;
    virtual void endKey() = 0;
    // After the last key; a sink flushes here.
    virtual void finish() {}
};

// Takes everything and keeps nothing: for the counts alone.
class NullSink final : public RegistrySink
{
public:
    void beginKey(Hive, std::string_view, std::size_t) override {}
    void addValue(const GeneratedValue &) override {}
    void endKey() override {}
};

// Passes everything on to several sinks, in the given order.
class TeeSink final : public RegistrySink
{
public:
    explicit TeeSink(std::vector<RegistrySink *> sinks) : m_sinks(std::move(sinks)) {}

    void beginKey(Hive hive, std::string_view path, std::size_t depth) override
    {
        for (RegistrySink *sink : m_sinks)
            sink->beginKey(hive, path, depth);
    }
    void addValue(const GeneratedValue &value) override
    {
        for (RegistrySink *sink : m_sinks)
            sink->addValue(value);
    }
    void endKey() override
    {
        for (RegistrySink *sink : m_sinks)
            sink->endKey();
    }
    void finish() override
    {
        for (RegistrySink *sink : m_sinks)
            sink->finish();
    }

private:
    std::vector<RegistrySink *> m_sinks;
};

} // namespace quarnel::generator
