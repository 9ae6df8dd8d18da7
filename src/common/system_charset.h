#pragma once
// The system's half of CharsetToUtf8: one implementation file per operating system.

#include <optional>
#include <string>
#include <string_view>

namespace zendrel {

// A charset as the two systems name it.
struct SystemCharset {
    const char* iconvName;   // the name iconv knows it by
    unsigned windowsCodePage;  // the Windows code page with the same characters
};

// `bytes` in `charset` as UTF-8, or none when the system lacks the charset or the bytes are not valid in it.
std::optional<std::string> SystemCharsetToUtf8(const SystemCharset& charset, std::string_view bytes);

}  // namespace zendrel
