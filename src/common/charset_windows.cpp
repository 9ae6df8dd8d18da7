#include <windows.h>

#include <climits>

#include "common/system_charset.h"

namespace zendrel {

std::optional<std::string> SystemCharsetToUtf8(const SystemCharset& charset, std::string_view bytes) {
    if (bytes.size() > static_cast<std::size_t>(INT_MAX) / 2) return std::nullopt;
    const int size = static_cast<int>(bytes.size());
    // The ISO-2022 code pages refuse every flag; the others report a byte that is not valid in them.
    const DWORD flags = charset.windowsCodePage >= 50220 && charset.windowsCodePage <= 50229 ? 0 : MB_ERR_INVALID_CHARS;
    // A code page the system lacks fails here too, as an invalid parameter.
    const int wideLength = MultiByteToWideChar(charset.windowsCodePage, flags, bytes.data(), size, nullptr, 0);
    if (wideLength <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    const int converted = MultiByteToWideChar(charset.windowsCodePage, flags, bytes.data(), size, wide.data(), wideLength);
    if (converted != wideLength) return std::nullopt;
    const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (utf8Length <= 0) return std::nullopt;
    std::string utf8(static_cast<std::size_t>(utf8Length), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), utf8Length, nullptr, nullptr) !=
        utf8Length) {
        return std::nullopt;
    }
    return utf8;
}

}  // namespace zendrel
