#pragma once
// The read intervals the user can choose from, in the order of the interval drop-down.

#include <array>
#include <cstdint>
#include <optional>

namespace zendrel {

inline constexpr int kReadIntervalCount = 11;
inline constexpr std::array<std::int32_t, kReadIntervalCount> kReadIntervalSeconds = {
    300, 600, 900, 1800, 3600, 7200, 14400, 21600, 28800, 43200, 86400};

// The first position whose length is `seconds`; none when no interval has that length.
constexpr std::optional<int> ReadIntervalPosition(std::int32_t seconds) {
    for (int position = 0; position < kReadIntervalCount; ++position) {
        if (kReadIntervalSeconds[static_cast<std::size_t>(position)] == seconds) return position;
    }
    return std::nullopt;
}

}  // namespace zendrel
