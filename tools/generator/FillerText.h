// The generator's ordinary text: key and value names and string data shaped
// like those of a Windows or Wine registry. Every text it returns is free of
// the planted needles, so that planted texts are the only hits.
#pragma once

#include "tools/generator/Prng.h"

#include <string>
#include <string_view>
#include <vector>

namespace quarnel::generator {

// What kind of names a group of sibling keys has.
enum class NameStyle : uint8_t
{
    Generic,   // Explorer, Time Zones, Item12 ...
    Guid,      // {8856F961-340A-11D0-A96B-00C04FD705A2}
    ComEntry,  // InprocServer32, ProgID ... below a class id
    ClassName, // .txt, Vendor.Document.8, txtfile
    Service,   // services below CurrentControlSet\Services
    Device,    // VEN_8086&DEV_1C3A..., 3&11583659&0&B0
    Numbered,  // 0000, 0001 ...
    Product,   // Vendor App 2.1, or a GUID
};

class FillerText
{
public:
    // `foldedNeedles` must already be folded (foldAscii).
    FillerText(Prng &rng, std::vector<std::string> foldedNeedles);

    // Whether no needle occurs in `text`.
    bool isClean(std::string_view text) const;

    std::string keyName(NameStyle style, std::size_t index);
    std::string valueName();
    std::string pathValueName(); // shared-DLL style names that are paths
    std::string stringData();
    std::string expandData();
    std::vector<std::string> multiEntries();
    std::string defaultData();

    // Pieces for planted texts; checked like everything else.
    std::string word();
    std::string vendor();

private:
    // Calls make() until it gives a clean text.
    template <typename Make> std::string clean(Make make);

    std::string rawWord();
    std::string rawVendor();
    std::string guid();
    std::string hex(int digits);
    std::string camel();
    std::string rawPath();
    std::string nonAscii();

    Prng &m_rng;
    std::vector<std::string> m_needles;
};

} // namespace quarnel::generator
