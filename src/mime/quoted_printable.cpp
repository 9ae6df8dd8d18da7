#include "mime/quoted_printable.h"

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

}  // namespace

std::string DecodeQuotedPrintable(std::string_view text, TextFormat format) {
    if (text.empty()) return {};
    std::string bytes;
    bytes.resize(text.size());  // the output never grows beyond the input
    std::size_t count = 0;
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = text[i];
        if (c != '=') {
            bytes[count++] = c;
            ++i;
        } else if (i + 2 < n && text[i + 1] == '\r' && text[i + 2] == '\n') {
            i += 3;  // soft line break
        } else {
            // A malformed escape still swallows the two characters after "=": mailers that rely on this
            // behaviour must get the same bytes as before. The end of the text may leave fewer than two.
            const std::size_t digits = n - (i + 1) < 2 ? n - (i + 1) : 2;
            bytes[count++] = static_cast<char>(ReadEscapeValue(text.substr(i + 1, digits)));
            i += 1 + digits;
        }
    }
    bytes.resize(count);
    if (format == TextFormat::SingleByte) return bytes;
    return ReadText(bytes, format);
}

}  // namespace zendrel
