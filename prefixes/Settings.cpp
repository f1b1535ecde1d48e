#include "prefixes/Settings.h"

#include "prefixes/HomeFiles.h"
#include "registry/source/AtomicFile.h"
#include "registry/wine/ServerLock.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace quarnel::prefixes {

namespace {

constexpr const char *kRegistries = "registries";

} // namespace

std::string Settings::defaultPath()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/quarnel/settings.json";
    const char *home = std::getenv("HOME");
    if (home && home[0]) return std::string(home) + "/.config/quarnel/settings.json";
    return {};
}

Settings::Settings() : m_doc(std::make_unique<nlohmann::json>(nlohmann::json::object())) {}
Settings::~Settings() = default;
Settings::Settings(Settings &&) noexcept = default;
Settings &Settings::operator=(Settings &&) noexcept = default;

Settings Settings::load(const std::string &path)
{
    Settings settings;
    settings.m_path = path;
    struct stat st
    {
    };
    if (path.empty() || (::lstat(path.c_str(), &st) != 0 && errno == ENOENT)) return settings;
    std::string text, error;
    if (!readSmallFile(path, text, error)) {
        settings.m_problem = error + "; the settings are read as empty";
        settings.m_keepAside = true;
        return settings;
    }
    nlohmann::json doc = nlohmann::json::parse(text, nullptr, false);
    if (!doc.is_object()) {
        settings.m_problem = path + ": not a JSON object of settings; they are read as empty";
        settings.m_keepAside = true;
        return settings;
    }
    *settings.m_doc = std::move(doc);
    return settings;
}

bool Settings::save(std::string &error)
{
    if (m_path.empty()) {
        error = "no place for the settings file (neither XDG_CONFIG_HOME nor HOME is set)";
        return false;
    }
    // A settings file linked in from elsewhere (a folder of dotfiles) stays linked:
    // the file it leads to is the one replaced.
    std::string target = m_path;
    struct stat st
    {
    };
    if (::lstat(m_path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        target = resolvedPath(m_path);
        if (target.empty()) {
            error = m_path + ": a link that leads nowhere";
            return false;
        }
    }
    const std::size_t slash = target.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        const std::string folder = target.substr(0, slash);
        if (const std::error_code failed = platform::wine::makeOwnFolders(folder)) {
            error = folder + ": " + failed.message();
            return false;
        }
    }
    if (m_keepAside) {
        const std::string aside = target + ".broken";
        if (std::rename(target.c_str(), aside.c_str()) != 0 && errno != ENOENT) {
            error = target + ": cannot keep the unreadable file aside: " + std::strerror(errno);
            return false;
        }
        m_keepAside = false;
    }
    platform::FileId written;
    return platform::replaceFile(target, m_doc->dump(2) + "\n", true, written, error);
}

const nlohmann::json *Settings::find(const std::string &section, const std::string &key) const
{
    const auto s = m_doc->find(section);
    if (s == m_doc->end() || !s->is_object()) return nullptr;
    const auto k = s->find(key);
    return k == s->end() ? nullptr : &*k;
}

nlohmann::json &Settings::slot(const std::string &section, const std::string &key)
{
    nlohmann::json &s = (*m_doc)[section];
    if (!s.is_object()) s = nlohmann::json::object();
    return s[key];
}

std::optional<std::string> Settings::text(const std::string &section, const std::string &key) const
{
    const nlohmann::json *v = find(section, key);
    if (!v || !v->is_string()) return std::nullopt;
    return v->get<std::string>();
}

std::optional<long long> Settings::number(const std::string &section, const std::string &key) const
{
    const nlohmann::json *v = find(section, key);
    if (!v || !v->is_number_integer()) return std::nullopt;
    return v->get<long long>();
}

std::optional<bool> Settings::flag(const std::string &section, const std::string &key) const
{
    const nlohmann::json *v = find(section, key);
    if (!v || !v->is_boolean()) return std::nullopt;
    return v->get<bool>();
}

std::vector<std::string> Settings::textList(const std::string &section,
                                            const std::string &key) const
{
    std::vector<std::string> out;
    const nlohmann::json *v = find(section, key);
    if (v && v->is_array())
        for (const nlohmann::json &item : *v)
            if (item.is_string()) out.push_back(item.get<std::string>());
    return out;
}

void Settings::setText(const std::string &section, const std::string &key, const std::string &value)
{
    slot(section, key) = value;
}

void Settings::setNumber(const std::string &section, const std::string &key, long long value)
{
    slot(section, key) = value;
}

void Settings::setFlag(const std::string &section, const std::string &key, bool value)
{
    slot(section, key) = value;
}

void Settings::setTextList(const std::string &section, const std::string &key,
                           const std::vector<std::string> &values)
{
    slot(section, key) = values;
}

std::vector<std::string> Settings::addedFolders() const
{
    return textList(kRegistries, "added");
}

void Settings::addFolder(const std::string &folder)
{
    std::vector<std::string> folders = addedFolders();
    if (std::find(folders.begin(), folders.end(), folder) != folders.end()) return;
    folders.push_back(folder);
    setTextList(kRegistries, "added", folders);
}

void Settings::removeFolder(const std::string &folder)
{
    std::vector<std::string> folders = addedFolders();
    folders.erase(std::remove(folders.begin(), folders.end(), folder), folders.end());
    setTextList(kRegistries, "added", folders);
}

std::vector<std::string> Settings::recentRegistries() const
{
    return textList(kRegistries, "recent");
}

void Settings::noteOpened(const std::string &id, std::size_t keep)
{
    std::vector<std::string> recent = recentRegistries();
    recent.erase(std::remove(recent.begin(), recent.end(), id), recent.end());
    recent.insert(recent.begin(), id);
    if (recent.size() > keep) recent.resize(keep);
    setTextList(kRegistries, "recent", recent);
}

} // namespace quarnel::prefixes
