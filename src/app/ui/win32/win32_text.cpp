#include "app/ui/win32/win32_text.h"

#include "common/text.h"

namespace zendrel::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the wide calls take UTF-16");

std::wstring WideText(std::string_view text) {
    const std::u16string wide = Windows1252ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

std::string NarrowText(std::wstring_view text) {
    return Utf16ToWindows1252Lossy(std::u16string(text.begin(), text.end()));
}

std::string WindowText(HWND window) {
    if (window == nullptr) return "";
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return NarrowText(text);
}

}  // namespace zendrel::win32
