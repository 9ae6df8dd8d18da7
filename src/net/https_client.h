#pragma once
// HTTPS requests to an OAuth 2.0 provider: a form posted, the JSON answer read. libcurl on Linux, WinHTTP on Windows;
// the certificate is checked as for POP3 (on Linux against SSL_CERT_FILE / SSL_CERT_DIR when they are set).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zendrel {

// A provider's answers are a few KB; a larger one is no answer.
inline constexpr std::size_t kLongestHttpsAnswer = 256 * 1024;

enum class HttpsFailure {
    kNone,
    kUnreachable,  // no connection, no trusted TLS, no complete answer within the time-out, or not an https address
    kTooLarge,     // the answer went past kLongestHttpsAnswer
    kCancelled,    // Cancel() ended it
};

struct HttpsAnswer {
    HttpsFailure failure = HttpsFailure::kNone;
    long status = 0;   // the HTTP status, with kNone
    std::string body;
};

class HttpsClient {
public:
    virtual ~HttpsClient() = default;
    // POSTs `form` (application/x-www-form-urlencoded) to the https address `url` and waits for the whole answer, at
    // most `timeoutMs`.
    virtual HttpsAnswer PostForm(const std::string& url, const std::string& form, std::int32_t timeoutMs) = 0;
    // May be called from another thread: ends a PostForm under way, and makes the next one end at once.
    virtual void Cancel() = 0;
};

std::unique_ptr<HttpsClient> CreateHttpsClient();

// `text` as a value of a form or a query: unreserved characters as they are, every other byte as %XX.
std::string FormEncode(const std::string& text);

}  // namespace zendrel
