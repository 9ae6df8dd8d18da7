#pragma once

#include <string_view>

#include "mime/message_part.h"

namespace zendrel {

// Writes the part's transfer-decoded content to folder + fileName (joined as they stand; the caller supplies the
// separator). The single-byte names are Windows-1252. The file is written under a temporary name in the same folder
// and renamed into place only when complete, so an existing file is replaced only by a whole one. Returns false, and
// leaves no file, when the content does not decode or cannot be written.
bool SavePart(const MessagePart& part, std::string_view folder, std::string_view fileName);

}  // namespace zendrel
