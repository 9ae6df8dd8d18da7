#pragma once
// Who may use a data folder at the same time: one window per data folder, and one mailbox run at a time among the
// window, the service and --run-once. Every lock is held by an object and goes with it, and the system drops it with
// a process that dies, so nothing is ever left locked.

#include <filesystem>
#include <memory>
#include <string>

namespace zendrel {

// A window's claim on its data folder.
class WindowClaim {
public:
    virtual ~WindowClaim() = default;
    // Whether another start of the window on this data folder has asked this one to come forward since the last call.
    // Looked at on the window's timer; it never waits.
    virtual bool TakeForwardRequest() = 0;
};

// The data folder's run lock, held for as long as the object lives.
class RunLock {
public:
    virtual ~RunLock() = default;
};

enum class RunLockState {
    kLocked,       // this run holds the lock
    kHeld,         // another run holds it: this one must not start
    kUnavailable,  // the system could not lock (no data folder, no locks there): runs go on without exclusion
};

struct [[nodiscard]] RunLockResult {
    RunLockState state = RunLockState::kUnavailable;
    std::unique_ptr<RunLock> lock;  // with kLocked only
};

class DataFolderLocks {
public:
    virtual ~DataFolderLocks() = default;

    // The window's claim on `dataFolder`; none when a window holds it already, which has then been asked to come
    // forward. Where the system cannot make the claim the window still opens: the claim then excludes nobody.
    virtual std::unique_ptr<WindowClaim> ClaimWindow(const std::filesystem::path& dataFolder) = 0;

    // The exclusive lock of the one run-lock file in `dataFolder`, without waiting for it.
    virtual RunLockResult LockRun(const std::filesystem::path& dataFolder) = 0;
};

// The locks of the system the program was built for: a lock file and a local socket on POSIX, a named mutex and a
// named event on Windows, a file opened without sharing for the runs.
std::unique_ptr<DataFolderLocks> CreateDataFolderLocks();

// The files in the data folder that the locks use (the window's on POSIX only), and the name of the folder's window
// lock among the system's names: a hash of its path, the same for the same folder however it is written.
inline constexpr const char* kWindowLockFileName = "window.lock";
inline constexpr const char* kRunLockFileName = "run.lock";
std::string DataFolderLockName(const std::filesystem::path& dataFolder);

}  // namespace zendrel
