#pragma once
// A bare POP3 line client for looking at what the server itself says (greeting, CAPA, the answer to USER) and for
// timing one round trip. It is independent of the program's own session code on purpose.

#include <optional>
#include <string>
#include <vector>

namespace zendrel::testsupport {

class Pop3Probe {
public:
    // Connects and reads the greeting. Every later read waits at most timeoutMs.
    static std::optional<Pop3Probe> Connect(const std::string& host, int port, int timeoutMs, std::string& error);

    Pop3Probe(Pop3Probe&& other) noexcept;
    Pop3Probe& operator=(Pop3Probe&& other) noexcept;
    Pop3Probe(const Pop3Probe&) = delete;
    Pop3Probe& operator=(const Pop3Probe&) = delete;
    ~Pop3Probe();

    const std::string& Greeting() const { return greeting_; }

    // Sends the line with CR LF and returns the status line of the reply without its CR LF ("" when none came).
    std::string Command(const std::string& line);

    // The lines of a multi-line reply after its status line, up to the terminating dot line, with dot-stuffing undone.
    // Empty when the reply does not end properly.
    std::vector<std::string> ReadLines();

private:
    explicit Pop3Probe(int fd) : fd_(fd) {}
    std::optional<std::string> ReadLine();
    void Close();

    int fd_ = -1;
    std::string pending_;
    std::string greeting_;
};

}  // namespace zendrel::testsupport
