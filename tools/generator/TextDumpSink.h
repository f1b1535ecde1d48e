// A plain text form of the generated registry, one line per key and one per
// value, so that a line-oriented tool (grep -ci) can be timed over the same
// content that was searched:
//   HKEY_LOCAL_MACHINE\Software\Vendor\          a key, as root name + key path
//   <TAB>name<TAB>REG_SZ<TAB>data                 a value of the key above it
// The default value's name shows as (Standard); multi-string entries are each
// followed by a blank; binary data is written as comma-separated hex bytes.
#pragma once

#include "tools/generator/RegistrySink.h"

#include <ostream>
#include <string>

namespace quarnel::generator {

class TextDumpSink final : public RegistrySink
{
public:
    explicit TextDumpSink(std::ostream &out) : m_out(out) {}

    void beginKey(Hive hive, std::string_view path, std::size_t depth) override;
    void addValue(const GeneratedValue &value) override;
    void endKey() override {}
    void finish() override;

private:
    void flushIfFull();

    std::ostream &m_out;
    std::string m_buffer;
};

} // namespace quarnel::generator
