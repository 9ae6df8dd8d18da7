#pragma once
// The program's Windows-1252 text at the windows' edge. The windows take and give UTF-16 through the wide calls, so
// a text shows the same characters whatever the system's ANSI code page is.

#include <windows.h>

#include <string>
#include <string_view>

namespace zendrel::win32 {

std::wstring WideText(std::string_view text);
// What the user typed, back in the program's text: characters Windows-1252 lacks become "?".
std::string NarrowText(std::wstring_view text);
// The text of a window or a control; "" for no window.
std::string WindowText(HWND window);

}  // namespace zendrel::win32
