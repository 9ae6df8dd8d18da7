#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zendrel {

// Decodes base64 by the program's rules:
// - both RFC 4648 alphabets are accepted, also mixed ("+"/"-" are 62, "/"/"_" are 63); any other byte counts as 0;
// - the text is read in groups of four; tabs, CRs and LFs are skipped before a group, inside one they count as 0;
//   blanks are never skipped;
// - "=" as a group's third character gives one byte, as its fourth two bytes; a padded group ends the data;
// - when characters remain but fewer than four are left, the whole decoding fails.
// Returns the decoded bytes; an empty result means nothing decoded (empty input or failure).
std::string DecodeBase64(std::string_view text);

// Encodes bytes as base64 in one line: standard alphabet ("+" and "/"), "=" padding to a multiple of four characters.
std::string EncodeBase64(std::string_view bytes);

// The value of one character of base64 text: 0-63 in either alphabet, 0 for every other byte.
constexpr unsigned Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned>(c - 'A');
    if (c >= 'a' && c <= 'z') return static_cast<unsigned>(c - 'a' + 26);
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0' + 52);
    if (c == '+' || c == '-') return 62;
    if (c == '/' || c == '_') return 63;
    return 0;
}

// Decodes one group of four characters (tabs, CRs and LFs among them count as 0) into `out`, which has room for
// three bytes. Returns the number of bytes written: three, or one or two for a padded group, after which the data
// has ended.
std::size_t DecodeBase64Group(const char* group, unsigned char* out);

// Tabs, CRs and LFs in front of a group are not part of it.
constexpr bool IsSkippedBeforeBase64Group(char c) { return c == '\t' || c == '\r' || c == '\n'; }

}  // namespace zendrel
