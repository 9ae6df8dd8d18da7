#pragma once
// The echo of what is typed at the terminal or console on standard input, off for as long as an EchoOff lives; and
// whether standard input is such a terminal at all.

#include <memory>

namespace zendrel {

// True when standard input is a terminal or console that a person types into, not a pipe or a file.
bool StandardInputIsTerminal();

class EchoOff {
public:
    // Does nothing when standard input is no terminal.
    EchoOff();
    // Puts the echo back as it was.
    ~EchoOff();
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    struct Saved;
    std::unique_ptr<Saved> saved_;  // empty when nothing was changed
};

}  // namespace zendrel
