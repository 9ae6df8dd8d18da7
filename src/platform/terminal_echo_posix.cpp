#include <termios.h>
#include <unistd.h>

#include "platform/terminal_echo.h"

namespace zendrel {

bool StandardInputIsTerminal() { return ::isatty(STDIN_FILENO) != 0; }

struct EchoOff::Saved {
    termios mode{};
};

EchoOff::EchoOff() {
    auto saved = std::make_unique<Saved>();
    if (::isatty(STDIN_FILENO) == 0 || ::tcgetattr(STDIN_FILENO, &saved->mode) != 0) return;
    termios quiet = saved->mode;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    if (::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0) saved_ = std::move(saved);
}

EchoOff::~EchoOff() {
    if (saved_) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_->mode);
}

}  // namespace zendrel
