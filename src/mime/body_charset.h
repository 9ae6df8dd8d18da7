#pragma once

#include <string>
#include <string_view>

namespace zendrel {

// Adjusts an HTML part's text to the charset its own meta tag declares (see the session's ConvertBodyCharset).
std::string ConvertBodyCharset(std::string_view header, std::string_view text);

}  // namespace zendrel
