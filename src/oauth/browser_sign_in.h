#pragma once
// The sign-in in the system browser: the authorization code with PKCE, handed back by the browser's redirect to a
// listener on the loopback address.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "net/https_client.h"
#include "net/loopback_listener.h"
#include "oauth/device_sign_in.h"
#include "oauth/providers.h"

namespace zendrel {

struct BrowserSignInClient {
    ProviderEndpoints endpoints;
    std::string clientId;
    std::string clientSecret;  // empty: none is sent
};

class BrowserSignIn {
public:
    explicit BrowserSignIn(std::unique_ptr<HttpsClient> https) : https_(std::move(https)) {}

    // Opens the listener and makes a fresh verifier and state: the address for the browser, or none with the reason
    // in `detail`.
    std::optional<std::string> Start(const BrowserSignInClient& client, std::string& detail);
    // The address the browser is sent back to ("http://127.0.0.1:PORT/"), once started.
    const std::string& RedirectUri() const { return redirectUri_; }
    // Waits at most `timeoutMs` for the browser's redirect and exchanges its code. A redirect with another `state`
    // is refused: nothing is exchanged.
    SignInResult Await(std::int32_t timeoutMs);
    // May be called from another thread: Await ends soon after as kCancelled.
    void Cancel();

private:
    std::unique_ptr<HttpsClient> https_;
    std::unique_ptr<LoopbackListener> listener_;
    BrowserSignInClient client_;
    std::string redirectUri_;
    std::string state_;
    std::string verifier_;
};

}  // namespace zendrel
