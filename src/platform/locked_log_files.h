#pragma once
// The log files over the operating system's files, one writer at a time. On POSIX the single writer is enforced with
// flock(): the lock belongs to the open file description, so it keeps out another process as well as a second open by
// another thread of this one, and it goes with the descriptor when the file is closed. The lock is advisory, so
// readers that do not ask for it still read the file. On Windows the share mode of the open keeps other writers out.

#include <filesystem>
#include <memory>

#include "common/shared_log_file.h"

namespace zendrel {

class LockedLogFiles final : public SharedLogFiles {
public:
    // On POSIX a new file is private to its owner (0600), and so becomes an older one that was readable by others:
    // the log names the senders and subjects of the user's mails.
    std::unique_ptr<SharedLogFile> Open(const std::filesystem::path& file) override;
};

}  // namespace zendrel
