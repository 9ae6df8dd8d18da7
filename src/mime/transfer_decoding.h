#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/file_io.h"
#include "mime/message_part.h"

namespace zendrel {

// The part's content with its Content-Transfer-Encoding undone: base64, quoted-printable, or the body as it stands
// for any other encoding. No charset conversion. None when a base64 body does not decode; a base64 body of nothing
// but line breaks and blanks is the empty content, not a damaged one.
std::optional<std::string> DecodeTransferEncoding(const MessagePart& part);

// The most a DecodedContent holds decoded at a time.
inline constexpr std::size_t kDecodedPieceSize = 256 * 1024;

// The same content handed out in pieces of at most kDecodedPieceSize bytes, decoded anew each time it is read, so that
// a large attachment goes to its file without ever being decoded whole in memory. The part must outlive it.
class DecodedContent final : public ByteSource {
public:
    // Decodes once, keeping nothing, to learn whether the body decodes and how many bytes it gives.
    explicit DecodedContent(const MessagePart& part);

    // False where DecodeTransferEncoding gives none.
    bool Decodes() const { return decodes_; }
    std::uint64_t Size() const override { return size_; }
    bool ForEachPiece(const std::function<bool(std::string_view)>& take) const override;

private:
    enum class Encoding { kBase64, kQuotedPrintable, kAsItStands };

    std::string_view body_;
    Encoding encoding_ = Encoding::kAsItStands;
    bool decodes_ = true;
    std::uint64_t size_ = 0;
};

}  // namespace zendrel
