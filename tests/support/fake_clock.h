#pragma once
// A clock that moves only when a test (or the scripted transport's waits) advances it.

#include <cstdint>

#include "pop3/clock.h"

namespace zendrel::testsupport {

class FakeClock final : public Clock {
public:
    std::int64_t NowMs() const override { return now_; }
    void Advance(std::int64_t ms) { now_ += ms; }

private:
    std::int64_t now_ = 1'000'000;
};

}  // namespace zendrel::testsupport
