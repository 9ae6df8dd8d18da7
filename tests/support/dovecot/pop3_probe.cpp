#include "dovecot/pop3_probe.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zendrel::testsupport {

std::optional<Pop3Probe> Pop3Probe::Connect(const std::string& host, int port, int timeoutMs, std::string& error) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        error = "not an IPv4 address: " + host;
        return std::nullopt;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return std::nullopt;
    }
    Pop3Probe probe(fd);
    timeval limit{};
    limit.tv_sec = timeoutMs / 1000;
    limit.tv_usec = (timeoutMs % 1000) * 1000;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = std::string("connect: ") + std::strerror(errno);
        return std::nullopt;
    }
    const std::optional<std::string> greeting = probe.ReadLine();
    if (!greeting) {
        error = "no greeting";
        return std::nullopt;
    }
    probe.greeting_ = *greeting;
    return probe;
}

Pop3Probe::Pop3Probe(Pop3Probe&& other) noexcept
    : fd_(other.fd_), pending_(std::move(other.pending_)), greeting_(std::move(other.greeting_)) {
    other.fd_ = -1;
}

Pop3Probe& Pop3Probe::operator=(Pop3Probe&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        pending_ = std::move(other.pending_);
        greeting_ = std::move(other.greeting_);
        other.fd_ = -1;
    }
    return *this;
}

Pop3Probe::~Pop3Probe() { Close(); }

void Pop3Probe::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::optional<std::string> Pop3Probe::ReadLine() {
    for (;;) {
        const std::size_t end = pending_.find("\r\n");
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 2);
            return line;
        }
        char buffer[16384];
        const ssize_t count = ::recv(fd_, buffer, sizeof buffer, 0);
        if (count <= 0) {
            return std::nullopt;
        }
        pending_.append(buffer, static_cast<std::size_t>(count));
    }
}

std::string Pop3Probe::Command(const std::string& line) {
    const std::string text = line + "\r\n";
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t count = ::send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (count <= 0) {
            return "";
        }
        sent += static_cast<std::size_t>(count);
    }
    return ReadLine().value_or("");
}

std::vector<std::string> Pop3Probe::ReadLines() {
    std::vector<std::string> lines;
    for (;;) {
        std::optional<std::string> line = ReadLine();
        if (!line) {
            return {};
        }
        if (*line == ".") {
            return lines;
        }
        if (!line->empty() && (*line)[0] == '.') {
            line->erase(0, 1);
        }
        lines.push_back(std::move(*line));
    }
}

}  // namespace zendrel::testsupport
