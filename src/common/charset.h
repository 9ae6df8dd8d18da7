#pragma once
// The character sets that mail declares for encoded words and RFC 2231 values, converted by the system's own
// converters: iconv on POSIX, MultiByteToWideChar with the charset's code page on Windows. The program carries no
// tables of its own beyond Windows-1252, its own text.

#include <optional>
#include <string>
#include <string_view>

namespace zendrel {

// Whether a declared charset name (any letter case, an RFC 2231 language suffix such as "utf-8*de" allowed) names
// UTF-8.
bool IsUtf8Charset(std::string_view charset);

// `bytes` in the declared charset as UTF-8. None when the name is unknown to the program, the system lacks the
// charset, or the bytes are not valid in it; the caller then reads the bytes as it always did, one byte a character.
// Windows-1252 and the names mailers put on it (ISO-8859-1, US-ASCII) are read by the program's own table everywhere.
std::optional<std::string> CharsetToUtf8(std::string_view charset, std::string_view bytes);

}  // namespace zendrel
