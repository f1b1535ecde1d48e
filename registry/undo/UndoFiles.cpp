#include "registry/undo/UndoFiles.h"

#include "registry/win32/WideText.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMark = ";Quarnel-edit: ";
constexpr std::string_view kTakenBack = ";Quarnel-undone: ";
constexpr std::string_view kRecord = ";Quarnel-record: ";
constexpr std::size_t kHeadLines = 5;         // the first line and our comment lines
constexpr std::size_t kHeadBytes = 64 * 1024; // the comment line is near the top

bool isUtf16(std::string_view bytes)
{
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xFE;
}

std::string utf16(std::string_view text)
{
    return utf16leBytes(WideFromBytes(text));
}

// The file's lines as 8-bit text, each with where it starts and ends in `bytes`.
struct Line
{
    std::size_t begin, end; // end: after its line break
    std::string text;
};

std::vector<Line> linesOf(std::string_view bytes, std::size_t most)
{
    std::vector<Line> lines;
    const bool wide = isUtf16(bytes);
    const std::size_t step = wide ? 2 : 1;
    std::size_t at = wide ? 2 : 0;
    while (at < bytes.size() && lines.size() < most) {
        std::size_t end = at;
        std::u16string units;
        std::string narrow;
        while (end + step <= bytes.size()) {
            const char16_t u = wide ? utf16leUnit(&bytes[end])
                                    : static_cast<char16_t>(static_cast<unsigned char>(bytes[end]));
            end += step;
            if (u == u'\n') break;
            if (u == u'\r') continue;
            if (wide)
                units.push_back(u);
            else
                narrow.push_back(static_cast<char>(u));
        }
        lines.push_back({at, end, wide ? BytesFromWide(units) : narrow});
        // Our comment lines come right after the first line: none after another.
        if (lines.size() > 1 && !lines.back().text.starts_with(';')) break;
        if (end == at) break;
        at = end;
    }
    return lines;
}

std::string oneLine(std::string_view text)
{
    std::string line(text);
    std::replace(line.begin(), line.end(), '\r', ' ');
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
}

std::string readHead(const std::string &path, std::size_t most)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes(most, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(most));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return bytes;
}

// "YYYY-MM-DD_HH-MM-SS" at the start of a name, as UTC; 0 when it is not there.
std::time_t stampTime(const std::string &name)
{
    int y, mo, d, h, mi, s;
    if (name.size() < 19 ||
        std::sscanf(name.c_str(), "%4d-%2d-%2d_%2d-%2d-%2d", &y, &mo, &d, &h, &mi, &s) != 6)
        return 0;
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
#ifdef _WIN32
    return _mkgmtime(&tm);
#else
    return timegm(&tm);
#endif
}

// `bytes` with the comment line `mark` + `text`: in place of an earlier line of
// that mark, else after the first line and our other comment lines.
std::string withComment(std::string bytes, std::string_view mark, std::string_view text)
{
    const std::vector<Line> lines = linesOf(bytes, kHeadLines);
    for (const Line &line : lines)
        if (std::string_view(line.text).starts_with(mark)) {
            bytes.erase(line.begin, line.end - line.begin);
            return withComment(std::move(bytes), mark, text);
        }
    std::size_t after = lines.empty() ? bytes.size() : lines.front().end;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i].text;
        if (!line.starts_with(kMark) && !line.starts_with(kTakenBack) && !line.starts_with(kRecord))
            break;
        after = lines[i].end;
    }
    const std::string comment = std::string(mark) + oneLine(text) + "\r\n";
    std::string out = bytes.substr(0, after);
    out += isUtf16(bytes) ? utf16(comment) : comment;
    out += bytes.substr(after);
    return out;
}

std::string commentOf(std::string_view bytes, std::string_view mark)
{
    for (const Line &line : linesOf(bytes.substr(0, kHeadBytes), kHeadLines))
        if (std::string_view(line.text).starts_with(mark)) return line.text.substr(mark.size());
    return {};
}

// Rewrites the file at `path` with the comment line. Written beside it and
// renamed over it: a crash leaves the old file or the new one (a ".partial-"
// name is what the next start clears away if it is left).
bool rewriteWithComment(const std::string &path, std::string_view mark, std::string_view text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::stringstream read;
    read << in.rdbuf();
    const std::string bytes = withComment(read.str(), mark, text);
    const fs::path target(path);
    const std::string temp =
        (target.parent_path() / (".partial-" + target.filename().string())).string();
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            std::error_code ignored;
            fs::remove(temp, ignored);
            return false;
        }
    }
    std::error_code error;
    fs::permissions(temp, fs::perms::owner_read | fs::perms::owner_write, error);
    // The time of its first writing orders the file among those of the same second.
    const fs::file_time_type written = fs::last_write_time(path, error);
    if (!error) fs::last_write_time(temp, written, error);
    error.clear();
    fs::rename(temp, path, error);
    if (error) fs::remove(temp, error);
    return !error;
}

