#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <random>

#include "common/file_io.h"
#include "common/text.h"
#include "common/unique_fd_posix.h"

namespace zendrel {
namespace {

FileError ErrorOf(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return FileError::kNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return FileError::kAccessDenied;
        case ENOSPC:
        case EDQUOT:
            return FileError::kNoSpace;
        case ENAMETOOLONG:
            return FileError::kNameTooLong;
        default:
            return FileError::kOther;
    }
}

mode_t ModeFor(FileAccess access) { return access == FileAccess::kOwnerOnly ? 0600 : 0666; }

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// A name of fixed length beside the target, different for every process and every attempt.
std::filesystem::path TemporaryNameIn(const std::filesystem::path& folder) {
    static std::atomic<unsigned> counter{0};
    static const unsigned processTag = std::random_device{}() ^ static_cast<unsigned>(::getpid());
    char name[32];
    std::snprintf(name, sizeof name, "%.*s%08x%08x", static_cast<int>(kTemporaryFilePrefix.size()),
                  kTemporaryFilePrefix.data(), processTag, counter.fetch_add(1));
    return folder / name;
}

// The bytes to disk before the file gets a name that says it is whole; a crash right after the rename must not leave a
// whole-looking file of zeros.
FileError FillAndFlush(UniqueFd& file, std::string_view bytes) {
    if (!WriteAll(file.get(), bytes) || ::fsync(file.get()) != 0) return ErrorOf(errno);
    return FileError::kNone;
}

FileError WriteThroughTemporaryName(const std::filesystem::path& target, std::string_view bytes, FileAccess access) {
    for (int attempt = 0;; ++attempt) {
        const std::filesystem::path temporary = TemporaryNameIn(target.parent_path());
        UniqueFd file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, ModeFor(access)));
        if (!file.valid()) {
            if (errno == EEXIST && attempt < 8) continue;
            return ErrorOf(errno);
        }
        FileError error = FillAndFlush(file, bytes);
        if (error == FileError::kNone && !file.Close()) error = ErrorOf(errno);
        if (error == FileError::kNone && ::rename(temporary.c_str(), target.c_str()) != 0) error = ErrorOf(errno);
        if (error != FileError::kNone) ::unlink(temporary.c_str());
        return error;
    }
}

#ifdef O_TMPFILE
enum class AnonymousWrite { kDone, kFailed, kUnsupported };

// The file has no name while it is written, so a process killed meanwhile leaves nothing behind. It gets a temporary
// name only for the moment between the link and the rename, since a link cannot replace an existing file.
AnonymousWrite WriteThroughAnonymousFile(const std::filesystem::path& target, std::string_view bytes,
                                         FileAccess access, FileError& error) {
    const std::filesystem::path folder = target.parent_path();
    UniqueFd file(::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, ModeFor(access)));
    if (!file.valid()) {
        // File systems without anonymous files say so in several ways; everything else is a real failure.
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return AnonymousWrite::kUnsupported;
        error = ErrorOf(errno);
        return AnonymousWrite::kFailed;
    }
    error = FillAndFlush(file, bytes);
    if (error != FileError::kNone) return AnonymousWrite::kFailed;
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", file.get());
    const std::filesystem::path temporary = TemporaryNameIn(folder);
    if (::linkat(AT_FDCWD, self, AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        // Without /proc the file cannot be named; it is written again the ordinary way.
        return AnonymousWrite::kUnsupported;
    }
    if (!file.Close() || ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = ErrorOf(errno);
        ::unlink(temporary.c_str());
        return AnonymousWrite::kFailed;
    }
    return AnonymousWrite::kDone;
}
#endif

}  // namespace

std::filesystem::path PathFromText(std::string_view text) {
    const std::string utf8 = Windows1252ToUtf8(text);
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

FileError WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes, FileAccess access) {
#ifdef O_TMPFILE
    FileError error = FileError::kNone;
    if (WriteThroughAnonymousFile(target, bytes, access, error) != AnonymousWrite::kUnsupported) return error;
#endif
    return WriteThroughTemporaryName(target, bytes, access);
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) return std::nullopt;
    std::string bytes;
    struct stat status {};
    if (::fstat(file.get(), &status) == 0 && status.st_size > 0) {
        bytes.reserve(static_cast<std::size_t>(status.st_size));
    }
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (count == 0) return bytes;
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
}

FolderCreation CreatePrivateFolders(const std::filesystem::path& folder) {
    std::filesystem::path existing = folder;
    while (!existing.empty() && existing.filename().empty()) existing = existing.parent_path();
    struct stat status {};
    if (::stat(existing.c_str(), &status) == 0) {
        return S_ISDIR(status.st_mode) ? FolderCreation::kExisted : FolderCreation::kFailed;
    }
    const std::filesystem::path parent = existing.parent_path();
    if (parent.empty() || parent == existing) return FolderCreation::kFailed;
    if (CreatePrivateFolders(parent) == FolderCreation::kFailed) return FolderCreation::kFailed;
    if (::mkdir(existing.c_str(), 0700) != 0 && errno != EEXIST) return FolderCreation::kFailed;
    return FolderCreation::kCreated;
}

void RemoveStaleTemporaryFiles(const std::filesystem::path& folder, std::chrono::seconds age) {
    DIR* directory = ::opendir(folder.empty() ? "." : folder.c_str());
    if (directory == nullptr) return;
    const std::time_t oldest = std::time(nullptr) - static_cast<std::time_t>(age.count());
    while (const dirent* entry = ::readdir(directory)) {
        const std::string_view name(entry->d_name);
        if (name.substr(0, kTemporaryFilePrefix.size()) != kTemporaryFilePrefix) continue;
        struct stat status {};
        if (::fstatat(::dirfd(directory), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISREG(status.st_mode) && status.st_mtime < oldest) ::unlinkat(::dirfd(directory), entry->d_name, 0);
    }
    ::closedir(directory);
}

}  // namespace zendrel
