#pragma once

#include <string>
#include <string_view>

namespace zendrel {

// Value of the field `name` in a header block whose field lines are each preceded by CR LF. The name matches in any
// letter case; continuation lines stay inside the value (not unfolded); leading blanks are removed. Empty when absent.
std::string GetHeaderField(std::string_view header, std::string_view name);

}  // namespace zendrel