// The last line of the file at `path` that holds anything, as 8-bit text (our
// comment lines are ASCII), and where it starts; "" when there is none.
std::string lastLine(const std::string &path, bool wide, std::uintmax_t &start)
{
    constexpr std::uintmax_t kTail = 256;
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error || size == 0) return {};
    std::uintmax_t from = size > kTail ? size - kTail : 0;
    if (wide) from += from % 2;
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(from));
    std::string bytes(static_cast<std::size_t>(size - from), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size())) return {};
    const std::size_t step = wide ? 2 : 1;
    std::string text; // one char a unit, where the line starts: at a unit after a '\n'
    for (std::size_t at = 0; at + step <= bytes.size(); at += step)
        text.push_back(wide && bytes[at + 1] != 0 ? '?' : bytes[at]);
    std::size_t end = text.size();
    while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r'))
        --end;
    const std::size_t begin = text.rfind('\n', end == 0 ? 0 : end - 1);
    if (begin == std::string::npos) return {};
    start = from + (begin + 1) * step;
    return text.substr(begin + 1, end - begin - 1);
}

std::string recordText(UndoFiles::Kind kind, const std::string &takenBack)
{
    return std::string(kind == UndoFiles::Kind::Redo ? "redo " : "undo ") +
           fs::path(takenBack).filename().string();
}

std::string nowText()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    gmtime_s(&tm, &now);
#else
    gmtime_r(&now, &tm);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return text;
}

} // namespace

namespace UndoFiles {

namespace {

Entry entryAt(const fs::path &path)
{
    // Our comment lines follow the first line: a small head holds them, and a
    // long folder of big files lists quickly.
    constexpr std::size_t kListedHeadBytes = 16 * 1024;
    const std::string head = readHead(path.string(), kListedHeadBytes);
    Entry entry;
    entry.path = path.string();
    entry.time = stampTime(path.filename().string());
    std::error_code e;
    if (entry.time == 0) {
        const fs::file_time_type written = fs::last_write_time(path, e);
        if (!e)
            entry.time =
                std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(written));
    }
    std::string record;
    std::uintmax_t markAt = 0;
    // The mark is the last line (earlier versions put it among the first).
    entry.takenBack = lastLine(entry.path, isUtf16(head), markAt).starts_with(kTakenBack);
    for (const Line &line : linesOf(head, kHeadLines)) {
        const std::string_view text = line.text;
        if (text.starts_with(kMark))
            entry.description = text.substr(kMark.size());
        else if (text.starts_with(kTakenBack))
            entry.takenBack = true;
        else if (text.starts_with(kRecord))
            record = text.substr(kRecord.size());
    }
    entry.kind = record.starts_with("undo ")   ? Kind::Undo
                 : record.starts_with("redo ") ? Kind::Redo
                                               : Kind::Edit;
    if (entry.kind != Kind::Edit) entry.recordOf = record.substr(5);
    entry.bytes = fs::file_size(path, e);
    if (e) entry.bytes = 0;
    return entry;
}

} // namespace

std::string described(const std::string &bytes, std::string_view description)
{
    return withComment(bytes, kMark, description);
}

std::string descriptionOf(std::string_view bytes)
{
    return commentOf(bytes, kMark);
}

bool describe(const std::string &path, std::string_view description)
{
    return rewriteWithComment(path, kMark, description);
}

namespace {

// Every undo file in the folder, newest first; with `onlyMade`, not the records of
// undos that were not made.
std::vector<Entry> everyFile(const std::string &safetyFolder, bool onlyMade)
{
    struct Found
    {
        Entry entry;
        fs::file_time_type written;
        std::string name;
    };
    std::vector<Found> found;
    std::error_code error;
    for (const auto &item : fs::directory_iterator(fs::path(safetyFolder) / "undo", error)) {
        const std::string name = item.path().filename().string();
        std::error_code e;
        if (name.starts_with(".") || !name.ends_with(".reg") || !item.is_regular_file(e) ||
            item.is_symlink(e))
            continue;
        Found f{entryAt(item.path()), item.last_write_time(e), name};
        found.push_back(std::move(f));
    }
    std::sort(found.begin(), found.end(), [](const Found &a, const Found &b) {
        if (a.entry.time != b.entry.time) return a.entry.time > b.entry.time;
        if (a.written != b.written) return a.written > b.written;
        return a.name > b.name;
    });
    // A record counts once the file it names is taken back: until then the undo
    // that wrote it was not made (it failed, or was ended midway).
    std::set<std::string> notTakenBack;
    for (const Found &f : found)
        if (!f.entry.takenBack) notTakenBack.insert(f.name);
    std::vector<Entry> entries;
    for (Found &f : found)
        if (!onlyMade || f.entry.kind == Kind::Edit || !notTakenBack.count(f.entry.recordOf))
            entries.push_back(std::move(f.entry));
    return entries;
}

} // namespace

