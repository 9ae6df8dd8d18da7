#pragma once
// Starting a mailbox run on a thread of its own and stopping it again.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "job/mailbox_run.h"
#include "net/https_client.h"

namespace zendrel {

// The run's session as the stop path sees it: a stop ends whatever network wait the run is in.
class RunCancellation {
public:
    // The run announces its session; a stop that came before ends the session's first wait.
    void Attach(MailSession* session);
    // The run is about to release its session.
    void Detach();
    // The same for a token request the run makes before its login.
    void AttachRequest(HttpsClient* https);
    void DetachRequest();
    // Ends the session's current network wait (a connect, a read). Waits begun later are not affected, so the stop
    // path repeats this while it waits.
    void Cancel();

private:
    std::mutex mutex_;
    MailSession* session_ = nullptr;
    HttpsClient* https_ = nullptr;
};

class RunController {
public:
    RunController() = default;
    // Joins the thread of a run that has ended; one still busy is left to finish on its own.
    ~RunController();
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // Starts a run unless one is active. Each run gets a record of its own, shared with its thread, so a run that a
    // stop could not end in time keeps what it reads alive however long it takes, and a new run never writes into the
    // record of an old one. `fill` writes the run's settings into that record; stopRequested is false and
    // activeRunNumber holds the run's number before the thread exists (a run that ends at once then cannot leave a
    // stale number behind). False when a run is active or no thread could be made. The thread runs `procedure`, a
    // whole mailbox run unless said otherwise.
    bool Start(const std::function<void(JobParameters&)>& fill, RunServices services,
               RunProcedure procedure = MailboxRun);

    // Whether the last run started has not reached its end yet.
    bool Active() const;

    // The stop path: asks the run to end between two messages and waits for it at most `limit`. A run that is still
    // busy after most of that time has its network waits cancelled again and again, so one that hangs in a read or a
    // connect ends as well. A thread is never killed: a run that has not ended stays active until it does, so no
    // second run starts beside it. True when no run is active afterwards.
    bool Stop(std::chrono::milliseconds limit = std::chrono::milliseconds(1000));

    // Waits without limit until the last run started has ended.
    void WaitUntilEnded() const;
    // The same for at most `limit`; true when no run is active afterwards.
    bool WaitUntilEnded(std::chrono::milliseconds limit) const;

    // What the last run did; empty until a run has ended.
    RunReport LastReport() const;

private:
    // One run's record, shared by the controller and the run's thread.
    struct Run {
        JobParameters parameters;
        mutable std::mutex mutex;
        mutable std::condition_variable ended;
        bool finished = false;  // guarded by mutex; set after the report
        RunReport report;       // guarded by mutex
    };
    std::shared_ptr<Run> run_;
    // The last run's thread. An ended run's thread is joined rather than left to end beside the process's own exit:
    // the libraries it used (OpenSSL's per-thread state, say) free what they keep for it only when it has ended.
    std::thread thread_;
    // Shared with the runs' threads, which may outlive this object when a quit does not wait for them.
    std::shared_ptr<RunCancellation> cancellation_ = std::make_shared<RunCancellation>();
    std::uint32_t lastRunNumber_ = 0;
};

}  // namespace zendrel
