#pragma once

#include <string>
#include <string_view>

namespace zendrel {

// MD5 (RFC 1321) of the text's bytes as 32 lower-case hexadecimal digits.
std::string Md5Hex(std::string_view text);

}  // namespace zendrel
