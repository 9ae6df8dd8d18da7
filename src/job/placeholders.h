#pragma once

#include <string>
#include <string_view>

namespace zendrel {

// An interface text with every occurrence of `placeholder` (exact, case-sensitive) replaced by `value`,
// as in "File '{FILE}' saved!" with "{FILE}".
std::string FillPlaceholder(std::string_view text, std::string_view placeholder, std::string_view value);

}  // namespace zendrel
