#include "mime/transfer_decoding.h"

#include "common/text.h"
#include "mime/base64_block.h"
#include "mime/header_field.h"
#include "mime/quoted_printable.h"

namespace zendrel {

std::optional<std::string> DecodeTransferEncoding(const MessagePart& part) {
    const std::string encoding = LowerCase(GetHeaderField(part.header, "content-transfer-encoding"));
    if (encoding.find("base64") != std::string::npos) {
        if (part.body.find_first_not_of("\r\n\t ") == std::string::npos) return std::string();
        return DecodeBase64Block(part.body);
    }
    if (encoding.find("quoted-printable") != std::string::npos) {
        return DecodeQuotedPrintable(part.body, TextFormat::SingleByte);
    }
    return part.body;
}

}  // namespace zendrel
