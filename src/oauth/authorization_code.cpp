#include "oauth/authorization_code.h"

#include "common/base64.h"
#include "net/system_crypto.h"
#include "oauth/token_answer.h"

namespace zendrel {
namespace {

// 32 random bytes give the 43 characters RFC 7636 4.1 asks for at least, and 256 bits of surprise.
constexpr std::size_t kVerifierBytes = 32;
constexpr std::size_t kStateBytes = 16;
// A code or state longer than this is no provider's.
constexpr std::size_t kLongestRedirectValue = 4096;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A query value with its %XX and "+" decoded; a broken %-escape stays as it is.
std::string QueryDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::string Base64UrlWithoutPadding(std::string_view bytes) {
    std::string text = EncodeBase64(bytes);
    while (!text.empty() && text.back() == '=') text.pop_back();
    for (char& c : text) {
        if (c == '+') c = '-';
        if (c == '/') c = '_';
    }
    return text;
}

std::optional<std::string> PkceChallengeOf(std::string_view verifier) {
    const std::optional<std::string> digest = Sha256(verifier);
    if (!digest) return std::nullopt;
    return Base64UrlWithoutPadding(*digest);
}

std::optional<PkcePair> NewPkcePair() {
    const std::optional<std::string> bytes = SecureRandomBytes(kVerifierBytes);
    if (!bytes) return std::nullopt;
    PkcePair pair;
    pair.verifier = Base64UrlWithoutPadding(*bytes);
    const std::optional<std::string> challenge = PkceChallengeOf(pair.verifier);
    if (!challenge) return std::nullopt;
    pair.challenge = *challenge;
    return pair;
}

std::optional<std::string> NewSignInState() {
    const std::optional<std::string> bytes = SecureRandomBytes(kStateBytes);
    if (!bytes) return std::nullopt;
    return Base64UrlWithoutPadding(*bytes);
}

std::string AuthorizationAddress(const AuthorizationRequest& request) {
    std::string address = request.authorizeUrl;
    address += address.find('?') == std::string::npos ? '?' : '&';
    address += "response_type=code&client_id=" + FormEncode(request.clientId) +
               "&redirect_uri=" + FormEncode(request.redirectUri) + "&scope=" + FormEncode(request.scope) +
               "&state=" + FormEncode(request.state) + "&code_challenge=" + FormEncode(request.challenge) +
               "&code_challenge_method=S256";
    if (request.asksOfflineConsent) address += "&access_type=offline&prompt=consent";
    return address;
}

Redirect ReadRedirect(std::string_view requestLine) {
    Redirect redirect;
    constexpr std::string_view kMethod = "GET ";
    if (requestLine.substr(0, kMethod.size()) != kMethod) return redirect;
    std::string_view target = requestLine.substr(kMethod.size());
    target = target.substr(0, target.find(' '));
    if (target.substr(0, 2) != "/?") return redirect;
    std::string_view query = target.substr(2);
    // A fragment never reaches a server; a query is read up to one all the same.
    query = query.substr(0, query.find('#'));
    bool hasCode = false;
    bool hasError = false;
    while (!query.empty()) {
        const std::size_t end = query.find('&');
        const std::string_view pair = query.substr(0, end);
        query = end == std::string_view::npos ? std::string_view() : query.substr(end + 1);
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos || pair.size() - equals - 1 > kLongestRedirectValue) continue;
        const std::string_view name = pair.substr(0, equals);
        std::string value = QueryDecode(pair.substr(equals + 1));
        if (name == "code") {
            redirect.code = std::move(value);
            hasCode = true;
        } else if (name == "state") {
            redirect.state = std::move(value);
        } else if (name == "error") {
            redirect.error = value.empty() ? "?" : PlainErrorCode(value);
            hasError = true;
        }
    }
    // An error wins over a code: a provider that names one has not authorized anything.
    redirect.kind = hasError ? RedirectKind::kError : hasCode ? RedirectKind::kCode : RedirectKind::kNotOurs;
    return redirect;
}

SignInResult ExchangeAuthorizationCode(HttpsClient& https, const TokenClient& client, const std::string& code,
                                       const std::string& redirectUri, const std::string& verifier,
                                       std::int64_t nowSeconds) {
    std::string form = "grant_type=authorization_code&code=" + FormEncode(code) +
                       "&redirect_uri=" + FormEncode(redirectUri) + "&client_id=" + FormEncode(client.clientId) +
                       "&code_verifier=" + FormEncode(verifier);
    if (!client.clientSecret.empty()) form += "&client_secret=" + FormEncode(client.clientSecret);
    const HttpsAnswer answer = https.PostForm(client.tokenUrl, form, kTokenRequestTimeoutMs);
    SignInResult result;
    if (answer.failure == HttpsFailure::kCancelled) {
        result.outcome = SignInOutcome::kCancelled;
        return result;
    }
    if (answer.failure != HttpsFailure::kNone) {
        result.detail = "the token endpoint cannot be reached";
        return result;
    }
    TokenAnswer read = ReadTokenAnswer(answer, {}, nowSeconds);
    if (read.tokens) {
        result.outcome = SignInOutcome::kSignedIn;
        result.tokens = std::move(*read.tokens);
        return result;
    }
    result.detail = DescribeTokenAnswer(read);
    result.outcome = read.status == 400 || read.status == 401 ? SignInOutcome::kRefused : SignInOutcome::kUnreachable;
    return result;
}

}  // namespace zendrel
