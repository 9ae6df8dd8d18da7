#pragma once
// Owners of the window system's handles: each is released by the one function that releases its kind.

#include <windows.h>

#include <string>

#include "common/unique_resource.h"

namespace zendrel::win32 {

struct WindowTraits {
    using Handle = HWND;
    static Handle None() noexcept { return nullptr; }
    static bool Close(Handle window) noexcept { return DestroyWindow(window) != 0; }
};
// A window and, with it, its child controls and its menu.
using UniqueWindow = UniqueResource<WindowTraits>;

// Fonts, bitmaps and brushes.
template <typename GdiHandle>
struct GdiObjectTraits {
    using Handle = GdiHandle;
    static Handle None() noexcept { return nullptr; }
    static bool Close(Handle object) noexcept { return DeleteObject(object) != 0; }
};
using UniqueFont = UniqueResource<GdiObjectTraits<HFONT>>;
using UniqueBitmap = UniqueResource<GdiObjectTraits<HBITMAP>>;
using UniqueBrush = UniqueResource<GdiObjectTraits<HBRUSH>>;

struct IconTraits {
    using Handle = HICON;
    static Handle None() noexcept { return nullptr; }
    static bool Close(Handle icon) noexcept { return DestroyIcon(icon) != 0; }
};
using UniqueIcon = UniqueResource<IconTraits>;

struct MenuTraits {
    using Handle = HMENU;
    static Handle None() noexcept { return nullptr; }
    static bool Close(Handle menu) noexcept { return DestroyMenu(menu) != 0; }
};
// A menu not (yet) given to a window; a window's menu goes with the window.
using UniqueMenu = UniqueResource<MenuTraits>;

// A registered window class, unregistered when no window of it is left.
class WindowClass {
public:
    WindowClass() = default;
    ~WindowClass() {
        if (registered_) UnregisterClassW(name_, instance_);
    }
    WindowClass(const WindowClass&) = delete;
    WindowClass& operator=(const WindowClass&) = delete;

    // Registers the class once; later calls keep the first registration.
    bool Register(const WNDCLASSEXW& description) {
        if (registered_) return true;
        name_ = description.lpszClassName;
        instance_ = description.hInstance;
        registered_ = RegisterClassExW(&description) != 0;
        return registered_;
    }

private:
    const wchar_t* name_ = nullptr;
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
    bool Show(HWND owner, UINT callbackMessage, HICON icon, const std::string& tooltip);
    void Remove();

private:
    HWND owner_ = nullptr;
    bool shown_ = false;
};

}  // namespace zendrel::win32
