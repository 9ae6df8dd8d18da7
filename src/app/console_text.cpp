#include "app/console_text.h"

#include <array>
#include <cstdint>

#include "common/text.h"

namespace zendrel {
namespace {

// Code points that Windows-1252 writes with the bytes 0x80-0x9F; 0 marks the bytes it leaves unassigned.
constexpr std::array<std::uint16_t, 32> kWindows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

std::optional<char> Windows1252Byte(std::uint32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<char>(codePoint);
    for (std::size_t i = 0; i < kWindows1252High.size(); ++i) {
        if (kWindows1252High[i] == codePoint) return static_cast<char>(0x80 + i);
    }
    // The unassigned bytes come back from Windows1252ToUtf8 as their C1 code points.
    if (codePoint >= 0x80 && codePoint <= 0x9F && kWindows1252High[codePoint - 0x80] == 0) {
        return static_cast<char>(codePoint);
    }
    return std::nullopt;
}

// Reads one UTF-8 sequence at `at`, advancing past it. None for malformed or overlong bytes.
std::optional<std::uint32_t> NextCodePoint(std::string_view utf8, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    std::size_t length = 0;
    std::uint32_t codePoint = 0;
    if (lead < 0x80) {
        ++at;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return std::nullopt;
    }
    if (at + length > utf8.size()) return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(utf8[at + i]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    constexpr std::array<std::uint32_t, 5> kSmallestOfLength = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < kSmallestOfLength[length]) return std::nullopt;
    at += length;
    return codePoint;
}

}  // namespace

std::string ConsoleText(std::string_view windows1252) { return Windows1252ToUtf8(windows1252); }

std::optional<std::string> Utf8ToWindows1252(std::string_view utf8) {
    std::string text;
    text.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const std::optional<std::uint32_t> codePoint = NextCodePoint(utf8, at);
        if (!codePoint) return std::nullopt;
        const std::optional<char> byte = Windows1252Byte(*codePoint);
        if (!byte) return std::nullopt;
        text += *byte;
    }
    return text;
}

std::optional<std::string> PathArgumentText(std::string_view argument) {
#if defined(_WIN32)
    return std::string(argument);
#else
    return Utf8ToWindows1252(argument);
#endif
}

}  // namespace zendrel
