#include "net/loopback_listener.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>

#include "net/winsock_handles.h"
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include "common/unique_fd_posix.h"
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <vector>

#include "common/steady_time.h"

namespace zendrel {
namespace {

// The few calls where Winsock and POSIX sockets differ in name or type.
#if defined(_WIN32)
using Socket = UniqueSocket;
using PollEntry = WSAPOLLFD;
bool Started() { return StartWinsock(); }
Socket NewSocket(int family) {
    Socket socket(::socket(family, SOCK_STREAM, IPPROTO_TCP));
    u_long nonBlocking = 1;
    // No other program may bind the port beside this one (Windows lets SO_REUSEADDR take over a bound port) and be
    // handed the browser's redirect.
    const BOOL exclusive = TRUE;
    if (socket && (ioctlsocket(socket.get(), FIONBIO, &nonBlocking) != 0 ||
                   setsockopt(socket.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                              sizeof exclusive) != 0)) {
        socket.reset();
    }
    return socket;
}
Socket AcceptFrom(const Socket& listening) {
    Socket socket(::accept(listening.get(), nullptr, nullptr));
    u_long nonBlocking = 1;
    if (socket && ioctlsocket(socket.get(), FIONBIO, &nonBlocking) != 0) socket.reset();
    return socket;
}
int PollSockets(std::vector<PollEntry>& entries, int timeoutMs) {
    return WSAPoll(entries.data(), static_cast<ULONG>(entries.size()), timeoutMs);
}
bool WouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }
constexpr int kSendFlags = 0;
#else
using Socket = UniqueFd;
using PollEntry = pollfd;
bool Started() { return true; }
// Close-on-exec from the start: a program that another thread starts meanwhile must not inherit the socket.
Socket NewSocket(int family) { return Socket(::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)); }
Socket AcceptFrom(const Socket& listening) {
    return Socket(::accept4(listening.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
}
int PollSockets(std::vector<PollEntry>& entries, int timeoutMs) {
    return ::poll(entries.data(), static_cast<nfds_t>(entries.size()), timeoutMs);
}
bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }
constexpr int kSendFlags = MSG_NOSIGNAL;
#endif

// A cancel is noticed at the end of a slice.
constexpr std::int64_t kCancelSliceMs = 50;
constexpr std::size_t kMostPendingConnections = 8;
// The answer is a short page; a browser that does not take it within this is left.
constexpr std::int64_t kAnswerTimeoutMs = 2000;

// Listens on `family`'s loopback address at `port` (0: any free one); none when that cannot be had.
Socket Listen(int family, std::uint16_t port) {
    Socket socket = NewSocket(family);
    if (!socket) return {};
    int bound = -1;
    if (family == AF_INET) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        bound = ::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } else {
        // Only IPv6 on this socket: the IPv4 loopback has its own.
        int only = 1;
        ::setsockopt(socket.get(), IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&only), sizeof only);
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_loopback;
        address.sin6_port = htons(port);
        bound = ::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    if (bound != 0 || ::listen(socket.get(), 8) != 0) return {};
    return socket;
}

