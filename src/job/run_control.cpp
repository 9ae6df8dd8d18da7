#include "job/run_control.h"

#include <system_error>
#include <thread>

namespace zendrel {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kPollStep(5);
constexpr std::chrono::milliseconds kCancelStep(20);

}  // namespace

void RunCancellation::Attach(MailSession* session) {
    std::lock_guard<std::mutex> lock(mutex_);
    session_ = session;
}

void RunCancellation::Detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    session_ = nullptr;
}

void RunCancellation::Cancel() {
    // Under the lock, so the run cannot release the session in the middle of the call.
    std::lock_guard<std::mutex> lock(mutex_);
    if (session_ != nullptr) session_->CancelReceive();
}

bool RunController::Start(RunServices services) {
    if (Active()) return false;
    std::uint32_t number = ++lastRunNumber_;
    if (number == 0) number = ++lastRunNumber_;
    parameters_.stopRequested.store(0);
    parameters_.runThread.store(number);
    services.cancellation = cancellation_;
    try {
        std::thread([&parameters = parameters_, services] { MailboxRun(parameters, services); }).detach();
    } catch (const std::system_error&) {
        parameters_.runThread.store(0);
        return false;
    }
    return true;
}

bool RunController::Stop(std::chrono::milliseconds limit) {
    if (!Active()) return true;
    parameters_.stopRequested.store(1);
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + limit;
    // Most of the time is left to the run to end between two messages, the way it does on a working server; only a
    // run still busy after that has its network waits cut short. The rest of the time lets it log out.
    const Clock::time_point cancelFrom = start + limit * 6 / 10;
    Clock::time_point nextCancel = cancelFrom;
    while (Active()) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) return false;
        if (now >= nextCancel) {
            cancellation_->Cancel();
            nextCancel = now + kCancelStep;
        }
        std::this_thread::sleep_for(kPollStep);
    }
    return true;
}

void RunController::WaitUntilEnded() const {
    while (Active()) std::this_thread::sleep_for(kPollStep);
}

}  // namespace zendrel
