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

void PlaceScaled(HWND child, int x, int y, int width, int height, UINT dpi, HFONT font) {
    MoveWindow(child, Scaled(x, dpi), Scaled(y, dpi), Scaled(width, dpi), Scaled(height, dpi), FALSE);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void SizeClientScaled(HWND window, int width, int height, UINT dpi, DWORD style, bool hasMenu, DWORD exStyle) {
    RECT frame{0, 0, Scaled(width, dpi), Scaled(height, dpi)};
    AdjustWindowRectEx(&frame, style, hasMenu ? TRUE : FALSE, exStyle);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UINT FollowDpiChange(HWND window, WPARAM wParam, LPARAM lParam) {
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    SetWindowPos(window, nullptr, suggested->left, suggested->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return LOWORD(wParam);
}

void CentreOn(HWND window, HWND owner) {
    RECT frame{};
    GetWindowRect(window, &frame);
    RECT ownerFrame{};
    GetWindowRect(owner, &ownerFrame);
    SetWindowPos(window, nullptr, (ownerFrame.left + ownerFrame.right - (frame.right - frame.left)) / 2,
                 (ownerFrame.top + ownerFrame.bottom - (frame.bottom - frame.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace zendrel::win32
