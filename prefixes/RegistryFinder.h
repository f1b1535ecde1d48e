// Every registry on the machine: the Wine prefixes of Steam's Proton, Bottles,
// Lutris, Heroic, plain Wine, Quarnel's own registry and the folders the user
// added by hand, each with a name to show and an id that stays the same from
// run to run. Finding them only reads (a few small files and folder listings);
// a missing, unreadable, looping or malformed file leaves out what it would
// have named and nothing else.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quarnel::platform {
class SourceKind;
}

namespace quarnel::prefixes {

enum class RegistryKind
{
    Steam,
    Bottles,
    Lutris,
    Heroic,
    Wine,
    Quarnel, // Quarnel's own registry
    Added,   // a folder the user added by hand
    Folder   // a folder named directly, found nowhere else (see matchRegistry)
};

// "Steam", "Bottles", "Lutris", "Heroic", "Wine", "Quarnel", "Added", "Folder".
const char *kindName(RegistryKind kind);

struct FoundRegistry
{
    // steam:<appid>[suffix], bottles:<folder>, lutris:<game slug>,
    // heroic:<prefix folder's name>, "quarnel"; the folder's path for Wine
    // prefixes and folders added by hand. Unique: a second registry that would
    // get the same id gets "-2" after it (a third "-3"), in the order found.
    std::string id;
    std::string name; // the game's or bottle's name where one is known, else the folder's
    RegistryKind kind = RegistryKind::Wine;
    std::string folder; // holds system.reg and user.reg
    // An older id that still names it: lutris:<game file's name>, time stamp and all.
    std::string alias = {};

    bool namedBy(const std::string &text) const
    {
        return text == id || (!alias.empty() && text == alias);
    }
    bool operator==(const FoundRegistry &) const = default;
};

// Where to look. Empty parts are left out.
struct SearchPlaces
{
    std::string home;                      // $HOME
    std::string dataHome;                  // $XDG_DATA_HOME, else ~/.local/share
    std::string configHome;                // $XDG_CONFIG_HOME, else ~/.config
    std::string winePrefix;                // $WINEPREFIX
    std::vector<std::string> addedFolders; // Settings::addedFolders()

    // From the environment; an XDG variable that is not an absolute path
    // counts as unset, as the XDG rules say.
    static SearchPlaces fromEnvironment();
};

// Every registry found, each folder once (the first kind above to reach it
// names it), ordered by kind, then by name, then by id.
std::vector<FoundRegistry> findRegistries(const SearchPlaces &places);
// The same for the places of the environment and the folders added in
// Quarnel's settings file (Settings::defaultPath()).
std::vector<FoundRegistry> findRegistriesOnThisMachine();

struct RegistryMatch
{
    enum Status
    {
        Found,
        NoMatch,
        Several
    };
    Status status = NoMatch;
    FoundRegistry registry; // when Found
    // Several: the registries that all match; NoMatch: those whose id or name
    // holds the text (ignoring ASCII case), possibly none.
    std::vector<FoundRegistry> candidates;
};

// The registry `text` names: an id (`steam:1245620`, `bottles:Gaming`) or an
// alias, a folder (a path with a '/' or a leading '~'; a Steam prefix's `pfx` or the
// app's folder above it; a folder found nowhere, or a file a kind keeps a
// registry in, is Found as kind Folder when it exists), or a name, whole and
// ignoring ASCII case.
RegistryMatch matchRegistry(const std::vector<FoundRegistry> &registries, const std::string &text,
                            const std::string &home);

// Whether `folder` holds a whole registry of any kind: what is listed where it
// is found (one being made, or damaged, is left out).
bool holdsRegistry(const std::string &folder);

// The kind of source that opens a registry found: Quarnel's own for its own
// registry, else the kind of what its folder holds (the default kind, whose
// opening says what is missing, when it holds nothing any more).
const platform::SourceKind &sourceKindOf(const FoundRegistry &registry);

// What a chooser shows beside a registry; each costs a few system calls, so
// they are asked for only for the rows shown.
struct RegistryFileFacts
{
    std::uint64_t bytes = 0;    // of its files together (system.reg, userdef.reg, user.reg)
    std::int64_t changedAt = 0; // the newest of their changes, seconds since 1970
};
RegistryFileFacts registryFileFacts(const std::string &folder);

// Whether a program that writes its files runs on the registry in `folder`: a
// wineserver on a Wine prefix (it reads /proc).
bool wineRunningOn(const std::string &folder);
// Whether any wineserver runs on this machine, in one look at /proc: when none
// does, wineRunningOn is false for every folder (and need not look again).
bool anyWineServerRunning();

} // namespace quarnel::prefixes
