#include "registry/regfile/ImportFile.h"

#include "registry/api/TRegistry.h"
#include "registry/regfile/RegEditText.h"
#include "registry/text/RegistryPathText.h"

#include <filesystem>
#include <fstream>

namespace quarnel {

namespace {

// A section the reader takes but that names no root of the registry.
std::string rootFault(const RegEditSection &section)
{
    const RegistryPathText at = RegistryPathText::fromFull(section.path);
    if (!at.root())
        return "\"" + section.path.substr(0, section.path.find('\\')) + "\" is not a registry root";
    if (section.removal && at.below().empty()) return "a whole root cannot be deleted";
    return {};
}

std::string counted(std::size_t n, const char *one, const char *many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

std::string ImportRead::countText() const
{
    return counted(keys, "key", "keys") + " and " + counted(values, "value", "values");
}

std::string ImportRead::faultCountText() const
{
    return counted(faultCount, "fault", "faults");
}

void ImportRead::forEachSection(const std::function<void(const RegEditSection &)> &each,
                                const ImportProgress &progress) const
{
    RegEditReadOptions options;
    options.codePage = codePage;
    options.progress = progress;
    RegEditFile::read(
        bytes, [&](RegEditSection &&section) { each(section); }, options);
}

ImportRead readImportFile(std::string bytes, const ImportProgress &progress)
{
    ImportRead read;
    read.bytes = std::move(bytes);
    read.codePage = userAnsiCodePage();
    RegEditReadOptions options;
    options.checkSection = rootFault;
    options.progress = progress;
    options.codePage = read.codePage;
    RegEditParseResult parsed = RegEditFile::read(
        read.bytes,
        [&](RegEditSection &&section) {
            ++read.keys;
            read.values += section.values.size();
        },
        options);
    read.faults = std::move(parsed.faults);
    read.faultCount = parsed.faultCount;
    if (read.faultCount != 0) {
        read.keys = read.values = 0;
        read.bytes = std::string();
    }
    return read;
}

ImportRead readImportPath(const std::string &path, const ImportProgress &progress)
{
    ImportRead read;
    std::error_code failed;
    if (!std::filesystem::is_regular_file(std::filesystem::status(path, failed))) {
        read.error = path + " is not a file that can be read; nothing was changed";
        return read;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, failed);
    if (!failed && size > kMostImportBytes) {
        read.error = path + " is too large; nothing was changed";
        return read;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    bytes.reserve(failed ? 0 : std::size_t(size));
    char piece[1 << 16];
    while (in.read(piece, sizeof piece) || in.gcount() > 0) {
        bytes.append(piece, std::size_t(in.gcount()));
        if (bytes.size() > kMostImportBytes) {
            read.error = path + " is too large; nothing was changed";
            return read;
        }
    }
    if (in.bad() || !in.eof()) {
        read.error = "cannot read " + path + "; nothing was changed";
        return read;
    }
    return readImportFile(std::move(bytes), progress);
}

} // namespace quarnel
