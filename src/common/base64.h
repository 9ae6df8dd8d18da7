#pragma once

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

}  // namespace zendrel
