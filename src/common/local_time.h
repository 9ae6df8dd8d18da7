#pragma once
// The local wall-clock time, as the log stamps it and as the program counts dates.

#include <cstdint>
#include <ctime>

namespace zendrel {

// The local time now, read in a way that is safe from several threads.
std::tm CurrentLocalTime();

// A local time as whole seconds counted from 1970-01-01 00:00:00 of the same clock (every day 86400 seconds).
std::int64_t LocalSecondsOf(const std::tm& localTime);

// The same for now.
std::int64_t CurrentLocalSeconds();

}  // namespace zendrel
