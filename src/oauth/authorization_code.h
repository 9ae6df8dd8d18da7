#pragma once
// The authorization code grant with PKCE (RFC 6749 4.1, RFC 7636 S256) for a program that the browser hands the
// code back to at a loopback address (RFC 8252 7.3): what the browser is sent to, what its redirect says, and the
// exchange of the code for tokens.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/https_client.h"
#include "oauth/device_sign_in.h"
#include "oauth/token_refresh.h"

namespace zendrel {

// base64url without padding (RFC 4648 5), as PKCE and JWTs write bytes.
std::string Base64UrlWithoutPadding(std::string_view bytes);

// The S256 challenge of `verifier`: base64url without padding of its SHA-256; none when no digest can be made.
std::optional<std::string> PkceChallengeOf(std::string_view verifier);

struct PkcePair {
    std::string verifier;   // 43 characters from 32 random bytes; goes only to the token endpoint
    std::string challenge;  // goes in the authorization address
};

// A fresh verifier and its challenge, and a fresh `state`; none when the system gives no random bytes.
std::optional<PkcePair> NewPkcePair();
std::optional<std::string> NewSignInState();

struct AuthorizationRequest {
    std::string authorizeUrl;
    std::string clientId;
    std::string redirectUri;
    std::string scope;
    std::string state;
    std::string challenge;
    // Google hands out a refresh token only when asked for offline access with the consent shown again.
    bool asksOfflineConsent = false;
};

// The address the browser opens.
std::string AuthorizationAddress(const AuthorizationRequest& request);

enum class RedirectKind {
    kCode,      // the redirect with a code
    kError,     // the redirect with the provider's error (the user refused, or the request was wrong)
    kNotOurs,   // another path or method (a browser's /favicon.ico), or "/" without code or error: 404
};

struct Redirect {
    RedirectKind kind = RedirectKind::kNotOurs;
    std::string code;
    std::string state;
    std::string error;  // only plain characters and bounded: it is shown and logged
};

// Reads a request line such as "GET /?code=...&state=... HTTP/1.1".
Redirect ReadRedirect(std::string_view requestLine);

// Exchanges `code` at the token endpoint, proving it with `verifier`; the tokens with kSignedIn.
SignInResult ExchangeAuthorizationCode(HttpsClient& https, const TokenClient& client, const std::string& code,
                                       const std::string& redirectUri, const std::string& verifier,
                                       std::int64_t nowSeconds);

}  // namespace zendrel
