#pragma once
// Reading a preference file that a user may have edited by hand.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zendrel {

// The leading decimal number of a text: an optional sign and the digits after it; anything after them is ignored.
// A text that does not start with a number gives 0. Values beyond the 32-bit range stop at its ends.
std::int32_t LeadingInteger(std::string_view text);

// A preference file of "[Group]" headers and "key = value" lines.
// - A file that starts with the UTF-8 byte-order mark is UTF-8: its values become single bytes (U+0000-U+00FF as that
//   byte, any other character as "?"). Any other file is single-byte text.
// - Lines end in CR, LF or CR LF; blanks and tabs at the start of a line and empty lines are ignored; ";" starts a
//   comment line. "[" opens a group named by the text up to "]" (or to the end of the line).
// - The key is the text before the first "=" without trailing blanks and tabs; the value the text after it without
//   blanks and tabs at either end. A line without "=" holds no setting.
// - Group and key names compare without regard to case. A key is looked up only in the first group of its name, up to
//   the next header; the first occurrence of a key counts.
class PreferenceFile {
public:
    static PreferenceFile Parse(std::string_view bytes);

    // The value, or none when the group or the key is missing. A present key with an empty value is the empty text.
    std::optional<std::string> Text(std::string_view group, std::string_view key) const;
    // A present key reads as its leading integer (0 when the value does not start with a number); none when missing.
    std::optional<std::int32_t> Integer(std::string_view group, std::string_view key) const;
    // The largest n for which the group has a key `prefix` + n (n in decimal, as "Mail_12"); 0 when it has none.
    std::int32_t HighestNumberedKey(std::string_view group, std::string_view prefix) const;

private:
    struct Group {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;  // key and value in file order
    };
    std::vector<Group> groups_;
};

}  // namespace zendrel
