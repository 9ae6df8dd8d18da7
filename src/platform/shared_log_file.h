#pragma once
// The log files over POSIX descriptors. The single writer is enforced with flock(): the lock belongs to the open
// file description, so it keeps out another process as well as a second open by another thread of this one, and it
// goes with the descriptor when the file is closed. The lock is advisory, so readers that do not ask for it still
// read the file.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "job/shared_log_file.h"

namespace zendrel {

class PosixSharedLogFile final : public SharedLogFile {
public:
    // Takes over `fd`, open for reading and writing and already locked.
    explicit PosixSharedLogFile(int fd) : fd_(fd) {}
    ~PosixSharedLogFile() override;
    PosixSharedLogFile(const PosixSharedLogFile&) = delete;
    PosixSharedLogFile& operator=(const PosixSharedLogFile&) = delete;

    bool Append(std::string_view bytes) override;
    std::optional<std::string> ReadAll() override;
    bool Truncate() override;

private:
    int fd_;
};

class PosixSharedLogFiles final : public SharedLogFiles {
public:
    // A new file gets the permissions 0666 less the process's umask.
    std::unique_ptr<SharedLogFile> Open(const std::filesystem::path& file) override;
};

}  // namespace zendrel
