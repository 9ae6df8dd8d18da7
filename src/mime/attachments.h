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

// Where the attachments and the body parts of one message stand in its part list, found in one pass over the parts,
// so that looking up every attachment of a message in turn costs time in proportion to their number, not its square.
// Numbers and positions mean what they mean for FindAttachment and FindBodyPart.
class PartIndex {
public:
    PartIndex() = default;
    explicit PartIndex(const std::vector<MessagePart>& parts);

    int AttachmentCount() const { return static_cast<int>(attachments_.size()); }
    int BodyPartCount() const { return static_cast<int>(bodyParts_.size()); }
    std::optional<std::size_t> Attachment(int n) const { return Nth(attachments_, n); }
    std::optional<std::size_t> BodyPart(int n) const { return Nth(bodyParts_, n); }

private:
    static std::optional<std::size_t> Nth(const std::vector<std::size_t>& positions, int n) {
        if (n < 1 || static_cast<std::size_t>(n) > positions.size()) return std::nullopt;
        return positions[static_cast<std::size_t>(n) - 1];
    }

    std::vector<std::size_t> attachments_;
    std::vector<std::size_t> bodyParts_;
};

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
