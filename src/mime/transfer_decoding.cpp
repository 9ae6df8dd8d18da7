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
        return DecodeQuotedPrintable(part.body, TextFormat::kSingleByte);
    }
    return std::string(part.body);
}

DecodedContent::DecodedContent(const MessagePart& part) : body_(part.body) {
    const std::string encoding = LowerCase(GetHeaderField(part.header, "content-transfer-encoding"));
    if (encoding.find("base64") != std::string::npos) {
        encoding_ = Encoding::kBase64;
        // Nothing but line breaks and blanks is the empty content, not a damaged one.
        if (body_.find_first_not_of("\r\n\t ") == std::string_view::npos) body_ = {};
    } else if (encoding.find("quoted-printable") != std::string::npos) {
        encoding_ = Encoding::kQuotedPrintable;
    }
    std::uint64_t size = 0;
    decodes_ = ForEachPiece([&size](std::string_view piece) {
        size += piece.size();
        return true;
    });
    size_ = size;
}

bool DecodedContent::ForEachPiece(const std::function<bool(std::string_view)>& take) const {
    if (body_.empty()) return true;
    switch (encoding_) {
        case Encoding::kBase64:
            return DecodeBase64BlockInPieces(body_, kDecodedPieceSize, take);
        case Encoding::kQuotedPrintable:
            return DecodeQuotedPrintableInPieces(body_, kDecodedPieceSize, take);
        case Encoding::kAsItStands:
            break;
    }
    return take(body_);
}

}  // namespace zendrel
