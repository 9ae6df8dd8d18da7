#pragma once
// Milliseconds for the reply time-outs, behind an interface so that tests can drive time themselves.

#include <cstdint>

namespace zendrel {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds from an arbitrary fixed point; never goes backwards.
    virtual std::int64_t NowMs() const = 0;
};

// The monotonic clock of the running program.
class SteadyClock final : public Clock {
public:
    std::int64_t NowMs() const override;
};

}  // namespace zendrel
