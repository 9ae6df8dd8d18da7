#include <curl/curl.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "common/unique_resource.h"
#include "net/https_client.h"

namespace zendrel {
namespace {

struct CurlTraits {
    using Handle = CURL*;
    static Handle None() noexcept { return nullptr; }
    static bool Close(Handle handle) noexcept {
        curl_easy_cleanup(handle);
        return true;
    }
};
using UniqueCurl = UniqueResource<CurlTraits>;

struct CurlMultiTraits {
    using Handle = CURLM*;
    static Handle None() noexcept { return nullptr; }
    static bool Close(Handle handle) noexcept { return curl_multi_cleanup(handle) == CURLM_OK; }
};
using UniqueCurlMulti = UniqueResource<CurlMultiTraits>;

// How long a wait for the connection lasts before the cancel flag is looked at again: a stop gives the run a few
// hundred milliseconds once it cancels.
constexpr int kCancelCheckMs = 50;

// Runs the transfer of `easy` to its end, looking at `cancelled` between waits of at most kCancelCheckMs.
CURLcode Perform(CURL* easy, const std::atomic<bool>& cancelled) {
    const UniqueCurlMulti multi(curl_multi_init());
    if (multi.get() == nullptr || curl_multi_add_handle(multi.get(), easy) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        if (running == 0) {
            int left = 0;
            const CURLMsg* message = curl_multi_info_read(multi.get(), &left);
            result = message != nullptr && message->msg == CURLMSG_DONE ? message->data.result : CURLE_RECV_ERROR;
            break;
        }
        if (cancelled.load()) break;
        curl_multi_poll(multi.get(), nullptr, 0, kCancelCheckMs, nullptr);
    }
    curl_multi_remove_handle(multi.get(), easy);
    return result;
}

struct Transfer {
    std::string body;
    bool tooLarge = false;
};

std::size_t TakeBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (transfer.body.size() + bytes > kLongestHttpsAnswer) {
        transfer.tooLarge = true;
        return 0;  // ends the transfer
    }
    transfer.body.append(data, bytes);
    return bytes;
}

class CurlHttpsClient final : public HttpsClient {
public:
    HttpsAnswer PostForm(const std::string& url, const std::string& form, std::int32_t timeoutMs) override {
        static std::once_flag initialised;
        std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
        if (cancelled_.load()) return {HttpsFailure::kCancelled, 0, {}};
        const UniqueCurl curl(curl_easy_init());
        if (curl.get() == nullptr) return {HttpsFailure::kUnreachable, 0, {}};
        CURL* handle = curl.get();
        Transfer transfer;
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
        // Tokens go to https addresses only, also after a redirect (which a token endpoint has no reason to send).
        curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https");
        curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, form.c_str());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE, static_cast<long>(form.size()));
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, TakeBody);
        curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
        curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(timeoutMs));
        // Threads of their own must not meet signals of curl's name resolution.
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
        // libcurl does not read these by itself; OpenSSL, which checks the POP3 server, does.
        if (const char* file = std::getenv("SSL_CERT_FILE"); file != nullptr && *file != '\0') {
            curl_easy_setopt(handle, CURLOPT_CAINFO, file);
        }
        if (const char* folder = std::getenv("SSL_CERT_DIR"); folder != nullptr && *folder != '\0') {
            curl_easy_setopt(handle, CURLOPT_CAPATH, folder);
        }
        const CURLcode result = Perform(handle, cancelled_);
        if (transfer.tooLarge) return {HttpsFailure::kTooLarge, 0, {}};
        if (result == CURLE_ABORTED_BY_CALLBACK || cancelled_.load()) return {HttpsFailure::kCancelled, 0, {}};
        if (result != CURLE_OK) return {HttpsFailure::kUnreachable, 0, {}};
        long status = 0;
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
        return {HttpsFailure::kNone, status, std::move(transfer.body)};
    }

    void Cancel() override { cancelled_.store(true); }

private:
    std::atomic<bool> cancelled_{false};
};

}  // namespace

std::unique_ptr<HttpsClient> CreateHttpsClient() { return std::make_unique<CurlHttpsClient>(); }

}  // namespace zendrel
