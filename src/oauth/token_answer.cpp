#include "oauth/token_answer.h"

#include <nlohmann/json.hpp>

#include "common/base64.h"

namespace zendrel {
namespace {

constexpr std::size_t kLongestErrorCode = 64;
constexpr std::size_t kLongestName = 256;

std::string StringField(const nlohmann::json& object, const char* name) {
    const auto found = object.find(name);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

}  // namespace

TokenAnswer ReadTokenAnswer(const HttpsAnswer& answer, const StoredTokens& base, std::int64_t nowSeconds) {
    TokenAnswer read;
    read.status = answer.status;
    const nlohmann::json json = nlohmann::json::parse(answer.body, nullptr, false);
    if (!json.is_object()) return read;
    read.error = PlainErrorCode(StringField(json, "error"));
    const std::string access = StringField(json, "access_token");
    if (answer.status != 200 || access.empty()) return read;
    StoredTokens tokens = base;
    tokens.accessToken = access;
    const auto lifetime = json.find("expires_in");
    tokens.accessTokenExpiresAt =
        lifetime != json.end() && lifetime->is_number_integer() && lifetime->get<std::int64_t>() > 0
            ? nowSeconds + lifetime->get<std::int64_t>()
            : 0;
    // A provider that rotates refresh tokens sends the next one; without one the old one stays good.
    if (const std::string refresh = StringField(json, "refresh_token"); !refresh.empty()) tokens.refreshToken = refresh;
    if (const std::string name = NameFromIdToken(StringField(json, "id_token")); !name.empty()) {
        tokens.signedInName = name;
    }
    read.tokens = std::move(tokens);
    return read;
}

std::string PlainErrorCode(std::string_view code) {
    std::string plain(code.substr(0, kLongestErrorCode));
    for (char& c : plain) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) c = '?';
    }
    return plain;
}

std::string DescribeTokenAnswer(const TokenAnswer& answer) {
    std::string text = "the token endpoint answered " + std::to_string(answer.status);
    if (!answer.error.empty()) text += " " + answer.error;
    return text;
}

std::string NameFromIdToken(std::string_view idToken) {
    const std::size_t first = idToken.find('.');
    const std::size_t second = first == std::string_view::npos ? first : idToken.find('.', first + 1);
    if (second == std::string_view::npos) return {};
    std::string claims(idToken.substr(first + 1, second - first - 1));
    // base64url without padding: the decoder wants groups of four.
    claims.append((4 - claims.size() % 4) % 4, '=');
    const nlohmann::json json = nlohmann::json::parse(DecodeBase64(claims), nullptr, false);
    if (!json.is_object()) return {};
    std::string name = StringField(json, "email");
    if (name.empty()) name = StringField(json, "preferred_username");
    if (name.size() > kLongestName) name.resize(kLongestName);
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    return name;
}

}  // namespace zendrel
