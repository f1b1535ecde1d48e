#include "prefixes/RegistryFinder.h"

#include "prefixes/HomeFiles.h"
#include "prefixes/Settings.h"
#include "prefixes/Vdf.h"
#include "registry/kinds/SourceKinds.h"
#include "registry/win32/AsciiText.h"
#include "registry/wine/ServerLock.h"

#include <nlohmann/json.hpp>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <sys/stat.h>
#include <tuple>

namespace quarnel::prefixes {

namespace {

std::string env(const char *name)
{
    const char *v = std::getenv(name);
    return v ? v : "";
}

bool endsWith(const std::string &text, const std::string &tail)
{
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The registry a launcher's prefix setting leads to: the folder itself, or
// its `pfx` when it is a Proton compatibility folder. A relative path means
// nothing outside the launcher, so it leads nowhere.
std::string registryFolderAt(const std::string &folder)
{
    if (folder.empty() || folder[0] != '/') return {};
    if (holdsRegistry(folder)) return folder;
    if (holdsRegistry(folder + "/pfx")) return folder + "/pfx";
    return {};
}

// A YAML file's root, or an undefined node when it cannot be read or parsed.
YAML::Node readYaml(const std::string &path)
{
    std::string text, error;
    if (!readSmallFile(path, text, error)) return YAML::Node(YAML::NodeType::Undefined);
    try {
        return YAML::Load(text);
    } catch (const std::exception &) {
        return YAML::Node(YAML::NodeType::Undefined);
    }
}

// A scalar under `key` of a map node; "" for anything else.
std::string yamlText(const YAML::Node &node, const char *key)
{
    try {
        if (!node.IsMap()) return {};
        const YAML::Node value = node[key];
        return value && value.IsScalar() ? value.Scalar() : std::string();
    } catch (const std::exception &) {
        return {};
    }
}

class Finder
{
public:
    explicit Finder(const SearchPlaces &places) : m_places(places) {}

    std::vector<FoundRegistry> run()
    {
        steam();
        bottles();
        lutris();
        heroic();
        plainWine();
        const std::string own = ownRegistryFolder();
        if (!own.empty()) add(RegistryKind::Quarnel, "quarnel", "Quarnel's own registry", own);
        for (const std::string &folder : m_places.addedFolders) {
            const std::string path = expandHome(folder, m_places.home);
            add(RegistryKind::Added, path, lastPart(path), registryFolderAt(path));
        }
        makeIdsUnique();
        std::sort(m_found.begin(), m_found.end(),
                  [](const FoundRegistry &a, const FoundRegistry &b) {
                      return std::tuple(a.kind, asciiLower(a.name), a.name, a.id) <
                             std::tuple(b.kind, asciiLower(b.name), b.name, b.id);
                  });
        return std::move(m_found);
    }

private:
    std::string homePath(const char *rest) const
    {
        return m_places.home.empty() ? std::string() : m_places.home + rest;
    }
    std::string dataPath(const char *rest) const
    {
        return m_places.dataHome.empty() ? std::string() : m_places.dataHome + rest;
    }
    std::string configPath(const char *rest) const
    {
        return m_places.configHome.empty() ? std::string() : m_places.configHome + rest;
    }

    std::string ownRegistryFolder() const
    {
        const std::string own = dataPath("/quarnel/registry");
        return !own.empty() && holdsRegistry(own) ? own : std::string();
    }

    // Keeps a registry unless its folder was listed already (through a link,
    // a second Steam root, a launcher sharing a prefix).
    void add(RegistryKind kind, std::string id, std::string name, const std::string &folder,
             std::string alias = {})
    {
        if (folder.empty() || !holdsRegistry(folder)) return;
        const std::string real = resolvedPath(folder);
        if (real.empty() || !m_seen.insert(real).second) return;
        m_found.push_back({std::move(id), std::move(name), kind, folder, std::move(alias)});
    }

    // Two folders can come to one id: the same app in the native and the Flatpak
    // Steam, two Heroic prefixes in folders of one name. The first found keeps
    // it; the others count on past every id found, so none takes another's.
    void makeIdsUnique()
    {
        std::set<std::string> found, given;
        for (const FoundRegistry &r : m_found)
            found.insert(r.id);
        for (FoundRegistry &r : m_found) {
            if (given.insert(r.id).second) continue;
            for (unsigned n = 2;; ++n) {
                std::string id = r.id + "-" + std::to_string(n);
                if (found.count(id) || !given.insert(id).second) continue;
                r.id = std::move(id);
                break;
            }
        }
    }

    // --- Steam ---

    void steam()
    {
        std::vector<std::string> libraries;
        std::set<std::string> seenRoots, seenLibraries;
        const auto addLibrary = [&](const std::string &path) {
            const std::string real = resolvedPath(path);
            if (!real.empty() && seenLibraries.insert(real).second) libraries.push_back(path);
        };
        for (const std::string &root :
             {dataPath("/Steam"), homePath("/.steam/steam"),
              homePath("/.var/app/com.valvesoftware.Steam/.local/share/Steam"),
              homePath("/.var/app/com.valvesoftware.Steam/data/Steam")}) {
            if (root.empty() || !isFolder(root)) continue;
            const std::string real = resolvedPath(root);
            if (real.empty() || !seenRoots.insert(real).second) continue;
            addLibrary(root);
            for (const std::string &path : libraryPaths(root))
                addLibrary(path);
        }
        for (const std::string &library : libraries) {
            const std::string compat = library + "/steamapps/compatdata";
            for (const std::string &entry : folderNames(compat)) {
                std::size_t digits = 0;
                while (digits < entry.size() && entry[digits] >= '0' && entry[digits] <= '9')
                    ++digits;
                if (digits == 0) continue;
                const std::string folder = compat + "/" + entry + "/pfx";
                if (!holdsRegistry(folder)) continue;
                const std::string appId = entry.substr(0, digits);
                std::string name = appName(appId, libraries);
                std::string suffix = entry.substr(digits);
                while (!suffix.empty() &&
                       (suffix[0] == '.' || suffix[0] == '_' || suffix[0] == '-'))
                    suffix.erase(0, 1);
                if (!suffix.empty()) name += " (" + suffix + ")";
                add(RegistryKind::Steam, "steam:" + entry, std::move(name), folder);
            }
        }
    }

    // The libraries a root's libraryfolders.vdf lists: `"path"` in a numbered
    // block, or, in the older form, a numbered key's text.
    static std::vector<std::string> libraryPaths(const std::string &root)
    {
        std::vector<std::string> paths;
        std::string text, error;
        VdfNode vdf;
        if (!readSmallFile(root + "/steamapps/libraryfolders.vdf", text, error) ||
            !parseVdf(text, vdf, error))
            return paths;
        const VdfNode *folders = vdf.child("libraryfolders");
        if (!folders || !folders->isBlock) return paths;
        for (const VdfNode &entry : folders->children) {
            if (entry.key.empty() || entry.key.find_first_not_of("0123456789") != std::string::npos)
                continue;
            const std::string path = entry.isBlock ? entry.textOf("path") : entry.text;
            if (!path.empty() && path[0] == '/') paths.push_back(path);
        }
        return paths;
    }

    // The name in the first library's manifest of the app that has one.
    std::string appName(const std::string &appId, const std::vector<std::string> &libraries)
    {
        const auto known = m_appNames.find(appId);
        if (known != m_appNames.end()) return known->second;
        std::string name;
        for (const std::string &library : libraries) {
            std::string text, error;
            VdfNode manifest;
            if (!readSmallFile(library + "/steamapps/appmanifest_" + appId + ".acf", text, error) ||
                !parseVdf(text, manifest, error))
                continue;
            const VdfNode *state = manifest.child("AppState");
            if (state) name = state->textOf("name");
            if (!name.empty()) break;
        }
        if (name.empty()) name = "Steam app " + appId;
        m_appNames.emplace(appId, name);
        return name;
    }

    // --- Bottles ---

    void bottles()
    {
        for (const std::string &root :
             {dataPath("/bottles/bottles"),
              homePath("/.var/app/com.usebottles.bottles/data/bottles/bottles")}) {
            if (root.empty()) continue;
            for (const std::string &dir : folderNames(root)) {
                const std::string folder = root + "/" + dir;
                if (!holdsRegistry(folder)) continue;
                std::string name = yamlText(readYaml(folder + "/bottle.yml"), "Name");
                add(RegistryKind::Bottles, "bottles:" + dir, name.empty() ? dir : name, folder);
            }
        }
    }

    // --- Lutris ---

    void lutris()
    {
        for (const std::string &root :
             {configPath("/lutris/games"), dataPath("/lutris/games"),
              homePath("/.var/app/net.lutris.Lutris/config/lutris/games"),
              homePath("/.var/app/net.lutris.Lutris/data/lutris/games")}) {
            if (root.empty()) continue;
            for (const std::string &file : folderNames(root)) {
                if (!endsWith(file, ".yml") || file.size() == 4) continue;
                const YAML::Node game = readYaml(root + "/" + file);
                std::string prefix;
                try {
                    if (game.IsMap() && game["game"]) prefix = yamlText(game["game"], "prefix");
                } catch (const std::exception &) {
                }
                if (prefix.empty()) continue;
                const std::string stem = file.substr(0, file.size() - 4);
                const std::string slug = withoutTimeStamp(stem);
                std::string name = yamlText(game, "name");
                if (name.empty()) name = slug;
                add(RegistryKind::Lutris, "lutris:" + slug, std::move(name),
                    registryFolderAt(expandHome(prefix, m_places.home)),
                    stem == slug ? std::string() : "lutris:" + stem);
            }
        }
    }

    // Lutris names its game files "<slug>-<seconds since 1970>.yml".
    static std::string withoutTimeStamp(const std::string &slug)
    {
        const std::size_t dash = slug.rfind('-');
        if (dash == std::string::npos || dash == 0 || dash + 1 == slug.size() ||
            slug.find_first_not_of("0123456789", dash + 1) != std::string::npos)
            return slug;
        return slug.substr(0, dash);
    }

    // --- Heroic ---

    void heroic()
    {
        for (const std::string &root :
             {configPath("/heroic/GamesConfig"),
              homePath("/.var/app/com.heroicgameslauncher.hgl/config/heroic/GamesConfig")}) {
            if (root.empty()) continue;
            std::vector<std::string> files = folderNames(root);
            // Two games may share a prefix: the same file order every time names it the same.
            std::sort(files.begin(), files.end());
            for (const std::string &file : files) {
                if (!endsWith(file, ".json")) continue;
                std::string text, error;
                if (!readSmallFile(root + "/" + file, text, error)) continue;
                const nlohmann::json config = nlohmann::json::parse(text, nullptr, false);
                if (!config.is_object()) continue;
                for (const auto &[game, entry] : config.items()) {
                    if (!entry.is_object()) continue;
                    const auto prefix = entry.find("winePrefix");
                    if (prefix == entry.end() || !prefix->is_string()) continue;
                    const std::string path = expandHome(prefix->get<std::string>(), m_places.home);
                    const std::string folderName = lastPart(path);
                    if (folderName.empty() || folderName == "/") continue;
                    std::string name;
                    for (const char *key : {"title", "name"}) {
                        const auto field = entry.find(key);
                        if (name.empty() && field != entry.end() && field->is_string())
                            name = field->get<std::string>();
                    }
                    add(RegistryKind::Heroic, "heroic:" + folderName,
                        name.empty() ? folderName : name, registryFolderAt(path));
                }
            }
        }
    }

    // --- plain Wine ---

    void plainWine()
    {
        const auto addWine = [&](const std::string &folder) {
            add(RegistryKind::Wine, folder, lastPart(folder), folder);
        };
        if (!m_places.winePrefix.empty()) addWine(m_places.winePrefix);
        if (!m_places.home.empty()) addWine(m_places.home + "/.wine");
        for (const std::string &root :
             {dataPath("/wineprefixes"), homePath("/.PlayOnLinux/wineprefix")}) {
            if (root.empty()) continue;
            for (const std::string &dir : folderNames(root))
                addWine(root + "/" + dir);
        }
    }

    const SearchPlaces &m_places;
    std::vector<FoundRegistry> m_found;
    std::set<std::string> m_seen; // the folders listed, links resolved
    std::map<std::string, std::string> m_appNames;
};

} // namespace

const char *kindName(RegistryKind kind)
{
    switch (kind) {
    case RegistryKind::Steam: return "Steam";
    case RegistryKind::Bottles: return "Bottles";
    case RegistryKind::Lutris: return "Lutris";
    case RegistryKind::Heroic: return "Heroic";
    case RegistryKind::Wine: return "Wine";
    case RegistryKind::Quarnel: return "Quarnel";
    case RegistryKind::Added: return "Added";
    case RegistryKind::Folder: return "Folder";
    }
    return "";
}

SearchPlaces SearchPlaces::fromEnvironment()
{
    SearchPlaces places;
    places.home = env("HOME");
    while (places.home.size() > 1 && places.home.back() == '/')
        places.home.pop_back();
    const auto xdg = [&](const char *name, const char *fallback) {
        std::string v = env(name);
        if (!v.empty() && v[0] == '/') return v;
        return places.home.empty() ? std::string() : places.home + fallback;
    };
    places.dataHome = xdg("XDG_DATA_HOME", "/.local/share");
    places.configHome = xdg("XDG_CONFIG_HOME", "/.config");
    places.winePrefix = env("WINEPREFIX");
    return places;
}

std::vector<FoundRegistry> findRegistries(const SearchPlaces &places)
{
    return Finder(places).run();
}

std::vector<FoundRegistry> findRegistriesOnThisMachine()
{
    SearchPlaces places = SearchPlaces::fromEnvironment();
    if (const std::string path = Settings::defaultPath(); !path.empty())
        places.addedFolders = Settings::load(path).addedFolders();
    return findRegistries(places);
}

RegistryMatch matchRegistry(const std::vector<FoundRegistry> &registries, const std::string &text,
                            const std::string &home)
{
    RegistryMatch match;
    const auto settle = [&](std::vector<FoundRegistry> hits) {
        if (hits.size() == 1) {
            match.status = RegistryMatch::Found;
            match.registry = hits.front();
        } else {
            match.status = RegistryMatch::Several;
            match.candidates = std::move(hits);
        }
        return match;
    };
    std::vector<FoundRegistry> hits;
    for (const FoundRegistry &r : registries)
        if (r.namedBy(text)) hits.push_back(r);
    if (!hits.empty()) return settle(std::move(hits));

    if (text.find('/') != std::string::npos || (!text.empty() && text[0] == '~')) {
        const std::string path = expandHome(text, home);
        const std::string real = resolvedPath(path);
        if (real.empty()) return match;
        for (const FoundRegistry &r : registries) {
            const std::string folder = resolvedPath(r.folder);
            if (folder == real ||
                (endsWith(r.folder, "/pfx") && resolvedPath(r.folder + "/..") == real))
                hits.push_back(r);
        }
        if (!hits.empty()) return settle(std::move(hits));
        // A kind may keep a registry in one file: named, it stands as a folder does.
        if (!isFolder(real) && !platform::kindHolding(real)) return match;
        // As written when it is absolute (its links are the user's), else from the root.
        const std::string folder = path[0] == '/' ? path : real;
        const std::string inside = registryFolderAt(folder);
        match.status = RegistryMatch::Found;
        match.registry = {folder, lastPart(folder), RegistryKind::Folder,
                          inside.empty() ? folder : inside};
        return match;
    }

    const std::string wanted = asciiLower(text);
    for (const FoundRegistry &r : registries)
        if (asciiLower(r.name) == wanted) hits.push_back(r);
    if (!hits.empty()) return settle(std::move(hits));
    if (!wanted.empty())
        for (const FoundRegistry &r : registries)
            if (asciiLower(r.name).find(wanted) != std::string::npos ||
                asciiLower(r.id).find(wanted) != std::string::npos)
                match.candidates.push_back(r);
    return match;
}

bool holdsRegistry(const std::string &folder)
{
    return platform::kindHolding(folder, platform::SourceKind::Holding::Whole) != nullptr;
}

const platform::SourceKind &sourceKindOf(const FoundRegistry &registry)
{
    if (registry.kind == RegistryKind::Quarnel) return platform::ownRegistryKind();
    const platform::SourceKind *kind = platform::kindHolding(registry.folder);
    return kind ? *kind : platform::defaultKind();
}

RegistryFileFacts registryFileFacts(const std::string &folder)
{
    RegistryFileFacts facts;
    const platform::SourceKind *kind = platform::kindHolding(folder);
    if (!kind) return facts;
    for (const std::string &file : kind->files(folder)) {
        struct stat st
        {
        };
        if (::stat(file.c_str(), &st) != 0) continue;
        facts.bytes += static_cast<std::uint64_t>(st.st_size);
        facts.changedAt = std::max<std::int64_t>(facts.changedAt, st.st_mtim.tv_sec);
    }
    return facts;
}

bool wineRunningOn(const std::string &folder)
{
    const platform::SourceKind *kind = platform::kindHolding(folder);
    return kind && kind->inUse(folder);
}

bool anyWineServerRunning()
{
    for (const std::string &entry : folderNames("/proc")) {
        if (entry.empty() || entry.find_first_not_of("0123456789") != std::string::npos) continue;
        if (platform::wine::processName(static_cast<pid_t>(std::stol(entry)))
                .starts_with("wineserver"))
            return true;
    }
    return false;
}

} // namespace quarnel::prefixes
