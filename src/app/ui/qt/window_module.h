#pragma once
// On Linux the window is a module of its own (zendrel-window.so) that the program loads only when it opens the window,
// so that no command-line mode loads Qt. What the program needs to know of it: its file and its one entry point,
// which takes the process's arguments and returns the exit status.

namespace zendrel {

inline constexpr const char* kWindowModuleFile = "zendrel-window.so";
inline constexpr const char* kWindowModuleEntry = "zendrel_window_main";
using WindowModuleEntry = int (*)(int argc, char** argv);

}  // namespace zendrel
