#pragma once
// Owners of the window system's handles: each is released by the one function that releases its kind.

#include <windows.h>

#include <memory>
#include <type_traits>

namespace zendrel::win32 {

struct WindowDestroyer {
    void operator()(HWND window) const { DestroyWindow(window); }
};
// A window and, with it, its child controls and its menu.
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
// Fonts and bitmaps.
template <typename Handle>
using UniqueGdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, GdiObjectDeleter>;
using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;

struct IconDestroyer {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroyer>;

struct MenuDestroyer {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
// A menu not (yet) given to a window; a window's menu goes with the window.
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer>;

// A registered window class, unregistered when no window of it is left.
class WindowClass {
public:
    WindowClass() = default;
    ~WindowClass() {
        if (registered_) UnregisterClassA(name_, instance_);
    }
    WindowClass(const WindowClass&) = delete;
    WindowClass& operator=(const WindowClass&) = delete;

    // Registers the class once; later calls keep the first registration.
    bool Register(const WNDCLASSEXA& description) {
        if (registered_) return true;
        name_ = description.lpszClassName;
        instance_ = description.hInstance;
        registered_ = RegisterClassExA(&description) != 0;
        return registered_;
    }

private:
    const char* name_ = nullptr;
    HINSTANCE instance_ = nullptr;
    bool registered_ = false;
};

// The tray icon of one window, taken down with the owner.
class TrayIcon {
public:
    TrayIcon() = default;
    ~TrayIcon() { Remove(); }
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Puts the icon up, or changes its tooltip when it is up.
    bool Show(HWND owner, UINT callbackMessage, HICON icon, const char* tooltip);
    void Remove();

private:
    HWND owner_ = nullptr;
    bool shown_ = false;
};

}  // namespace zendrel::win32
