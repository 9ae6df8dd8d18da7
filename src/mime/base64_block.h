#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zendrel {

// A part body as base64: CR LF pairs removed, blanks trimmed, then decoded. None when nothing decodes.
std::optional<std::string> DecodeBase64Block(std::string_view text);

}  // namespace zendrel
