#include "dovecot/authorization_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/sha.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <ctime>
#include <map>
#include <string_view>

#include "dovecot/test_tokens.h"
#include "plain_codecs.h"

namespace zendrel::testsupport {
namespace {

std::string FormDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::map<std::string, std::string> FormFields(const std::string& body) {
    std::map<std::string, std::string> fields;
    std::size_t at = 0;
    while (at <= body.size()) {
        std::size_t end = body.find('&', at);
        if (end == std::string::npos) end = body.size();
        const std::string pair = body.substr(at, end - at);
        const std::size_t equals = pair.find('=');
        if (equals != std::string::npos) fields[FormDecode(pair.substr(0, equals))] = FormDecode(pair.substr(equals + 1));
        at = end + 1;
    }
    return fields;
}

std::string UrlSafeWithoutPadding(const std::string& bytes) {
    std::string text = testsupport::EncodeBase64(bytes, testsupport::Base64Alphabet::UrlSafe);
    while (!text.empty() && text.back() == '=') text.pop_back();
    return text;
}

std::string QueryEncode(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

std::string HttpAnswer(int status, const std::string& json) {
    return "HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Bad Request") +
           "\r\nContent-Type: application/json\r\nCache-Control: no-store\r\nConnection: close\r\nContent-Length: " +
           std::to_string(json.size()) + "\r\n\r\n" + json;
}

}  // namespace

struct AuthorizationServer::Tls {
    ~Tls() { SSL_CTX_free(context); }
    SSL_CTX* context = nullptr;
};

std::unique_ptr<AuthorizationServer> AuthorizationServer::Start(const ServerCertificate& certificate,
                                                                std::string tokenKey, std::string subject,
                                                                std::string& reason) {
    // A client that gave up (a stopped run) has closed its end: the answer written to it must not end the test.
    ::signal(SIGPIPE, SIG_IGN);
    std::unique_ptr<AuthorizationServer> server(new AuthorizationServer());
    server->tokenKey_ = std::move(tokenKey);
    server->subject_ = std::move(subject);
    server->tls_ = std::make_unique<Tls>();
    server->tls_->context = SSL_CTX_new(TLS_server_method());
    if (server->tls_->context == nullptr ||
        SSL_CTX_use_certificate_chain_file(server->tls_->context, certificate.certificate.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(server->tls_->context, certificate.key.c_str(), SSL_FILETYPE_PEM) != 1) {
        reason = "the certificate cannot be used";
        return nullptr;
    }
    server->listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (server->listener_ < 0 || ::bind(server->listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(server->listener_, 8) != 0 ||
        ::getsockname(server->listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        reason = "cannot listen on 127.0.0.1";
        return nullptr;
    }
    server->port_ = ntohs(address.sin_port);
    server->thread_ = std::thread([raw = server.get()] { raw->Serve(); });
    return server;
}

AuthorizationServer::~AuthorizationServer() {
    stopping_.store(true);
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) ::close(listener_);
}

std::string AuthorizationServer::TokenUrl() const { return "https://localhost:" + std::to_string(port_) + "/token"; }

std::string AuthorizationServer::AuthorizeUrl() const {
    return "https://localhost:" + std::to_string(port_) + "/authorize";
}

std::string AuthorizationServer::DeviceUrl() const {
    return "https://localhost:" + std::to_string(port_) + "/device";
}

void AuthorizationServer::StallAnswers() { stalling_.store(true); }

int AuthorizationServer::Requests() const { return requests_.load(); }

void AuthorizationServer::DenyDeviceSignIns() {
    std::lock_guard lock(mutex_);
    denyDevices_ = true;
}

std::string AuthorizationServer::IssueRefreshToken() {
    std::lock_guard lock(mutex_);
    const std::string token = "refresh-" + std::to_string(nextToken_++) + "-" + tokenKey_.substr(0, 3);
    validRefreshTokens_.insert(token);
    issued_.insert(token);
    return token;
}

void AuthorizationServer::RevokeAll() {
    std::lock_guard lock(mutex_);
    validRefreshTokens_.clear();
}

std::set<std::string> AuthorizationServer::IssuedTokens() const {
    std::lock_guard lock(mutex_);
    return issued_;
}

int AuthorizationServer::RefusedCodeExchanges() const {
    std::lock_guard lock(mutex_);
    return refusedCodeExchanges_;
}

int AuthorizationServer::Refreshes() const {
    std::lock_guard lock(mutex_);
    return refreshes_;
}

void AuthorizationServer::Serve() {
    while (!stopping_.load()) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0) continue;
        const int connection = ::accept(listener_, nullptr, nullptr);
        if (connection < 0) continue;
        // A client that sends nothing must not hold the server (and the test's end) for longer than this.
        const timeval limit{2, 0};
        ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        SSL* ssl = SSL_new(tls_->context);
        SSL_set_fd(ssl, connection);
        if (SSL_accept(ssl) == 1) {
            std::string request;
            char buffer[4096];
            // The request is complete at the end of its headers plus the body's announced length.
            for (;;) {
                const std::size_t headerEnd = request.find("\r\n\r\n");
                if (headerEnd != std::string::npos) {
                    const std::size_t lengthAt = request.find("Content-Length: ");
                    const std::size_t bodyLength =
                        lengthAt == std::string::npos ? 0 : std::stoul(request.substr(lengthAt + 16));
                    if (request.size() >= headerEnd + 4 + bodyLength) break;
                }
                const int read = SSL_read(ssl, buffer, sizeof buffer);
                if (read <= 0) break;
                request.append(buffer, static_cast<std::size_t>(read));
            }
            ++requests_;
            while (stalling_.load() && !stopping_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const std::string answer = Answer(request);
            SSL_write(ssl, answer.data(), static_cast<int>(answer.size()));
            SSL_shutdown(ssl);
        }
        SSL_free(ssl);
        ::close(connection);
    }
}

std::string AuthorizationServer::Answer(const std::string& request) {
    const std::size_t headerEnd = request.find("\r\n\r\n");
    constexpr std::string_view kAuthorize = "GET /authorize?";
    if (request.rfind(kAuthorize, 0) == 0) {
        const std::size_t end = request.find(' ', kAuthorize.size());
        return Authorize(request.substr(kAuthorize.size(), end - kAuthorize.size()));
    }
    const bool toDevice = request.rfind("POST /device ", 0) == 0;
    if ((!toDevice && request.rfind("POST /token ", 0) != 0) || headerEnd == std::string::npos) {
        return HttpAnswer(404, R"({"error":"not_found"})");
    }
    const std::map<std::string, std::string> fields = FormFields(request.substr(headerEnd + 4));
    const auto field = [&](const char* name) {
        const auto found = fields.find(name);
        return found == fields.end() ? std::string() : found->second;
    };
    std::lock_guard lock(mutex_);
    if (toDevice) {
        const std::string deviceCode = "device-" + std::to_string(nextToken_++);
        devicePolls_[deviceCode] = 0;
        return HttpAnswer(200, R"({"device_code":")" + deviceCode + R"(","user_code":")" + kUserCode +
                                   R"(","verification_uri":")" + DeviceUrl() + R"(","expires_in":60,"interval":1})");
    }
    if (field("grant_type") == "urn:ietf:params:oauth:grant-type:device_code") {
        const auto polls = devicePolls_.find(field("device_code"));
        if (polls == devicePolls_.end()) return HttpAnswer(400, R"({"error":"invalid_grant"})");
        if (++polls->second == 1) return HttpAnswer(400, R"({"error":"authorization_pending"})");
        devicePolls_.erase(polls);
        if (denyDevices_) return HttpAnswer(400, R"({"error":"access_denied"})");
    } else if (field("grant_type") == "authorization_code") {
        const auto issued = codes_.find(field("code"));
        unsigned char digest[SHA256_DIGEST_LENGTH];
        const std::string verifier = field("code_verifier");
        SHA256(reinterpret_cast<const unsigned char*>(verifier.data()), verifier.size(), digest);
        const bool proven = issued != codes_.end() && issued->second.redirectUri == field("redirect_uri") &&
                            issued->second.challenge ==
                                UrlSafeWithoutPadding(std::string(reinterpret_cast<const char*>(digest), sizeof digest));
        // A code is good for one exchange, whether or not it succeeds.
        if (issued != codes_.end()) codes_.erase(issued);
        if (!proven) {
            ++refusedCodeExchanges_;
            return HttpAnswer(400, R"({"error":"invalid_grant","error_description":"the code is not valid"})");
        }
    } else if (field("grant_type") != "refresh_token" || validRefreshTokens_.erase(field("refresh_token")) == 0) {
        return HttpAnswer(400, R"({"error":"invalid_grant","error_description":"the refresh token is not valid"})");
    }
    ++refreshes_;
    const std::string refresh = "refresh-" + std::to_string(nextToken_++) + "-" + tokenKey_.substr(0, 3);
    const std::string access =
        SignedTestToken(tokenKey_, subject_, static_cast<std::int64_t>(std::time(nullptr)) + 3600);
    validRefreshTokens_.insert(refresh);
    issued_.insert(refresh);
    issued_.insert(access);
    // The id token names the user; nothing checks its signature.
    const auto part = [](const std::string& json) { return UrlSafeWithoutPadding(json); };
    const std::string idToken =
        part(R"({"alg":"none"})") + "." + part(R"({"email":")" + subject_ + R"(@example.org"})") + ".";
    return HttpAnswer(200, R"({"access_token":")" + access + R"(","token_type":"Bearer","expires_in":3600,)" +
                               R"("refresh_token":")" + refresh + R"(","id_token":")" + idToken + R"("})");
}

std::string AuthorizationServer::Authorize(const std::string& query) {
    const std::map<std::string, std::string> fields = FormFields(query);
    const auto field = [&](const char* name) {
        const auto found = fields.find(name);
        return found == fields.end() ? std::string() : found->second;
    };
    const std::string redirect = field("redirect_uri");
    if (field("response_type") != "code" || field("code_challenge_method") != "S256" ||
        field("code_challenge").empty() || field("client_id").empty() ||
        (redirect.rfind("http://127.0.0.1:", 0) != 0 && redirect.rfind("http://localhost:", 0) != 0)) {
        return HttpAnswer(400, R"({"error":"invalid_request"})");
    }
    std::lock_guard lock(mutex_);
    const std::string code = "code-" + std::to_string(nextToken_++);
    codes_[code] = {field("code_challenge"), redirect};
    const std::string location = redirect + "?code=" + code + "&state=" + QueryEncode(field("state"));
    return "HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
}

}  // namespace zendrel::testsupport
