#include "oauth/token_refresh.h"

#include <nlohmann/json.hpp>

namespace zendrel {
namespace {

// The provider's own word for a refusal, for the diagnostic log: only a short code of plain characters.
std::string ErrorCode(const nlohmann::json& answer) {
    const auto error = answer.find("error");
    if (error == answer.end() || !error->is_string()) return {};
    std::string code = error->get<std::string>();
    if (code.size() > 64) code.resize(64);
    for (char& c : code) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) c = '?';
    }
    return code;
}

}  // namespace

RefreshResult RefreshTokens(HttpsClient& https, const TokenClient& client, const StoredTokens& current,
                            std::int64_t nowSeconds) {
    std::string form = "grant_type=refresh_token&refresh_token=" + FormEncode(current.refreshToken) +
                       "&client_id=" + FormEncode(client.clientId);
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
    const nlohmann::json json = nlohmann::json::parse(answer.body, nullptr, false);
    result.detail = "the token endpoint answered " + std::to_string(answer.status);
    if (json.is_object()) {
        if (const std::string code = ErrorCode(json); !code.empty()) result.detail += " " + code;
    }
    // RFC 6749 5.2: a refused grant or client is 400 (401 for the client); no later attempt can succeed without a
    // new sign-in.
    if (answer.status == 400 || answer.status == 401) {
        result.outcome = RefreshOutcome::kSignInAgain;
        return result;
    }
    if (answer.status != 200 || !json.is_object()) return result;
    const auto access = json.find("access_token");
    if (access == json.end() || !access->is_string() || access->get<std::string>().empty()) return result;
    result.tokens = current;
    result.tokens.accessToken = access->get<std::string>();
    const auto lifetime = json.find("expires_in");
    result.tokens.accessTokenExpiresAt =
        lifetime != json.end() && lifetime->is_number_integer() && lifetime->get<std::int64_t>() > 0
            ? nowSeconds + lifetime->get<std::int64_t>()
            : 0;
    // A provider that rotates refresh tokens sends the next one; without one the old one stays good.
    if (const auto refresh = json.find("refresh_token");
        refresh != json.end() && refresh->is_string() && !refresh->get<std::string>().empty()) {
        result.tokens.refreshToken = refresh->get<std::string>();
    }
    result.outcome = RefreshOutcome::kRefreshed;
    return result;
}

}  // namespace zendrel
