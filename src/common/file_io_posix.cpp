#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

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
FileError FillAndFlush(UniqueFd& file, const ByteSource& source) {
    int failure = 0;
    const bool whole = source.ForEachPiece([&](std::string_view piece) {
        if (WriteAll(file.get(), piece)) return true;
        failure = errno;
        return false;
    });
    if (!whole) return failure != 0 ? ErrorOf(failure) : FileError::kOther;
    if (::fsync(file.get()) != 0) return ErrorOf(errno);
    return FileError::kNone;
}

// The anonymous file is named through its link in /proc; without /proc mounted it could never get a name.
bool AnonymousFilesUsable() {
#ifdef O_TMPFILE
    return ::access("/proc/self/fd", X_OK) == 0;
#else
    return false;
#endif
}

// File systems without hard links say so in several ways.
bool NoHardLinks(int error) { return error == EPERM || error == EOPNOTSUPP || error == EMLINK || error == ENOSYS; }

}  // namespace

std::filesystem::path PathFromText(std::string_view text) {
    const std::string utf8 = Windows1252ToUtf8(text);
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

PendingFile::PendingFile(const std::filesystem::path& folder, const ByteSource& bytes, FileAccess access)
    : folder_(folder.empty() ? std::filesystem::path(".") : folder) {
#ifdef O_TMPFILE
    if (AnonymousFilesUsable()) {
        UniqueFd file(::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, ModeFor(access)));
        if (file.valid()) {
            error_ = FillAndFlush(file, bytes);
            if (error_ == FileError::kNone) descriptor_ = file.release();
            return;
        }
        // File systems without anonymous files say so in several ways; everything else is a real failure.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            error_ = ErrorOf(errno);
            return;
        }
    }
#endif
    for (int attempt = 0;; ++attempt) {
        const std::filesystem::path temporary = TemporaryNameIn(folder_);
        UniqueFd file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, ModeFor(access)));
        if (!file.valid()) {
            if (errno == EEXIST && attempt < 8) continue;
            error_ = ErrorOf(errno);
            return;
        }
        temporary_ = temporary;
        error_ = FillAndFlush(file, bytes);
        if (error_ == FileError::kNone && !file.Close()) error_ = ErrorOf(errno);
        if (error_ != FileError::kNone) Discard();
        return;
    }
}

PendingFile::~PendingFile() { Discard(); }

void PendingFile::Discard() {
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
    if (!named_ && !temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

Naming PendingFile::TakeName(const std::filesystem::path& target) {
    if (error_ != FileError::kNone || named_) return Naming::kFailed;
    int failure = 0;
    if (descriptor_ >= 0) {
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", descriptor_);
        // A link never replaces a name: it fails with EEXIST instead.
        if (::linkat(AT_FDCWD, self, AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) != 0) failure = errno;
    } else if (::link(temporary_.c_str(), target.c_str()) == 0) {
        ::unlink(temporary_.c_str());
    } else {
        failure = errno;
#ifdef RENAME_NOREPLACE
        if (NoHardLinks(failure)) {
            failure = ::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0
                          ? 0 : errno;
        }
#endif
        // Without either, the name could only be had by a rename that replaces whatever took it meanwhile.
        if (NoHardLinks(failure) || failure == EINVAL) {
            error_ = FileError::kOther;
            return Naming::kFailed;
        }
    }
    if (failure == EEXIST) return Naming::kNameTaken;
    if (failure != 0) {
        error_ = ErrorOf(failure);
        return Naming::kFailed;
    }
    named_ = true;
    Discard();
    return Naming::kNamed;
}

FileError PendingFile::ReplaceName(const std::filesystem::path& target) {
    if (error_ != FileError::kNone || named_) return error_ != FileError::kNone ? error_ : FileError::kOther;
    if (descriptor_ >= 0) {
        // A link cannot replace a name: the file gets a temporary one for the moment before the rename.
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", descriptor_);
        for (int attempt = 0; temporary_.empty(); ++attempt) {
            const std::filesystem::path temporary = TemporaryNameIn(folder_);
            if (::linkat(AT_FDCWD, self, AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                temporary_ = temporary;
            } else if (errno != EEXIST || attempt >= 8) {
                return error_ = ErrorOf(errno);
            }
        }
        ::close(descriptor_);
        descriptor_ = -1;
    }
    if (::rename(temporary_.c_str(), target.c_str()) != 0) return error_ = ErrorOf(errno);
    named_ = true;
    Discard();
    return FileError::kNone;
}

bool FileHolds(const std::filesystem::path& path, const ByteSource& source) {
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (!file.valid() || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<std::uint64_t>(status.st_size) != source.Size()) {
        return false;
    }
    std::vector<char> buffer(64 * 1024);
    return source.ForEachPiece([&](std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t count = ::read(file.get(), buffer.data(), std::min(buffer.size(), bytes.size()));
            if (count < 0 && errno == EINTR) continue;
            if (count <= 0 || std::memcmp(buffer.data(), bytes.data(), static_cast<std::size_t>(count)) != 0) {
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(count));
        }
        return true;
    });
}

FileError CreateFoldersBelow(const std::filesystem::path& base, const std::filesystem::path& relative) {
    std::filesystem::path folder = base.empty() ? std::filesystem::path(".") : base;
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0) return ErrorOf(errno);
    if (!S_ISDIR(status.st_mode)) return FileError::kNotFound;
    for (const std::filesystem::path& step : relative) {
        if (step.empty() || step == ".") continue;
        folder /= step;
        if (::mkdir(folder.c_str(), 0777) == 0) continue;
        if (errno != EEXIST) return ErrorOf(errno);
        // Something of that name: a folder will do, a file stands in the way.
        if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return FileError::kOther;
    }
    return FileError::kNone;
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
