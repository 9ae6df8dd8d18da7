#include "app/settings_commands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "oauth/token_store.h"
#include "settings/password_cipher.h"
#include "settings/settings_file.h"
#include "test_files.h"

namespace zendrel {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// The data folder for the commands, which read it from the environment as the program does.
void SetDataFolderVariable(const std::string& value) {
#ifdef _WIN32
    _putenv_s("ZENDREL_DATA_DIR", value.c_str());  // an empty value removes it
#else
    if (value.empty()) {
        ::unsetenv("ZENDREL_DATA_DIR");
    } else {
        ::setenv("ZENDREL_DATA_DIR", value.c_str(), 1);
    }
#endif
}

class NoDuties : public SettingsLoadDuties {
public:
    void ApplyLanguage(const std::string&) override {}
    void ForgetHandledMessages() override {}
};

class SettingsCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.Created());
        SetDataFolderVariable(data_.string());
        ASSERT_EQ(Run({"Port=995", "Security=2", "Server=pop.example.org", "TimeOUT=300",
                       "SaveDir=" + folder_.Path().string()}),
                  0);
    }
    void TearDown() override { SetDataFolderVariable(""); }

    int Run(const std::vector<std::string>& assignments) {
        std::ostringstream out;
        err_.str("");
        return SetSettingsCommand(assignments, out, err_);
    }
    int Edit(SenderListEdit edit, const std::string& address) {
        std::ostringstream out;
        err_.str("");
        return EditSenderListCommand(edit, address, out, err_);
    }
    std::string FileBytes() const { return testsupport::ReadBytes(data_ / kSettingsFileName); }
    SettingsRecord Saved() const {
        SettingsRecord record;
        NoDuties duties;
        LoadSettings(data_, "", record, duties);
        return record;
    }

    testsupport::TemporaryFolder folder_;
    std::filesystem::path data_ = folder_.Path() / "data";
    std::ostringstream err_;
};

TEST_F(SettingsCommandsTest, AcceptedValuesAreSavedAsTheWindowWouldSaveThem) {
    ASSERT_EQ(Run({"language=English", "StartAtHour=23", "startatminute=5", "DeleteFiles=1", "FileExtensions=CSV, .Pdf",
                   "ExistingFiles=1", "SubFolder={domain}/{year}-{month}", "saveinline=1", "RememberMails=1",
                   "Authentication=1", "OAuthProvider=Google", "OAuthClientId=123.apps", "OAuthTenant=contoso.example",
                   "OAuthAuthorizeUrl=https://id.example/auth", "OAuthTokenUrl=HTTPS://id.example/token",
                   "OAuthDeviceUrl=", "OAuthScope=pop offline_access", "OAuthClientSecret=GOCSPX-1"}),
              0);
    const SettingsRecord record = Saved();
    EXPECT_EQ(record.language, "english");
    EXPECT_EQ(record.portText, "995");
    EXPECT_EQ(record.security, ConnectionSecurity::kTls);
    EXPECT_EQ(record.server, "pop.example.org");
    EXPECT_EQ(record.intervalPosition, 0);
    EXPECT_EQ(record.startHour, 23);
    EXPECT_EQ(record.startMinute, 5);
    EXPECT_TRUE(record.deleteMails);
    EXPECT_EQ(record.extensionsText, "CSV, .Pdf");
    EXPECT_EQ(record.existingFiles, ExistingFiles::kReplace);
    EXPECT_EQ(record.subFolder, "{domain}/{year}-{month}");
    EXPECT_TRUE(record.saveInline);
    EXPECT_TRUE(record.rememberMails);
    EXPECT_EQ(record.signIn.authentication, Authentication::kOAuth);
    EXPECT_EQ(record.signIn.provider, "google");
    EXPECT_EQ(record.signIn.clientId, "123.apps");
    EXPECT_EQ(record.signIn.tenant, "contoso.example");
    EXPECT_EQ(record.signIn.authorizeUrl, "https://id.example/auth");
    EXPECT_EQ(record.signIn.tokenUrl, "HTTPS://id.example/token");
    EXPECT_EQ(record.signIn.deviceUrl, "");
    EXPECT_EQ(record.signIn.scope, "pop offline_access");
    EXPECT_EQ(record.signIn.clientSecret, "GOCSPX-1");
}

TEST_F(SettingsCommandsTest, ARefusedValueLeavesTheFileUntouched) {
    const std::string before = FileBytes();
    const struct {
        std::vector<std::string> assignments;
        const char* reason;
    } cases[] = {
        {{"Port=0"}, "Port"},
        {{"Port=110x"}, "Port"},
        {{"Server=ok", "TimeOUT=123"}, "TimeOUT"},  // the good one before it is not written either
        {{"StartAtHour=24"}, "StartAtHour"},
        {{"StartAtMinute=-1"}, "StartAtMinute"},
        {{"DeleteFiles=yes"}, "DeleteFiles"},
        {{"Security=3"}, "Security"},
        {{"Language=french"}, "Language"},
        {{"ExistingFiles=2"}, "ExistingFiles"},
        {{"SaveInline=yes"}, "SaveInline"},
        {{"RememberMails=2"}, "RememberMails"},
        {{"Authentication=2"}, "Authentication"},
        {{"OAuthProvider=yahoo"}, "OAuthProvider"},
        {{"OAuthTenant=a/b"}, "OAuthTenant"},
        {{"OAuthTenant="}, "OAuthTenant"},
        {{"OAuthTokenUrl=http://id.example/token"}, "OAuthTokenUrl"},
        {{"OAuthTokenUrl="}, "OAuthTokenUrl"},
        {{"OAuthAuthorizeUrl=https:///path"}, "OAuthAuthorizeUrl"},
        {{"OAuthAuthorizeUrl=https://id.example/a b"}, "OAuthAuthorizeUrl"},
        {{"OAuthDeviceUrl=ftp://id.example/device"}, "OAuthDeviceUrl"},
        {{"SubFolder={year}/{week}"}, "SubFolder"},
        {{"SubFolder=../{year}"}, "SubFolder"},
        {{"SubFolder=/srv/{year}"}, "SubFolder"},
        {{"SubFolder=C:\\{year}"}, "SubFolder"},
        {{"SaveDir=" + (folder_.Path() / "missing").string()}, "SaveDir"},
        {{"Password=secret"}, "--set-password"},
        {{"Colour=blue"}, "unknown setting"},
        {{"Server"}, "KEY=VALUE"},
#ifndef _WIN32
        // Typed as UTF-8 on Linux: a check mark has no Windows-1252 byte. (Windows hands over Windows-1252 already.)
        {{"Server=\xE2\x9C\x93"}, "cannot store"},
#endif
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Run(c.assignments), 2) << c.reason;
        EXPECT_THAT(err_.str(), HasSubstr(c.reason));
        EXPECT_EQ(FileBytes(), before) << c.reason;
    }
}

