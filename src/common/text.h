#pragma once
// 8-bit text: std::string holding Windows-1252 bytes. A NUL is an ordinary byte. Attachment names are the one
// exception: they keep every character, as UTF-8 (Utf8Text).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zendrel {

// Text in UTF-8 instead of Windows-1252: an attachment's name, which keeps characters that Windows-1252 lacks
// ("Счёт №5.pdf"). It becomes a file name unchanged and is shown in the log through Utf8ToWindows1252Lossy.
using Utf8Text = std::string;

// How bytes become text, or text becomes bytes.
enum class TextFormat {
    kSingleByte,  // the bytes are the characters, unchanged
    kUtf8,        // the bytes are UTF-8; the single-byte side is ISO 8859-1, code point for code point
};

// Blank, tab, CR or LF: the white space of mail headers and bodies.
constexpr bool IsWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
// The value of a hexadecimal digit in either letter case, -1 for any other character.
constexpr int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
// Appends `value` (0-99) as two decimal digits, as the clock times "%hh:%ii:%ss" show it.
void AppendTwoDigits(std::string& out, long long value);

// Windows-1252 lower-casing, byte by byte, from the program's own table (the same on every platform).
char LowerChar(char c);
std::string LowerCase(std::string_view text);
// Upper-casing by the same table, used for capability names.
std::string UpperCase(std::string_view text);

bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// Position of needle in haystack ignoring letter case, or npos.
std::size_t FindNoCase(std::string_view haystack, std::string_view needle, std::size_t from = 0);

// UTF-8 bytes read into single-byte text: code points below 256 become that byte, other characters "?",
// malformed bytes are dropped.
std::string Utf8ToSingleByte(std::string_view bytes);
// Single-byte text (taken as ISO 8859-1) written as UTF-8.
std::string SingleByteToUtf8(std::string_view text);

// Bytes read into text, and text written as bytes, in the given format.
std::string ReadText(std::string_view bytes, TextFormat format);
std::string WriteText(std::string_view text, TextFormat format);

// Windows-1252 text as UTF-8, with the characters of 0x80-0x9F mapped to their real code points
// (used where a name leaves the program, such as a file name on Linux or the terminal).
std::string Windows1252ToUtf8(std::string_view text);
// The way back: UTF-8 (a name typed on a Linux terminal) as Windows-1252 text. None when a character has no
// Windows-1252 byte or the bytes are not well-formed UTF-8.
std::optional<std::string> Utf8ToWindows1252(std::string_view utf8);

// UTF-8 as Windows-1252 text as far as Windows-1252 goes: header text (subjects for the search, the log) and the
// names shown in the log. Read by the rules of Utf8ToSingleByte (code points below 256 become that byte, malformed
// bytes as there), except that the characters Windows-1252 has beyond U+00FF ("€", "„", "Š", ...) become its bytes
// instead of "?".
std::string Utf8ToWindows1252Lossy(std::string_view utf8);

// Windows-1252 text as UTF-16 by the program's own table, whatever the system's code page: the text of the Windows
// window's wide calls.
std::u16string Windows1252ToUtf16(std::string_view text);
// The way back for what the user typed into a window: a character Windows-1252 lacks becomes "?", as in
// Utf8ToWindows1252Lossy (a pair of surrogates is one character, a lone surrogate one "?" too).
std::string Utf16ToWindows1252Lossy(std::u16string_view text);

// Whether `bytes` are well-formed UTF-8: no overlong forms, surrogates or code points beyond U+10FFFF.
bool IsWellFormedUtf8(std::string_view bytes);
// The length (1-4) of the well-formed UTF-8 character that begins at `at`, or 0 when the bytes there are none.
std::size_t Utf8CharacterLength(std::string_view utf8, std::size_t at);

}  // namespace zendrel
