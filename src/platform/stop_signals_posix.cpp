#include "platform/stop_signals.h"

#include <signal.h>

#include <atomic>

namespace zendrel {
namespace {

// Lock-free, so the handler may store into it.
std::atomic<bool> stopReceived{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnStopSignal(int) { stopReceived.store(true); }

}  // namespace

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool StopSignalReceived() { return stopReceived.load(); }

}  // namespace zendrel
