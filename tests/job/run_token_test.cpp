#include "job/run_token.h"

#include <gtest/gtest.h>

#include "pop3/mail_session.h"
#include "test_files.h"

namespace zendrel {
namespace {

constexpr std::int64_t kNow = 1800000000;

StoredTokens Tokens(const char* refresh, const char* access, std::int64_t expiresAt) {
    StoredTokens tokens;
    tokens.refreshToken = refresh;
    tokens.accessToken = access;
    tokens.accessTokenExpiresAt = expiresAt;
    tokens.signedInName = "jo@example.org";
    return tokens;
}

class AccessTokenForRunTest : public ::testing::Test {
protected:
    RunToken Take(const StoredTokens& stored, std::optional<RefreshOutcome> outcome) {
        EXPECT_EQ(SaveTokens(file_, stored), TokenSave::kSaved);
        refreshes_ = 0;
        return AccessTokenForRun(file_, kNow, [&](const StoredTokens& current) {
            ++refreshes_;
            EXPECT_EQ(current.refreshToken, stored.refreshToken);
            RefreshResult result;
            result.outcome = outcome.value_or(RefreshOutcome::kUnreachable);
            result.tokens = Tokens("rotated", "fresh", kNow + 3600);
            return result;
        });
    }
    testsupport::TemporaryFolder folder_;
    std::filesystem::path file_ = folder_.Path() / kTokenFileName;
    int refreshes_ = 0;
};

TEST_F(AccessTokenForRunTest, TheStoredTokenServesWhileItIsGoodForTheRun) {
    const struct {
        StoredTokens stored;
        const char* token;
    } cases[] = {
        {Tokens("r", "a", kNow + kTokenRenewalSeconds), "a"},
        {Tokens("", "a", 0), "a"},  // a lifetime the provider did not name is tried
    };
    for (const auto& c : cases) {
        const RunToken token = Take(c.stored, std::nullopt);
        EXPECT_EQ(token.error, SessionError::kNone);
        EXPECT_EQ(token.accessToken, c.token);
        EXPECT_EQ(refreshes_, 0);
    }
    EXPECT_EQ(AccessTokenForRun(folder_.Path() / "missing", kNow, {}).error, SessionError::kNotSignedIn);
    EXPECT_EQ(Take(Tokens("", "", 0), std::nullopt).error, SessionError::kNotSignedIn);
    EXPECT_EQ(Take(Tokens("", "a", kNow), std::nullopt).error, SessionError::kSignInExpired) << "nothing to renew with";
    EXPECT_EQ(refreshes_, 0);
}

TEST_F(AccessTokenForRunTest, ATokenThatRunsOutIsRenewedAndTheRotatedOnesStored) {
    for (const StoredTokens& stored : {Tokens("r", "a", kNow + kTokenRenewalSeconds - 1), Tokens("r", "", 0)}) {
        const RunToken token = Take(stored, RefreshOutcome::kRefreshed);
        EXPECT_EQ(token.error, SessionError::kNone);
        EXPECT_EQ(token.accessToken, "fresh");
        EXPECT_EQ(refreshes_, 1);
        const std::optional<StoredTokens> kept = ReadStoredTokens(file_);
        ASSERT_TRUE(kept);
        EXPECT_EQ(kept->refreshToken, "rotated");
        EXPECT_EQ(kept->accessToken, "fresh");
        EXPECT_EQ(kept->accessTokenExpiresAt, kNow + 3600);
    }
}

TEST_F(AccessTokenForRunTest, ARefusedOrFailedRenewalIsItsErrorAndKeepsTheStoredTokens) {
    const struct {
        RefreshOutcome outcome;
        std::int32_t error;
    } cases[] = {
        {RefreshOutcome::kSignInAgain, SessionError::kSignInExpired},
        {RefreshOutcome::kUnreachable, SessionError::kProviderUnreachable},
        {RefreshOutcome::kCancelled, SessionError::kCancelled},
    };
    for (const auto& c : cases) {
        const RunToken token = Take(Tokens("r", "a", kNow - 1), c.outcome);
        EXPECT_EQ(token.error, c.error);
        EXPECT_EQ(token.accessToken, "");
        EXPECT_EQ(ReadStoredTokens(file_)->refreshToken, "r");
    }
}

}  // namespace
}  // namespace zendrel
