#include "tools/generator/FillerText.h"

#include "tools/generator/TextMatch.h"

#include <algorithm>
#include <stdexcept>

namespace quarnel::generator {

namespace {

const char *const kWords[] = {
    "Software",      "Explorer",      "Shell",         "Settings",      "Parameters",
    "Policies",      "Control",       "Setup",         "Config",        "Options",
    "Security",      "Network",       "Display",       "Fonts",         "Drivers",
    "Components",    "Extensions",    "Handlers",      "Defaults",      "Profiles",
    "Cache",         "History",       "Recent",        "Devices",       "Printers",
    "Ports",         "Media",         "Audio",         "Video",         "Input",
    "Keyboard",      "Mouse",         "Desktop",       "Colors",        "Cursors",
    "International", "Locale",        "Languages",     "Users",         "Accounts",
    "Credentials",   "Certificates",  "Crypto",        "Providers",     "Protocols",
    "Filters",       "Codecs",        "Plugins",       "Modules",       "Features",
    "Updates",       "Logs",          "Diagnostics",   "Performance",   "Power",
    "Storage",       "Volumes",       "Tcpip",         "Interfaces",    "Adapters",
    "Bindings",      "Linkage",       "Properties",    "Capabilities",  "Associations",
    "FileExts",      "MenuOrder",     "Streams",       "Layout",        "Toolbar",
    "Winlogon",      "Notifications", "Tasks",         "Schedule",      "Event",
    "Application",   "Class",         "Instance",      "Version",       "Current",
    "Default",       "Global",        "Local",         "Remote",        "Internet",
    "Proxy",         "Connections",   "Zones",         "Lockdown",      "Main",
    "Advanced",      "General",       "Preferences",   "Recovery",      "Backup",
    "Restore",       "Search",        "Index",         "Spelling",      "Templates",
    "Themes",        "Sounds",        "Schemes",       "Apps",          "Shortcuts",
    "Startup",       "Installer",     "Products",      "Patches",       "UserData",
    "Assemblies",    "Publishers",    "Common",        "Shared",        "Tools",
    "Help",          "Debug",         "Tracing",       "Direct3D",      "OpenGL",
    "Compatibility", "Layers",        "Mappings",      "Aliases",       "Environment",
    "Session",       "Manager",       "Memory",        "Management",    "Prefetch",
    "Time",          "Zone",          "Dynamic",       "Static",        "Routes",
    "Names",         "Services",      "Drive",         "Folder",        "Directory",
    "Background",    "ContextMenu",   "PropertySheet", "DragDrop",      "Open",
    "Print",         "Edit",          "Command",       "Verb",          "Icon",
    "Bitmap",        "Info",          "Status",        "Queue",         "Spooler",
    "Monitors",      "Environments",  "Windows x64",   "Wow64",         "Graphics",
    "Hardware",      "Adapter",       "Scheme",        "Accessibility", "Narrator",
    "Magnifier",     "HighContrast",  "Sticky Keys",
};

const char *const kVendors[] = {
    "Acme",
    "Globex",
    "Initech",
    "Umbrella",
    "Northwind",
    "Tailspin",
    "Litware",
    "Wingtip",
    "Proseware",
    "Adatum",
    "Woodgrove",
    "Lucerne",
    "Trey Research",
    "Coho",
    "Wide World",
    "Humongous",
    "Blue Yonder",
    "Alpine",
    "Graphic Design Institute",
    "Southridge",
    "Relecloud",
    "VanArsdel",
    "Wine",
    "Mesa",
    "Khronos",
    "OpenAL",
    "Gecko",
    "Mono",
    "Valve",
    "Winetricks",
};

const char *const kComEntries[] = {
    "InprocServer32", "LocalServer32",
    "ProgID",         "VersionIndependentProgID",
    "TypeLib",        "Implemented Categories",
    "Version",        "ToolboxBitmap32",
    "DefaultIcon",    "Programmable",
    "AuxUserType",    "MiscStatus",
    "Verb",           "Control",
    "Insertable",     "ProxyStubClsid32",
    "NumMethods",     "BaseInterface",
    "Elevation",      "ShellFolder",
    "Instance",       "Conversion",
};

const char *const kExtensions[] = {
    "txt", "doc", "xml", "htm", "html", "dll", "exe", "ini", "inf", "log", "bmp", "png", "jpg",
    "gif", "wav", "mp3", "avi", "zip",  "cab", "msi", "lnk", "url", "reg", "bat", "cmd", "vbs",
    "js",  "css", "rtf", "cpl", "ocx",  "sys", "ttf", "fon", "cur", "ani", "ico", "chm", "hlp",
};

const char *const kValueNames[] = {
    "DisplayName",
    "DisplayVersion",
    "Publisher",
    "InstallLocation",
    "InstallDate",
    "UninstallString",
    "Path",
    "Version",
    "Enabled",
    "Start",
    "Type",
    "ErrorControl",
    "ImagePath",
    "Description",
    "Group",
    "ObjectName",
    "DependOnService",
    "Tag",
    "Flags",
    "Attributes",
    "Language",
    "Locale",
    "Timeout",
    "MaxSize",
    "Count",
    "Order",
    "Index",
    "Mode",
    "Level",
    "State",
    "Status",
    "Options",
    "Data",
    "Value",
    "Name",
    "FriendlyName",
    "DeviceDesc",
    "HardwareID",
    "CompatibleIDs",
    "Driver",
    "Mfg",
    "Service",
    "ClassGUID",
    "ConfigFlags",
    "Capabilities",
    "UINumber",
    "LocationInformation",
    "ThreadingModel",
    "InstallTime",
    "EstimatedSize",
    "NoModify",
    "NoRepair",
    "HelpLink",
    "URLInfoAbout",
    "Comments",
    "Contact",
    "MRUList",
    "Default",
    "Icon",
    "Command",
    "Extension",
    "Content Type",
    "PerceivedType",
    "FontSize",
    "Color",
    "Background",
    "Wallpaper",
    "TileWallpaper",
    "ScreenSaveActive",
    "DoubleClickSpeed",
    "sLanguage",
    "sCountry",
    "iCountry",
    "sShortDate",
    "sTimeFormat",
    "LastUpdate",
    "CurrentBuild",
    "ProductName",
    "RegisteredOwner",
    "SystemRoot",
    "PendingFile",
};

const char *const kNonAscii[] = {
    "Paramètres", "Größe",       "Überwachung", "Español",
    "Français",   "日本語",      "中文",        "Ελληνικά",
    "Русский",    "Ærø",         "Ñandú",       "Sécurité",
    "Türkçe",     "Polski Łódź", "Čeština",     "\xF0\x9F\x8C\x8E",
};

const char *const kExpandRoots[] = {
    "%SystemRoot%\\system32\\",
    "%SystemRoot%\\",
    "%ProgramFiles%\\",
    "%windir%\\",
    "%CommonProgramFiles%\\",
    "%USERPROFILE%\\AppData\\Local\\",
    "%APPDATA%\\",
    "%SystemRoot%\\System32\\drivers\\",
    "%ProgramFiles(x86)%\\",
    "%TEMP%\\",
};

} // namespace

FillerText::FillerText(Prng &rng, std::vector<std::string> foldedNeedles)
    : m_rng(rng), m_needles(std::move(foldedNeedles))
{
}

bool FillerText::isClean(std::string_view text) const
{
    for (const std::string &needle : m_needles)
        if (containsFolded(text, needle)) return false;
    return true;
}

template <typename Make> std::string FillerText::clean(Make make)
{
    for (int attempt = 0; attempt < 32; ++attempt) {
        std::string text = make();
        if (isClean(text)) return text;
    }
    // A needle that the vocabulary keeps producing: fall back to a bare token.
    for (int attempt = 0; attempt < 32; ++attempt) {
        std::string text = "X" + hex(8);
        if (isClean(text)) return text;
    }
    throw std::invalid_argument("a needle is too common to keep it out of the generated text");
}

std::string FillerText::rawWord()
{
    return m_rng.pick(kWords);
}

std::string FillerText::rawVendor()
{
    return m_rng.pick(kVendors);
}

std::string FillerText::word()
{
    return clean([this] { return rawWord(); });
}

std::string FillerText::vendor()
{
    return clean([this] { return rawVendor(); });
}

std::string FillerText::hex(int digits)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (int i = 0; i < digits; ++i)
        text += kDigits[m_rng.below(16)];
    return text;
}

