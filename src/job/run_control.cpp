#include "job/run_control.h"

#include <system_error>
#include <thread>

namespace zendrel {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kCancelStep(20);
// A run on a working server ends between two messages well within this.
constexpr std::chrono::milliseconds kPatienceBeforeCancel(600);

}  // namespace

void RunCancellation::Attach(MailSession* session) {
    std::lock_guard<std::mutex> lock(mutex_);
    session_ = session;
}

void RunCancellation::Detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    session_ = nullptr;
}

void RunCancellation::AttachRequest(HttpsClient* https) {
    std::lock_guard<std::mutex> lock(mutex_);
    https_ = https;
}

void RunCancellation::DetachRequest() {
    std::lock_guard<std::mutex> lock(mutex_);
    https_ = nullptr;
}

void RunCancellation::Cancel() {
    // Under the lock, so the run cannot release the session in the middle of the call.
    std::lock_guard<std::mutex> lock(mutex_);
    if (session_ != nullptr) session_->CancelReceive();
    if (https_ != nullptr) https_->Cancel();
}

RunController::~RunController() {
    if (!thread_.joinable()) return;
    if (Active()) {
        thread_.detach();
    } else {
        thread_.join();
    }
}

bool RunController::Start(const std::function<void(JobParameters&)>& fill, RunServices services,
                          RunProcedure procedure) {
    if (Active()) return false;
    // The last run has reached its end, so its thread is about to return.
    if (thread_.joinable()) thread_.join();
    auto run = std::make_shared<Run>();
    fill(run->parameters);
    std::uint32_t number = ++lastRunNumber_;
    if (number == 0) number = ++lastRunNumber_;
    run->parameters.stopRequested.store(false);
    run->parameters.activeRunNumber.store(number);
    services.cancellation = cancellation_;
    try {
        thread_ = std::thread([run, services = std::move(services), procedure]() mutable {
            RunReport report = procedure(run->parameters, services);
            services.heldUntilEnded.reset();
            {
                std::lock_guard<std::mutex> lock(run->mutex);
                run->report = std::move(report);
                run->finished = true;
            }
            run->ended.notify_all();
        });
    } catch (const std::system_error&) {
        return false;
    }
    run_ = std::move(run);
    return true;
}

bool RunController::Active() const {
    if (!run_) return false;
    std::lock_guard<std::mutex> lock(run_->mutex);
    return !run_->finished;
}

bool RunController::Stop(std::chrono::milliseconds limit) {
    if (!Active()) return true;
    const std::shared_ptr<Run> run = run_;
    run->parameters.stopRequested.store(true);
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + limit;
    // Most of the time is left to the run to end between two messages, the way it does on a working server; only a
    // run still busy after that has its network waits cut short. The rest of the time lets it log out.
    Clock::time_point nextCancel = start + std::min<Clock::duration>(limit * 6 / 10, kPatienceBeforeCancel);
    std::unique_lock<std::mutex> lock(run->mutex);
    while (!run->finished) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) return false;
        if (now >= nextCancel) {
            lock.unlock();
            cancellation_->Cancel();
            lock.lock();
            nextCancel = now + kCancelStep;
            continue;
        }
        run->ended.wait_until(lock, std::min(deadline, nextCancel));
    }
    return true;
}

void RunController::WaitUntilEnded() const {
    if (!run_) return;
    std::unique_lock<std::mutex> lock(run_->mutex);
    run_->ended.wait(lock, [this] { return run_->finished; });
}

bool RunController::WaitUntilEnded(std::chrono::milliseconds limit) const {
    if (!run_) return true;
    std::unique_lock<std::mutex> lock(run_->mutex);
    return run_->ended.wait_for(lock, limit, [this] { return run_->finished; });
}

RunReport RunController::LastReport() const {
    if (!run_) return {};
    std::lock_guard<std::mutex> lock(run_->mutex);
    return run_->report;
}

}  // namespace zendrel
