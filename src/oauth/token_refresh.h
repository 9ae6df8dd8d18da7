#pragma once
// A fresh access token for the stored refresh token (RFC 6749 section 6), as a run asks for one before its login.

#include <cstdint>
#include <string>

#include "net/https_client.h"
#include "oauth/token_store.h"

namespace zendrel {

// How long a token request may take: a stop cancels it sooner.
inline constexpr std::int32_t kTokenRequestTimeoutMs = 30000;

struct TokenClient {
    std::string tokenUrl;
    std::string clientId;
    std::string scope;
    std::string clientSecret;  // empty: none is sent
};

enum class RefreshOutcome {
    kRefreshed,
    kSignInAgain,  // the provider refused the refresh token (revoked, expired) or the client: only a sign-in helps
    kUnreachable,  // no answer, or none that can be read
    kCancelled,
};

struct RefreshResult {
    RefreshOutcome outcome = RefreshOutcome::kUnreachable;
    StoredTokens tokens;  // with kRefreshed: the new access token, and the rotated refresh token where one came
    std::string detail;   // for the diagnostic log: the HTTP status and the provider's error code, never a token
};

RefreshResult RefreshTokens(HttpsClient& https, const TokenClient& client, const StoredTokens& current,
                            std::int64_t nowSeconds);

}  // namespace zendrel
