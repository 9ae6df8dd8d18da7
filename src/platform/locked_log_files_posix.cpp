#include "platform/locked_log_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace zendrel {
namespace {

class LockedLogFile final : public SharedLogFile {
public:
    // Takes over `fd`, open for reading and writing and already locked.
    explicit LockedLogFile(int fd) : fd_(fd) {}
    ~LockedLogFile() override;
    LockedLogFile(const LockedLogFile&) = delete;
    LockedLogFile& operator=(const LockedLogFile&) = delete;

    bool Append(std::string_view bytes) override;
    std::optional<std::string> ReadAll() override;
    bool Truncate() override;

private:
    int fd_;
};

LockedLogFile::~LockedLogFile() {
    // Closing the last descriptor of the open file description also drops the lock. close() is not repeated after
    // EINTR: the descriptor is gone either way on Linux.
    ::close(fd_);
}

bool LockedLogFile::Append(std::string_view bytes) {
    if (::lseek(fd_, 0, SEEK_END) < 0) return false;
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
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
    if (::fstat(fd_, &status) == 0 && status.st_size > 0) bytes.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[64 * 1024];
    off_t offset = 0;
    for (;;) {
        const ssize_t count = ::pread(fd_, buffer, sizeof buffer, offset);
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
        if (::ftruncate(fd_, 0) == 0) return true;
        if (errno != EINTR) return false;
    }
}

}  // namespace

std::unique_ptr<SharedLogFile> LockedLogFiles::Open(const std::filesystem::path& file) {
    int fd;
    do {
        fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return nullptr;
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        // Held by another writer (EWOULDBLOCK), or a file system without locks, where the single writer could not be
        // kept: either way the file is not to be written now.
        ::close(fd);
        return nullptr;
    }
    // A file made by an older version, or under another umask, may be readable by every local user. Only its owner
    // can change that, and a file of someone else's is still written.
    struct stat status {};
    if (::fstat(fd, &status) == 0 && (status.st_mode & 077) != 0) ::fchmod(fd, status.st_mode & 0700);
    return std::make_unique<LockedLogFile>(fd);
}

}  // namespace zendrel
