#include "oauth/device_sign_in.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "oauth/token_answer.h"
#include "oauth/token_refresh.h"

namespace zendrel {
namespace {

constexpr const char* kDeviceGrant = "urn:ietf:params:oauth:grant-type:device_code";
// RFC 8628 3.5: each slow_down adds five seconds to the interval.
constexpr std::int64_t kSlowDownSeconds = 5;
// Bounds on what the provider asks for, so that a hostile answer can neither make this side hammer it nor wait for
// ever.
constexpr std::int64_t kLongestInterval = 60;
constexpr std::int64_t kLongestCodeLife = 30 * 60;

bool Printable(const std::string& text) {
    return !text.empty() && text.size() <= 2048 && std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) > 0x20 && static_cast<unsigned char>(c) < 0x7F;
    });
}

}  // namespace

std::optional<DeviceCode> RequestDeviceCode(HttpsClient& https, const SignInClient& client, std::string& detail) {
    const HttpsAnswer answer = https.PostForm(
        client.deviceUrl, "client_id=" + FormEncode(client.clientId) + "&scope=" + FormEncode(client.scope),
        kTokenRequestTimeoutMs);
    if (answer.failure != HttpsFailure::kNone) {
        detail = "the device endpoint cannot be reached";
        return std::nullopt;
    }
    detail = "the device endpoint answered " + std::to_string(answer.status);
    const nlohmann::json json = nlohmann::json::parse(answer.body, nullptr, false);
    if (answer.status != 200 || !json.is_object()) return std::nullopt;
    const auto text = [&](const char* name) {
        const auto found = json.find(name);
        return found != json.end() && found->is_string() ? found->get<std::string>() : std::string();
    };
    const auto number = [&](const char* name, std::int64_t fallback) {
        const auto found = json.find(name);
        return found != json.end() && found->is_number_integer() ? found->get<std::int64_t>() : fallback;
    };
    DeviceCode code;
    code.deviceCode = text("device_code");
    code.userCode = text("user_code");
    // Google names it verification_url, as drafts of the standard did.
    code.verificationUri = text("verification_uri");
    if (code.verificationUri.empty()) code.verificationUri = text("verification_url");
    code.expiresInSeconds = std::clamp<std::int64_t>(number("expires_in", 0), 0, kLongestCodeLife);
    code.intervalSeconds = std::clamp<std::int64_t>(number("interval", 5), 1, kLongestInterval);
    // What is shown must not carry control characters to the terminal.
    if (code.deviceCode.empty() || !Printable(code.userCode) || !Printable(code.verificationUri) ||
        code.expiresInSeconds == 0) {
        detail += ", without a usable code";
        return std::nullopt;
    }
    return code;
}

SignInResult AwaitDeviceSignIn(HttpsClient& https, const SignInClient& client, const DeviceCode& code,
                               const std::function<void(std::int64_t seconds)>& wait,
                               const std::function<std::int64_t()>& now) {
    std::string form = "grant_type=" + FormEncode(kDeviceGrant) + "&device_code=" + FormEncode(code.deviceCode) +
                       "&client_id=" + FormEncode(client.clientId);
    if (!client.clientSecret.empty()) form += "&client_secret=" + FormEncode(client.clientSecret);
    const std::int64_t end = now() + code.expiresInSeconds;
    std::int64_t interval = code.intervalSeconds;
    SignInResult result;
    for (;;) {
        if (now() + interval > end) {
            result.outcome = SignInOutcome::kExpired;
            result.detail = "the code ran out";
            return result;
        }
        wait(interval);
        const HttpsAnswer answer = https.PostForm(client.tokenUrl, form, kTokenRequestTimeoutMs);
        if (answer.failure != HttpsFailure::kNone) {
            result.outcome = SignInOutcome::kUnreachable;
            result.detail = "the token endpoint cannot be reached";
            return result;
        }
        TokenAnswer read = ReadTokenAnswer(answer, {}, now());
        if (read.tokens) {
            result.outcome = SignInOutcome::kSignedIn;
            result.tokens = std::move(*read.tokens);
            return result;
        }
        if (read.error == "authorization_pending") continue;
        if (read.error == "slow_down") {
            interval = std::min(interval + kSlowDownSeconds, kLongestInterval);
            continue;
        }
        result.detail = DescribeTokenAnswer(read);
        result.outcome = read.error == "expired_token" ? SignInOutcome::kExpired
                         : read.status == 400 || read.status == 401 ? SignInOutcome::kRefused
                                                                    : SignInOutcome::kUnreachable;
        return result;
    }
}

}  // namespace zendrel
