// Quarnel's settings file, $XDG_CONFIG_HOME/quarnel/settings.json (default
// ~/.config/quarnel/): one JSON object of sections, each an object of keys, so
// that a person can read and edit it. Keys this version does not know are kept
// as they are when the file is written again; a key of the wrong type reads as
// missing; a malformed or unreadable file reads as empty and is kept aside
// (`.broken`) before it is first written over. Writing replaces the file in one
// rename (the file a link leads to, when it is a link).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace quarnel::prefixes {

class Settings
{
public:
    // $XDG_CONFIG_HOME/quarnel/settings.json, else ~/.config/quarnel/settings.json;
    // "" when neither is set.
    static std::string defaultPath();

    // Never throws: a missing file gives empty settings, an unreadable or
    // malformed one too, with problem() saying why.
    static Settings load(const std::string &path);

    Settings();
    ~Settings();
    Settings(Settings &&) noexcept;
    Settings &operator=(Settings &&) noexcept;

    const std::string &path() const { return m_path; }
    const std::string &problem() const { return m_problem; }

    // Writes the file (and its folder, when missing); false with `error`.
    bool save(std::string &error);

    std::optional<std::string> text(const std::string &section, const std::string &key) const;
    std::optional<long long> number(const std::string &section, const std::string &key) const;
    std::optional<bool> flag(const std::string &section, const std::string &key) const;
    // The texts of a list; entries of another type are left out.
    std::vector<std::string> textList(const std::string &section, const std::string &key) const;
    void setText(const std::string &section, const std::string &key, const std::string &value);
    void setNumber(const std::string &section, const std::string &key, long long value);
    void setFlag(const std::string &section, const std::string &key, bool value);
    void setTextList(const std::string &section, const std::string &key,
                     const std::vector<std::string> &values);

    // Section "registries": the folders added by hand ("added") and the ids of
    // the registries opened last, newest first ("recent").
    std::vector<std::string> addedFolders() const;
    void addFolder(const std::string &folder); // once; a folder added again stays where it was
    void removeFolder(const std::string &folder);
    std::vector<std::string> recentRegistries() const;
    void noteOpened(const std::string &id, std::size_t keep = kRecentKept);
    static constexpr std::size_t kRecentKept = 10;

private:
    const nlohmann::json *find(const std::string &section, const std::string &key) const;
    nlohmann::json &slot(const std::string &section, const std::string &key);

    std::string m_path;
    std::string m_problem;
    bool m_keepAside = false; // the file could not be read: keep it before writing over it
    std::unique_ptr<nlohmann::json> m_doc;
};

} // namespace quarnel::prefixes
