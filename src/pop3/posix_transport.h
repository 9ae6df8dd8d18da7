#pragma once
// The transport over POSIX TCP sockets.

#include <atomic>
#include <cstdint>
#include <memory>

#include "pop3/transport.h"

namespace zendrel {

// Owns one file descriptor and closes it.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// Non-blocking socket, waits in poll(). A self-pipe wakes a wait when Interrupt() is called from another thread; when
// the pipe cannot be had, waits run in short slices that look at the interrupt flag instead.
class PosixTransport final : public Transport {
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
    enum class PollResult { kReady, kTimedOut, kInterrupted, kFailed };
    // Waits until the socket reports `events`, the time runs out or an interrupt arrives.
    PollResult PollSocket(int fd, short events, std::int32_t timeoutMs);
    OpenResult ConnectTo(const void* address, unsigned addressLength, int family, std::int32_t timeoutMs);
    // A connect that failed with the system's `error`: kFailed, its reason kept for OpenFailure().
    OpenResult Refusal(int error);
    // getaddrinfo on a thread of its own, so that a stop does not wait for a slow name server.
    struct Lookup;
    std::shared_ptr<Lookup> StartLookup(const std::string& host, std::int32_t port);

    UniqueFd socket_;
    UniqueFd wakeRead_;
    UniqueFd wakeWrite_;
    std::atomic<bool> interrupted_{false};
    std::int32_t ioTimeoutMs_ = 10000;
    ConnectFailure openFailure_ = ConnectFailure::kNone;
};

}  // namespace zendrel
