#include "app/window_sign_in.h"

#include <mutex>
#include <thread>
#include <utility>

#include "oauth/browser_sign_in.h"
#include "oauth/providers.h"
#include "oauth/token_store.h"

namespace zendrel {
namespace {

// The browser's redirect is waited for on a thread of its own, so that the window stays responsive; its end waits
// under the lock until the shell's timer takes it.
class BrowserWindowSignIn final : public WindowSignIn {
public:
    explicit BrowserWindowSignIn(std::filesystem::path dataFolder) : dataFolder_(std::move(dataFolder)) {}

    ~BrowserWindowSignIn() override {
        Cancel();
        if (thread_.joinable()) thread_.join();
    }

    std::optional<std::string> Start(const SignInSettings& settings, std::string& detail) override {
        {
            std::lock_guard lock(mutex_);
            if (waiting_) {
                detail = "a sign-in is already waiting for the browser";
                return std::nullopt;
            }
        }
        // The previous sign-in has ended: its thread is done or about to be.
        if (thread_.joinable()) thread_.join();
        const ProviderEndpoints endpoints =
            EndpointsOf(settings.provider, settings.tenant,
                        {settings.authorizeUrl, settings.tokenUrl, settings.deviceUrl, settings.scope});
        if (settings.clientId.empty()) {
            detail = "OAuthClientId is not set";
            return std::nullopt;
        }
        if (endpoints.authorizeUrl.empty() || endpoints.tokenUrl.empty()) {
            detail = "the provider has no authorization or token address";
            return std::nullopt;
        }
        auto signIn = std::make_shared<BrowserSignIn>(CreateHttpsClient());
        const std::optional<std::string> address =
            signIn->Start({endpoints, settings.clientId, settings.clientSecret}, detail);
        if (!address) return std::nullopt;
        {
            std::lock_guard lock(mutex_);
            signIn_ = signIn;
            waiting_ = true;
            end_.reset();
        }
        thread_ = std::thread([this, signIn] { Wait(*signIn); });
        return address;
    }

    std::optional<WindowSignInEnd> TakeEnd() override {
        std::lock_guard lock(mutex_);
        return std::exchange(end_, std::nullopt);
    }

    void Cancel() override {
        std::lock_guard lock(mutex_);
        if (waiting_ && signIn_) signIn_->Cancel();
    }

    std::optional<std::string> SignedInName() const override {
        const std::optional<StoredTokens> tokens = ReadStoredTokens(dataFolder_ / kTokenFileName);
        if (!tokens || !IsSignedIn(*tokens)) return std::nullopt;
        return tokens->signedInName;
    }

private:
    void Wait(BrowserSignIn& signIn) {
        const SignInResult result = signIn.Await(kBrowserSignInTimeoutSeconds * 1000);
        WindowSignInEnd end{result.outcome, result.tokens.signedInName, result.detail};
        if (result.outcome == SignInOutcome::kSignedIn &&
            SaveTokens(dataFolder_ / kTokenFileName, result.tokens) != TokenSave::kSaved) {
            end = {SignInOutcome::kUnreachable, {}, std::string(kTokenFileName) + " cannot be written"};
        }
        std::lock_guard lock(mutex_);
        end_ = std::move(end);
        waiting_ = false;
        signIn_.reset();
    }

    const std::filesystem::path dataFolder_;
    std::thread thread_;
    std::mutex mutex_;
    std::shared_ptr<BrowserSignIn> signIn_;  // while one waits
    bool waiting_ = false;
    std::optional<WindowSignInEnd> end_;
};

}  // namespace

std::unique_ptr<WindowSignIn> CreateWindowSignIn(const std::filesystem::path& dataFolder) {
    return std::make_unique<BrowserWindowSignIn>(dataFolder);
}

}  // namespace zendrel
