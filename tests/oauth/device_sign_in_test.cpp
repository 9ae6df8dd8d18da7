#include "oauth/device_sign_in.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace zendrel {
namespace {

using ::testing::ElementsAre;

// The provider's side, an answer per request in order; the real exchange is in the end-to-end tests.
class ScriptedProvider final : public HttpsClient {
public:
    explicit ScriptedProvider(std::deque<HttpsAnswer> answers) : answers_(std::move(answers)) {}
    HttpsAnswer PostForm(const std::string&, const std::string& form, std::int32_t) override {
        forms.push_back(form);
        HttpsAnswer answer = answers_.empty() ? HttpsAnswer{HttpsFailure::kUnreachable, 0, {}} : answers_.front();
        if (!answers_.empty()) answers_.pop_front();
        return answer;
    }
    void Cancel() override {}
    std::vector<std::string> forms;

private:
    std::deque<HttpsAnswer> answers_;
};

HttpsAnswer Error(const char* code) { return {HttpsFailure::kNone, 400, std::string(R"({"error":")") + code + "\"}"}; }

const SignInClient kClient{"https://id.example/device", "https://id.example/token", "app-1", "pop offline_access",
                           "s&cret"};

TEST(DeviceSignIn, TheCodeIsReadAsEachProviderNamesItAndOnlyIfItCanBeShown) {
    ScriptedProvider provider({
        {HttpsFailure::kNone, 200,
         R"({"device_code":"d1","user_code":"AB-12","verification_url":"https://id.example/dev","expires_in":900})"},
        {HttpsFailure::kNone, 200,
         R"({"device_code":"d1","user_code":"AB\u001b[2J","verification_uri":"https://x","expires_in":900})"},
    });
    std::string detail;
    const std::optional<DeviceCode> code = RequestDeviceCode(provider, kClient, detail);
    ASSERT_TRUE(code);
    EXPECT_EQ(code->userCode, "AB-12");
    EXPECT_EQ(code->verificationUri, "https://id.example/dev");
    EXPECT_EQ(code->intervalSeconds, 5) << "RFC 8628's default";
    EXPECT_EQ(provider.forms[0], "client_id=app-1&scope=pop%20offline_access");
    EXPECT_FALSE(RequestDeviceCode(provider, kClient, detail)) << "an escape sequence is no code to show";
}

TEST(DeviceSignIn, PollsAtTheProvidersIntervalUntilTheUserDecides) {
    // {"email":"jo@example.org"} as an id token's claims.
    const std::string idToken = "e30.eyJlbWFpbCI6ImpvQGV4YW1wbGUub3JnIn0.c2ln";
    const struct {
        std::deque<HttpsAnswer> answers;
        std::int64_t codeLife;
        SignInOutcome outcome;
        std::vector<std::int64_t> waits;
    } cases[] = {
        {{Error("authorization_pending"), Error("slow_down"),
          {HttpsFailure::kNone, 200,
           R"({"access_token":"a","refresh_token":"r","expires_in":3600,"id_token":")" + idToken + "\"}"}},
         20, SignInOutcome::kSignedIn,
         {2, 2, 7}},
        {{Error("authorization_pending"), Error("access_denied")}, 20, SignInOutcome::kRefused, {2, 2}},
        {{Error("expired_token")}, 20, SignInOutcome::kExpired, {2}},
        // The code lives 5 seconds: no third wait.
        {{Error("authorization_pending"), Error("authorization_pending")}, 5, SignInOutcome::kExpired, {2, 2}},
        {{{HttpsFailure::kNone, 503, ""}}, 20, SignInOutcome::kUnreachable, {2}},
    };
    for (const auto& c : cases) {
        ScriptedProvider provider(c.answers);
        std::int64_t clock = 1000;
        std::vector<std::int64_t> waits;
        const SignInResult result = AwaitDeviceSignIn(
            provider, kClient, {"dev code", "AB-12", "https://id.example/dev", c.codeLife, 2},
            [&](std::int64_t seconds) {
                waits.push_back(seconds);
                clock += seconds;
            },
            [&] { return clock; });
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(waits, c.waits);
        EXPECT_EQ(provider.forms.front(),
                  "grant_type=urn%3Aietf%3Aparams%3Aoauth%3Agrant-type%3Adevice_code&device_code=dev%20code"
                  "&client_id=app-1&client_secret=s%26cret");
        if (c.outcome != SignInOutcome::kSignedIn) continue;
        EXPECT_EQ(result.tokens.accessToken, "a");
        EXPECT_EQ(result.tokens.refreshToken, "r");
        EXPECT_EQ(result.tokens.accessTokenExpiresAt, clock + 3600);
        EXPECT_EQ(result.tokens.signedInName, "jo@example.org");
    }
}

}  // namespace
}  // namespace zendrel
