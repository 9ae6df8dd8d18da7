#pragma once

#include <string_view>
#include <vector>

#include "mime/message_part.h"

namespace zendrel {

// Splits a retrieved message (its text begins with the rest of the server's status line, so the first header field
// is preceded by CR LF) into its parts, nested multiparts included, in list order: a multipart's container record,
// followed by the lists of its parts in reverse order of their appearance. The parts' bodies are views into `text`,
// which must outlive them.
std::vector<MessagePart> SplitMessage(std::string_view text);

}  // namespace zendrel