std::string FillerText::guid()
{
    return "{" + hex(8) + "-" + hex(4) + "-" + hex(4) + "-" + hex(4) + "-" + hex(12) + "}";
}

std::string FillerText::camel()
{
    std::string a = rawWord(), b = rawWord();
    a.erase(std::remove(a.begin(), a.end(), ' '), a.end());
    b.erase(std::remove(b.begin(), b.end(), ' '), b.end());
    return a + b;
}

std::string FillerText::nonAscii()
{
    return m_rng.pick(kNonAscii);
}

std::string FillerText::rawPath()
{
    switch (m_rng.below(4)) {
    case 0: return "C:\\windows\\system32\\" + foldAscii(camel()) + ".dll";
    case 1:
        return "C:\\Program Files\\" + rawVendor() + "\\" + rawWord() + "\\" +
               foldAscii(rawWord()) + ".exe";
    case 2: return "C:\\users\\Public\\Documents\\" + rawWord() + "\\" + camel() + ".xml";
    default:
        return "C:\\Program Files (x86)\\Common Files\\" + rawVendor() + "\\" + camel() + ".dll";
    }
}

std::string FillerText::keyName(NameStyle style, std::size_t index)
{
    return clean([&]() -> std::string {
        switch (style) {
        case NameStyle::Guid: return guid();
        case NameStyle::ComEntry: return m_rng.pick(kComEntries);
        case NameStyle::ClassName:
            switch (m_rng.below(3)) {
            case 0:
                return std::string(".") + m_rng.pick(kExtensions) +
                       std::string(m_rng.chance(0.3) ? hex(1) : "");
            case 1: return rawVendor() + "." + camel() + "." + std::to_string(m_rng.between(1, 12));
            default: return foldAscii(rawWord()) + m_rng.pick(kExtensions) + "file";
            }
        case NameStyle::Service:
            return m_rng.chance(0.5) ? foldAscii(camel()).substr(0, 8) + std::to_string(index % 10)
                                     : camel();
        case NameStyle::Device:
            return m_rng.chance(0.6)
                       ? "VEN_" + hex(4) + "&DEV_" + hex(4) + "&SUBSYS_" + hex(8) + "&REV_" + hex(2)
                       : std::to_string(m_rng.below(8)) + "&" + hex(8) + "&0&" + hex(2);
        case NameStyle::Numbered: {
            std::string number = std::to_string(index);
            return std::string(4 - std::min<std::size_t>(4, number.size()), '0') + number;
        }
        case NameStyle::Product:
            return m_rng.chance(0.4) ? guid()
                                     : rawVendor() + " " + rawWord() + " " +
                                           std::to_string(m_rng.between(1, 20)) + "." +
                                           std::to_string(m_rng.below(10));
        case NameStyle::Generic: break;
        }
        const uint64_t r = m_rng.below(100);
        if (r < 45) return rawWord();
        if (r < 70) return camel();
        if (r < 80) return rawWord() + " " + rawWord();
        if (r < 88) return rawWord() + std::to_string(m_rng.below(100));
        if (r < 93) return rawVendor();
        if (r < 96)
            return std::to_string(m_rng.between(1, 16)) + "." + std::to_string(m_rng.below(10));
        return nonAscii();
    });
}

