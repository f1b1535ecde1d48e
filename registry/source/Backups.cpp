#include "registry/source/Backups.h"

#include "registry/source/SafeOpen.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarnel::platform {

namespace {

constexpr const char *kPartialPrefix = ".partial-";
constexpr int kMaxSuffix = 1000;

std::string describe(const std::string &what, const std::string &path)
{
    return "cannot " + what + " " + path + ": " + std::strerror(errno);
}

// A folder of ours: made 0700 when missing; one that is a symbolic link or no
// folder at all is refused, not followed.
bool ensureFolder(const std::string &path, std::string &error)
{
    if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) {
        struct stat st
        {
        };
        if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
        error = path + " is not a folder (a symbolic link or a file is in the way)";
        return false;
    }
    error = describe("create the folder", path);
    return false;
}

bool writeAll(int fd, std::string_view chunk)
{
    for (std::size_t done = 0; done < chunk.size();) {
        const ssize_t w = ::write(fd, chunk.data() + done, chunk.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        done += static_cast<std::size_t>(w);
    }
    return true;
}

bool copyInto(int to, int from)
{
    // In the kernel where it can; by reading and writing where it cannot.
    for (;;) {
        const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, std::size_t(1) << 30, 0);
        if (n == 0) return true;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
    }
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t r = ::read(from, buffer.data(), buffer.size());
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return r == 0;
        if (!writeAll(to, {buffer.data(), static_cast<std::size_t>(r)})) return false;
    }
}

bool writeBackupFile(const std::string &folder, const BackupFile &file, bool sync,
                     std::string &error)
{
    const std::string path = folder + "/" + file.name;
    int source = -1;
    struct stat original
    {
    };
    const bool hasOriginal =
        !file.original.empty() && ::stat(file.original.c_str(), &original) == 0;
    if (!file.produce) {
        // Swapped for a FIFO since it was loaded, it would block the copy for good.
        source = openForReading(file.original, true, error);
        if (source < 0) return false;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = describe("create", path);
        if (source >= 0) ::close(source);
        return false;
    }
    bool ok = !hasOriginal || ::fchmod(fd, original.st_mode & 0777) == 0;
    if (ok && source >= 0) {
        ok = copyInto(fd, source);
    } else if (ok) {
        file.produce([&ok, fd](std::string_view chunk) { ok = ok && writeAll(fd, chunk); });
    }
    if (ok && sync) ok = ::fdatasync(fd) == 0;
    if (!ok) error = describe("write", path);
    if (::close(fd) != 0 && ok) {
        error = describe("write", path);
        ok = false;
    }
    if (source >= 0) ::close(source);
    return ok;
}

