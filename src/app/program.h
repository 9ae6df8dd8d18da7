#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zendrel {

// The whole program for a list of arguments (without the program name); returns the exit status.
int RunProgram(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace zendrel
