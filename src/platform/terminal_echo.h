#pragma once
// The echo of what is typed at the terminal or console on standard input, off for as long as an EchoOff lives.

#include <memory>

namespace zendrel {

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
