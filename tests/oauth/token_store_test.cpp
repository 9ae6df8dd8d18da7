#include "oauth/token_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "test_files.h"

namespace zendrel {
namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

StoredTokens Tokens(const std::string& refresh, const std::string& access) {
    StoredTokens tokens;
    tokens.refreshToken = refresh;
    tokens.accessToken = access;
    tokens.accessTokenExpiresAt = 1900000000;
    tokens.signedInName = "j\xC3\xBCrgen@example.org";
    return tokens;
}

class TokenStoreTest : public ::testing::Test {
protected:
    testsupport::TemporaryFolder folder_;
    std::filesystem::path path_ = folder_.Path() / kTokenFileName;
};

TEST_F(TokenStoreTest, ASavedSignInReadsBackWholeFromAPrivateFile) {
    ASSERT_EQ(SaveTokens(path_, Tokens("r1", "a1")), TokenSave::kSaved);
    const std::optional<StoredTokens> read = ReadStoredTokens(path_);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->refreshToken, "r1");
    EXPECT_EQ(read->accessToken, "a1");
    EXPECT_EQ(read->accessTokenExpiresAt, 1900000000);
    EXPECT_EQ(read->signedInName, "j\xC3\xBCrgen@example.org");
    EXPECT_TRUE(IsSignedIn(*read));
    EXPECT_EQ(testsupport::FilesIn(folder_.Path()).size(), 1u) << "no temporary file is left";
#ifndef _WIN32
    EXPECT_EQ(std::filesystem::status(path_).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
#endif
}

TEST_F(TokenStoreTest, ARefreshKeepsTheTokensThatReplacedTheOnesItStartedFrom) {
    ASSERT_EQ(SaveTokens(path_, Tokens("r1", "a1")), TokenSave::kSaved);
    EXPECT_EQ(SaveRefreshedTokens(path_, "r1", Tokens("r2", "a2")), TokenSave::kSaved);
    EXPECT_EQ(ReadStoredTokens(path_)->refreshToken, "r2");

    // Another process refreshed (or the user signed in again) meanwhile: its tokens stay.
    const std::string newer = ReadBytes(path_);
    EXPECT_EQ(SaveRefreshedTokens(path_, "r1", Tokens("r3", "a3")), TokenSave::kKeptNewer);
    EXPECT_EQ(ReadBytes(path_), newer);

    // A sign-out meanwhile is not undone.
    ASSERT_TRUE(ForgetTokens(path_));
    EXPECT_EQ(SaveRefreshedTokens(path_, "r2", Tokens("r3", "a3")), TokenSave::kKeptNewer);
    EXPECT_FALSE(std::filesystem::exists(path_));
    EXPECT_TRUE(ForgetTokens(path_)) << "forgetting what is gone already is no failure";
}

TEST_F(TokenStoreTest, AValueThatWouldSplitALineIsRefusedAndTheFileStays) {
    ASSERT_EQ(SaveTokens(path_, Tokens("r1", "a1")), TokenSave::kSaved);
    const std::string before = ReadBytes(path_);
    for (const std::string& bad : {std::string("a\nrefresh=planted"), std::string("a\rb"), std::string("a\0b", 3)}) {
        EXPECT_EQ(SaveTokens(path_, Tokens("r1", bad)), TokenSave::kRefused);
        EXPECT_EQ(SaveRefreshedTokens(path_, "r1", Tokens(bad, "a")), TokenSave::kRefused);
    }
    EXPECT_EQ(ReadBytes(path_), before);
}

TEST_F(TokenStoreTest, FilesThatAreNoTokenFileReadAsNone) {
    EXPECT_FALSE(ReadStoredTokens(path_)) << "no file";
    ASSERT_TRUE(WriteBytes(path_, "refresh=r1\n"));
    EXPECT_FALSE(ReadStoredTokens(path_)) << "no first line";
    ASSERT_TRUE(WriteBytes(path_, "zendrel tokens 1\nrefresh=" + std::string(kLongestTokenFile, 'r') + "\n"));
    EXPECT_FALSE(ReadStoredTokens(path_)) << "too large to be taken into memory";
    ASSERT_TRUE(WriteBytes(path_, "zendrel tokens 1\nexpires=soon\naccess=a=b"));
    const std::optional<StoredTokens> read = ReadStoredTokens(path_);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->accessTokenExpiresAt, 0) << "an unreadable lifetime is an unknown one";
    EXPECT_EQ(read->accessToken, "a=b");
    EXPECT_FALSE(IsSignedIn(StoredTokens{}));
}

}  // namespace
}  // namespace zendrel
