// The transfer decoders and the single-byte / UTF-8 conversions.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/base64.h"
#include "common/text.h"
#include "fuzz_require.h"
#include "mime/base64_block.h"
#include "mime/quoted_printable.h"
#include "plain_codecs.h"

namespace zendrel::fuzz {
namespace {

using namespace zendrel::testsupport;

int ReferenceHexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Quoted-printable as the mailbox program always read it, except that a NUL byte no longer ends the text.
std::string ReferenceQuotedPrintable(std::string_view text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '=') {
            out += text[i++];
        } else if (text.substr(i + 1, 2) == "\r\n") {
            i += 3;
        } else {
            const std::string_view digits = text.substr(i + 1, 2);
            unsigned value = 0;
            for (char c : digits) {
                if (ReferenceHexDigit(c) < 0) break;
                value = value * 16 + static_cast<unsigned>(ReferenceHexDigit(c));
            }
            out += static_cast<char>(value & 0xFF);
            i += 1 + digits.size();
        }
    }
    return out;
}

void CheckQuotedPrintable(std::string_view bytes) {
    const std::string single = DecodeQuotedPrintable(bytes, TextFormat::kSingleByte);
    FUZZ_REQUIRE(single == ReferenceQuotedPrintable(bytes));
    // The Utf8 format reads the same decoded bytes as UTF-8.
    FUZZ_REQUIRE(DecodeQuotedPrintable(bytes, TextFormat::kUtf8) == Utf8ToSingleByte(single));
    FUZZ_REQUIRE(DecodeQuotedPrintable(EncodeQuotedPrintable(bytes), TextFormat::kSingleByte) == bytes);
}

void CheckBase64(std::string_view bytes) {
    const std::string decoded = DecodeBase64(bytes);
    FUZZ_REQUIRE(decoded.size() <= bytes.size() / 4 * 3);
    const std::optional<std::string> block = DecodeBase64Block(bytes);
    if (block) FUZZ_REQUIRE(!block->empty() && block->size() <= bytes.size() / 4 * 3);
    FUZZ_REQUIRE(block == ReferenceBase64Block(bytes));

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

// A large body may be decoded in pieces; wherever a piece ends, the bytes must be those of one decoding of the whole.
// The input follows some 64 KiB of well-formed lines, shifted by its first byte so that it meets a piece's end at
// varying places.
void CheckLongBase64(std::string_view bytes) {
    if (bytes.empty()) return;
    const std::size_t groups = 16384 - static_cast<unsigned char>(bytes[0]) % 32;
    std::string text;
    text.reserve(groups * 4 + groups / 19 * 2 + bytes.size() + 2);
    for (std::size_t g = 1; g <= groups; ++g) {
        text += "QUJD";
        if (g % 19 == 0) text += "\r\n";
    }
    text += bytes.substr(1);
    FUZZ_REQUIRE(DecodeBase64Block(text) == ReferenceBase64Block(text));
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
    if (size % 64 == 0) CheckLongBase64(bytes);  // slow (some 10 ms); the sizes that are multiples of 64 suffice
    CheckCharsets(bytes);
    return 0;
}
