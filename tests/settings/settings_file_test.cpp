#include "settings/settings_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "settings/password_cipher.h"
#include "test_files.h"

namespace zendrel {
namespace {

using testsupport::ReadBytes;
using testsupport::TemporaryFolder;
using testsupport::WriteBytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kHome = "/home/jo/";

struct RecordingDuties : SettingsLoadDuties {
    void ApplyLanguage(const std::string& language) override { languages.push_back(language); }
    void ForgetHandledMessages() override { ++forgets; }
    std::vector<std::string> languages;
    int forgets = 0;
};

class SettingsFileTest : public ::testing::Test {
protected:
    std::filesystem::path SettingsPath() const { return folder_.Path() / kSettingsFileName; }

    SettingsRecord LoadFrom(const std::string& fileBytes, SettingsRecord record = {}) {
        EXPECT_TRUE(WriteBytes(SettingsPath(), fileBytes));
        return Load(std::move(record));
    }

    SettingsRecord Load(SettingsRecord record = {}) {
        LoadSettings(folder_.Path(), kHome, record, duties_);
        return record;
    }

    TemporaryFolder folder_;
    RecordingDuties duties_;
};

TEST_F(SettingsFileTest, NoFileGivesTheDefaults) {
    const SettingsRecord record = Load();
    EXPECT_EQ(record.language, "german");
    EXPECT_EQ(record.portText, "110");
    EXPECT_EQ(record.security, ConnectionSecurity::kNone) << "files from before TLS mean plain text";
    EXPECT_EQ(record.server, kDefaultServer);
    EXPECT_EQ(record.userName, "");
    EXPECT_EQ(record.password, "");
    EXPECT_EQ(record.intervalPosition, 1) << "600 seconds";
    EXPECT_EQ(record.searchString, "TQV7000");
    EXPECT_EQ(record.saveDir, kHome);
    EXPECT_EQ(record.startHour, 0);
    EXPECT_EQ(record.startMinute, 0);
    EXPECT_FALSE(record.deleteMails);
    EXPECT_EQ(record.extensionsText, "csv");
    EXPECT_EQ(record.existingFiles, ExistingFiles::kKeepBoth) << "a name clash keeps both files";
    EXPECT_EQ(record.subFolder, "");
    EXPECT_FALSE(record.saveInline);
    EXPECT_FALSE(record.rememberMails);
    EXPECT_EQ(record.signIn.authentication, Authentication::kPassword) << "the password, as before sign-ins existed";
    EXPECT_EQ(record.signIn.provider, "microsoft");
    EXPECT_EQ(record.signIn.tenant, "consumers");
    EXPECT_EQ(record.signIn.clientId, "");
    EXPECT_EQ(record.signIn.clientSecret, "") << "no secret is sent unless one was set";
    EXPECT_THAT(record.allowedSenders, IsEmpty());
    EXPECT_THAT(record.blockedSenders, IsEmpty());
    EXPECT_THAT(duties_.languages, ElementsAre("german"));
    EXPECT_EQ(duties_.forgets, 1);
}

TEST_F(SettingsFileTest, AMissingGroupReadsAsMissingKeys) {
    const SettingsRecord record = LoadFrom("[AllowedMails]\r\nCount = 1\r\nMail_1 = a@x\r\n");
    EXPECT_EQ(record.portText, "110");
    EXPECT_EQ(record.searchString, "TQV7000");
    EXPECT_THAT(record.allowedSenders, ElementsAre("a@x"));
}

TEST_F(SettingsFileTest, ValuesOutOfRange) {
    SettingsRecord before;
    before.intervalPosition = 4;
    const SettingsRecord record = LoadFrom(
        "[main]\r\nport = abc\r\nTimeOUT = 123\r\nStartAtHour = 24\r\nStartAtMinute = -1\r\nDeleteFiles = -3\r\n"
        "Security = 3\r\nExistingFiles = 2\r\nSaveInline = 7\r\nRememberMails = 7\r\n"
        "Authentication = 2\r\nOAuthProvider = yahoo\r\nOAuthTenant = evil.example/x?\r\n",
        before);
    EXPECT_EQ(record.portText, "0");
    EXPECT_EQ(record.existingFiles, ExistingFiles::kKeepBoth) << "an unknown choice keeps both files, which loses nothing";
    EXPECT_TRUE(record.saveInline);
    EXPECT_FALSE(record.rememberMails) << "only a deliberate 1 remembers mails across restarts";
    EXPECT_EQ(record.signIn.authentication, Authentication::kPassword) << "only a deliberate 1 gives up the password";
    EXPECT_EQ(record.signIn.provider, "microsoft");
    EXPECT_EQ(record.signIn.tenant, "consumers");
    EXPECT_EQ(record.security, ConnectionSecurity::kNone) << "an unknown kind of security is not guessed at";
    EXPECT_EQ(record.intervalPosition, 4) << "an interval that matches no entry leaves the selection as it was";
    EXPECT_EQ(record.startHour, std::nullopt);
    EXPECT_EQ(record.startMinute, std::nullopt);
    EXPECT_TRUE(record.deleteMails);

    const std::string saved = FormatSettingsFile(record);
    EXPECT_THAT(saved, ::testing::HasSubstr("\r\nPort = 0\r\n"));
    EXPECT_THAT(saved, ::testing::HasSubstr("\r\nStartAtHour = -1\r\nStartAtMinute = -1\r\n"));
}

TEST_F(SettingsFileTest, PresentButEmptyValues) {
    const SettingsRecord record =
        LoadFrom("[Main]\r\nPort =\r\nServer =\r\nSearchString =\r\nFileExtensions =\r\nSaveDir =\r\nTimeOUT =\r\n");
    EXPECT_EQ(record.portText, "0") << "not the default 110";
    EXPECT_EQ(record.server, "");
    EXPECT_EQ(record.searchString, "");
    EXPECT_EQ(record.extensionsText, "");
    EXPECT_EQ(record.saveDir, "");
    EXPECT_EQ(record.intervalPosition, std::nullopt);
}

TEST_F(SettingsFileTest, IntervalsSelectTheirPosition) {
    const struct {
        const char* stored;
        std::optional<int> position;
    } cases[] = {{"300", 0}, {"1800", 3}, {"86400", 10}, {"86400 seconds", 10}, {"0", std::nullopt},
                 {"-600", std::nullopt}, {"601", std::nullopt}};
    for (const auto& c : cases) {
        const SettingsRecord record = LoadFrom(std::string("[Main]\r\nTimeOUT = ") + c.stored + "\r\n");
        EXPECT_EQ(record.intervalPosition, c.position) << c.stored;
    }
}

TEST_F(SettingsFileTest, LanguageIsLowerCasedAndAnythingButGermanIsEnglish) {
    const struct {
        const char* stored;
        const char* applied;
        const char* checked;
    } cases[] = {{"German", "german", "german"}, {"GERMAN", "german", "german"}, {"english", "english", "english"},
                 {"Fran\xC7" "ais", "fran\xE7" "ais", "english"}, {"", "", "english"}};
    for (const auto& c : cases) {
        duties_.languages.clear();
        const SettingsRecord record = LoadFrom(std::string("[Main]\r\nLanguage = ") + c.stored + "\r\n");
        EXPECT_THAT(duties_.languages, ElementsAre(c.applied));
        EXPECT_EQ(record.language, c.checked);
        EXPECT_THAT(FormatSettingsFile(record),
                    ::testing::StartsWith(std::string("[Main]\r\nLanguage = ") + c.checked + "\r\n"));
    }
}

TEST_F(SettingsFileTest, SenderListsAreAppendedAndMissingEntriesAreEmpty) {
    SettingsRecord before;
    before.blockedSenders = {"already@listed"};
    const SettingsRecord record = LoadFrom(
        "[AllowedMails]\r\nCount = 3\r\nMail_1 = a@example.org\r\nMail_3 = c@example.org\r\n"
        "[DisAllowedMails]\r\nCount = 2\r\nMail_2 = spam@x\r\nMail_3 = ignored\r\n",
        before);
    EXPECT_THAT(record.allowedSenders, ElementsAre("a@example.org", "", "c@example.org"));
    EXPECT_THAT(record.blockedSenders, ElementsAre("already@listed", "", "spam@x"));
    EXPECT_THAT(FormatSettingsFile(record),
                ::testing::HasSubstr("[AllowedMails]\r\nCount = 3\r\nMail_1 = a@example.org\r\nMail_2 = \r\n"));
}

TEST_F(SettingsFileTest, ACountBeyondTheLastEntryReadsOnlyWhatTheFileHolds) {
    const struct {
        const char* group;
        std::vector<std::string> entries;
    } cases[] = {
        {"Count = 2147483647\r\nMail_2 = b\r\n", {"", "b"}},
        {"Count = 2\r\nMail_1 = a\r\n", {"a"}},
        {"Count = 1000000\r\nMail_0002 = x\r\nmail_1 = a\r\n", {"a"}},  // only the spelling a lookup finds
        // Without any entry one empty entry stands for all of them: the white list still refuses every sender.
        {"Count = 99999999\r\n", {""}},
    };
    for (const auto& c : cases) {
        const SettingsRecord record = LoadFrom(std::string("[AllowedMails]\r\n") + c.group);
        EXPECT_EQ(record.allowedSenders, c.entries) << c.group;
    }
}

TEST_F(SettingsFileTest, ACountOfZeroOrLessAppendsNothing) {
    for (const char* count : {"0", "-2", "x"}) {
        const SettingsRecord record =
            LoadFrom(std::string("[AllowedMails]\r\nCount = ") + count + "\r\nMail_1 = a\r\n");
        EXPECT_THAT(record.allowedSenders, IsEmpty()) << count;
    }
}

SettingsRecord SampleRecord() {
    SettingsRecord record;
    record.language = "english";
    record.portText = "995x";
    record.security = ConnectionSecurity::kTls;
    record.server = "pop.example.org";
    record.userName = "J\xFCrgen";
    record.password = "Passw\xF6rt!";
    record.intervalPosition = 4;
    record.searchString = "Report ";
    record.saveDir = "/srv/inbox/";
    record.startHour = 7;
    record.startMinute = 30;
    record.deleteMails = true;
    record.extensionsText = "CSV, .Pdf";
    record.existingFiles = ExistingFiles::kReplace;
    record.subFolder = "{domain}/{year}-{month}";
    record.saveInline = true;
    record.rememberMails = true;
    record.signIn.authentication = Authentication::kOAuth;
    record.signIn.provider = "custom";
    record.signIn.clientId = "0a1b-2c";
    record.signIn.tenant = "organizations";
    record.signIn.authorizeUrl = "https://id.example.org/authorize";
    record.signIn.tokenUrl = "https://id.example.org/token";
    record.signIn.deviceUrl = "";
    record.signIn.scope = "pop offline_access";
    record.signIn.clientSecret = "GOCSPX-1";
    record.allowedSenders = {"a", "b"};
    record.blockedSenders = {};
    return record;
}

TEST_F(SettingsFileTest, TheSavedFileHasItsExactLines) {
    const std::string saved = FormatSettingsFile(SampleRecord());
    // The password line differs on every save; it is checked by decoding it.
    const std::regex passwordLine("\r\nPassword = ([A-Za-z0-9+/=]+)\r\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(saved, match, passwordLine));
    EXPECT_EQ(DecodeStoredPassword(match[1].str()), "Passw\xF6rt!");
    EXPECT_EQ(match[1].str().size(), 44u) << "nine bytes fill two blocks";

    EXPECT_EQ(std::regex_replace(saved, passwordLine, "\r\nPassword = *\r\n"),
              "[Main]\r\n"
              "Language = english\r\n"
              "Port = 995\r\n"
              "Security = 2\r\n"
              "Server = pop.example.org\r\n"
              "Username = J\xFCrgen\r\n"
              "Password = *\r\n"
              "TimeOUT = 3600\r\n"
              "SearchString = Report \r\n"
              "SaveDir = /srv/inbox/\r\n"
              "StartAtHour = 7\r\n"
              "StartAtMinute = 30\r\n"
              "DeleteFiles = 1\r\n"
              "FileExtensions = CSV, .Pdf\r\n"
              "ExistingFiles = 1\r\n"
              "SubFolder = {domain}/{year}-{month}\r\n"
              "SaveInline = 1\r\n"
              "RememberMails = 1\r\n"
              "Authentication = 1\r\n"
              "OAuthProvider = custom\r\n"
              "OAuthClientId = 0a1b-2c\r\n"
              "OAuthTenant = organizations\r\n"
              "OAuthAuthorizeUrl = https://id.example.org/authorize\r\n"
              "OAuthTokenUrl = https://id.example.org/token\r\n"
              "OAuthDeviceUrl = \r\n"
              "OAuthScope = pop offline_access\r\n"
              "OAuthClientSecret = GOCSPX-1\r\n"
              "[AllowedMails]\r\n"
              "Count = 2\r\n"
              "Mail_1 = a\r\n"
              "Mail_2 = b\r\n"
              "[DisAllowedMails]\r\n"
              "Count = 0\r\n");
}

TEST_F(SettingsFileTest, NoIntervalSelectedLeavesTimeOutOut) {
    SettingsRecord record = SampleRecord();
    record.intervalPosition.reset();
    EXPECT_THAT(FormatSettingsFile(record), ::testing::Not(::testing::HasSubstr("TimeOUT")));
    EXPECT_THAT(FormatSettingsFile(record), ::testing::HasSubstr("\r\nPassword = "));
}

TEST_F(SettingsFileTest, SaveThenLoadGivesTheSameRecord) {
    SettingsRecord record = SampleRecord();
    record.portText = "995";
    record.searchString = "Report";  // values lose their blanks at either end when read
    record.blockedSenders = {"spam@x", "", "Name With Blanks <n@x>"};
    ASSERT_TRUE(SaveSettings(folder_.Path(), record));

    const SettingsRecord loaded = Load();
    EXPECT_EQ(loaded.language, record.language);
    EXPECT_EQ(loaded.portText, record.portText);
    EXPECT_EQ(loaded.security, record.security);
    EXPECT_EQ(loaded.server, record.server);
    EXPECT_EQ(loaded.userName, record.userName);
    EXPECT_EQ(loaded.password, record.password);
    EXPECT_EQ(loaded.intervalPosition, record.intervalPosition);
    EXPECT_EQ(loaded.searchString, record.searchString);
    EXPECT_EQ(loaded.saveDir, record.saveDir);
    EXPECT_EQ(loaded.startHour, record.startHour);
    EXPECT_EQ(loaded.startMinute, record.startMinute);
    EXPECT_EQ(loaded.deleteMails, record.deleteMails);
    EXPECT_EQ(loaded.extensionsText, record.extensionsText);
    EXPECT_EQ(loaded.existingFiles, record.existingFiles);
    EXPECT_EQ(loaded.subFolder, record.subFolder);
    EXPECT_EQ(loaded.saveInline, record.saveInline);
    EXPECT_EQ(loaded.rememberMails, record.rememberMails);
    EXPECT_EQ(loaded.signIn.authentication, record.signIn.authentication);
    EXPECT_EQ(loaded.signIn.provider, record.signIn.provider);
    EXPECT_EQ(loaded.signIn.clientId, record.signIn.clientId);
    EXPECT_EQ(loaded.signIn.tenant, record.signIn.tenant);
    EXPECT_EQ(loaded.signIn.authorizeUrl, record.signIn.authorizeUrl);
    EXPECT_EQ(loaded.signIn.tokenUrl, record.signIn.tokenUrl);
    EXPECT_EQ(loaded.signIn.deviceUrl, record.signIn.deviceUrl);
    EXPECT_EQ(loaded.signIn.scope, record.signIn.scope);
    EXPECT_EQ(loaded.signIn.clientSecret, record.signIn.clientSecret);
    EXPECT_EQ(loaded.allowedSenders, record.allowedSenders);
    EXPECT_EQ(loaded.blockedSenders, record.blockedSenders);
}

TEST_F(SettingsFileTest, LongPasswordsThatTheSaveStoresLoadBack) {
    for (const std::size_t length : {0u, 1u, 8u, 9u, 496u, 497u, 600u, 1016u}) {
        SettingsRecord record = SampleRecord();
        record.password = std::string(length, 'p');
        if (length > 0) record.password[length - 1] = '\xFF';
        ASSERT_TRUE(SaveSettings(folder_.Path(), record));
        EXPECT_EQ(Load().password, record.password) << length << " bytes";
    }
}

TEST_F(SettingsFileTest, AnUndecodableStoredPasswordLoadsEmpty) {
    for (const char* stored : {"", "AAAA", "not base64 at all!", "ABBeX3hW"}) {
        const SettingsRecord record = LoadFrom(std::string("[Main]\r\nPassword = ") + stored + "\r\n");
        EXPECT_EQ(record.password, "") << stored;
    }
}

TEST_F(SettingsFileTest, Utf8FileLoadsAsSingleBytesAndSavesWithoutTheMark) {
    const SettingsRecord record =
        LoadFrom("\xEF\xBB\xBF[Main]\r\nUsername = J\xC3\xBCrgen\r\nServer = pop.\xE2\x82\xAC.example\r\n");
    EXPECT_EQ(record.userName, "J\xFCrgen");
    EXPECT_EQ(record.server, "pop.?.example");
    ASSERT_TRUE(SaveSettings(folder_.Path(), record));
    const std::string saved = ReadBytes(SettingsPath());
    EXPECT_THAT(saved, ::testing::StartsWith("[Main]\r\n"));
    EXPECT_THAT(saved, ::testing::HasSubstr("\r\nUsername = J\xFCrgen\r\n"));
}

TEST_F(SettingsFileTest, CommentsAndUnknownKeysAreGoneAfterASave) {
    const SettingsRecord record = LoadFrom("; mine\r\n[Main]\r\nColour = blue\r\nPort = 1\r\n");
    ASSERT_TRUE(SaveSettings(folder_.Path(), record));
    const std::string saved = ReadBytes(SettingsPath());
    EXPECT_THAT(saved, ::testing::Not(::testing::HasSubstr("mine")));
    EXPECT_THAT(saved, ::testing::Not(::testing::HasSubstr("Colour")));
}

TEST_F(SettingsFileTest, ASaveReplacesTheFileWholeAndLeavesNoTemporaryFile) {
    ASSERT_TRUE(WriteBytes(SettingsPath(), std::string(100000, 'x')));
    ASSERT_TRUE(SaveSettings(folder_.Path(), SampleRecord()));
    EXPECT_EQ(testsupport::FilesIn(folder_.Path()).size(), 1u);
    EXPECT_EQ(Load().server, "pop.example.org");
}

TEST_F(SettingsFileTest, ASaveThatCannotCompleteLeavesEverythingAsItWas) {
    // A folder in the file's place: the rename fails after the new text was written.
    const std::filesystem::path blocker = folder_.MakeFolder(kSettingsFileName);
    ASSERT_TRUE(WriteBytes(blocker / "inside", "kept"));
    EXPECT_FALSE(SaveSettings(folder_.Path(), SampleRecord()));
    EXPECT_EQ(ReadBytes(blocker / "inside"), "kept");
    EXPECT_TRUE(testsupport::FilesIn(folder_.Path()).empty()) << "the temporary file is removed";

    EXPECT_FALSE(SaveSettings(folder_.Path() / "missing", SampleRecord()));
    EXPECT_FALSE(std::filesystem::exists(folder_.Path() / "missing"));
}

}  // namespace
}  // namespace zendrel
