#include <windows.h>

#include "platform/hidden_input.h"

namespace zendrel {
namespace {

// Turns the console's echo off for as long as it lives, and puts the mode back as it was.
class EchoOff {
public:
    EchoOff() : input_(::GetStdHandle(STD_INPUT_HANDLE)) {
        if (input_ == INVALID_HANDLE_VALUE || input_ == nullptr || !::GetConsoleMode(input_, &saved_)) return;
        active_ = ::SetConsoleMode(input_, saved_ & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
    }
    ~EchoOff() {
        if (active_) ::SetConsoleMode(input_, saved_);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    HANDLE input_;
    DWORD saved_ = 0;
    bool active_ = false;
};

}  // namespace

std::optional<std::string> ReadHiddenLine(std::istream& in) {
    const EchoOff echoOff;
    std::string line;
    if (!std::getline(in, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace zendrel
