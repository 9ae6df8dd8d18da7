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

bool CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    if (sigemptyset(&action.sa_mask) != 0) return false;
    return sigaction(SIGTERM, &action, nullptr) == 0 && sigaction(SIGINT, &action, nullptr) == 0;
}

void RaiseStopSignal() { stopReceived.store(true); }

bool StopSignalReceived() { return stopReceived.load(); }

}  // namespace zendrel
