#pragma once
// Milliseconds of the monotonic clock, for time-outs: never goes backwards, whatever the wall clock does.

#include <cstdint>

namespace zendrel {

std::int64_t SteadyMilliseconds();

}  // namespace zendrel
