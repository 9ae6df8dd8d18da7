#include "platform/locked_log_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <utility>

#include "common/unique_fd_posix.h"

namespace zendrel {
namespace {

class LockedLogFile final : public SharedLogFile {
public:
    // Takes over `fd`, open for reading and writing and already locked. Closing the last descriptor of the open file
    // description also drops the lock.
    explicit LockedLogFile(UniqueFd fd) : fd_(std::move(fd)) {}

    bool Append(std::string_view bytes) override;
    std::optional<std::string> ReadAll() override;
    bool Truncate() override;

private:
    UniqueFd fd_;
};

bool LockedLogFile::Append(std::string_view bytes) {
    if (::lseek(fd_.get(), 0, SEEK_END) < 0) return false;
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_.get(), bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::optional<std::string> LockedLogFile::ReadAll() {
    std::string bytes;
    struct stat status {};
    if (::fstat(fd_.get(), &status) == 0 && status.st_size > 0) bytes.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[64 * 1024];
    off_t offset = 0;
    for (;;) {
        const ssize_t count = ::pread(fd_.get(), buffer, sizeof buffer, offset);
        if (count < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (count == 0) return bytes;
        bytes.append(buffer, static_cast<std::size_t>(count));
        offset += count;
    }
}

bool LockedLogFile::Truncate() {
    for (;;) {
        if (::ftruncate(fd_.get(), 0) == 0) return true;
        if (errno != EINTR) return false;
    }
}

}  // namespace

std::unique_ptr<SharedLogFile> LockedLogFiles::Open(const std::filesystem::path& file) {
    UniqueFd fd;
    do {
        fd.reset(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    } while (!fd.valid() && errno == EINTR);
    if (!fd.valid()) return nullptr;
    int locked;
    do {
        locked = ::flock(fd.get(), LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    // Held by another writer (EWOULDBLOCK), or a file system without locks, where the single writer could not be kept:
    // either way the file is not to be written now.
    if (locked != 0) return nullptr;
    // A file made by an older version, or under another umask, may be readable by every local user. Only its owner
    // can change that, and a file of someone else's is still written.
    struct stat status {};
    if (::fstat(fd.get(), &status) == 0 && (status.st_mode & 077) != 0) ::fchmod(fd.get(), status.st_mode & 0700);
    return std::make_unique<LockedLogFile>(std::move(fd));
}

}  // namespace zendrel
