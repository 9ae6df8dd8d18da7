#include "app/window_sign_in.h"

#include "oauth/token_store.h"

namespace zendrel {
namespace {

// Until the browser's redirect is built, the window can only tell whether a sign-in is stored.
class StoredSignInOnly final : public WindowSignIn {
public:
    explicit StoredSignInOnly(std::filesystem::path dataFolder) : dataFolder_(std::move(dataFolder)) {}
    std::optional<std::string> Start(const SignInSettings&, std::string& detail) override {
        detail = "the sign-in in the browser is not available in this build";
        return std::nullopt;
    }
    std::optional<WindowSignInEnd> TakeEnd() override { return std::nullopt; }
    void Cancel() override {}
    std::optional<std::string> SignedInName() const override {
        const std::optional<StoredTokens> tokens = ReadStoredTokens(dataFolder_ / kTokenFileName);
        if (!tokens || !IsSignedIn(*tokens)) return std::nullopt;
        return tokens->signedInName;
    }

private:
    std::filesystem::path dataFolder_;
};

}  // namespace

std::unique_ptr<WindowSignIn> CreateWindowSignIn(const std::filesystem::path& dataFolder) {
    return std::make_unique<StoredSignInOnly>(dataFolder);
}

}  // namespace zendrel
