#include "oauth/token_refresh.h"

#include "oauth/token_answer.h"

namespace zendrel {

RefreshResult RefreshTokens(HttpsClient& https, const TokenClient& client, const StoredTokens& current,
                            std::int64_t nowSeconds) {
    std::string form = "grant_type=refresh_token&refresh_token=" + FormEncode(current.refreshToken) +
                       "&client_id=" + FormEncode(client.clientId);
    if (!client.clientSecret.empty()) form += "&client_secret=" + FormEncode(client.clientSecret);
    if (!client.scope.empty()) form += "&scope=" + FormEncode(client.scope);
    const HttpsAnswer answer = https.PostForm(client.tokenUrl, form, kTokenRequestTimeoutMs);
    RefreshResult result;
    if (answer.failure == HttpsFailure::kCancelled) {
        result.outcome = RefreshOutcome::kCancelled;
        return result;
    }
    if (answer.failure != HttpsFailure::kNone) {
        result.detail = answer.failure == HttpsFailure::kTooLarge ? "the token endpoint's answer is too large"
                                                                  : "the token endpoint cannot be reached";
        return result;
    }
    TokenAnswer read = ReadTokenAnswer(answer, current, nowSeconds);
    result.detail = DescribeTokenAnswer(read);
    // RFC 6749 5.2: a refused grant or client is 400 (401 for the client); no later attempt can succeed without a
    // new sign-in.
    if (answer.status == 400 || answer.status == 401) {
        result.outcome = RefreshOutcome::kSignInAgain;
    } else if (read.tokens) {
        result.outcome = RefreshOutcome::kRefreshed;
        result.tokens = std::move(*read.tokens);
    }
    return result;
}

}  // namespace zendrel
