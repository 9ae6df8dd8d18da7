#pragma once
// The log writer program (log_writer_main.cpp) running as a process of its own; killed and reaped if the test ends
// before it does.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zendrel::testsupport {

class LogWriterProcess {
public:
    explicit LogWriterProcess(std::vector<std::string> arguments);
    LogWriterProcess(const LogWriterProcess&) = delete;
    LogWriterProcess& operator=(const LogWriterProcess&) = delete;
    ~LogWriterProcess();

    bool Started() const { return process_ != kNone; }
    // Whether the process has ended, without waiting for it.
    bool Ended() { return Reap(false); }
    // The exit code once the process ended; -1 when it did not end by exiting.
    int Wait() {
        Reap(true);
        return exitCode_.value_or(-1);
    }

private:
    static constexpr std::intptr_t kNone = -1;

    bool Reap(bool wait);

    // The process id on POSIX, the process handle on Windows.
    std::intptr_t process_ = kNone;
    std::optional<int> exitCode_;
};

// Runs the log writer to its end: its exit code, -1 when it could not be started.
inline int RunLogWriter(std::vector<std::string> arguments) {
    LogWriterProcess process(std::move(arguments));
    return process.Started() ? process.Wait() : -1;
}

}  // namespace zendrel::testsupport
