#include "common/text.h"

#include <array>
#include <cstdint>
#include <optional>

namespace zendrel {

void AppendTwoDigits(std::string& out, long long value) {
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}
namespace {

constexpr std::array<unsigned char, 256> MakeLowerTable() {
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 256; ++i) table[i] = static_cast<unsigned char>(i);
    for (int c = 'A'; c <= 'Z'; ++c) table[c] = static_cast<unsigned char>(c + 32);
    table[0x8A] = 0x9A;  // S caron
    table[0x8C] = 0x9C;  // OE
    table[0x8E] = 0x9E;  // Z caron
    table[0x9F] = 0xFF;  // Y diaeresis
    for (int c = 0xC0; c <= 0xDE; ++c) {
        if (c != 0xD7) table[c] = static_cast<unsigned char>(c + 32);  // 0xD7 is the multiplication sign
    }
    return table;
}

constexpr std::array<unsigned char, 256> MakeUpperTable() {
    constexpr auto lower = MakeLowerTable();
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 256; ++i) table[i] = static_cast<unsigned char>(i);
    for (int i = 0; i < 256; ++i) {
        if (lower[i] != i) table[lower[i]] = static_cast<unsigned char>(i);
    }
    return table;
}

constexpr auto kLower = MakeLowerTable();
constexpr auto kUpper = MakeUpperTable();

// Code points of 0x80-0x9F in Windows-1252; 0 marks the five unassigned bytes, which keep their C1 code point.
constexpr std::array<std::uint16_t, 32> kWindows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsContinuation(unsigned char b) { return b >= 0x80 && b <= 0xBF; }

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
    if ((codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF) return std::nullopt;
    at += length;
    return codePoint;
}

// A code point of header text as its Windows-1252 byte: below 256 the byte of the same value (as ISO 8859-1 reads
// it), above that the byte Windows-1252 gives the character, or "?".
char HeaderTextByte(std::uint32_t codePoint) {
    if (codePoint < 0x100) return static_cast<char>(codePoint);
    return Windows1252Byte(codePoint).value_or('?');
}

// Reads UTF-8 that may be damaged, one byte out per character: `byteOf` names the byte of a whole character, and
// what is not one becomes "?" (a sequence cut short) or nothing (a stray byte), so damaged text still reads on.
template <typename ByteOf>
std::string Utf8ToBytesLeniently(std::string_view utf8, ByteOf byteOf) {
    std::string out;
    out.reserve(utf8.size());
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    while (i < n) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
        } else if (b >= 0xC0 && b <= 0xDF && i + 1 < n) {
            const auto b2 = static_cast<unsigned char>(utf8[i + 1]);
            if (IsContinuation(b2)) {
                // C0 and C1 start overlong forms of ASCII: "\xC0\x8A" must not pass for a line break.
                const std::uint32_t codePoint = ((b & 0x1Fu) << 6) | (b2 & 0x3Fu);
                out += codePoint >= 0x80 ? byteOf(codePoint) : '?';
                i += 2;
            } else {
                out += '?';  // the second byte starts the next character
                ++i;
            }
        } else if ((b >= 0xE0 && b <= 0xEF && i + 2 < n) || (b >= 0xF0 && b <= 0xF7 && i + 3 < n)) {
            const std::size_t length = b <= 0xEF ? 3 : 4;
            std::uint32_t codePoint = b & (length == 3 ? 0x0Fu : 0x07u);
            std::size_t k = 1;
            for (; k < length && IsContinuation(static_cast<unsigned char>(utf8[i + k])); ++k) {
                codePoint = (codePoint << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
            }
            // Only a whole sequence in its shortest form names a character; every character below U+0800 has a
            // shorter one, so an overlong form cannot pass for one of the Windows-1252 characters.
            const bool whole = k == length && codePoint >= (length == 3 ? 0x800u : 0x10000u);
            out += whole ? byteOf(codePoint) : '?';
            i += k;
        } else {
            ++i;  // stray continuation byte, 0xF8-0xFF, or a sequence that runs past the end
        }
    }
    return out;
}

}  // namespace

char LowerChar(char c) { return static_cast<char>(kLower[static_cast<unsigned char>(c)]); }

std::string LowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = LowerChar(c);
    return out;
}

std::string UpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(kUpper[static_cast<unsigned char>(c)]);
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerChar(a[i]) != LowerChar(b[i])) return false;
    }
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::size_t FindNoCase(std::string_view haystack, std::string_view needle, std::size_t from) {
    if (needle.size() > haystack.size()) return std::string_view::npos;
    for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i) {
        if (EqualsNoCase(haystack.substr(i, needle.size()), needle)) return i;
    }
    return std::string_view::npos;
}

std::string Utf8ToSingleByte(std::string_view bytes) {
    return Utf8ToBytesLeniently(bytes, [](std::uint32_t codePoint) {
        return codePoint < 0x100 ? static_cast<char>(codePoint) : '?';
    });
}

std::string SingleByteToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) AppendUtf8(out, static_cast<unsigned char>(c));
    return out;
}

std::string ReadText(std::string_view bytes, TextFormat format) {
    return format == TextFormat::kUtf8 ? Utf8ToSingleByte(bytes) : std::string(bytes);
}

std::string WriteText(std::string_view text, TextFormat format) {
    return format == TextFormat::kUtf8 ? SingleByteToUtf8(text) : std::string(text);
}

std::string Windows1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        std::uint32_t cp = b;
        if (b >= 0x80 && b <= 0x9F && kWindows1252High[b - 0x80] != 0) cp = kWindows1252High[b - 0x80];
        AppendUtf8(out, cp);
    }
    return out;
}

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

std::u16string Windows1252ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        const bool high = b >= 0x80 && b <= 0x9F && kWindows1252High[b - 0x80] != 0;
        out += static_cast<char16_t>(high ? kWindows1252High[b - 0x80] : b);
    }
    return out;
}

std::string Utf16ToWindows1252Lossy(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            // Every character beyond U+FFFF lies outside Windows-1252; its two halves make one "?".
            const bool pair = unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
            if (pair) ++i;
            out += '?';
            continue;
        }
        out += Windows1252Byte(unit).value_or('?');
    }
    return out;
}

std::string Utf8ToWindows1252Lossy(std::string_view utf8) { return Utf8ToBytesLeniently(utf8, HeaderTextByte); }

bool IsWellFormedUtf8(std::string_view bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        if (!NextCodePoint(bytes, at)) return false;
    }
    return true;
}

std::size_t Utf8CharacterLength(std::string_view utf8, std::size_t at) {
    std::size_t next = at;
    return at < utf8.size() && NextCodePoint(utf8, next) ? next - at : 0;
}

}  // namespace zendrel
