// libFuzzer target for the Wine registry file reader. Besides not crashing, it
// checks that whatever the reader accepts, the writer turns into text that the
// reader accepts again with the same content (no line Wine would call malformed).
#include "registry/platform/wine/WineRegReader.h"
#include "registry/platform/wine/WineRegWriter.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace quarnel::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    RegKey root;
    wine::Preamble preamble;
    if (!wine::readHive(text, root, preamble).ok) return 0;
    const std::string once = wine::writeHive(root, preamble);
    RegKey again;
    wine::Preamble preamble2;
    if (!wine::readHive(once, again, preamble2).ok) std::abort();
    if (wine::writeHive(again, preamble2) != once) std::abort();
    return 0;
}
