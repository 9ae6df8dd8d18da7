#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <mutex>

#include "common/unique_resource.h"
#include "net/https_client.h"

namespace zendrel {
namespace {

struct InternetTraits {
    using Handle = HINTERNET;
    static Handle None() noexcept { return nullptr; }
    static bool Close(Handle handle) noexcept { return WinHttpCloseHandle(handle) != FALSE; }
};
using UniqueInternet = UniqueResource<InternetTraits>;

// An address is ASCII (the settings refuse anything else); UTF-8 makes any byte a character all the same.
std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

class WinHttpClient final : public HttpsClient {
public:
    HttpsAnswer PostForm(const std::string& url, const std::string& form, std::int32_t timeoutMs) override {
        if (cancelled_.load()) return {HttpsFailure::kCancelled, 0, {}};
        const std::wstring wideUrl = Wide(url);
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwHostNameLength = static_cast<DWORD>(-1);
        parts.dwUrlPathLength = static_cast<DWORD>(-1);
        parts.dwExtraInfoLength = static_cast<DWORD>(-1);
        if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts) || parts.nScheme != INTERNET_SCHEME_HTTPS) {
            return {HttpsFailure::kUnreachable, 0, {}};
        }
        const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
        std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
        path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
        if (path.empty()) path = L"/";

        const UniqueInternet session(
            WinHttpOpen(L"Zendrel", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
        if (session.get() == nullptr) return {HttpsFailure::kUnreachable, 0, {}};
        WinHttpSetTimeouts(session.get(), timeoutMs, timeoutMs, timeoutMs, timeoutMs);
        const UniqueInternet connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
        if (connection.get() == nullptr) return {HttpsFailure::kUnreachable, 0, {}};
        HINTERNET request = WinHttpOpenRequest(connection.get(), L"POST", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                               WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE);
        if (request == nullptr) return {HttpsFailure::kUnreachable, 0, {}};
        {
            // From here a stop closes the request, which ends the call that waits on it.
            std::lock_guard lock(mutex_);
            if (cancelled_.load()) {
                WinHttpCloseHandle(request);
                return {HttpsFailure::kCancelled, 0, {}};
            }
            request_ = request;
        }
        HttpsAnswer answer = Exchange(request, form);
        std::lock_guard lock(mutex_);
        if (request_ != nullptr) WinHttpCloseHandle(request_);
        request_ = nullptr;
        if (cancelled_.load()) return {HttpsFailure::kCancelled, 0, {}};
        return answer;
    }

    void Cancel() override {
        std::lock_guard lock(mutex_);
        cancelled_.store(true);
        if (request_ != nullptr) WinHttpCloseHandle(request_);
        request_ = nullptr;
    }

private:
    static HttpsAnswer Exchange(HINTERNET request, const std::string& form) {
        static const wchar_t kHeaders[] = L"Content-Type: application/x-www-form-urlencoded\r\n";
        const auto size = static_cast<DWORD>(form.size());
        if (!WinHttpSendRequest(request, kHeaders, static_cast<DWORD>(-1L), const_cast<char*>(form.data()), size, size,
                                0) ||
            !WinHttpReceiveResponse(request, nullptr)) {
            return {HttpsFailure::kUnreachable, 0, {}};
        }
        DWORD status = 0;
        DWORD statusSize = sizeof status;
        if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX)) {
            return {HttpsFailure::kUnreachable, 0, {}};
        }
        HttpsAnswer answer{HttpsFailure::kNone, static_cast<long>(status), {}};
        char buffer[8192];
        for (;;) {
            DWORD read = 0;
            if (!WinHttpReadData(request, buffer, sizeof buffer, &read)) return {HttpsFailure::kUnreachable, 0, {}};
            if (read == 0) break;
            if (answer.body.size() + read > kLongestHttpsAnswer) return {HttpsFailure::kTooLarge, 0, {}};
            answer.body.append(buffer, read);
        }
        return answer;
    }

    std::mutex mutex_;
    std::atomic<bool> cancelled_{false};
    HINTERNET request_ = nullptr;  // the request under way, for Cancel()
};

}  // namespace

std::unique_ptr<HttpsClient> CreateHttpsClient() { return std::make_unique<WinHttpClient>(); }

}  // namespace zendrel
