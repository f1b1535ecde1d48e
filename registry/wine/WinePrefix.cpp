#include "registry/wine/WinePrefix.h"

#include <cstdlib>
#include <sys/stat.h>

namespace quarnel::platform::wine {

namespace {

// Any kind of file: one that is not regular is still the prefix's, and opening
// it says what is wrong with it instead of taking this for no prefix at all.
bool isFile(const std::string &path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string env(const char *name)
{
    const char *v = std::getenv(name);
    return v ? v : "";
}

} // namespace

bool isWinePrefix(const std::string &directory)
{
    return isFile(directory + "/system.reg");
}

RegistryLocation chooseRegistry()
{
    RegistryLocation where;
    const std::string prefix = env("WINEPREFIX");
    if (!prefix.empty()) {
        where.directory = prefix;
        where.isWinePrefix = true;
        if (!isWinePrefix(prefix))
            where.error = "WINEPREFIX is set to " + prefix +
                          ", but that directory is not a Wine prefix (it has no system.reg). "
                          "Create it with \"WINEPREFIX=" +
                          prefix +
                          " wineboot\", or unset WINEPREFIX to use ~/.wine or Quarnel's own "
                          "registry.";
        return where;
    }
    const std::string home = env("HOME");
    if (!home.empty() && isWinePrefix(home + "/.wine")) {
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
