#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zendrel {

// The value of parameter `name` in a header field value such as 'attachment; filename="a.pdf"' (as GetHeaderField
// returns it, possibly folded). The parameter name matches in any letter case. The value may be a quoted string
// (backslash escapes undone, folding removed), a token, or in RFC 2231 form ('name*=charset'lang'%XX...', or in
// numbered pieces 'name*0*=', 'name*1=' ...); the RFC 2231 form wins over a plain one. A utf-8 RFC 2231 value is read
// into single-byte text, any other charset is taken as its raw bytes. None when the parameter is absent.
std::optional<std::string> GetHeaderParameter(std::string_view fieldValue, std::string_view name);

}  // namespace zendrel
