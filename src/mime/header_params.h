#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/text.h"

namespace zendrel {

// The value of parameter `name` in a header field value such as 'attachment; filename="a.pdf"' (as GetHeaderField
// returns it, possibly folded). The parameter name matches in any letter case. The value may be a quoted string
// (backslash escapes undone, folding removed), a token, or in RFC 2231 form ('name*=charset'lang'%XX...', or in
// numbered pieces 'name*0*=', 'name*1=' ...); the RFC 2231 form wins over a plain one. An RFC 2231 value is read in
// its charset into header text (HeaderTextFromCharset). None when the parameter is absent.
std::optional<std::string> GetHeaderParameter(std::string_view fieldValue, std::string_view name);

// The same value as UTF-8, for a file name, from a field value whose encoded words are not yet decoded: an RFC 2231
// value read in its charset, a plain value with its RFC 2047 words decoded (DecodeEncodedWordsToUtf8), every
// character kept.
std::optional<Utf8Text> GetHeaderParameterUtf8(std::string_view fieldValue, std::string_view name);

}  // namespace zendrel
