#include "dovecot/test_tokens.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <ctime>

#include "plain_codecs.h"

namespace zendrel::testsupport {
namespace {

// JWTs use the URL alphabet without padding (RFC 7515).
std::string Base64Url(std::string_view bytes) {
    std::string text = testsupport::EncodeBase64(bytes, testsupport::Base64Alphabet::UrlSafe);
    while (!text.empty() && text.back() == '=') text.pop_back();
    return text;
}

}  // namespace

std::string SignedTestToken(const std::string& key, const std::string& subject, std::int64_t expiresAt) {
    const std::string header = Base64Url(R"({"alg":"HS256","typ":"JWT"})");
    const std::string claims = Base64Url(R"({"sub":")" + subject + R"(","iat":)" +
                                         std::to_string(static_cast<std::int64_t>(std::time(nullptr)) - 60) +
                                         R"(,"exp":)" + std::to_string(expiresAt) + "}");
    const std::string signedPart = header + "." + claims;
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(signedPart.data()),
         signedPart.size(), mac, &length);
    return signedPart + "." + Base64Url(std::string_view(reinterpret_cast<const char*>(mac), length));
}

}  // namespace zendrel::testsupport
