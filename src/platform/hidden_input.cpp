#include "platform/hidden_input.h"

#include "platform/terminal_echo.h"

namespace zendrel {

std::optional<std::string> ReadHiddenLine(std::istream& in) {
    const EchoOff echoOff;
    std::string line;
    if (!std::getline(in, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace zendrel
