#pragma once
// `zendrel` without a command switch on Linux: the window on the user's display.

#include <ostream>
#include <string>
#include <vector>

namespace zendrel {

// Runs the window until the user quits; `argc` and `argv` are the process's own, `arguments` the program's text of
// them. Returns the exit code: 2 when there is no display to open the window on.
int RunQtWindow(int& argc, char** argv, const std::vector<std::string>& arguments, std::ostream& err);

}  // namespace zendrel
