#include "common/FileWriter.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace norvane {
namespace {

// Links followed before giving up, as the kernel does (MAXSYMLINKS).
constexpr int MaxLinkHops = 40;

std::string ErrorText(int error)
{
    return std::generic_category().message(error);
}

// Up to and including the last '/'; empty without one.
std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file that receives the bytes of a path.
struct Target {
    std::string m_Path;
    bool m_Exists = false;
    mode_t m_Mode = 0;
};

// The contents of a symbolic link, or empty on failure (errno set).
std::string ReadLink(const std::string& path)
{
    std::string text(PATH_MAX, '\0');
    const ssize_t length = ::readlink(path.c_str(), text.data(), text.size());
    if (length < 0)
        return {};
    text.resize(static_cast<std::size_t>(length));
    return text;
}

// Applies the policy of FileWriter.h: an existing target must be a regular
// file the user may write; links lead to the file they name. Nothing is
// opened, so a FIFO or a device cannot block or be touched.
Expected<Target> ResolveTarget(const std::string& path)
{
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode))
            return Failure{ErrorText(EISDIR)};
        if (!S_ISREG(existing.st_mode))
            return Failure{NotARegularFileReason};
        if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
            return Failure{ErrorText(errno)};
        const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
        if (!real)
            return Failure{ErrorText(errno)};
        return Target{real.get(), true, existing.st_mode};
    }
    if (errno != ENOENT)
        return Failure{ErrorText(errno)};

    // Nothing there yet; a dangling link still names where the file goes.
    std::string current = path;
    for (int hop = 0; hop < MaxLinkHops; ++hop) {
        struct stat link {};
        if (::lstat(current.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
            return Target{current, false, 0};
        std::string named = ReadLink(current);
        if (named.empty())
            return Failure{ErrorText(errno)};
        current = named.front() == '/' ? named : FolderOf(current) + named;
    }
    return Failure{ErrorText(ELOOP)};
}

// write() until all bytes are out; 0 or the errno of the failure.
int WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// A fresh temporary file beside target, ".<file name>.<pid>-<n>.tmp", hidden
// and never mistaken for a result. The file name part is shortened (at a
// UTF-8 character boundary) so that the whole name fits NAME_MAX.
int CreateTemporaryBeside(const std::string& target, std::string& temporaryPath)
{
    static unsigned counter = 0;
    const std::string folder = FolderOf(target);
    const std::string name = FileNameOf(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) on "." + string.
        std::string suffix(1, '.');
        suffix += std::to_string(::getpid());
        suffix += '-';
        suffix += std::to_string(counter++);
        suffix += ".tmp";
        std::size_t keep = std::min(name.size(), std::size_t{NAME_MAX} - 1 - suffix.size());
        while (keep > 0 && keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
            --keep;
        temporaryPath = folder;
        temporaryPath += '.';
        temporaryPath.append(name, 0, keep);
        temporaryPath += suffix;
        // 0666: the umask applies, as for any newly created file.
        const int fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Flushes the folder that holds path, so that a rename in it is durable.
// Best effort: not every file system allows this.
void SyncFolderOf(const std::string& path)
{
    const std::string folder = FolderOf(path);
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Writes the bytes to a temporary file beside the target; 0 or an errno.
int Prepare(const Target& target, std::string_view bytes, std::string& temporaryPath)
{
    const int fd = CreateTemporaryBeside(target.m_Path, temporaryPath);
    if (fd < 0)
        return errno;
    int error = WriteAll(fd, bytes);
    if (error == 0) {
        // Best effort: a file system without permissions refuses this.
        if (target.m_Exists)
            ::fchmod(fd, target.m_Mode & 0777);
        if (::fsync(fd) != 0)
            error = errno;
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        ::unlink(temporaryPath.c_str());
    return error;
}

// Moves a prepared file into place. An existing target is swapped, so that
// its old bytes wait at the temporary name; returns 0 or an errno and says
// whether the move can be undone. A regular file that appeared since the
// check (a program that does not take the folder's lock) is swapped too.
int MoveIntoPlace(const std::string& temporaryPath, Target& target, bool& undoable)
{
    const unsigned flags = target.m_Exists ? RENAME_EXCHANGE : RENAME_NOREPLACE;
    if (::renameat2(AT_FDCWD, temporaryPath.c_str(), AT_FDCWD, target.m_Path.c_str(), flags) == 0) {
        undoable = true;
        return 0;
    }
    struct stat appeared {};
    if (errno == EEXIST && ::lstat(target.m_Path.c_str(), &appeared) == 0 && S_ISREG(appeared.st_mode) &&
        ::renameat2(AT_FDCWD, temporaryPath.c_str(), AT_FDCWD, target.m_Path.c_str(), RENAME_EXCHANGE) == 0) {
        target.m_Exists = true;
        undoable = true;
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // The file system cannot swap: a plain rename, final at once.
    undoable = !target.m_Exists;
    return ::rename(temporaryPath.c_str(), target.m_Path.c_str()) == 0 ? 0 : errno;
}

// The folders of a set held with flock for as long as it lives, each once,
// taken in the order of their device and inode numbers, so that two
// writers that share folders never wait for each other in a circle. A
// folder that cannot be opened or locked (no read permission, a file
// system without flock) is written unlocked, as before.
class FolderLocks {
public:
    explicit FolderLocks(const std::vector<std::string>& folders)
    {
        struct Held {
            dev_t m_Device;
            ino_t m_Inode;
            int m_Fd;
        };
        std::vector<Held> opened;
        for (const std::string& folder : folders) {
            const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            struct stat info {};
            if (fd < 0)
                continue;
            if (::fstat(fd, &info) != 0) {
                ::close(fd);
                continue;
            }
            const bool again = std::ranges::any_of(opened, [&](const Held& held) {
                return held.m_Device == info.st_dev && held.m_Inode == info.st_ino;
            });
            if (again) {
                ::close(fd);
                continue;
            }
            opened.push_back({info.st_dev, info.st_ino, fd});
        }
        std::ranges::sort(opened, [](const Held& a, const Held& b) {
            return a.m_Device != b.m_Device ? a.m_Device < b.m_Device : a.m_Inode < b.m_Inode;
        });
        for (const Held& held : opened) {
            while (::flock(held.m_Fd, LOCK_EX) != 0 && errno == EINTR) {
            }
            m_Fds.push_back(held.m_Fd);
        }
    }
    ~FolderLocks()
    {
        for (const int fd : m_Fds)
            ::close(fd); // and with it the lock
    }
    FolderLocks(const FolderLocks&) = delete;
    FolderLocks& operator=(const FolderLocks&) = delete;

private:
    std::vector<int> m_Fds;
};

// The folders a set changes that exist before it: those of its files and
// folders, less the folders it makes itself (whose own folder is among
// them).
std::vector<std::string> FoldersToLock(const std::vector<std::string>& paths,
                                       const std::vector<std::string>& madeFolders)
{
    std::vector<std::string> folders;
    for (const std::string& path : paths) {
        std::string folder = FolderOf(path);
        const std::string withoutSlash = folder.empty() ? folder : folder.substr(0, folder.size() - 1);
        if (std::ranges::find(madeFolders, withoutSlash) == madeFolders.end() &&
            std::ranges::find(folders, folder) == folders.end())
            folders.push_back(std::move(folder));
    }
    return folders;
}

} // namespace

std::string FileWriteFailureMessage(const std::string& path, const std::string& reason)
{
    return "The file \"" + path + "\" could not be written:\n" + reason;
}

void PendingWrites::AddFile(std::string path, std::string bytes, FailureMessageOf message)
{
    m_Entries.push_back({false, false, std::move(path), std::move(bytes), std::move(message)});
}

void PendingWrites::AddFolder(std::string path, FailureMessageOf message)
{
    m_Entries.push_back({true, false, std::move(path), {}, std::move(message)});
}

void PendingWrites::AddRemoval(std::string path, FailureMessageOf message)
{
    m_Entries.push_back({false, true, std::move(path), {}, std::move(message)});
}

Status PendingWrites::Commit()
{
    const std::vector<Entry> entries = std::exchange(m_Entries, {});

    struct Prepared {
        const Entry* m_Entry;
        Target m_Target;
        std::string m_TemporaryPath;
        bool m_Moved = false;
        bool m_Undoable = false;
    };
    std::vector<Prepared> files;
    std::vector<std::string> createdFolders;

    // Another writer (a second norvane-cli, the desktop program) changing
    // the same folders waits until this set is complete, and this one for
    // it: of two sets the last is found whole, never a mix of both, and a
    // target that did not exist when checked cannot appear before it is
    // moved into place.
    std::vector<std::string> paths, madeFolders;
    for (const Entry& entry : entries) {
        std::string path = entry.m_Path;
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        if (entry.m_Folder)
            madeFolders.push_back(path);
        paths.push_back(std::move(path));
    }
    const FolderLocks locks(FoldersToLock(paths, madeFolders));

    // Undoes whatever was done so far and names the entry that failed.
    auto fail = [&](const Entry& entry, const std::string& reason) -> Status {
        for (auto it = files.rbegin(); it != files.rend(); ++it) {
            if (!it->m_Moved) {
                ::unlink(it->m_TemporaryPath.c_str());
            } else if (it->m_Undoable && it->m_Target.m_Exists) {
                ::renameat2(AT_FDCWD, it->m_TemporaryPath.c_str(), AT_FDCWD, it->m_Target.m_Path.c_str(),
                            RENAME_EXCHANGE);
                ::unlink(it->m_TemporaryPath.c_str());
            } else if (it->m_Undoable) {
                ::unlink(it->m_Target.m_Path.c_str());
            }
        }
        for (auto it = createdFolders.rbegin(); it != createdFolders.rend(); ++it)
            ::rmdir(it->c_str());
        return Failure{entry.m_Message(entry.m_Path, reason)};
    };

    // Check and prepare everything; nothing visible changes but new folders.
    for (const Entry& entry : entries) {
        if (entry.m_Removal) {
            continue;
        }
        if (entry.m_Folder) {
            if (::mkdir(entry.m_Path.c_str(), 0777) == 0) {
                createdFolders.push_back(entry.m_Path);
                continue;
            }
            const int error = errno;
            struct stat existing {};
            if (error != EEXIST || ::stat(entry.m_Path.c_str(), &existing) != 0)
                return fail(entry, ErrorText(error));
            if (!S_ISDIR(existing.st_mode))
                return fail(entry, ErrorText(ENOTDIR));
            continue;
        }
        Expected<Target> target = ResolveTarget(entry.m_Path);
        if (!target)
            return fail(entry, target.Message());
        Prepared file{&entry, std::move(target).Value(), {}};
        if (const int error = Prepare(file.m_Target, entry.m_Bytes, file.m_TemporaryPath))
            return fail(entry, ErrorText(error));
        files.push_back(std::move(file));
    }

    // Put everything in place.
    for (Prepared& file : files) {
        if (const int error = MoveIntoPlace(file.m_TemporaryPath, file.m_Target, file.m_Undoable))
            return fail(*file.m_Entry, ErrorText(error));
        file.m_Moved = true;
    }
    for (const Prepared& file : files) {
        if (file.m_Target.m_Exists && file.m_Undoable)
            ::unlink(file.m_TemporaryPath.c_str()); // the old bytes
        SyncFolderOf(file.m_Target.m_Path);
    }
    std::optional<Failure> removalFailed;
    for (const Entry& entry : entries) {
        struct stat existing {};
        if (!entry.m_Removal || ::lstat(entry.m_Path.c_str(), &existing) != 0 || !S_ISREG(existing.st_mode)) {
            continue;
        }
        if (::unlink(entry.m_Path.c_str()) != 0 && errno != ENOENT && !removalFailed) {
            removalFailed = Failure{entry.m_Message(entry.m_Path, ErrorText(errno))};
        }
    }
    if (removalFailed) {
        return *removalFailed;
    }
    return {};
}

Status WriteFileAtomically(const std::string& path, std::string_view bytes)
{
    PendingWrites writes;
    writes.AddFile(path, std::string(bytes));
    return writes.Commit();
}

} // namespace norvane
