#pragma once

#include <cstdint>

namespace zendrel {

// The background service's state: not installed when it is not or its state cannot be read, otherwise the Windows
// values, which the status bar's texts follow in this order.
enum class ServiceState : std::int32_t {
    kNotInstalled = 0,
    kStopped = 1,
    kStartPending = 2,
    kStopPending = 3,
    kRunning = 4,
    kContinuePending = 5,
    kPausePending = 6,
    kPaused = 7,
};

inline constexpr int kServiceStateCount = 8;

// The state a system's number names; a number it does not define reads as not installed.
constexpr ServiceState ServiceStateOf(std::int64_t number) {
    return number > 0 && number < kServiceStateCount ? static_cast<ServiceState>(number) : ServiceState::kNotInstalled;
}

}  // namespace zendrel
