#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mime/message_part.h"

namespace zendrel {

// A part is an attachment when its Content-Disposition, lower-cased, contains "attachment;".
bool IsAttachment(const MessagePart& part);
int CountAttachments(const std::vector<MessagePart>& parts);
int CountBodyParts(const std::vector<MessagePart>& parts);
// Position in `parts` of attachment n, or of body part n (both numbered from 1 in list order).
std::optional<std::size_t> FindAttachment(const std::vector<MessagePart>& parts, int n);
std::optional<std::size_t> FindBodyPart(const std::vector<MessagePart>& parts, int n);

// The file name a part names (Content-Disposition filename, else Content-Type name; quoted, token or RFC 2231 form),
// made safe: the name of an attachment, and the name a body part is saved under when the caller gives none. Empty when
// it names none.
std::string GetAttachmentName(const MessagePart& part);
// A name as it may be created on any platform: characters that a file system refuses become "_", trailing dots and
// blanks go, device names get a leading "_". Empty when nothing usable remains.
std::string MakeSafeFileName(std::string_view name);

// The part's body, transfer-decoded (base64 or quoted-printable), without any charset conversion. A base64 body that
// does not decode comes back undecoded.
std::string GetBodyPartText(const MessagePart& part);

}  // namespace zendrel
