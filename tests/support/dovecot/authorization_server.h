#pragma once
// A small OAuth 2.0 authorization server for the tests: HTTPS on 127.0.0.1 with a certificate of the test authority,
// a token endpoint ("/token") that renews access tokens for refresh tokens (rotating them), revocation, the device
// flow ("/device"), whose user approves at the second poll unless told to deny, and the authorization code with PKCE:
// "/authorize" approves at once and redirects the browser back with a code tied to the challenge and the redirect,
// which the token endpoint exchanges once, for the verifier of that challenge. The access tokens are JWTs that a
// DovecotServer started with the same key accepts.

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "dovecot/dovecot_server.h"

namespace zendrel::testsupport {

class AuthorizationServer {
public:
    // Nothing, with the reason, when it cannot listen or read the certificate.
    static std::unique_ptr<AuthorizationServer> Start(const ServerCertificate& certificate, std::string tokenKey,
                                                      std::string subject, std::string& reason);
    ~AuthorizationServer();
    AuthorizationServer(const AuthorizationServer&) = delete;
    AuthorizationServer& operator=(const AuthorizationServer&) = delete;

    // The token and device endpoints, under the name the certificate carries.
    std::string TokenUrl() const;
    std::string DeviceUrl() const;
    std::string AuthorizeUrl() const;
    // The code the device flow shows the user.
    static constexpr const char* kUserCode = "ZEND-REL1";
    // From now on the user refuses every device sign-in.
    void DenyDeviceSignIns();
    // From now on a request is read and never answered, until the server stops.
    void StallAnswers();
    // The requests read so far.
    int Requests() const;
    // A refresh token the endpoint takes (once: its answer carries the next one).
    std::string IssueRefreshToken();
    // Every refresh token issued so far is refused from now on, as after a user's revocation.
    void RevokeAll();
    // The tokens the endpoint has handed out, to be looked for where they must not be.
    std::set<std::string> IssuedTokens() const;
    int Refreshes() const;
    // The authorization code exchanges the token endpoint refused (a verifier or redirect that does not match, a code
    // used twice).
    int RefusedCodeExchanges() const;

private:
    AuthorizationServer() = default;
    void Serve();
    std::string Answer(const std::string& request);

    struct Tls;
    std::unique_ptr<Tls> tls_;
    int listener_ = -1;
    int port_ = 0;
    std::string tokenKey_;
    std::string subject_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::set<std::string> validRefreshTokens_;
    std::set<std::string> issued_;
    int nextToken_ = 1;
    int refreshes_ = 0;
    int refusedCodeExchanges_ = 0;
    std::map<std::string, int> devicePolls_;  // by device code
    struct IssuedCode {
        std::string challenge;
        std::string redirectUri;
    };
    std::map<std::string, IssuedCode> codes_;  // until exchanged
    std::string Authorize(const std::string& query);
    bool denyDevices_ = false;
    std::atomic<bool> stalling_{false};
    std::atomic<int> requests_{0};
};

}  // namespace zendrel::testsupport
