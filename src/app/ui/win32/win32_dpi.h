#pragma once
// The screen's density for the windows, which lay themselves out in pixels of a 96 dpi screen and scale them.

#include <windows.h>

#include "app/ui/win32/win32_handles.h"

namespace zendrel::win32 {

constexpr UINT kDesignDpi = 96;

// The density of the screen the window is on; the whole desktop's where the system knows no other (before
// Windows 10's Anniversary Update).
UINT DpiOf(HWND window);
// A length of the 96 dpi layout at `dpi`.
inline int Scaled(int length, UINT dpi) { return MulDiv(length, static_cast<int>(dpi), static_cast<int>(kDesignDpi)); }
// The system's message font at `dpi`: from SystemParametersInfoForDpi where the system has it, else the font of the
// desktop's density scaled by the height.
UniqueFont MessageFontAt(UINT dpi);

// Places `child` at the rectangle of the 96 dpi layout scaled to `dpi`, in `font`.
void PlaceScaled(HWND child, int x, int y, int width, int height, UINT dpi, HFONT font);
// Sizes `window` (of `style`, `exStyle`, with or without a menu) so that its client area is `width` by `height` of the
// 96 dpi layout at `dpi`; it stays where it is.
void SizeClientScaled(HWND window, int width, int height, UINT dpi, DWORD style, bool hasMenu, DWORD exStyle);
// Moves `window` to the place WM_DPICHANGED suggests (moved to a screen of another density, or the density changed)
// and returns the new density, for the window to lay itself out at.
UINT FollowDpiChange(HWND window, WPARAM wParam, LPARAM lParam);
// Centres `window` on `owner`, wherever that stands now.
void CentreOn(HWND window, HWND owner);

}  // namespace zendrel::win32
