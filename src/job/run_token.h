#pragma once
// The access token a run logs in with: the stored one while it is good, else a fresh one for the stored refresh
// token, which then replaces the stored tokens.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "oauth/token_refresh.h"
#include "oauth/token_store.h"

namespace zendrel {

// A token that runs out within this many seconds is renewed first: a run may take that long to reach its login, and
// the provider's clock may run ahead of this one.
inline constexpr std::int64_t kTokenRenewalSeconds = 300;

struct RunToken {
    // SessionError::kNotSignedIn, kSignInExpired, kProviderUnreachable or kCancelled; 0 with the token.
    std::int32_t error = 0;
    std::string accessToken;
    std::string detail;  // for the diagnostic log: what the provider answered, never a token
};

// `refresh` asks the provider for new tokens.
using TokenRefresher = std::function<RefreshResult(const StoredTokens& current)>;

// The stored access token when it is good beyond `nowSeconds` (seconds since 1970) plus kTokenRenewalSeconds (one of
// unknown lifetime is tried); else, with a refresh token, the refreshed one.
RunToken AccessTokenForRun(const std::filesystem::path& tokenFile, std::int64_t nowSeconds,
                           const TokenRefresher& refresh);

}  // namespace zendrel
