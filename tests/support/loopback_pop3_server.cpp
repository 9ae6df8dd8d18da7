#include "loopback_pop3_server.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdlib>

namespace zendrel::testsupport {
namespace {

#if defined(_WIN32)
// Winsock's sockets are unsigned handles, but small ones, and an int lets the server be one file for both systems.
constexpr int MSG_NOSIGNAL = 0;
int CloseSocket(int fd) { return ::closesocket(static_cast<SOCKET>(fd)); }
int PollSockets(pollfd* fds, unsigned long count, int timeoutMs) { return ::WSAPoll(fds, count, timeoutMs); }
// The server may listen before any transport has started Winsock.
bool StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}
#else
int CloseSocket(int fd) { return ::close(fd); }
int PollSockets(pollfd* fds, nfds_t count, int timeoutMs) { return ::poll(fds, count, timeoutMs); }
bool StartWinsock() { return true; }
#endif

// The server thread looks at its stop flag this often while it waits.
constexpr int kPollSliceMs = 20;

int ListenOnLoopback(std::int32_t& port) {
    if (!StartWinsock()) return -1;
    const int fd = static_cast<int>(::socket(AF_INET, SOCK_STREAM, 0));
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        CloseSocket(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

std::string DotStuffed(const std::string& message) {
    std::string stuffed;
    bool lineStart = true;
    for (const char c : message) {
        if (lineStart && c == '.') stuffed += '.';
        stuffed += c;
        lineStart = c == '\n';
    }
    return stuffed;
}

}  // namespace

LoopbackPop3Server::LoopbackPop3Server(std::string user, std::string password, std::vector<std::string> messages)
    : user_(std::move(user)), password_(std::move(password)), messages_(std::move(messages)) {
    listenFd_ = ListenOnLoopback(port_);
    if (listenFd_ >= 0) thread_ = std::thread([this] { Serve(); });
}

LoopbackPop3Server::~LoopbackPop3Server() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listenFd_ >= 0) CloseSocket(listenFd_);
}

bool LoopbackPop3Server::WaitUntilStalled(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return stalled_.wait_for(lock, limit, [this] { return stallStarted_; });
}

bool LoopbackPop3Server::WaitUntilClientLeft(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return stalled_.wait_for(lock, limit, [this] { return clientLeft_; });
}

void LoopbackPop3Server::MarkStalled() {
    {
        std::lock_guard lock(mutex_);
        stallStarted_ = true;
    }
    stalled_.notify_all();
}

std::vector<std::string> LoopbackPop3Server::commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

void LoopbackPop3Server::Serve() {
    while (!stop_) {
        pollfd listening{};
        listening.fd = listenFd_;  // a Winsock SOCKET on Windows
        listening.events = POLLIN;
        if (PollSockets(&listening, 1, kPollSliceMs) <= 0) continue;
        const int fd = static_cast<int>(::accept(listenFd_, nullptr, nullptr));
        if (fd < 0) continue;
        {
            std::lock_guard lock(mutex_);
            clientLeft_ = false;
        }
        ServeConnection(fd);
        CloseSocket(fd);
        {
            std::lock_guard lock(mutex_);
            clientLeft_ = true;
        }
        stalled_.notify_all();
    }
}

void LoopbackPop3Server::ServeConnection(int fd) {
    if (silentBeforeGreeting_) {
        MarkStalled();
        WaitForPeerToLeave(fd);
        return;
    }
    if (!SendAll(fd, "+OK loopback POP3 ready\r\n")) return;
    std::string pending;
    char buffer[4096];
    while (!stop_) {
        pollfd readable{};
        readable.fd = fd;  // a Winsock SOCKET on Windows
        readable.events = POLLIN;
        if (PollSockets(&readable, 1, kPollSliceMs) <= 0) continue;
        const auto count = ::recv(fd, buffer, sizeof buffer, 0);
        if (count <= 0) return;
        pending.append(buffer, static_cast<std::size_t>(count));
        for (std::size_t end; (end = pending.find("\r\n")) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 2);
            {
                std::lock_guard lock(mutex_);
                commands_.push_back(line);
            }
            if (!Answer(fd, line)) return;
        }
    }
}

// Whether `flag` holds `number`; if so it is cleared, so the fault happens once.
bool TakeIfEqual(std::atomic<int>& flag, int number) {
    int expected = number;
    return flag.compare_exchange_strong(expected, 0);
}

