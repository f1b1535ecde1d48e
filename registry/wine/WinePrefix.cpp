#include "registry/wine/WinePrefix.h"

#include <cstdlib>
#include <sys/stat.h>

namespace quarnel::platform::wine {

namespace {

std::string env(const char *name)
{
    const char *v = std::getenv(name);
    return v ? v : "";
}

} // namespace

SourceKind::Holding winePrefixAt(const std::string &directory)
{
    using Holding = SourceKind::Holding;
    struct stat st
    {
    };
    if (::stat((directory + "/" + kHiveFiles[kSystemHive]).c_str(), &st) != 0 ||
        S_ISDIR(st.st_mode))
        return Holding::None;
    if (!S_ISREG(st.st_mode)) return Holding::Part;
    return ::stat((directory + "/" + kHiveFiles[kUserHive]).c_str(), &st) == 0 &&
                   S_ISREG(st.st_mode)
               ? Holding::Whole
               : Holding::Part;
}

RegistryLocation chooseRegistry()
{
    RegistryLocation where;
    const std::string prefix = env("WINEPREFIX");
    if (!prefix.empty()) {
        where.directory = prefix;
        where.isWinePrefix = true;
        if (winePrefixAt(prefix) == SourceKind::Holding::None)
            where.error = "WINEPREFIX is set to " + prefix +
                          ", but that directory is not a Wine prefix (it has no system.reg). "
                          "Create it with \"WINEPREFIX=" +
                          prefix +
                          " wineboot\", or unset WINEPREFIX to use ~/.wine or Quarnel's own "
                          "registry.";
        return where;
    }
    const std::string home = env("HOME");
    if (!home.empty() && winePrefixAt(home + "/.wine") != SourceKind::Holding::None) {
        where.directory = home + "/.wine";
        where.isWinePrefix = true;
        return where;
    }
    std::string data = env("XDG_DATA_HOME");
    if (data.empty() || data[0] != '/') {
        if (home.empty()) {
            where.error = "Neither WINEPREFIX nor HOME is set, so there is no registry to open.";
            return where;
        }
        data = home + "/.local/share";
    }
    where.directory = data + "/quarnel/registry";
    return where;
}

} // namespace quarnel::platform::wine