bool syncFolder(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Renames `from` to `base` + `extension`, or to `base` + "-N" + `extension`
// when that is taken; never over anything. Returns the new path or "".
std::string renameFree(const std::string &from, const std::string &base,
                       const std::string &extension, std::string &error)
{
    for (int n = 1; n <= kMaxSuffix; ++n) {
        const std::string to = base + (n == 1 ? "" : "-" + std::to_string(n)) + extension;
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
            return to;
        if (errno != EEXIST && errno != ENOTEMPTY) {
            error = describe("rename " + from + " to", to);
            return {};
        }
    }
    error = "no free name for " + base + extension;
    return {};
}

// The registry files of one backup folder (and our note), and the folder when
// that empties it.
void removeBackupFolder(int safetyFd, const std::string &name, RegistryFileNames names)
{
    const int fd =
        ::openat(safetyFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    const auto remove = [fd](const char *file) {
        struct stat st
        {
        };
        if (::fstatat(fd, file, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            ::unlinkat(fd, file, 0);
    };
    for (const char *file : names)
        remove(file);
    remove(kBackupNoteFile);
    ::close(fd);
    ::unlinkat(safetyFd, name.c_str(), AT_REMOVEDIR); // fails when anything else is in it
}

bool holdsRegistryFile(int safetyFd, const std::string &name, RegistryFileNames names)
{
    return std::any_of(names.begin(), names.end(), [&](const char *file) {
        struct stat st
        {
        };
        return ::fstatat(safetyFd, (name + "/" + file).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISREG(st.st_mode);
    });
}

struct Backup
{
    std::string name;
    timespec made{};
};

// Newest first by the time a folder was made; within one clock tick by the
// time stamp of its name, then by its suffix as a number.
bool newerFirst(const Backup &a, const Backup &b)
{
    if (a.made.tv_sec != b.made.tv_sec) return a.made.tv_sec > b.made.tv_sec;
    if (a.made.tv_nsec != b.made.tv_nsec) return a.made.tv_nsec > b.made.tv_nsec;
    const auto number = [](const std::string &name) {
        return name.size() > 19 ? std::stoi(name.substr(20)) : 1;
    };
    const int order = a.name.compare(0, 19, b.name, 0, 19);
    return order != 0 ? order > 0 : number(a.name) > number(b.name);
}

// The entries of a folder of ours whose names start with ".partial-" and that
// are of the kind `type` (S_IFDIR, S_IFREG), never followed.
std::vector<std::string> partials(int folderFd, mode_t type)
{
    std::vector<std::string> found;
    DIR *dir = ::fdopendir(::dup(folderFd));
    while (dir) {
        const dirent *entry = ::readdir(dir);
        if (!entry) break;
        struct stat st
        {
        };
        if (std::string_view(entry->d_name).starts_with(kPartialPrefix) &&
            ::fstatat(folderFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            (st.st_mode & S_IFMT) == type)
            found.emplace_back(entry->d_name);
    }
    if (dir) ::closedir(dir);
    return found;
}

// The time now, later than any this process gave before.
timespec distinctNow()
{
    static timespec last{};
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    if (now.tv_sec < last.tv_sec || (now.tv_sec == last.tv_sec && now.tv_nsec <= last.tv_nsec)) {
        now = last;
        if (++now.tv_nsec == 1000000000) {
            now.tv_nsec = 0;
            ++now.tv_sec;
        }
    }
    last = now;
    return now;
}

} // namespace

std::string timeStamp(std::time_t when)
{
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d_%H-%M-%S", &utc);
    return text;
}

bool isBackupFolderName(std::string_view name)
{
    constexpr std::string_view shape = "dddd-dd-dd_dd-dd-dd";
    if (name.size() < shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(name[i]))
                            : name[i] != shape[i])
            return false;
    if (name.size() == shape.size()) return true;
    // A suffix: "-" and a number from 2, as renameFree makes them.
    const std::string_view suffix = name.substr(shape.size());
    if (suffix.size() < 2 || suffix.size() > 5 || suffix[0] != '-' || suffix[1] == '0')
        return false;
    return std::all_of(suffix.begin() + 1, suffix.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

std::string makeBackup(const std::string &safetyFolder, RegistryFileNames names,
                       const std::vector<BackupFile> &files, std::time_t when, bool syncToDisk,
                       std::string &error, std::size_t keep)
{
    if (!ensureFolder(safetyFolder, error)) return {};
    const std::string stamp = timeStamp(when);
    std::string partial = safetyFolder + "/" + kPartialPrefix + stamp + "-XXXXXX";
    if (!::mkdtemp(partial.data())) {
        error = describe("create a folder in", safetyFolder);
        return {};
    }
    bool ok = true;
    for (const BackupFile &file : files)
        if (!writeBackupFile(partial, file, syncToDisk, error)) {
            ok = false;
            break;
        }
    if (ok && syncToDisk && !syncFolder(partial)) {
        error = describe("write", partial);
        ok = false;
    }
    const std::string made = ok ? renameFree(partial, safetyFolder + "/" + stamp, "", error) : "";
    if (made.empty()) {
        for (const BackupFile &file : files)
            ::unlink((partial + "/" + file.name).c_str());
        ::rmdir(partial.c_str());
        return {};
    }
    if (syncToDisk) syncFolder(safetyFolder);
    pruneBackups(safetyFolder, names, keep, made.substr(safetyFolder.size() + 1));
    return made;
}

namespace {

// The backup folders in the safety folder, newest first, with what they hold.
std::vector<BackupFolder> scanBackups(int safetyFd, RegistryFileNames names)
{
    DIR *dir = ::fdopendir(::dup(safetyFd));
    std::vector<Backup> backups;
    while (dir) {
        const dirent *entry = ::readdir(dir);
        if (!entry) break;
        const std::string name = entry->d_name;
        struct stat st
        {
        };
        if (isBackupFolderName(name) &&
            ::fstatat(safetyFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISDIR(st.st_mode) && holdsRegistryFile(safetyFd, name, names))
            backups.push_back({name, st.st_mtim});
    }
    if (dir) ::closedir(dir);
    std::sort(backups.begin(), backups.end(), newerFirst);
    std::vector<BackupFolder> folders;
    for (const Backup &backup : backups) {
        BackupFolder folder{backup.name, backup.made.tv_sec, 0};
        for (const char *file : names) {
            struct stat st
            {
            };
            if (::fstatat(safetyFd, (backup.name + "/" + file).c_str(), &st, AT_SYMLINK_NOFOLLOW) ==
                    0 &&
                S_ISREG(st.st_mode))
                folder.bytes += static_cast<std::uintmax_t>(st.st_size);
        }
        folders.push_back(std::move(folder));
    }
    return folders;
}

} // namespace

std::vector<BackupFolder> listBackups(const std::string &safetyFolder, RegistryFileNames names)
{
    const int safetyFd =
        ::open(safetyFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (safetyFd < 0) return {};
    std::vector<BackupFolder> folders = scanBackups(safetyFd, names);
    ::close(safetyFd);
    return folders;
}

void pruneBackups(const std::string &safetyFolder, RegistryFileNames names, std::size_t keep,
                  const std::string &spare)
{
    const int safetyFd =
        ::open(safetyFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (safetyFd < 0) return;
    std::size_t kept = spare.empty() ? 0 : 1;
    for (const BackupFolder &backup : scanBackups(safetyFd, names))
        if (backup.name != spare && kept++ >= keep)
            removeBackupFolder(safetyFd, backup.name, names);
    ::close(safetyFd);
    removeLeftovers(safetyFolder, names);
}

void removeLeftovers(const std::string &safetyFolder, RegistryFileNames names)
{
    const int safetyFd =
        ::open(safetyFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (safetyFd < 0) return;
    for (const std::string &name : partials(safetyFd, S_IFDIR))
        removeBackupFolder(safetyFd, name, names);
    const int undoFd =
        ::openat(safetyFd, kUndoFolderName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (undoFd >= 0) {
        for (const std::string &name : partials(undoFd, S_IFREG))
            ::unlinkat(undoFd, name.c_str(), 0);
        ::close(undoFd);
    }
    ::close(safetyFd);
}

namespace {

constexpr const char *kSavedFilesName = ".saved-files";

std::string savedFilesText(RegistryFileNames names, const FileId *files)
{
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const FileId &id = files[i];
        text += std::string(names[i]) + " " + (id.exists ? "1" : "0");
        for (uint64_t v : {id.device, id.inode, id.size, static_cast<uint64_t>(id.mtimeSec),
                           static_cast<uint64_t>(id.mtimeNsec)})
            text += " " + std::to_string(v);
        text += "\n";
    }
    return text;
}

} // namespace

bool writeSavedFiles(const std::string &safetyFolder, RegistryFileNames names, const FileId *files,
                     bool syncToDisk, std::string &error)
{
    FileId written;
    return ensureFolder(safetyFolder, error) &&
           replaceFile(safetyFolder + "/" + kSavedFilesName, savedFilesText(names, files),
                       syncToDisk, written, error);
}

bool areSavedFiles(const std::string &safetyFolder, RegistryFileNames names, const FileId *files)
{
    std::string error;
    const std::string path = safetyFolder + "/" + kSavedFilesName;
    const int fd = openForReading(path, false, error);
    if (fd < 0) return false;
    FileContent content;
    const bool read = content.readFrom(fd, path, error);
    ::close(fd);
    return read && content.text() == savedFilesText(names, files);
}

void forgetUndoCutShort(const std::string &safetyFolder, const std::string &undoFile,
                        int64_t sizeBefore, const std::string &record)
{
    const std::string folder = safetyFolder + "/" + kUndoFolderName + "/";
    const auto inFolder = [&folder](const std::string &path) {
        return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
               path.find('/', folder.size()) == std::string::npos;
    };
    if (inFolder(undoFile) && sizeBefore >= 0) {
        const int fd = ::open(undoFile.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
        struct stat st
        {
        };
        if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > sizeBefore) {
            // Its time orders it among the files of the same second.
            const timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
            if (::ftruncate(fd, static_cast<off_t>(sizeBefore)) == 0) ::futimens(fd, times);
        }
        if (fd >= 0) ::close(fd);
    }
    struct stat st
    {
    };
    if (inFolder(record) && ::lstat(record.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        ::unlink(record.c_str());
}

std::string writeUndoFile(const std::string &safetyFolder, const std::string &kind,
                          std::string_view bytes, std::time_t when, bool syncToDisk,
                          std::string &error)
{
    const std::string folder = safetyFolder + "/" + kUndoFolderName;
    if (!ensureFolder(safetyFolder, error) || !ensureFolder(folder, error)) return {};
    const std::string stamp = timeStamp(when);
    std::string temp = folder + "/" + kPartialPrefix + stamp + "-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC); // O_EXCL, mode 0600
    if (fd < 0) {
        error = describe("create a file in", folder);
        return {};
    }
    bool ok = writeAll(fd, bytes) && (!syncToDisk || ::fdatasync(fd) == 0);
    if (!ok) error = describe("write", temp);
    // The file system's clock ticks coarsely: files written within one tick would
    // share a time, which orders undo files of the same second.
    if (ok) {
        const timespec times[2] = {{0, UTIME_OMIT}, distinctNow()};
        ::futimens(fd, times);
    }
    if (::close(fd) != 0 && ok) {
        error = describe("write", temp);
        ok = false;
    }
    const std::string made =
        ok ? renameFree(temp, folder + "/" + stamp + "-" + kind, ".reg", error) : "";
    if (made.empty()) {
        ::unlink(temp.c_str());
        return {};
    }
    if (syncToDisk) syncFolder(folder);
    return made;
}

} // namespace quarnel::platform
