#include "app/ui/win32/win32_dpi.h"

namespace zendrel::win32 {
namespace {

// Looked up at run time: the program still starts on systems that lack them.
template <typename Function>
Function* UserFunction(const char* name) {
    const HMODULE user = GetModuleHandleW(L"user32.dll");
    return user == nullptr ? nullptr : reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(user, name)));
}

UINT DesktopDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

}  // namespace

UINT DpiOf(HWND window) {
    static const auto getDpiForWindow = UserFunction<UINT WINAPI(HWND)>("GetDpiForWindow");
    const UINT dpi = getDpiForWindow != nullptr && window != nullptr ? getDpiForWindow(window) : 0;
    return dpi != 0 ? dpi : DesktopDpi();
}

UniqueFont MessageFontAt(UINT dpi) {
    static const auto forDpi =
        UserFunction<BOOL WINAPI(UINT, UINT, void*, UINT, UINT)>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (forDpi != nullptr && forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
        return UniqueFont(CreateFontIndirectW(&metrics.lfMessageFont));
    }
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return UniqueFont();
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                            static_cast<int>(DesktopDpi()));
    return UniqueFont(CreateFontIndirectW(&metrics.lfMessageFont));
}

}  // namespace zendrel::win32