std::vector<Entry> all(const std::string &safetyFolder)
{
    return everyFile(safetyFolder, true);
}

std::optional<Entry> entryOf(const std::string &path)
{
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(path, error))) return std::nullopt;
    return entryAt(path);
}

std::vector<Entry> pending(const std::string &safetyFolder)
{
    std::vector<Entry> entries = all(safetyFolder);
    std::erase_if(entries, [](const Entry &e) { return e.takenBack; });
    return entries;
}

std::vector<Entry> undoable(const std::string &safetyFolder)
{
    std::vector<Entry> entries = pending(safetyFolder);
    std::erase_if(entries, [](const Entry &e) { return e.kind == Kind::Undo; });
    return entries;
}

std::optional<Entry> redoable(const std::string &safetyFolder)
{
    for (Entry &entry : all(safetyFolder)) {
        // A new edit ends the chain, also one taken back since: what came before
        // it is no longer what the undo found.
        if (entry.kind == Kind::Edit) return std::nullopt;
        if (entry.kind == Kind::Undo && !entry.takenBack) return std::move(entry);
    }
    return std::nullopt;
}

Kind recordKind(const Entry &entry)
{
    return entry.kind == Kind::Undo ? Kind::Redo : Kind::Undo;
}

std::string recordDescription(const Entry &entry)
{
    std::string what =
        entry.description.empty() ? fs::path(entry.path).filename().string() : entry.description;
    const std::string_view strip = entry.kind == Kind::Undo   ? "undo of "
                                   : entry.kind == Kind::Redo ? "redo of "
                                                              : "";
    if (!strip.empty() && what.starts_with(strip)) what.erase(0, strip.size());
    return (recordKind(entry) == Kind::Undo ? "undo of " : "redo of ") + what;
}

std::string asRecord(const std::string &bytes, Kind kind, const std::string &takenBack)
{
    return withComment(bytes, kRecord, recordText(kind, takenBack));
}

std::string markRecord(const std::string &path, Kind kind, const std::string &takenBack)
{
    return rewriteWithComment(path, kRecord, recordText(kind, takenBack))
               ? std::string()
               : "cannot mark " + path + " as an undo";
}

std::vector<std::string> prune(const std::string &safetyFolder, const Limits &limits,
                               std::time_t now, std::time_t runningSince)
{
    std::vector<Entry> entries = everyFile(safetyFolder, false);
    std::uintmax_t total = 0;
    for (const Entry &entry : entries)
        total += entry.bytes;
    std::vector<std::string> removed;
    // Oldest first; the running program's own files are never among those removed.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (it->time >= runningSince) break;
        const bool tooOld = now - it->time > limits.maxAgeSeconds;
        if (!tooOld && total <= limits.maxBytes) break;
        std::error_code error;
        if (!fs::remove(it->path, error) || error) continue;
        total -= std::min(total, it->bytes);
        removed.push_back(it->path);
    }
    return removed;
}

std::string markTakenBack(const std::string &path)
{
    const std::string failed = "cannot mark " + path + " as undone";
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(path, error))) return failed;
    const std::uintmax_t size = fs::file_size(path, error);
    const fs::file_time_type written = fs::last_write_time(path, error);
    if (error) return failed;
    const bool wide = isUtf16(readHead(path, 2));
    std::uintmax_t lineAt = 0;
    std::string line = std::string(kTakenBack) + nowText() + "\r\n";
    // After the last line break: a file that ends without one gets one first.
    if (size > (wide ? 2u : 0u) && !lastLine(path, wide, lineAt).empty()) {
        std::ifstream in(path, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(size - (wide ? 2 : 1)));
        if (in.get() != '\n') line = "\r\n" + line;
    }
    const std::string bytes = wide ? utf16(line) : line;
    bool appended = false;
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        appended = static_cast<bool>(out.flush());
    }
    if (!appended) fs::resize_file(path, size, error);
    // The time of its first writing orders the file among those of the same second.
    fs::last_write_time(path, written, error);
    return appended ? std::string() : failed;
}

void unmarkTakenBack(const std::string &path)
{
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(path, error))) return;
    std::uintmax_t lineAt = 0;
    if (!lastLine(path, isUtf16(readHead(path, 2)), lineAt).starts_with(kTakenBack)) return;
    const fs::file_time_type written = fs::last_write_time(path, error);
    fs::resize_file(path, lineAt, error);
    if (!error) fs::last_write_time(path, written, error);
}

} // namespace UndoFiles
