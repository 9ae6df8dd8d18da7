#pragma once
// Invariant checks for the fuzz targets: a broken invariant aborts, which libFuzzer reports as a crash with the input.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/text.h"
#include "mime/attachments.h"

#define FUZZ_REQUIRE(condition)                                                                          \
    do {                                                                                                 \
        if (!(condition)) {                                                                              \
            std::fprintf(stderr, "broken invariant: %s (%s:%d)\n", #condition, __FILE__, __LINE__);      \
            std::abort();                                                                                \
        }                                                                                                \
    } while (false)

namespace zendrel::fuzz {

inline std::string_view AsText(const unsigned char* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

inline bool Contains(std::string_view text, std::string_view what) { return text.find(what) != std::string_view::npos; }

inline bool IsDeviceName(std::string_view name) {
    const std::string stem = UpperCase(name.substr(0, name.find('.')));
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '1' && stem[3] <= '9';
}

// What every made-safe file name must satisfy, whichever way it was found: nothing a file system refuses, no way
// out of the target folder, no device name, and nothing left for a second pass to change.
inline bool IsSafeFileName(std::string_view name) {
    if (name.empty()) return false;
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || Contains("/\\:<>\"|?*", std::string_view(&c, 1))) return false;
    }
    if (name.back() == '.' || name.back() == ' ') return false;
    if (name.find_first_not_of('.') == std::string_view::npos) return false;
    if (IsDeviceName(name)) return false;
    return MakeSafeFileName(name) == name;
}

}  // namespace zendrel::fuzz
