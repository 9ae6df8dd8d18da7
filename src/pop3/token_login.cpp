#include "pop3/token_login.h"

#include <algorithm>

#include "common/base64.h"

namespace zendrel {
namespace {

// The error JSON of the providers is a few hundred bytes; the diagnostic log needs no more than its start.
constexpr std::size_t kLongestChallengeText = 512;

// RFC 5801's saslname: "," and "=" cannot stand in the GS2 header as themselves.
std::string SaslName(std::string_view name) {
    std::string out;
    for (const char c : name) {
        if (c == ',') {
            out += "=2C";
        } else if (c == '=') {
            out += "=3D";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

TokenMechanism ChooseTokenMechanism(std::string_view capabilities) {
    constexpr std::string_view kSaslLine = ";SASL ";
    const std::size_t start = capabilities.find(kSaslLine);
    if (start == std::string_view::npos) return TokenMechanism::kXOAuth2;
    const std::size_t from = start + kSaslLine.size();
    const std::string_view line = capabilities.substr(from, capabilities.find(';', from) - from);
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        if (line.substr(at, end - at) == "OAUTHBEARER") return TokenMechanism::kOAuthBearer;
        at = end + 1;
    }
    return TokenMechanism::kXOAuth2;
}

std::string_view TokenAuthCommand(TokenMechanism mechanism) {
    return mechanism == TokenMechanism::kOAuthBearer ? "AUTH OAUTHBEARER\r\n" : "AUTH XOAUTH2\r\n";
}

std::string TokenInitialResponse(TokenMechanism mechanism, std::string_view userName, std::string_view host,
                                 std::int32_t port, std::string_view accessToken) {
    std::string response;
    if (mechanism == TokenMechanism::kOAuthBearer) {
        response.append("n,a=").append(SaslName(userName)).append(",\x01");
        response.append("host=").append(host).append("\x01");
        response.append("port=").append(std::to_string(port)).append("\x01");
    } else {
        response.append("user=").append(userName).append("\x01");
    }
    response.append("auth=Bearer ").append(accessToken).append("\x01\x01");
    return response;
}

std::string_view TokenFailureAnswer(TokenMechanism mechanism) {
    return mechanism == TokenMechanism::kOAuthBearer ? "AQ==\r\n" : "\r\n";
}

bool IsContinuation(std::string_view reply) {
    return reply.starts_with("+ ") || reply.starts_with("+\r\n") || reply == "+";
}

std::string ChallengeText(std::string_view reply) {
    std::string_view encoded = reply.substr(std::min<std::size_t>(reply.size(), 2));
    std::string text = DecodeBase64(encoded.substr(0, encoded.find_first_of("\r\n")));
    if (text.size() > kLongestChallengeText) text.resize(kLongestChallengeText);
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
    }
    return text;
}

}  // namespace zendrel
