#pragma once

#include <optional>
#include <string>

#include "mime/message_part.h"

namespace zendrel {

// The part's content with its Content-Transfer-Encoding undone: base64, quoted-printable, or the body as it stands
// for any other encoding. No charset conversion. None when a base64 body does not decode; a base64 body of nothing
// but line breaks and blanks is the empty content, not a damaged one.
std::optional<std::string> DecodeTransferEncoding(const MessagePart& part);

}  // namespace zendrel
