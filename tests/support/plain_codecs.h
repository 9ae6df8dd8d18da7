#pragma once
// Plain encoders that produce well-formed input for the decoders, and the plain reading of the base64 body rule, so
// the tests and the fuzz targets can check round trips and compare the fast decoders with an obvious one.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "common/base64.h"

namespace zendrel::testsupport {

enum class Base64Alphabet { Standard, UrlSafe };

// RFC 4648 base64 with padding; a CR LF after every `lineLength` characters when lineLength > 0.
inline std::string EncodeBase64(std::string_view bytes, Base64Alphabet alphabet, std::size_t lineLength = 0) {
    const char* digits = alphabet == Base64Alphabet::Standard
                             ? "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
                             : "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    std::size_t column = 0;
    auto put = [&](char c) {
        if (lineLength > 0 && column == lineLength) {
            out += "\r\n";
            column = 0;
        }
        out += c;
        ++column;
    };
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (left > 1) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (left > 2) v |= static_cast<unsigned char>(bytes[i + 2]);
        put(digits[(v >> 18) & 63]);
        put(digits[(v >> 12) & 63]);
        put(left > 1 ? digits[(v >> 6) & 63] : '=');
        put(left > 2 ? digits[v & 63] : '=');
    }
    return out;
}

inline void AppendHexEscape(std::string& out, unsigned char byte, bool lowerCase) {
    const char* hex = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    out += '=';
    out += hex[byte >> 4];
    out += hex[byte & 15];
}

// Quoted-printable as a mailer writes it: printable ASCII as it stands, everything else escaped (alternately in upper
// and lower case, both are valid), a soft line break before a line would pass 76 characters.
inline std::string EncodeQuotedPrintable(std::string_view bytes) {
    std::string out;
    std::size_t column = 0;
    bool lowerCase = false;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const bool plain = b >= 0x20 && b < 0x7F && b != '=';
        if (column + (plain ? 1 : 3) > 75) {
            out += "=\r\n";
            column = 0;
        }
        if (plain) {
            out += c;
            column += 1;
        } else {
            AppendHexEscape(out, b, lowerCase);
            lowerCase = !lowerCase;
            column += 3;
        }
    }
    return out;
}

// The "Q" encoding of an encoded word: letters and digits as they stand, a blank as "_", everything else escaped.
inline std::string EncodeQ(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
            out += c;
        } else if (b == ' ') {
            out += '_';
        } else {
            AppendHexEscape(out, b, false);
        }
    }
    return out;
}

// A body as base64, read the plain way: every CR LF pair out, blanks trimmed, then the base64 rules over the whole.
inline std::optional<std::string> ReferenceBase64Block(std::string_view text) {
    std::string joined;
    joined.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        } else {
            joined += text[i];
        }
    }
    const std::size_t begin = joined.find_first_not_of(' ');
    if (begin == std::string::npos) return std::nullopt;
    const std::size_t end = joined.find_last_not_of(' ') + 1;
    std::string decoded = DecodeBase64(std::string_view(joined).substr(begin, end - begin));
    if (decoded.empty()) return std::nullopt;
    return decoded;
}

}  // namespace zendrel::testsupport
