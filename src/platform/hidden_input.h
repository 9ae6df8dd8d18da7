#pragma once
// Reading a secret from standard input: when it is a terminal, what is typed is not shown.

#include <istream>
#include <optional>
#include <string>

namespace zendrel {

// One line from `in` (without its line end), with the terminal's echo off while it is typed when standard input is
// a terminal. None when nothing could be read.
std::optional<std::string> ReadHiddenLine(std::istream& in);

}  // namespace zendrel
