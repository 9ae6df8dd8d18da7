#include "oauth/token_refresh.h"

#include <gtest/gtest.h>

#include <string>

#include "answering_https_client.h"

namespace zendrel {
namespace {

using AnsweringClient = testsupport::AnsweringHttpsClient;

constexpr std::int64_t kNow = 1800000000;

TEST(RefreshTokens, AsksForTheRefreshTokensGrantWithEveryValueEncoded) {
    AnsweringClient https({HttpsFailure::kNone, 200, R"({"access_token":"new","expires_in":3600})"});
    StoredTokens current;
    current.refreshToken = "0.AX/b+c=";
    RefreshTokens(https, {"https://id.example/token", "a b&c", "pop offline_access", ""}, current, kNow);
    EXPECT_EQ(https.url_, "https://id.example/token");
    EXPECT_EQ(https.form_,
              "grant_type=refresh_token&refresh_token=0.AX%2Fb%2Bc%3D&client_id=a%20b%26c&scope=pop%20offline_access");
    RefreshTokens(https, {"https://id.example/token", "app", "", "GOCSPX-x/y"}, current, kNow);
    EXPECT_EQ(https.form_, "grant_type=refresh_token&refresh_token=0.AX%2Fb%2Bc%3D&client_id=app&client_secret=GOCSPX-x%2Fy");
}

TEST(RefreshTokens, ReadsTheProvidersAnswer) {
    const struct {
        HttpsAnswer answer;
        RefreshOutcome outcome;
        const char* refreshToken;  // stored afterwards
        std::int64_t expiresAt;
        const char* detail;
    } cases[] = {
        {{HttpsFailure::kNone, 200, R"({"access_token":"new","expires_in":3599,"refresh_token":"rotated"})"},
         RefreshOutcome::kRefreshed, "rotated", kNow + 3599, "answered 200"},
        {{HttpsFailure::kNone, 200, R"({"access_token":"new","token_type":"Bearer"})"}, RefreshOutcome::kRefreshed,
         "old", 0, "answered 200"},
        {{HttpsFailure::kNone, 400, R"({"error":"invalid_grant","error_description":"AADSTS70008"})"},
         RefreshOutcome::kSignInAgain, "", 0, "answered 400 invalid_grant"},
        {{HttpsFailure::kNone, 401, R"({"error":"invalid\nclient"})"}, RefreshOutcome::kSignInAgain, "", 0,
         "answered 401 invalid?client"},
        {{HttpsFailure::kNone, 503, "<html>busy</html>"}, RefreshOutcome::kUnreachable, "", 0, "answered 503"},
        {{HttpsFailure::kNone, 200, R"({"access_token":""})"}, RefreshOutcome::kUnreachable, "", 0, "answered 200"},
        {{HttpsFailure::kNone, 200, R"(["access_token"])"}, RefreshOutcome::kUnreachable, "", 0, "answered 200"},
        {{HttpsFailure::kNone, 200, R"({"access_token":)"}, RefreshOutcome::kUnreachable, "", 0, "answered 200"},
        {{HttpsFailure::kUnreachable, 0, ""}, RefreshOutcome::kUnreachable, "", 0, "cannot be reached"},
        {{HttpsFailure::kTooLarge, 0, ""}, RefreshOutcome::kUnreachable, "", 0, "too large"},
        {{HttpsFailure::kCancelled, 0, ""}, RefreshOutcome::kCancelled, "", 0, ""},
    };
    StoredTokens current;
    current.refreshToken = "old";
    current.accessToken = "expired";
    current.signedInName = "jo@example.org";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.body);
        AnsweringClient https(c.answer);
        const RefreshResult result = RefreshTokens(https, {"https://id.example/token", "id", "", ""}, current, kNow);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_NE(result.detail.find(c.detail), std::string::npos) << result.detail;
        if (c.outcome != RefreshOutcome::kRefreshed) continue;
        EXPECT_EQ(result.tokens.accessToken, "new");
        EXPECT_EQ(result.tokens.refreshToken, c.refreshToken);
        EXPECT_EQ(result.tokens.accessTokenExpiresAt, c.expiresAt);
        EXPECT_EQ(result.tokens.signedInName, "jo@example.org");
    }
}

}  // namespace
}  // namespace zendrel
