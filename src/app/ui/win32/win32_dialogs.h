#pragma once
// The small modal boxes of the main window and the system's folder chooser and browser.

#include <windows.h>

#include <string>

namespace zendrel::win32 {

void ShowMessageBox(HWND owner, const std::string& title, const std::string& text);
// True for Yes.
bool AskYesNoBox(HWND owner, const std::string& title, const std::string& text);
// The text entered and confirmed with OK; "" when the box was closed otherwise.
std::string AskTextBox(HWND owner, const std::string& title, const std::string& prompt,
                       const std::string& defaultText);
// The folder chosen, ending in "\"; "" when the chooser was cancelled, the choice is no folder of the file system, or
// its name has a character that the program's text (Windows-1252) cannot hold.
std::string ChooseFolderBox(HWND owner, const std::string& title, const std::string& initialFolder);
void OpenInBrowser(HWND owner, const std::string& address);

}  // namespace zendrel::win32