std::uint16_t PortOf(const Socket& socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

const char* ReasonOf(int status) {
    switch (status) {
        case 200: return "OK";
        case 400: return "Bad Request";
        case 404: return "Not Found";
        default: return "Error";
    }
}

class SocketLoopbackListener final : public LoopbackListener {
public:
    bool Open() {
        if (!Started()) return false;
        // The IPv6 loopback at the same port where the system has one; when that port is taken there, another pair
        // is tried, and after a few tries IPv4 alone serves (browsers fall back to 127.0.0.1 for "localhost").
        for (int attempt = 0; attempt < 5; ++attempt) {
            Socket v4 = Listen(AF_INET, 0);
            if (!v4) return false;
            const std::uint16_t port = PortOf(v4);
            Socket v6 = Listen(AF_INET6, port);
            if (v6 || attempt == 4) {
                port_ = port;
                listening_.push_back(std::move(v4));
                if (v6) listening_.push_back(std::move(v6));
                return port_ != 0;
            }
        }
        return false;
    }

    std::uint16_t Port() const override { return port_; }

    ListenedRequest Next(std::int64_t deadlineMs) override {
        connection_.reset();
        for (;;) {
            if (cancelled_.load()) return {ListenOutcome::kCancelled, {}};
            const std::int64_t now = SteadyMilliseconds();
            // A client that has not sent its head in time is dropped; the others go on.
            std::erase_if(pending_, [&](const Pending& pending) { return pending.deadlineMs <= now; });
            if (now >= deadlineMs) return {ListenOutcome::kTimedOut, {}};
            std::vector<PollEntry> entries;
            for (const Socket& socket : listening_) entries.push_back({socket.get(), POLLIN, 0});
            for (const Pending& pending : pending_) entries.push_back({pending.socket.get(), POLLIN, 0});
            const int ready = PollSockets(entries, static_cast<int>(std::min(deadlineMs - now, kCancelSliceMs)));
            if (ready < 0 && !WouldBlock()) return {ListenOutcome::kFailed, {}};
            if (ready <= 0) continue;
            const std::size_t listeners = listening_.size();
            for (std::size_t i = 0; i < listeners; ++i) {
                if ((entries[i].revents & (POLLERR | POLLNVAL)) != 0) return {ListenOutcome::kFailed, {}};
            }
            for (std::size_t i = 0; i < pending_.size(); ++i) {
                if (entries[listeners + i].revents == 0) continue;
                Pending& pending = pending_[i];
                if (!ReadMore(pending)) {
                    pending.deadlineMs = 0;  // dropped at the next turn
                    continue;
                }
                const std::size_t headEnd = pending.head.find("\r\n\r\n");
                if (headEnd == std::string::npos) continue;
                ListenedRequest request{ListenOutcome::kRequest, pending.head.substr(0, pending.head.find("\r\n"))};
                connection_ = std::move(pending.socket);
                pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(i));
                return request;
            }
            for (std::size_t i = 0; i < listeners; ++i) {
                if ((entries[i].revents & POLLIN) == 0) continue;
                Socket connection = AcceptFrom(listening_[i]);
                if (!connection) continue;
                // Browsers open connections ahead that may never send anything; beyond a few the oldest goes.
                if (pending_.size() == kMostPendingConnections) pending_.erase(pending_.begin());
                pending_.push_back({std::move(connection), {}, now + kRequestHeadTimeoutMs});
            }
        }
    }

    void Answer(int status, std::string_view html) override {
        if (!connection_) return;
        std::string answer = "HTTP/1.1 " + std::to_string(status) + " " + ReasonOf(status) +
                             "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                             std::to_string(html.size()) +
                             "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n";
        answer.append(html);
        const std::int64_t deadline = SteadyMilliseconds() + kAnswerTimeoutMs;
        std::size_t sent = 0;
        while (sent < answer.size()) {
            const auto count = ::send(connection_.get(), answer.data() + sent, static_cast<int>(answer.size() - sent),
                                      kSendFlags);
            if (count > 0) {
                sent += static_cast<std::size_t>(count);
                continue;
            }
            std::vector<PollEntry> entries{{connection_.get(), POLLOUT, 0}};
            if (count < 0 && !WouldBlock()) break;
            if (Wait(entries, deadline) != ListenOutcome::kRequest) break;
        }
        connection_.reset();
    }

    void Cancel() override { cancelled_.store(true); }

private:
    // Polls `entries` in slices until one is ready (kRequest), the deadline passes or a cancel comes.
    ListenOutcome Wait(std::vector<PollEntry>& entries, std::int64_t deadlineMs) {
        for (;;) {
            if (cancelled_.load()) return ListenOutcome::kCancelled;
            const std::int64_t left = deadlineMs - SteadyMilliseconds();
            if (left <= 0) return ListenOutcome::kTimedOut;
            const int ready = PollSockets(entries, static_cast<int>(std::min(left, kCancelSliceMs)));
            if (ready > 0) return ListenOutcome::kRequest;
            if (ready < 0 && !WouldBlock()) return ListenOutcome::kFailed;
        }
    }

    struct Pending {
        Socket socket;
        std::string head;  // what it has sent so far
        std::int64_t deadlineMs = 0;
    };

    // Takes what `pending` has sent; false when it closed, failed or sent more than a head may be.
    static bool ReadMore(Pending& pending) {
        char buffer[1024];
        const auto count = ::recv(pending.socket.get(), buffer, sizeof buffer, 0);
        if (count < 0) return WouldBlock();
        if (count == 0) return false;
        pending.head.append(buffer, static_cast<std::size_t>(count));
        return pending.head.size() <= kLongestRequestHead;
    }

    std::vector<Socket> listening_;
    std::uint16_t port_ = 0;
    std::vector<Pending> pending_;
    Socket connection_;  // the one Next() handed out, until Answer()
    std::atomic<bool> cancelled_{false};
};

}  // namespace

std::unique_ptr<LoopbackListener> OpenLoopbackListener() {
    auto listener = std::make_unique<SocketLoopbackListener>();
    if (!listener->Open()) return nullptr;
    return listener;
}

}  // namespace zendrel