bool LoopbackPop3Server::Answer(int fd, const std::string& line) {
    const std::string verb = line.substr(0, line.find(' '));
    const std::string argument = line.size() > verb.size() ? line.substr(verb.size() + 1) : std::string();
    const int number = std::atoi(argument.c_str());
    const bool validNumber = number >= 1 && number <= static_cast<int>(messages_.size());
    if (verb == "CAPA") return SendAll(fd, "+OK\r\nTOP\r\nUSER\r\nUIDL\r\n.\r\n");
    if (verb == "USER") return SendAll(fd, argument == user_ ? "+OK\r\n" : "-ERR unknown user\r\n");
    if (verb == "PASS") return SendAll(fd, argument == password_ ? "+OK logged in\r\n" : "-ERR wrong password\r\n");
    if (verb == "STAT") {
        std::size_t octets = 0;
        for (const std::string& message : messages_) octets += message.size();
        return SendAll(fd, "+OK " + std::to_string(messages_.size()) + " " + std::to_string(octets) + "\r\n");
    }
    if (verb == "LIST") {
        if (refuseList_) return SendAll(fd, "-ERR not here\r\n");
        if (!argument.empty()) {
            if (!validNumber) return SendAll(fd, "-ERR no such message\r\n");
            return SendAll(fd, "+OK " + argument + " " + std::to_string(messages_[number - 1].size()) + "\r\n");
        }
        std::string list = "+OK\r\n";
        for (std::size_t i = 0; i < messages_.size(); ++i) {
            list += std::to_string(i + 1) + " " + std::to_string(messages_[i].size()) + "\r\n";
        }
        return SendAll(fd, list + ".\r\n");
    }
    if (verb == "DELE") return SendAll(fd, validNumber ? "+OK deleted\r\n" : "-ERR no such message\r\n");
    if ((verb == "TOP" || verb == "RETR") && validNumber) {
        std::size_t endAfter = 0;
        {
            std::lock_guard lock(mutex_);
            if (verb == longReplyVerb_ && number == longReplyMessage_) endAfter = longReplyEnd_;
        }
        if (endAfter != 0) return SendLongReply(fd, endAfter);
    }
    if (verb == "TOP" && validNumber) {
        const std::string& message = messages_[number - 1];
        const std::string header = message.substr(0, message.find("\r\n\r\n") + 4);
        return SendAll(fd, "+OK\r\n" + DotStuffed(header) + ".\r\n");
    }
    const auto wholeReply = [&] {
        const std::string& message = messages_[number - 1];
        return "+OK " + std::to_string(message.size()) + " octets\r\n" + DotStuffed(message) + ".\r\n";
    };
    if (verb == "RETR" && validNumber && TakeIfEqual(stalledMessage_, number)) {
        if (!SendAll(fd, wholeReply().substr(0, cutAt_))) return false;
        MarkStalled();
        WaitForPeerToLeave(fd);
        return false;
    }
    if (verb == "RETR" && validNumber && TakeIfEqual(closedMessage_, number)) {
        SendAll(fd, wholeReply().substr(0, cutAt_));
        if (resetOnClose_) {
            // A zero linger time makes the close a reset, as a crashing server or a broken route would.
            const linger abort{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
        }
        return false;
    }
    if (verb == "RETR" && validNumber) return SendAll(fd, wholeReply());
    if (verb == "QUIT") {
        SendAll(fd, "+OK bye\r\n");
        return false;
    }
    return SendAll(fd, "-ERR\r\n");
}

bool LoopbackPop3Server::SendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size() && !stop_) {
        const auto count = ::send(fd, bytes.data() + sent, static_cast<int>(bytes.size() - sent), MSG_NOSIGNAL);
        if (count < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        sent += static_cast<std::size_t>(count);
    }
    return sent == bytes.size();
}

bool LoopbackPop3Server::SendLongReply(int fd, std::size_t endAfter) {
    if (!SendAll(fd, "+OK\r\n")) return false;
    std::string lines;
    while (lines.size() < 65536) lines += "X-Filler: " + std::string(88, 'x') + "\r\n";
    for (std::size_t sent = 0; sent < endAfter; sent += lines.size()) {
        // A client that has gone away ends the reply: the send fails.
        if (stop_ || !SendAll(fd, lines)) return false;
    }
    return SendAll(fd, "\r\n.\r\n");
}

void LoopbackPop3Server::WaitForPeerToLeave(int fd) {
    std::string received;
    char buffer[256];
    while (!stop_) {
        pollfd readable{};
        readable.fd = fd;  // a Winsock SOCKET on Windows
        readable.events = POLLIN;
        if (PollSockets(&readable, 1, kPollSliceMs) <= 0) continue;
        const auto count = ::recv(fd, buffer, sizeof buffer, 0);
        if (count <= 0) return;
        received.append(buffer, static_cast<std::size_t>(count));
        if (received.find("QUIT\r\n") != std::string::npos) {
            {
                std::lock_guard lock(mutex_);
                commands_.push_back("QUIT");
            }
            SendAll(fd, "+OK bye\r\n");
            return;
        }
    }
}

std::int32_t UnusedLoopbackPort() {
    std::int32_t port = 0;
    const int fd = ListenOnLoopback(port);
    if (fd < 0) return 0;
    CloseSocket(fd);
    return port;
}

}  // namespace zendrel::testsupport
