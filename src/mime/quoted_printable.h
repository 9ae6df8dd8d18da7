#pragma once

#include <string>
#include <string_view>

#include "common/text.h"

namespace zendrel {

// Decodes quoted-printable; the decoded bytes are read into text with `format`.
std::string DecodeQuotedPrintable(std::string_view text, TextFormat format);

}  // namespace zendrel
