#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "common/text.h"

namespace zendrel {

// Decodes quoted-printable; the decoded bytes are read into text with `format`.
std::string DecodeQuotedPrintable(std::string_view text, TextFormat format);
// The bytes of the same decoding, handed to `take` in pieces of at most `pieceSize` in order; false when `take`
// returned false.
bool DecodeQuotedPrintableInPieces(std::string_view text, std::size_t pieceSize,
                                   const std::function<bool(std::string_view)>& take);

}  // namespace zendrel
