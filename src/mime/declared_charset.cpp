#include "mime/declared_charset.h"

#include <optional>

#include "common/charset.h"

namespace zendrel {

std::string HeaderTextFromCharset(std::string_view charset, std::string_view bytes) {
    if (IsUtf8Charset(charset)) return Utf8ToWindows1252Lossy(bytes);
    const std::optional<std::string> utf8 = CharsetToUtf8(charset, bytes);
    return utf8 ? Utf8ToWindows1252Lossy(*utf8) : std::string(bytes);
}

Utf8Text Utf8FromCharset(std::string_view charset, std::string_view bytes) {
    std::optional<std::string> utf8 = CharsetToUtf8(charset, bytes);
    return utf8 ? std::move(*utf8) : Windows1252ToUtf8(bytes);
}

}  // namespace zendrel
