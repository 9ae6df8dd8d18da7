#pragma once
// The provider's side of one HTTPS request at a time, for reading its answers in unit tests; the real exchanges are in
// the end-to-end tests.

#include <string>
#include <utility>

#include "net/https_client.h"

namespace zendrel::testsupport {

class AnsweringHttpsClient final : public HttpsClient {
public:
    explicit AnsweringHttpsClient(HttpsAnswer answer) : answer_(std::move(answer)) {}
    HttpsAnswer PostForm(const std::string& url, const std::string& form, std::int32_t) override {
        url_ = url;
        form_ = form;
        return answer_;
    }
    void Cancel() override {}
    std::string url_;
    std::string form_;

private:
    HttpsAnswer answer_;
};

}  // namespace zendrel::testsupport
