#include "pop3/posix_transport.h"

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
#include <system_error>
#include <thread>

#include "common/steady_time.h"

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

}  // namespace

// The state a name lookup shares with its thread, which may outlive the transport when a stop does not wait for it.
struct PosixTransport::Lookup {
    UniqueFd doneRead;
    UniqueFd doneWrite;
    addrinfo* addresses = nullptr;
    int status = EAI_FAIL;
    ~Lookup() {
        if (addresses != nullptr) ::freeaddrinfo(addresses);
    }
};

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
}

int UniqueFd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

PosixTransport::PosixTransport() {
    if (!MakePipe(wakeRead_, wakeWrite_)) {
        wakeRead_.reset();
        wakeWrite_.reset();
    }
}

PosixTransport::~PosixTransport() = default;

std::shared_ptr<PosixTransport::Lookup> PosixTransport::StartLookup(const std::string& host, std::int32_t port) {
    auto lookup = std::make_shared<Lookup>();
    if (!MakePipe(lookup->doneRead, lookup->doneWrite)) return nullptr;
    try {
        std::thread([lookup, host, service = std::to_string(port)] {
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            hints.ai_protocol = IPPROTO_TCP;
            lookup->status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &lookup->addresses);
            const char done = 1;
            [[maybe_unused]] const ssize_t written = ::write(lookup->doneWrite.get(), &done, 1);
        }).detach();
    } catch (const std::system_error&) {
        return nullptr;
    }
    return lookup;
}

OpenResult PosixTransport::Open(const std::string& host, std::int32_t port, std::int32_t timeoutMs) {
    Close();
    ioTimeoutMs_ = timeoutMs;
    openFailure_ = ConnectFailure::kOther;
    const std::shared_ptr<Lookup> lookup = StartLookup(host, port);
    if (!lookup) return OpenResult::kFailed;
    // The resolver's own time-outs bound the lookup; only a stop cuts it short.
    for (;;) {
        const PollResult waited = PollSocket(lookup->doneRead.get(), POLLIN, 60000);
        if (waited == PollResult::kReady) break;
        if (waited == PollResult::kInterrupted) return OpenResult::kInterrupted;
        if (waited == PollResult::kFailed) return OpenResult::kFailed;
    }
    if (lookup->status != 0) {
        // A name server that cannot be asked leaves the name as unknown to the user as one that says it is none.
        const bool unknown = lookup->status == EAI_NONAME || lookup->status == EAI_AGAIN || lookup->status == EAI_FAIL
#ifdef EAI_NODATA
                             || lookup->status == EAI_NODATA
#endif
            ;
        openFailure_ = unknown ? ConnectFailure::kNoSuchHost : ConnectFailure::kOther;
        return OpenResult::kFailed;
    }
    // Each address gets the whole time-out, so that an unreachable IPv6 route still leaves time for IPv4. The reason
    // reported is that of the last address tried.
    for (const addrinfo* address = lookup->addresses; address != nullptr; address = address->ai_next) {
        const OpenResult result = ConnectTo(address->ai_addr, address->ai_addrlen, address->ai_family, timeoutMs);
        if (result != OpenResult::kFailed) return result;
    }
    return OpenResult::kFailed;
}

OpenResult PosixTransport::ConnectTo(const void* address, unsigned addressLength, int family, std::int32_t timeoutMs) {
    UniqueFd fd(::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
    if (!fd.valid()) return OpenResult::kFailed;
#ifndef MSG_NOSIGNAL
    const int noSigPipe = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_NOSIGPIPE, &noSigPipe, sizeof noSigPipe);
#endif
    if (::connect(fd.get(), static_cast<const sockaddr*>(address), addressLength) != 0) {
        if (errno != EINPROGRESS) return Refusal(errno);
        switch (PollSocket(fd.get(), POLLOUT, timeoutMs)) {
            case PollResult::kReady:
                break;
            case PollResult::kInterrupted:
                return OpenResult::kInterrupted;
            case PollResult::kTimedOut:
                openFailure_ = ConnectFailure::kTimedOut;
                return OpenResult::kFailed;
            case PollResult::kFailed:
                openFailure_ = ConnectFailure::kOther;
                return OpenResult::kFailed;
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
    return OpenResult::kConnected;
}

OpenResult PosixTransport::Refusal(int error) {
    openFailure_ = error == ECONNREFUSED ? ConnectFailure::kRefused
                   : error == ETIMEDOUT  ? ConnectFailure::kTimedOut
                                         : ConnectFailure::kOther;
    return OpenResult::kFailed;
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

}  // namespace zendrel
