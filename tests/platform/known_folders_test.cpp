#include "platform/known_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace zendrel {
namespace {

// Sets environment variables for one test and puts the old values back.
class Environment {
public:
    void Set(const char* name, const char* value) {
        if (saved_.find(name) == saved_.end()) {
            const char* old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~Environment() {
        for (const auto& [name, value] : saved_) {
            if (value) setenv(name.c_str(), value->c_str(), 1);
            else unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST(SpecialFolder, FollowsTheXdgVariables) {
    Environment environment;
    environment.Set("HOME", "/home/jo");
    environment.Set("XDG_DATA_HOME", "/data/share");
    environment.Set("XDG_CONFIG_HOME", "/data/config/");
    EXPECT_EQ(SpecialFolderLocation(SpecialFolder::kCommonAppData), "/data/share/");
    EXPECT_EQ(SpecialFolderLocation(SpecialFolder::kAppData), "/data/config/");
    EXPECT_EQ(SpecialFolderLocation(SpecialFolder::kStartup), "/data/config/autostart/");
    EXPECT_EQ(SpecialFolderLocation(SpecialFolder::kCommonStartup), "/data/config/autostart/");
    EXPECT_EQ(SpecialFolderLocation(SpecialFolder::kProfile), "/home/jo/");
}

TEST(SpecialFolder, FallsBackBelowHomeForUnsetOrRelativeVariables) {
    Environment environment;
    environment.Set("HOME", "/home/jo/");
    environment.Set("XDG_DATA_HOME", nullptr);
    environment.Set("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(SpecialFolderLocation(SpecialFolder::kCommonAppData), "/home/jo/.local/share/");
    EXPECT_EQ(SpecialFolderLocation(SpecialFolder::kAppData), "/home/jo/.config/");
    EXPECT_EQ(SpecialFolderLocation(SpecialFolder::kStartup), "/home/jo/.config/autostart/");
    EXPECT_EQ(SpecialFolderLocation(SpecialFolder::kProfile), "/home/jo/");
    environment.Set("XDG_DATA_HOME", "");
    EXPECT_EQ(SpecialFolderLocation(SpecialFolder::kCommonAppData), "/home/jo/.local/share/");
}

TEST(SpecialFolder, WithoutHomeTheUserDatabaseKnowsTheFolder) {
    Environment environment;
    environment.Set("HOME", nullptr);
    environment.Set("XDG_DATA_HOME", nullptr);
    const std::filesystem::path profile = SpecialFolderLocation(SpecialFolder::kProfile);
    ASSERT_FALSE(profile.empty());
    EXPECT_EQ(profile.string().front(), '/');
    EXPECT_EQ(profile.string().back(), '/');
    EXPECT_EQ(SpecialFolderLocation(SpecialFolder::kCommonAppData), profile / ".local/share/");
}

TEST(SpecialFolder, UnknownFoldersAreEmpty) {
    for (const int csidl : {0, 5, 25, 36, 41, -1}) {
        EXPECT_TRUE(SpecialFolderLocation(static_cast<SpecialFolder>(csidl)).empty()) << csidl;
        EXPECT_EQ(GetSpecialFolderPath(static_cast<SpecialFolder>(csidl)), "") << csidl;
    }
}

TEST(GetSpecialFolderPath, GivesProgramTextWithoutOuterBlanks) {
    Environment environment;
    environment.Set("HOME", "/home/J\xC3\xBCrgen ");
    environment.Set("XDG_CONFIG_HOME", "/home/\xE2\x82\xAC");
    environment.Set("XDG_DATA_HOME", "/home/\xE4\xB8\x80");
    EXPECT_EQ(GetSpecialFolderPath(SpecialFolder::kProfile), "/home/J\xFCrgen /");
    EXPECT_EQ(GetSpecialFolderPath(SpecialFolder::kAppData), "/home/\x80/") << "the euro sign has a Windows-1252 byte";
    EXPECT_EQ(GetSpecialFolderPath(SpecialFolder::kCommonAppData), "") << "a CJK character has none";
}

}  // namespace
}  // namespace zendrel
