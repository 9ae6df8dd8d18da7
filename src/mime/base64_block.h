#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zendrel {

// A part body as base64: CR LF pairs removed, blanks trimmed, then decoded. None when nothing decodes.
std::optional<std::string> DecodeBase64Block(std::string_view text);
// The same decoding handed to `take` in pieces of at most `pieceSize` bytes, in order, so that a large body is never
// decoded whole in memory. False when the text does not decode (pieces handed out before that are no content) or
// `take` returned false.
bool DecodeBase64BlockInPieces(std::string_view text, std::size_t pieceSize,
                               const std::function<bool(std::string_view)>& take);

}  // namespace zendrel
