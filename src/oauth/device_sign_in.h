#pragma once
// The sign-in without a browser on this machine (RFC 8628): the provider hands out a code, the user enters it on any
// device, and this side asks the token endpoint at the provider's interval until the user has decided.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "net/https_client.h"
#include "oauth/token_store.h"

namespace zendrel {

struct SignInClient {
    std::string deviceUrl;
    std::string tokenUrl;
    std::string clientId;
    std::string scope;
    std::string clientSecret;  // empty: none is sent
};

struct DeviceCode {
    std::string deviceCode;       // for the token endpoint only; never shown
    std::string userCode;         // for the user to enter
    std::string verificationUri;  // where to enter it
    std::int64_t expiresInSeconds = 0;
    std::int64_t intervalSeconds = 5;
};

enum class SignInOutcome {
    kSignedIn,
    kRefused,      // the user or the provider said no (access_denied, or any other error the provider names)
    kExpired,      // the code ran out before the user decided
    kUnreachable,  // no answer, or none that can be read
    kCancelled,    // the user or the program gave up waiting
};

struct SignInResult {
    SignInOutcome outcome = SignInOutcome::kUnreachable;
    StoredTokens tokens;  // with kSignedIn
    std::string detail;   // for the user: the provider's status and error code, never a token
};

// Asks for a code; none (with `detail`) when the provider gives none.
std::optional<DeviceCode> RequestDeviceCode(HttpsClient& https, const SignInClient& client, std::string& detail);

// Polls until the user has decided or the code has run out. `wait` lets `seconds` pass; `now` tells the time in
// seconds since 1970.
SignInResult AwaitDeviceSignIn(HttpsClient& https, const SignInClient& client, const DeviceCode& code,
                               const std::function<void(std::int64_t seconds)>& wait,
                               const std::function<std::int64_t()>& now);

}  // namespace zendrel
