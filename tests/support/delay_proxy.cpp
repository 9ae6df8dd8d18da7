#include "delay_proxy.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <cerrno>
#include <deque>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace zendrel::testsupport {
namespace {

using Clock = std::chrono::steady_clock;

int ConnectTo(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
    int fd = -1;
    for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (fd >= 0 && ::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    return fd;
}

void NoDelay(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// The counts of all connections, shared by their pipes.
struct TrafficCount {
    std::mutex mutex;
    DelayProxy::Traffic traffic;

    void Add(bool toServer, const char* bytes, std::size_t count) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!toServer) {
            traffic.toClientBytes += count;
            return;
        }
        traffic.toServerBytes += count;
        const std::size_t room = DelayProxy::kKeptClientBytes - std::min(DelayProxy::kKeptClientBytes,
                                                                         traffic.toServer.size());
        traffic.toServer.append(bytes, std::min(room, count));
    }
};

// One direction of one connection: a reader stamps each piece with the time it may leave, a writer sends it then.
class DelayedPipe {
public:
    DelayedPipe(int from, int to, std::chrono::milliseconds delay, TrafficCount& count, bool toServer)
        : from_(from), to_(to), delay_(delay), count_(count), toServer_(toServer) {
        reader_ = std::thread([this] { ReadLoop(); });
        writer_ = std::thread([this] { WriteLoop(); });
    }
    ~DelayedPipe() {
        reader_.join();
        writer_.join();
    }

private:
    struct Piece {
        Clock::time_point due;
        std::string bytes;  // empty: the sender closed its side
    };

    void ReadLoop() {
        std::vector<char> buffer(1 << 16);
        for (;;) {
            const ssize_t count = ::recv(from_, buffer.data(), buffer.size(), 0);
            const bool end = count <= 0;
            if (!end) count_.Add(toServer_, buffer.data(), static_cast<std::size_t>(count));
            {
                std::lock_guard<std::mutex> lock(mutex_);
                pieces_.push_back({Clock::now() + delay_, end ? std::string() : std::string(buffer.data(), count)});
            }
            ready_.notify_one();
            if (end) return;
        }
    }

    void WriteLoop() {
        for (;;) {
            Piece piece;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                ready_.wait(lock, [this] { return !pieces_.empty(); });
                piece = std::move(pieces_.front());
                pieces_.pop_front();
            }
            std::this_thread::sleep_until(piece.due);
            if (piece.bytes.empty()) {
                ::shutdown(to_, SHUT_WR);
                return;
            }
            for (std::size_t sent = 0; sent < piece.bytes.size();) {
                const ssize_t count = ::send(to_, piece.bytes.data() + sent, piece.bytes.size() - sent, MSG_NOSIGNAL);
                if (count <= 0) {
                    // The receiver is gone: stop the other side from sending more.
                    ::shutdown(from_, SHUT_RD);
                    Drain();
                    return;
                }
                sent += static_cast<std::size_t>(count);
            }
        }
    }

    // Lets the reader end after the receiver went away.
    void Drain() {
        for (;;) {
            std::unique_lock<std::mutex> lock(mutex_);
            ready_.wait(lock, [this] { return !pieces_.empty(); });
            const bool end = pieces_.front().bytes.empty();
            pieces_.pop_front();
            if (end) return;
        }
    }

    const int from_;
    const int to_;
    const std::chrono::milliseconds delay_;
    TrafficCount& count_;
    const bool toServer_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Piece> pieces_;
    std::thread reader_;
    std::thread writer_;
};

struct Connection {
    Connection(int client, int server, std::chrono::milliseconds delay, TrafficCount& count)
        : toServer(client, server, delay, count, true), toClient(server, client, delay, count, false) {}
    DelayedPipe toServer;
    DelayedPipe toClient;
};

}  // namespace

struct DelayProxy::State {
    int listener = -1;
    int port = 0;
    std::string targetHost;
    int targetPort = 0;
    std::chrono::milliseconds delay{0};
    std::thread acceptor;
    std::mutex mutex;
    std::list<std::thread> handlers;
    std::vector<int> openSockets;
    bool stopping = false;
    TrafficCount count;

    void AcceptLoop() {
        for (;;) {
            const int client = ::accept(listener, nullptr, nullptr);
            if (client < 0) return;  // the listener was shut down
            std::lock_guard<std::mutex> lock(mutex);
            if (stopping) {
                ::close(client);
                return;
            }
            openSockets.push_back(client);
            handlers.emplace_back([this, client] {
                const int server = ConnectTo(targetHost, targetPort);
                if (server >= 0) {
                    {
                        std::lock_guard<std::mutex> lock(mutex);
                        openSockets.push_back(server);
                    }
                    NoDelay(client);
                    NoDelay(server);
                    // Both pipes end when their reader meets the end of its side.
                    Connection connection(client, server, delay, count);
                }
                std::lock_guard<std::mutex> lock(mutex);
                std::erase(openSockets, client);
                ::close(client);
                if (server >= 0) {
                    std::erase(openSockets, server);
                    ::close(server);
                }
            });
        }
    }
};

std::unique_ptr<DelayProxy> DelayProxy::Start(const std::string& targetHost, int targetPort, int delayMs,
                                              std::string& reason) {
    auto state = std::make_unique<State>();
    state->targetHost = targetHost;
    state->targetPort = targetPort;
    state->delay = std::chrono::milliseconds(delayMs);
    state->listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (state->listener < 0 || ::bind(state->listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(state->listener, 16) != 0 ||
        ::getsockname(state->listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        reason = std::string("the proxy cannot listen: ") + std::strerror(errno);
        if (state->listener >= 0) ::close(state->listener);
        return nullptr;
    }
    state->port = ntohs(address.sin_port);
    State* raw = state.get();
    state->acceptor = std::thread([raw] { raw->AcceptLoop(); });
    return std::unique_ptr<DelayProxy>(new DelayProxy(std::move(state)));
}

DelayProxy::DelayProxy(std::unique_ptr<State> state) : state_(std::move(state)) {}

DelayProxy::~DelayProxy() {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->stopping = true;
        // Ends the readers of connections that are still open; their pipes then wind down.
        for (const int fd : state_->openSockets) ::shutdown(fd, SHUT_RDWR);
    }
    ::shutdown(state_->listener, SHUT_RDWR);
    state_->acceptor.join();
    ::close(state_->listener);
    for (std::thread& handler : state_->handlers) handler.join();
}

int DelayProxy::Port() const { return state_->port; }

DelayProxy::Traffic DelayProxy::TakeTraffic() {
    std::lock_guard<std::mutex> lock(state_->count.mutex);
    return std::exchange(state_->count.traffic, Traffic{});
}

}  // namespace zendrel::testsupport
