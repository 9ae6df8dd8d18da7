#include <windows.h>

#include "platform/terminal_echo.h"

namespace zendrel {

// A console has a mode; a pipe or a file has none.
bool StandardInputIsTerminal() {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    return input != INVALID_HANDLE_VALUE && input != nullptr && ::GetConsoleMode(input, &mode) != 0;
}

struct EchoOff::Saved {
    HANDLE input;
    DWORD mode;
};

EchoOff::EchoOff() {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == INVALID_HANDLE_VALUE || input == nullptr || !::GetConsoleMode(input, &mode)) return;
    if (::SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT))) {
        saved_ = std::make_unique<Saved>(Saved{input, mode});
    }
}

EchoOff::~EchoOff() {
    if (saved_) ::SetConsoleMode(saved_->input, saved_->mode);
}

}  // namespace zendrel
