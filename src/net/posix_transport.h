#pragma once
// The transport over POSIX TCP sockets.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "common/unique_fd_posix.h"
#include "net/host_connect.h"
#include "net/transport.h"

namespace zendrel {

// Non-blocking socket, waits in poll(). A self-pipe wakes a wait when Interrupt() is called from another thread; when
// the pipe cannot be had, waits run in short slices that look at the interrupt flag instead.
class PosixTransport final : public Transport, private ConnectSteps {
public:
    PosixTransport();
    ~PosixTransport() override;

    OpenResult Open(const std::string& host, std::int32_t port, std::int32_t timeoutMs) override;
    ConnectFailure OpenFailure() const override { return openFailure_; }
    WaitResult WaitReadable(std::int32_t timeoutMs) override;
    std::ptrdiff_t Read(char* buffer, std::size_t size) override;
    bool Send(std::string_view bytes) override;
    void Close() override;
    void Interrupt() override;
    void ClearInterrupt() override;

private:
    struct Pipe {
        UniqueFd read;
        UniqueFd write;
    };
    enum class PollResult { kReady, kTimedOut, kInterrupted, kFailed };
    // Waits until the socket reports `events`, the time runs out or an interrupt arrives.
    PollResult PollSocket(int fd, short events, std::int32_t timeoutMs);

    std::function<void()> PrepareLookupSignal() override;
    LookupWait WaitForLookup() override;
    ConnectOutcome ConnectTo(const addrinfo& address, std::int32_t timeoutMs) override;

    UniqueFd socket_;
    UniqueFd wakeRead_;
    UniqueFd wakeWrite_;
    // Written by the name lookup's thread when it is done; shared with it, for it may end after this transport.
    std::shared_ptr<Pipe> lookupDone_;
    std::atomic<bool> interrupted_{false};
    std::int32_t ioTimeoutMs_ = 10000;
    ConnectFailure openFailure_ = ConnectFailure::kNone;
};

}  // namespace zendrel
