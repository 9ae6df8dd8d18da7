#pragma once
// The mailbox run as the shell drives it: started on its own thread with a snapshot of the controls, asked to stop,
// never killed.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "job/activity_log.h"
#include "settings/settings_file.h"

namespace zendrel {

// What the run does: the mailbox run, or only a login and a logout to try the settings.
enum class RunKind { kMailbox, kConnectionCheck };

struct RunRequest {
    RunKind kind = RunKind::kMailbox;
    SettingsRecord controls;  // the settings as the controls hold them at the run's start
    bool serviceMode = false;
    bool loggingFlag = false;
    std::shared_ptr<ActivityLog> log;
    std::shared_ptr<void> heldWhileRunning;  // the data folder's run lock, let go when the run ends
    std::filesystem::path dataFolder;        // where the run keeps what it remembers; empty: nowhere
};

class ShellRun {
public:
    virtual ~ShellRun() = default;
    // False when a run is still active or no thread could be made.
    virtual bool Start(const RunRequest& request) = 0;
    virtual bool Active() const = 0;
    // Asks the run to end and waits for it at most `limit`; true when no run is active afterwards. A run that has
    // not ended goes on until it does, and stays active until then.
    virtual bool Stop(std::chrono::milliseconds limit) = 0;
};

}  // namespace zendrel
