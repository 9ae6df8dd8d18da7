#include "net/posix_transport.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "common/steady_time.h"
#include "net/socket_transport.h"

namespace zendrel {
namespace {

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;  // SO_NOSIGPIPE is set on the socket instead
#endif

// Without a wake-up pipe an interrupt is noticed at the end of a slice.
constexpr std::int32_t kInterruptSliceMs = 10;

std::int64_t NowMs() { return SteadyMilliseconds(); }

// Close-on-exec from the start: a program that another thread starts at this moment must not inherit the socket.
bool MakePipe(UniqueFd& readEnd, UniqueFd& writeEnd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    readEnd.reset(fds[0]);
    writeEnd.reset(fds[1]);
    return true;
}

// A connect that the system refused with `error`.
ConnectOutcome Refusal(int error) {
    return {OpenResult::kFailed, error == ECONNREFUSED ? ConnectFailure::kRefused
                                 : error == ETIMEDOUT  ? ConnectFailure::kTimedOut
                                                       : ConnectFailure::kOther};
}

}  // namespace

PosixTransport::PosixTransport() {
    if (!MakePipe(wakeRead_, wakeWrite_)) {
        wakeRead_.reset();
        wakeWrite_.reset();
    }
}

PosixTransport::~PosixTransport() = default;

OpenResult PosixTransport::Open(const std::string& host, std::int32_t port, std::int32_t timeoutMs) {
    Close();
    ioTimeoutMs_ = timeoutMs;
    const ConnectOutcome outcome = ConnectToHost(*this, host, port, timeoutMs);
    lookupDone_.reset();
    openFailure_ = outcome.failure;
    return outcome.result;
}

std::function<void()> PosixTransport::PrepareLookupSignal() {
    auto done = std::make_shared<Pipe>();
    if (!MakePipe(done->read, done->write)) return {};
    lookupDone_ = done;
    return [done] {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(done->write.get(), &byte, 1);
    };
}

LookupWait PosixTransport::WaitForLookup() {
    for (;;) {
        switch (PollSocket(lookupDone_->read.get(), POLLIN, 60000)) {
            case PollResult::kReady:
                return LookupWait::kDone;
            case PollResult::kInterrupted:
                return LookupWait::kInterrupted;
            case PollResult::kFailed:
                return LookupWait::kFailed;
            case PollResult::kTimedOut:
                break;
        }
    }
}

ConnectOutcome PosixTransport::ConnectTo(const addrinfo& address, std::int32_t timeoutMs) {
    UniqueFd fd(::socket(address.ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
    if (!fd.valid()) return {};
#ifndef MSG_NOSIGNAL
    const int noSigPipe = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_NOSIGPIPE, &noSigPipe, sizeof noSigPipe);
#endif
    if (::connect(fd.get(), address.ai_addr, address.ai_addrlen) != 0) {
        if (errno != EINPROGRESS) return Refusal(errno);
        switch (PollSocket(fd.get(), POLLOUT, timeoutMs)) {
            case PollResult::kReady:
                break;
            case PollResult::kInterrupted:
                return {OpenResult::kInterrupted, ConnectFailure::kOther};
            case PollResult::kTimedOut:
                return {OpenResult::kFailed, ConnectFailure::kTimedOut};
            case PollResult::kFailed:
                return {};
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return Refusal(errno);
        if (error != 0) return Refusal(error);
    }
    // Every command goes out in one piece and waits for its answer; there is nothing to coalesce.
    const int noDelay = 1;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    socket_ = std::move(fd);
    return {OpenResult::kConnected, ConnectFailure::kNone};
}

PosixTransport::PollResult PosixTransport::PollSocket(int fd, short events, std::int32_t timeoutMs) {
    const std::int64_t deadline = NowMs() + std::max<std::int32_t>(timeoutMs, 0);
    for (;;) {
        if (interrupted_.load()) return PollResult::kInterrupted;
        pollfd watched[2] = {{fd, events, 0}, {wakeRead_.get(), POLLIN, 0}};
        const nfds_t count = wakeRead_.valid() ? 2 : 1;
        std::int64_t wait = std::max<std::int64_t>(deadline - NowMs(), 0);
        if (!wakeRead_.valid()) wait = std::min<std::int64_t>(wait, kInterruptSliceMs);
        const int ready = ::poll(watched, count, static_cast<int>(wait));
        if (ready < 0) {
            if (errno == EINTR) continue;
            return PollResult::kFailed;
        }
        if (count == 2 && watched[1].revents != 0) return PollResult::kInterrupted;
        if (watched[0].revents & POLLNVAL) return PollResult::kFailed;
        if (watched[0].revents != 0) return PollResult::kReady;
        if (NowMs() >= deadline) return interrupted_.load() ? PollResult::kInterrupted : PollResult::kTimedOut;
    }
}

WaitResult PosixTransport::WaitReadable(std::int32_t timeoutMs) {
    if (!socket_.valid()) return WaitResult::kClosed;
    const std::int64_t deadline = NowMs() + std::max<std::int32_t>(timeoutMs, 0);
    for (;;) {
        const std::int32_t remaining = static_cast<std::int32_t>(std::max<std::int64_t>(deadline - NowMs(), 0));
        switch (PollSocket(socket_.get(), POLLIN, remaining)) {
            case PollResult::kInterrupted:
                return WaitResult::kInterrupted;
            case PollResult::kTimedOut:
                return WaitResult::kTimedOut;
            case PollResult::kFailed:
                return WaitResult::kFailed;
            case PollResult::kReady:
                break;
        }
        // Readable also means closed or broken; one peeked byte tells them apart.
        char probe;
        const ssize_t peeked = ::recv(socket_.get(), &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (peeked > 0) return WaitResult::kReadable;
        if (peeked == 0) return WaitResult::kClosed;
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return WaitResult::kFailed;
        if (NowMs() >= deadline) return WaitResult::kTimedOut;
    }
}

std::ptrdiff_t PosixTransport::Read(char* buffer, std::size_t size) {
    if (!socket_.valid()) return -1;
    for (;;) {
        const ssize_t count = ::recv(socket_.get(), buffer, size, MSG_DONTWAIT);
        if (count >= 0) return count;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

bool PosixTransport::Send(std::string_view bytes) {
    if (!socket_.valid()) return false;
    while (!bytes.empty()) {
        const ssize_t count = ::send(socket_.get(), bytes.data(), bytes.size(), kSendFlags);
        if (count >= 0) {
            bytes.remove_prefix(static_cast<std::size_t>(count));
            continue;
        }
        if (errno == EINTR) continue;
        // A full send buffer drains as the server reads; one that does not within the time-out is a dead peer.
        if ((errno == EAGAIN || errno == EWOULDBLOCK) &&
            PollSocket(socket_.get(), POLLOUT, ioTimeoutMs_) == PollResult::kReady) {
            continue;
        }
        return false;
    }
    return true;
}

void PosixTransport::Close() { socket_.reset(); }

void PosixTransport::Interrupt() {
    interrupted_.store(true);
    if (wakeWrite_.valid()) {
        const char wake = 1;
        // A full pipe already wakes every wait, so a failed write loses nothing.
        [[maybe_unused]] const ssize_t written = ::write(wakeWrite_.get(), &wake, 1);
    }
}

void PosixTransport::ClearInterrupt() {
    interrupted_.store(false);
    if (!wakeRead_.valid()) return;
    char drained[64];
    while (::read(wakeRead_.get(), drained, sizeof drained) > 0) {
    }
}

std::unique_ptr<Transport> CreateSocketTransport() { return std::make_unique<PosixTransport>(); }

}  // namespace zendrel
