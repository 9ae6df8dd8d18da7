// The transfer decoders and the single-byte / UTF-8 conversions.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/base64.h"
#include "common/text.h"
#include "encoders.h"
#include "fuzz_require.h"
#include "mime/base64_block.h"
#include "mime/quoted_printable.h"

namespace zendrel::fuzz {
namespace {

void CheckQuotedPrintable(std::string_view bytes) {
    const std::string single = DecodeQuotedPrintable(bytes, TextFormat::SingleByte);
    FUZZ_REQUIRE(single.size() <= bytes.size());
    if (!Contains(bytes, "=")) FUZZ_REQUIRE(single == bytes);  // NUL bytes included
    // The Utf8 format reads the same decoded bytes as UTF-8.
    FUZZ_REQUIRE(DecodeQuotedPrintable(bytes, TextFormat::Utf8) == Utf8ToSingleByte(single));
    FUZZ_REQUIRE(DecodeQuotedPrintable(EncodeQuotedPrintable(bytes), TextFormat::SingleByte) == bytes);
}

void CheckBase64(std::string_view bytes) {
    const std::string decoded = DecodeBase64(bytes);
    FUZZ_REQUIRE(decoded.size() <= bytes.size() / 4 * 3);
    const std::optional<std::string> block = DecodeBase64Block(bytes);
    if (block) FUZZ_REQUIRE(!block->empty() && block->size() <= bytes.size() / 4 * 3);

    // What a mailer writes comes back whole, in either alphabet, on lines of 76 or in one piece.
    const std::string standard = EncodeBase64(bytes, Base64Alphabet::Standard);
    FUZZ_REQUIRE(DecodeBase64(standard) == bytes);
    FUZZ_REQUIRE(DecodeBase64(EncodeBase64(bytes, Base64Alphabet::UrlSafe)) == bytes);
    const std::optional<std::string> lines = DecodeBase64Block(EncodeBase64(bytes, Base64Alphabet::Standard, 76));
    if (bytes.empty()) {
        FUZZ_REQUIRE(!lines.has_value());
    } else {
        FUZZ_REQUIRE(lines.has_value() && *lines == bytes);
    }
}

void CheckCharsets(std::string_view bytes) {
    const std::string single = Utf8ToSingleByte(bytes);
    FUZZ_REQUIRE(single.size() <= bytes.size());
    const std::string utf8 = SingleByteToUtf8(bytes);
    const auto high = static_cast<std::size_t>(
        std::count_if(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }));
    FUZZ_REQUIRE(utf8.size() == bytes.size() + high);
    FUZZ_REQUIRE(Utf8ToSingleByte(utf8) == bytes);
    if (high == 0) FUZZ_REQUIRE(single == bytes);
}

}  // namespace
}  // namespace zendrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zendrel::fuzz;
    const std::string_view bytes = AsText(data, size);
    CheckQuotedPrintable(bytes);
    CheckBase64(bytes);
    CheckCharsets(bytes);
    return 0;
}
