#include "platform/data_folder_locks.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include "common/md5.h"
#include "common/unique_fd_posix.h"

namespace zendrel {
namespace {

namespace fs = std::filesystem;

enum class FileLock { kLocked, kHeld, kFailed };

struct LockedFile {
    FileLock state = FileLock::kFailed;
    UniqueFd fd;  // open and locked with kLocked
};

// Opens `file` (private to its owner) and takes flock's exclusive lock without waiting. The lock belongs to the open
// file description, so a second open in this very process is kept out as well.
LockedFile LockFile(const fs::path& file) {
    UniqueFd fd;
    do {
        fd.reset(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    } while (!fd.valid() && errno == EINTR);
    if (!fd.valid()) return {};
    int locked;
    do {
        locked = ::flock(fd.get(), LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) return {errno == EWOULDBLOCK ? FileLock::kHeld : FileLock::kFailed, UniqueFd()};
    return {FileLock::kLocked, std::move(fd)};
}

// The address of the window's socket in Linux's abstract namespace: nothing in the file system to clean up, gone with
// the process. The user's number keeps users who share a folder apart.
sockaddr_un WindowSocketAddress(const fs::path& dataFolder, socklen_t& length) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = "zendrel-window-" + std::to_string(::getuid()) + "-" + DataFolderLockName(dataFolder);
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return address;
}

class SocketClaim final : public WindowClaim {
public:
    SocketClaim(UniqueFd lock, UniqueFd listening) : lock_(std::move(lock)), listening_(std::move(listening)) {}

    // Every connection is one request; what it says does not matter.
    bool TakeForwardRequest() override {
        if (!listening_.valid()) return false;
        bool asked = false;
        for (;;) {
            const UniqueFd connection(::accept4(listening_.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (!connection.valid()) {
                if (errno == EINTR) continue;
                return asked;
            }
            asked = true;
        }
    }

private:
    UniqueFd lock_;
    UniqueFd listening_;
};

// A claim the system could not make: it excludes nobody and is never asked anything.
class NoClaim final : public WindowClaim {
public:
    bool TakeForwardRequest() override { return false; }
};

class FileRunLock final : public RunLock {
public:
    explicit FileRunLock(UniqueFd fd) : fd_(std::move(fd)) {}

private:
    UniqueFd fd_;
};

class PosixDataFolderLocks final : public DataFolderLocks {
public:
    std::unique_ptr<WindowClaim> ClaimWindow(const fs::path& dataFolder) override {
        LockedFile lock = LockFile(dataFolder / kWindowLockFileName);
        if (lock.state == FileLock::kHeld) {
            AskForward(dataFolder);
            return nullptr;
        }
        if (lock.state == FileLock::kFailed) return std::make_unique<NoClaim>();
        // Without the socket the claim still keeps a second window out; it only cannot bring this one forward.
        UniqueFd listening(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        socklen_t length = 0;
        const sockaddr_un address = WindowSocketAddress(dataFolder, length);
        if (listening.valid() && (::bind(listening.get(), reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
                                  ::listen(listening.get(), 4) != 0)) {
            listening.reset();
        }
        return std::make_unique<SocketClaim>(std::move(lock.fd), std::move(listening));
    }

    RunLockResult LockRun(const fs::path& dataFolder) override {
        LockedFile lock = LockFile(dataFolder / kRunLockFileName);
        switch (lock.state) {
            case FileLock::kHeld:
                return {RunLockState::kHeld, nullptr};
            case FileLock::kFailed:
                return {RunLockState::kUnavailable, nullptr};
            case FileLock::kLocked:
                break;
        }
        return {RunLockState::kLocked, std::make_unique<FileRunLock>(std::move(lock.fd))};
    }

private:
    // A connection to the first window is the whole request; a window that is gone meanwhile is nothing to ask.
    static void AskForward(const fs::path& dataFolder) {
        const UniqueFd connection(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!connection.valid()) return;
        socklen_t length = 0;
        const sockaddr_un address = WindowSocketAddress(dataFolder, length);
        ::connect(connection.get(), reinterpret_cast<const sockaddr*>(&address), length);
    }
};

}  // namespace

std::string DataFolderLockName(const fs::path& dataFolder) {
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(dataFolder, error);
    if (error) resolved = dataFolder.lexically_normal();
    std::string text = resolved.string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return Md5Hex(text);
}

std::unique_ptr<DataFolderLocks> CreateDataFolderLocks() { return std::make_unique<PosixDataFolderLocks>(); }

}  // namespace zendrel
