#include "job/run_token.h"

#include <optional>

#include "pop3/mail_session.h"

namespace zendrel {

RunToken AccessTokenForRun(const std::filesystem::path& tokenFile, std::int64_t nowSeconds,
                           const TokenRefresher& refresh) {
    const std::optional<StoredTokens> tokens = tokenFile.empty() ? std::nullopt : ReadStoredTokens(tokenFile);
    if (!tokens || !IsSignedIn(*tokens)) return {SessionError::kNotSignedIn, {}, {}};
    const bool expiring =
        tokens->accessTokenExpiresAt != 0 && tokens->accessTokenExpiresAt - nowSeconds < kTokenRenewalSeconds;
    if (!tokens->accessToken.empty() && !expiring) return {SessionError::kNone, tokens->accessToken, {}};
    if (tokens->refreshToken.empty()) return {SessionError::kSignInExpired, {}, "no refresh token is stored"};

    RefreshResult refreshed = refresh(*tokens);
    switch (refreshed.outcome) {
        case RefreshOutcome::kRefreshed:
            break;
        case RefreshOutcome::kSignInAgain:
            return {SessionError::kSignInExpired, {}, std::move(refreshed.detail)};
        case RefreshOutcome::kUnreachable:
            return {SessionError::kProviderUnreachable, {}, std::move(refreshed.detail)};
        case RefreshOutcome::kCancelled:
            return {SessionError::kCancelled, {}, {}};
    }
    // A rotated refresh token that is not stored is lost with this process: the next run would have to sign in anew.
    // Kept out only by newer tokens (kKeptNewer); this run's access token is good either way.
    std::string detail;
    switch (SaveRefreshedTokens(tokenFile, tokens->refreshToken, refreshed.tokens)) {
        case TokenSave::kSaved:
            detail = "the access token was refreshed";
            break;
        case TokenSave::kKeptNewer:
            detail = "the access token was refreshed; newer stored tokens were kept";
            break;
        case TokenSave::kRefused:
        case TokenSave::kFailed:
            detail = "the access token was refreshed but the tokens could not be stored";
            break;
    }
    return {SessionError::kNone, std::move(refreshed.tokens.accessToken), std::move(detail)};
}

}  // namespace zendrel
