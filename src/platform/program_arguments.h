#pragma once
// The command line as the program's text.

#include <string>
#include <vector>

namespace zendrel {

// The arguments after the program's name. On POSIX the bytes as given (UTF-8; paths are converted where they are
// used). On Windows the UTF-16 command line converted to Windows-1252, whatever the system's ANSI code page is; a
// character that Windows-1252 lacks becomes '?', which no file name can hold, so such a path fails instead of naming
// another file.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace zendrel
