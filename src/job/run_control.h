#pragma once
// Starting a mailbox run on a thread of its own and stopping it again.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

#include "job/mailbox_run.h"

namespace zendrel {

// The run's session as the stop path sees it: a stop ends whatever network wait the run is in.
class RunCancellation {
public:
    // The run announces its session; a stop that came before ends the session's first wait.
    void Attach(MailSession* session);
    // The run is about to release its session.
    void Detach();
    // Ends the session's current network wait (a connect, a read). Waits begun later are not affected, so the stop
    // path repeats this while it waits.
    void Cancel();

private:
    std::mutex mutex_;
    MailSession* session_ = nullptr;
};

class RunController {
public:
    explicit RunController(JobParameters& parameters) : parameters_(parameters) {}
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // Starts a run with `services` unless one is active: stopRequested goes to 0, runThread gets the run's number
    // before the thread exists (a run that ends at once then cannot leave a stale number behind). False when a run is
    // active or no thread could be made; runThread is then as it was, or 0.
    bool Start(RunServices services);

    bool Active() const { return parameters_.runThread.load() != 0; }

    // The stop path: asks the run to end between two messages and waits for it at most `limit`. A run that is still
    // busy after most of that time has its network waits cancelled again and again, so one that hangs in a read or a
    // connect ends as well. A thread is never killed: a run that has not ended keeps runThread set until it does, so
    // no second run starts beside it. True when no run is active afterwards.
    bool Stop(std::chrono::milliseconds limit = std::chrono::milliseconds(1000));

    // Waits without limit until the active run has ended.
    void WaitUntilEnded() const;

private:
    JobParameters& parameters_;
    // Shared with the run's thread, which may outlive this object when a quit does not wait for it.
    std::shared_ptr<RunCancellation> cancellation_ = std::make_shared<RunCancellation>();
    std::uint32_t lastRunNumber_ = 0;
};

}  // namespace zendrel
