#pragma once
// The well-known folders of the user's system.

#include <filesystem>
#include <string>

namespace zendrel {

// The folders the program asks for, numbered as the Windows shell numbers them (CSIDL).
enum class SpecialFolder : int {
    kStartup = 7,         // the user's own autostart folder
    kCommonStartup = 24,  // the autostart folder for all users
    kAppData = 26,        // the user's application data: former place of the settings file
    kCommonAppData = 35,  // home of the data folder
    kProfile = 40,        // the user's home folder: default folder for attachments
};

// The folder's path ending in a separator, empty when the system has no such folder. On Linux the program, its
// background service and its window run as the same user, so every folder is a per-user one:
// common application data is $XDG_DATA_HOME (~/.local/share/), application data $XDG_CONFIG_HOME (~/.config/),
// both autostart folders $XDG_CONFIG_HOME/autostart/, the profile the home folder. On Windows the shell's folders.
std::filesystem::path SpecialFolderLocation(SpecialFolder folder);

// The same as program text (Windows-1252), with leading and trailing blanks removed; empty when the path has no
// Windows-1252 form.
std::string GetSpecialFolderPath(SpecialFolder folder);

}  // namespace zendrel
