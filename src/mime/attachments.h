#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"
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
// made safe: the name of an attachment, and the name a body part is saved under when the caller gives none. UTF-8,
// with every character of the name in the charset its encoded words or RFC 2231 value declare ("Счёт №5.pdf");
// the log shows it through Utf8ToWindows1252Lossy. Empty when it names none.
Utf8Text GetAttachmentName(const MessagePart& part);
// A UTF-8 name as it may be created on any platform: characters that a file system refuses and bytes that are not
// UTF-8 become "_", trailing dots and blanks go, device names get a leading "_", and a name longer than this system
// takes (kLongestFileName in its kFileNameUnit) is cut at a character boundary, its extension kept. Empty when nothing
// usable remains.
Utf8Text MakeSafeFileName(std::string_view name);

// The part's body, transfer-decoded (base64 or quoted-printable), without any charset conversion. A base64 body that
// does not decode comes back undecoded.
std::string GetBodyPartText(const MessagePart& part);

}  // namespace zendrel
