#include "mime/quoted_printable.h"

#include <algorithm>
#include <vector>

namespace zendrel {
namespace {

// Reads up to two hexadecimal digits; reading stops at the first other character, and no digit at all gives 0.
unsigned char ReadEscapeValue(std::string_view digits) {
    unsigned value = 0;
    for (char c : digits) {
        const int digit = HexValue(c);
        if (digit < 0) break;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<unsigned char>(value);
}

// Decodes from text[at] on into `out` until `capacity` bytes are there or the text is over; each step gives at most
// one byte. Returns the bytes given and leaves `at` where the next call goes on.
std::size_t DecodeSome(std::string_view text, std::size_t& at, char* out, std::size_t capacity) {
    std::size_t count = 0;
    const std::size_t n = text.size();
    std::size_t i = at;
    while (i < n && count < capacity) {
        const char c = text[i];
        if (c != '=') {
            out[count++] = c;
            ++i;
        } else if (i + 2 < n && text[i + 1] == '\r' && text[i + 2] == '\n') {
            i += 3;  // soft line break
        } else {
            // A malformed escape still swallows the two characters after "=": mailers that rely on this
            // behaviour must get the same bytes as before. The end of the text may leave fewer than two.
            const std::size_t digits = n - (i + 1) < 2 ? n - (i + 1) : 2;
            out[count++] = static_cast<char>(ReadEscapeValue(text.substr(i + 1, digits)));
            i += 1 + digits;
        }
    }
    at = i;
    return count;
}

}  // namespace

std::string DecodeQuotedPrintable(std::string_view text, TextFormat format) {
    if (text.empty()) return {};
    std::string bytes;
    bytes.resize(text.size());  // the output never grows beyond the input
    std::size_t at = 0;
    bytes.resize(DecodeSome(text, at, bytes.data(), bytes.size()));
    if (format == TextFormat::kSingleByte) return bytes;
    return ReadText(bytes, format);
}

bool DecodeQuotedPrintableInPieces(std::string_view text, std::size_t pieceSize,
                                   const std::function<bool(std::string_view)>& take) {
    std::vector<char> buffer(std::max<std::size_t>(std::min(pieceSize, text.size()), 1));
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t count = DecodeSome(text, at, buffer.data(), buffer.size());
        if (!take(std::string_view(buffer.data(), count))) return false;
    }
    return true;
}

}  // namespace zendrel
