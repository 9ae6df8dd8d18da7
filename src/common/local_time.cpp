#include "common/local_time.h"

#include <chrono>

namespace zendrel {

std::tm CurrentLocalTime() {
    // The window thread, the run and the password cipher all ask at once: each gets a result of its own.
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &now) != 0) return std::tm{};
#else
    if (localtime_r(&now, &local) == nullptr) return std::tm{};
#endif
    return local;
}

std::int64_t LocalSecondsOf(const std::tm& localTime) {
    using namespace std::chrono;
    const sys_days date = year{localTime.tm_year + 1900} / month{static_cast<unsigned>(localTime.tm_mon + 1)} /
                          day{static_cast<unsigned>(localTime.tm_mday)};
    return std::int64_t{date.time_since_epoch().count()} * 86400 + localTime.tm_hour * 3600 + localTime.tm_min * 60 +
           localTime.tm_sec;
}

std::int64_t CurrentLocalSeconds() { return LocalSecondsOf(CurrentLocalTime()); }

}  // namespace zendrel
