// The multipart split and every lookup the mailbox run and --extract make on its parts.

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/text.h"
#include "fuzz_require.h"
#include "mime/attachments.h"
#include "mime/body_charset.h"
#include "mime/header_field.h"
#include "mime/multipart.h"
#include "mime/saved_names.h"
#include "mime/sub_folder.h"

namespace zendrel::fuzz {
namespace {

// Attachment n and body part n are found in list order, each kind numbered from 1 without gaps.
void CheckNumbering(const std::vector<MessagePart>& parts, int attachments, int bodyParts) {
    for (int n : {INT_MIN, -1, 0}) {
        FUZZ_REQUIRE(!FindAttachment(parts, n).has_value());
        FUZZ_REQUIRE(!FindBodyPart(parts, n).has_value());
    }
    FUZZ_REQUIRE(!FindAttachment(parts, attachments + 1).has_value());
    FUZZ_REQUIRE(!FindBodyPart(parts, bodyParts + 1).has_value());
    FUZZ_REQUIRE(!FindAttachment(parts, INT_MAX).has_value());

    std::size_t previous = 0;
    for (int n = 1; n <= attachments; ++n) {
        const auto position = FindAttachment(parts, n);
        FUZZ_REQUIRE(position.has_value() && *position < parts.size());
        FUZZ_REQUIRE(n == 1 || *position > previous);
        FUZZ_REQUIRE(IsAttachment(parts[*position]));
        previous = *position;
    }
    for (int n = 1; n <= bodyParts; ++n) {
        const auto position = FindBodyPart(parts, n);
        FUZZ_REQUIRE(position.has_value() && *position < parts.size());
        FUZZ_REQUIRE(n == 1 || *position > previous);
        FUZZ_REQUIRE(!IsAttachment(parts[*position]));
        previous = *position;
    }
}

void CheckPart(const MessagePart& part, std::size_t messageSize) {
    FUZZ_REQUIRE(part.header.size() <= messageSize);  // decoding encoded words only shrinks a header
    FUZZ_REQUIRE(part.body.size() <= messageSize);

    const std::string disposition = LowerCase(GetHeaderField(part.header, "content-disposition"));
    FUZZ_REQUIRE(IsAttachment(part) == Contains(disposition, "attachment;"));

    const std::string attachmentName = GetAttachmentName(part);
    FUZZ_REQUIRE(attachmentName.empty() || IsSafeFileName(attachmentName));
    const std::string saveName = SaveNameOf(part);
    FUZZ_REQUIRE(saveName.empty() || (IsSafeFileName(saveName) && saveName.front() != '.'));

    // Whatever the sender and the date say, the folders of a mail stay below the save folder.
    const auto folders = ExpandSubFolder("{sender}/{domain}/{year}-{month}-{day}", part.header, CalendarDate{});
    FUZZ_REQUIRE(folders.has_value());
    std::size_t begin = 0;
    for (std::size_t end = 0; end <= folders->size(); ++end) {
        if (end < folders->size() && (*folders)[end] != '/' && (*folders)[end] != '\\') continue;
        const std::string folder = folders->substr(begin, end - begin);
        FUZZ_REQUIRE(!folder.empty() && folder.front() != '.' && IsSafeFileName(folder));
        begin = end + 1;
    }

    // Transfer decoding never makes a body longer; a body that does not decode comes back as it is.
    const std::string text = GetBodyPartText(part);
    FUZZ_REQUIRE(text.size() <= part.body.size());

    const std::string converted = ConvertBodyCharset(part.header, text);
    FUZZ_REQUIRE(converted.size() <= 2 * text.size());
    if (!Contains(LowerCase(GetHeaderField(part.header, "content-type")), "text/html")) FUZZ_REQUIRE(converted == text);
}

}  // namespace
}  // namespace zendrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zendrel;
    using namespace zendrel::fuzz;

    // A retrieved message begins with the rest of the server's status line, so its first field follows a CR LF.
    std::string message = "\r\n";
    message.append(AsText(data, size));
    const std::vector<MessagePart> parts = SplitMessage(message);

    // Records come children first and are listed newest first, so the list counts down from its last addition.
    for (std::size_t i = 0; i < parts.size(); ++i) {
        FUZZ_REQUIRE(parts[i].index == static_cast<std::int32_t>(parts.size() - 1 - i));
    }

    const int attachments = CountAttachments(parts);
    const int bodyParts = CountBodyParts(parts);
    FUZZ_REQUIRE(attachments >= 0 && bodyParts >= 0);
    FUZZ_REQUIRE(static_cast<std::size_t>(attachments) + static_cast<std::size_t>(bodyParts) == parts.size());
    CheckNumbering(parts, attachments, bodyParts);
    for (const MessagePart& part : parts) CheckPart(part, message.size());
    return 0;
}
