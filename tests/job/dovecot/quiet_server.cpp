#include "quiet_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zendrel::testsupport {
namespace {

constexpr const char* kHeader =
    "From: Sender <sender@example.org>\r\nSubject: Stalled\r\nMessage-ID: <stalled.1@zendrel.test>\r\n\r\n";

bool SendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

QuietPop3Server::QuietPop3Server(Silence silence) : silence_(silence) {
    if (::pipe(stopPipe_) != 0) return;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return;
    }
    listenFd_ = fd;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

QuietPop3Server::~QuietPop3Server() {
    if (stopPipe_[1] >= 0) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t written = ::write(stopPipe_[1], &stop, 1);
    }
    if (thread_.joinable()) thread_.join();
    for (int fd : {listenFd_, stopPipe_[0], stopPipe_[1]}) {
        if (fd >= 0) ::close(fd);
    }
}

bool QuietPop3Server::WaitUntilSilent(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return silent_; });
}

bool QuietPop3Server::WaitUntilClientLeft(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return clientLeft_; });
}

std::vector<std::string> QuietPop3Server::Commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

void QuietPop3Server::Serve() {
    pollfd waits[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (::poll(waits, 2, -1) <= 0 || (waits[1].revents & POLLIN) != 0) return;
    const int fd = ::accept(listenFd_, nullptr, nullptr);
    if (fd < 0) return;
    Converse(fd);
    ::close(fd);
}

// Answers until the silence begins, then only listens: for commands (they are recorded, never answered) and for the
// client closing the connection.
void QuietPop3Server::Converse(int fd) {
    bool talking = silence_ != Silence::BeforeGreeting;
    if (!talking) {
        std::lock_guard<std::mutex> lock(mutex_);
        silent_ = true;
        changed_.notify_all();
    } else if (!SendAll(fd, "+OK quiet server ready\r\n")) {
        return;
    }
    std::string pending;
    for (;;) {
        pollfd waits[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(waits, 2, -1) <= 0 || (waits[1].revents & POLLIN) != 0) return;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            clientLeft_ = true;
            changed_.notify_all();
            return;
        }
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = pending.find("\r\n")) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 2);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                commands_.push_back(line);
            }
            if (talking) talking = Answer(fd, line);
        }
    }
}

// Answers one command; false once the server has fallen silent.
bool QuietPop3Server::Answer(int fd, const std::string& line) {
    std::string reply;
    if (line == "CAPA") {
        reply = "+OK\r\nTOP\r\nUSER\r\n.\r\n";
    } else if (line.rfind("USER ", 0) == 0 || line.rfind("PASS ", 0) == 0) {
        reply = "+OK\r\n";
    } else if (line == "STAT") {
        reply = "+OK 1 2000\r\n";
    } else if (line == "TOP 1 0") {
        reply = std::string("+OK\r\n") + kHeader + ".\r\n";
    } else if (line == "RETR 1") {
        // The reply's start, then nothing: the message never ends.
        SendAll(fd, std::string("+OK 2000 octets\r\n") + kHeader + "The first lines of the body\r\n");
        std::lock_guard<std::mutex> lock(mutex_);
        silent_ = true;
        changed_.notify_all();
        return false;
    } else if (line == "QUIT") {
        reply = "+OK bye\r\n";
    } else {
        reply = "-ERR not here\r\n";
    }
    SendAll(fd, reply);
    return true;
}

}  // namespace zendrel::testsupport
