#pragma once
// The window program on Windows: the settings window with its tray icon, or, in the process that the service manager
// has started, the windowless service.

#include <string>
#include <vector>

namespace zendrel {

// Returns the exit status; a process that ran as the service leaves from inside.
int RunWin32Program(const std::vector<std::string>& arguments, bool logging);

}  // namespace zendrel
