#pragma once
// Reading a token endpoint's answer (RFC 6749 5.1 and 5.2), for the refresh and the sign-ins.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/https_client.h"
#include "oauth/token_store.h"

namespace zendrel {

struct TokenAnswer {
    long status = 0;
    std::string error;  // the provider's error code, only plain characters and bounded; empty without one
    // With status 200 and an access token: `base` with the new access token, its end, and the refresh token and the
    // name where the answer has them.
    std::optional<StoredTokens> tokens;
};

TokenAnswer ReadTokenAnswer(const HttpsAnswer& answer, const StoredTokens& base, std::int64_t nowSeconds);

// A provider's error code as it may be shown and logged: bounded, every character but letters, digits and "_" as "?".
std::string PlainErrorCode(std::string_view code);

// What a failure is, for the diagnostic log: the status and the error code, never a token.
std::string DescribeTokenAnswer(const TokenAnswer& answer);

// The user's name in an id token (a JWT): its "email", else "preferred_username"; empty when it has neither. The
// signature is not checked: the name is only shown, the token came over TLS from the provider.
std::string NameFromIdToken(std::string_view idToken);

}  // namespace zendrel
