#pragma once
// Bytes of an encoded word or an RFC 2231 value in the charset the mail declares for them, read into the program's
// two kinds of text.

#include <string>
#include <string_view>

#include "common/text.h"

namespace zendrel {

// As header text (Windows-1252): every character Windows-1252 has keeps its byte, the others become "?". UTF-8 is read
// by the rules of Utf8ToWindows1252Lossy; a charset that the program or the system does not know, or bytes that are not
// valid in it, give the bytes as they are.
std::string HeaderTextFromCharset(std::string_view charset, std::string_view bytes);

// As UTF-8, for a file name: every character kept. A charset that the program or the system does not know, or bytes
// that are not valid in it, give the bytes read as Windows-1252, one a character.
Utf8Text Utf8FromCharset(std::string_view charset, std::string_view bytes);

}  // namespace zendrel