TEST_F(SettingsCommandsTest, ARelativeSaveFolderIsStoredAsItsFullPath) {
    const std::filesystem::path previous = std::filesystem::current_path();
    const std::filesystem::path out1 = folder_.MakeFolder("out1");
    std::filesystem::current_path(folder_.Path());
    const int status = Run({"SaveDir=./out1"});
    std::filesystem::current_path(previous);
    ASSERT_EQ(status, 0) << err_.str();
    EXPECT_TRUE(std::filesystem::equivalent(Saved().saveDir, out1));
    EXPECT_TRUE(std::filesystem::path(Saved().saveDir).is_absolute()) << Saved().saveDir;
    EXPECT_EQ(Saved().saveDir.find("./"), std::string::npos) << Saved().saveDir;
}

TEST_F(SettingsCommandsTest, ThePasswordIsReadFromTheInputAndStoredEncipheredWithAPromptOnlyOnATerminal) {
    for (const bool interactive : {false, true}) {
        SCOPED_TRACE(interactive);
#ifdef _WIN32
        std::istringstream in("s\xE4kret\r\nignored\n");
#else
        std::istringstream in("s\xC3\xA4kret\r\nignored\n");  // UTF-8 from a Linux terminal
#endif
        std::ostringstream out, err;
        ASSERT_EQ(SetPasswordCommand(in, interactive, out, err), 0);
        EXPECT_EQ(Saved().password, "s\xE4kret");
        EXPECT_THAT(FileBytes(), ::testing::Not(HasSubstr("kret")));
        EXPECT_EQ(err.str().find("Password:") != std::string::npos, interactive) << err.str();
    }
}

TEST_F(SettingsCommandsTest, TheSignInIsShownOnlyAsItsStateAndSignOutForgetsIt) {
    const auto shown = [this] {
        std::ostringstream out;
        EXPECT_EQ(ShowSettingsCommand(out, err_), 0);
        return out.str();
    };
    EXPECT_THAT(shown(), HasSubstr("\nOAuthSignIn = (not signed in)\n"));
    StoredTokens tokens;
    tokens.refreshToken = "refresh-secret";
    tokens.accessToken = "access-secret";
    ASSERT_EQ(SaveTokens(data_ / kTokenFileName, tokens), TokenSave::kSaved);
    const std::string signedIn = shown();
    EXPECT_THAT(signedIn, HasSubstr("\nOAuthScope = \nOAuthClientSecret = (not set)\nOAuthSignIn = (signed in)\n[AllowedMails]\n"));
    EXPECT_THAT(signedIn, ::testing::Not(HasSubstr("secret")));

    std::ostringstream out;
    EXPECT_EQ(SignOutCommand(out, err_), 0);
    EXPECT_FALSE(std::filesystem::exists(data_ / kTokenFileName));
    EXPECT_THAT(shown(), HasSubstr("\nOAuthSignIn = (not signed in)\n"));
}

TEST_F(SettingsCommandsTest, SenderListsFollowTheWindowsDuplicateRule) {
    EXPECT_EQ(Edit(SenderListEdit::kAllow, "a@example.org"), 0);
    EXPECT_EQ(Edit(SenderListEdit::kAllow, "A@Example.org"), 0);
    EXPECT_EQ(Edit(SenderListEdit::kBlock, "a@example.org"), 0);
    EXPECT_EQ(Edit(SenderListEdit::kBlock, "spam@x"), 0);
    EXPECT_THAT(Saved().allowedSenders, ElementsAre("a@example.org"));
    EXPECT_THAT(Saved().blockedSenders, ElementsAre("a@example.org", "spam@x"));
    EXPECT_EQ(Edit(SenderListEdit::kUnlist, "A@EXAMPLE.ORG"), 0);
    EXPECT_THAT(Saved().allowedSenders, ElementsAre());
    EXPECT_THAT(Saved().blockedSenders, ElementsAre("spam@x"));
    const std::string before = FileBytes();
    EXPECT_EQ(Edit(SenderListEdit::kUnlist, "nobody@x"), 1);
    EXPECT_THAT(err_.str(), HasSubstr("neither sender list"));
    EXPECT_EQ(Edit(SenderListEdit::kAllow, ""), 2);
    EXPECT_EQ(FileBytes(), before);
}

}  // namespace
}  // namespace zendrel
