#include "dovecot/test_browser.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <memory>

namespace zendrel::testsupport {
namespace {

struct Address {
    bool tls = false;
    int port = 0;
    std::string target;  // path and query
};

bool ParseAddress(const std::string& text, Address& address) {
    std::string rest;
    if (text.rfind("https://", 0) == 0) {
        address.tls = true;
        rest = text.substr(8);
    } else if (text.rfind("http://", 0) == 0) {
        rest = text.substr(7);
    } else {
        return false;
    }
    const std::size_t slash = rest.find('/');
    const std::string authority = rest.substr(0, slash);
    address.target = slash == std::string::npos ? "/" : rest.substr(slash);
    const std::size_t colon = authority.rfind(':');
    const std::string host = authority.substr(0, colon);
    if (colon == std::string::npos || (host != "127.0.0.1" && host != "localhost")) return false;
    address.port = std::stoi(authority.substr(colon + 1));
    return true;
}

HttpVisit Failed(std::string why) {
    HttpVisit visit;
    visit.failure = std::move(why);
    return visit;
}

HttpVisit ReadAnswer(const std::string& answer) {
    HttpVisit visit;
    const std::size_t headEnd = answer.find("\r\n\r\n");
    if (answer.rfind("HTTP/1.", 0) != 0 || headEnd == std::string::npos) {
        visit.failure = "no HTTP answer: " + answer.substr(0, 200);
        return visit;
    }
    visit.status = std::stoi(answer.substr(9, 3));
    const std::string head = answer.substr(0, headEnd + 2);
    if (const std::size_t at = head.find("\r\nLocation: "); at != std::string::npos) {
        visit.location = head.substr(at + 12, head.find("\r\n", at + 12) - at - 12);
    }
    visit.body = answer.substr(headEnd + 4);
    return visit;
}

}  // namespace

HttpVisit VisitAddress(const std::string& text) {
    Address address;
    if (!ParseAddress(text, address)) return Failed("not a loopback address: " + text);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const std::unique_ptr<int, void (*)(int*)> closer(new int(fd), [](int* owned) {
        if (*owned >= 0) ::close(*owned);
        delete owned;
    });
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    peer.sin_port = htons(static_cast<std::uint16_t>(address.port));
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) return Failed("no connection");
    const timeval limit{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    const std::string request =
        "GET " + address.target + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";
    std::string answer;
    char buffer[4096];
    if (address.tls) {
        const std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> context(SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
        const std::unique_ptr<SSL, void (*)(SSL*)> ssl(SSL_new(context.get()), SSL_free);
        SSL_set_fd(ssl.get(), fd);
        if (SSL_connect(ssl.get()) != 1) return Failed("no TLS");
        SSL_write(ssl.get(), request.data(), static_cast<int>(request.size()));
        for (int read; (read = SSL_read(ssl.get(), buffer, sizeof buffer)) > 0;) answer.append(buffer, read);
    } else {
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        for (ssize_t read; (read = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, read);
    }
    return ReadAnswer(answer);
}

HttpVisit SignInAsBrowser(const std::string& authorizationAddress,
                          const std::function<std::string(const std::string&)>& editRedirect) {
    const HttpVisit authorized = VisitAddress(authorizationAddress);
    if (!authorized.failure.empty()) return authorized;
    if (authorized.status != 302) return Failed("the authorization server answered " + std::to_string(authorized.status));
    return VisitAddress(editRedirect ? editRedirect(authorized.location) : authorized.location);
}

}  // namespace zendrel::testsupport
