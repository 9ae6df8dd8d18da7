#include "mime/body_charset.h"

#include "common/text.h"
#include "mime/header_field.h"

namespace zendrel {
namespace {

constexpr auto npos = std::string_view::npos;

// Whether a "<meta" tag before the end of the head declares UTF-8. Without "</head>" only the first tag counts.
bool MetaDeclaresUtf8(std::string_view lower) {
    const std::size_t headEnd = lower.find("</head>");
    for (std::size_t meta = lower.find("<meta"); meta != npos; meta = lower.find("<meta", meta + 1)) {
        const std::size_t tagEnd = lower.find('>', meta);
        if (tagEnd != npos) {
            // Searching only inside the tag finds the same as searching on and comparing with its end.
            const std::string_view tag = lower.substr(0, tagEnd);
            const std::size_t charset = tag.find("charset", meta + 1);
            if (charset != npos && tag.find("utf-8", charset + 1) != npos) return true;
        }
        if (headEnd == npos || meta > headEnd || tagEnd == npos || tagEnd > headEnd) return false;
    }
    return false;
}

}  // namespace

std::string ConvertBodyCharset(std::string_view header, std::string_view text) {
    const std::string contentType = LowerCase(GetHeaderField(header, "content-type"));
    if (contentType.find("text/html") == std::string::npos) return std::string(text);
    const bool headerSaysUtf8 = contentType.find("utf-8") != std::string::npos;
    const bool metaSaysUtf8 = MetaDeclaresUtf8(LowerCase(text));
    if (metaSaysUtf8 && !headerSaysUtf8) return SingleByteToUtf8(text);
    if (headerSaysUtf8 && !metaSaysUtf8) return Utf8ToSingleByte(text);
    return std::string(text);
}

}  // namespace zendrel
