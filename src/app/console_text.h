#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zendrel {

// The program's Windows-1252 text as the terminal shows it (UTF-8 here).
std::string ConsoleText(std::string_view windows1252);

// A path typed on the command line as the program's Windows-1252 text, which is what the file functions take.
// On Windows the arguments already are that text; elsewhere they are UTF-8 and are converted. Empty when the path
// holds a character that Windows-1252 cannot write (or bytes that are not UTF-8).
std::optional<std::string> PathArgumentText(std::string_view argument);

}  // namespace zendrel