std::string FillerText::valueName()
{
    return clean([this]() -> std::string {
        const uint64_t r = m_rng.below(100);
        if (r < 60) return m_rng.pick(kValueNames);
        if (r < 85) return camel();
        if (r < 93) return m_rng.pick(kValueNames) + std::to_string(m_rng.below(40));
        if (r < 98) return std::string(1, static_cast<char>('a' + m_rng.below(26)));
        return nonAscii();
    });
}

std::string FillerText::pathValueName()
{
    return clean([this] { return rawPath(); });
}

std::string FillerText::stringData()
{
    return clean([this]() -> std::string {
        const uint64_t r = m_rng.below(100);
        if (r < 25) return rawPath();
        if (r < 37) return guid();
        if (r < 52) return rawWord() + " " + foldAscii(rawWord()) + " " + foldAscii(rawWord());
        if (r < 60)
            return std::to_string(m_rng.between(1, 12)) + "." + std::to_string(m_rng.below(10)) +
                   "." + std::to_string(m_rng.below(30000)) + "." +
                   std::to_string(m_rng.below(500));
        if (r < 65) return "https://www." + foldAscii(camel()) + ".example/" + foldAscii(rawWord());
        if (r < 72) return std::to_string(m_rng.below(100000));
        if (r < 78) return "";
        if (r < 86)
            return "@%SystemRoot%\\system32\\" + foldAscii(camel()) + ".dll,-" +
                   std::to_string(m_rng.between(100, 40000));
        if (r < 89) return nonAscii() + " " + rawWord();
        if (r < 99) return rawVendor() + " " + rawWord();
        // Now and then a long text, as descriptions and cached lists are.
        std::string text;
        const uint64_t words = m_rng.between(60, 400);
        for (uint64_t i = 0; i < words; ++i)
            text += (i ? " " : "") + rawWord();
        return text;
    });
}

std::string FillerText::expandData()
{
    return clean([this]() -> std::string {
        std::string text = m_rng.pick(kExpandRoots);
        switch (m_rng.below(3)) {
        case 0: return text + foldAscii(camel()) + ".dll";
        case 1: return text + rawVendor() + "\\" + rawWord() + "\\" + foldAscii(rawWord()) + ".exe";
        default: return text + rawWord();
        }
    });
}

std::vector<std::string> FillerText::multiEntries()
{
    std::vector<std::string> entries(m_rng.between(1, 6));
    for (auto &entry : entries)
        entry = clean([this]() -> std::string {
            switch (m_rng.below(4)) {
            case 0: return rawPath();
            case 1: return "PCI\\VEN_" + hex(4) + "&DEV_" + hex(4);
            case 2: return foldAscii(camel());
            default: return rawWord();
            }
        });
    return entries;
}

std::string FillerText::defaultData()
{
    return clean([this]() -> std::string {
        switch (m_rng.below(4)) {
        case 0: return rawPath();
        case 1: return rawVendor() + " " + rawWord() + " Object";
        case 2: return "";
        default: return rawWord();
        }
    });
}

} // namespace quarnel::generator
