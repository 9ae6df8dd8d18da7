// Shell links in the Startup folders of the Wine prefix, through the real shell link object.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/text.h"
#include "platform/known_folders.h"
#include "platform/startup_shortcut.h"
#include "platform/system_info.h"

namespace zendrel {
namespace {

namespace fs = std::filesystem;

class WindowsStartupShortcut : public ::testing::Test {
protected:
    void SetUp() override {
        common_ = GetSpecialFolderPath(SpecialFolder::kCommonStartup);
        user_ = GetSpecialFolderPath(SpecialFolder::kStartup);
        ASSERT_FALSE(common_.empty());
        ASSERT_FALSE(user_.empty());
        // A fresh prefix may not have made them yet.
        fs::create_directories(common_);
        fs::create_directories(user_);
        ASSERT_FALSE(program_.empty());
    }
    void TearDown() override {
        for (const std::string& link : made_) fs::remove_all(link);
    }
    std::string Made(const std::string& path) {
        made_.push_back(path);
        return path;
    }

    std::unique_ptr<StartupShortcuts> shortcuts_ = CreateStartupShortcuts();
    std::string program_ = CreateSystemInfo()->ProgramPath();
    std::string common_;
    std::string user_;
    std::vector<std::string> made_;
};

TEST_F(WindowsStartupShortcut, MadeInTheCommonFolderIsFoundThere) {
    const std::string link = Made(common_ + kStartupShortcutName);
    ASSERT_EQ(shortcuts_->CreateShortcut(program_, link, "", "Zendrel.", ""), 1);
    EXPECT_EQ(shortcuts_->GetShortcutTarget(link), program_);
    EXPECT_EQ(shortcuts_->FindStartupShortcut(), link);
    EXPECT_TRUE(shortcuts_->DeleteShortcut(link));
    EXPECT_EQ(shortcuts_->FindStartupShortcut(), "");
}

TEST_F(WindowsStartupShortcut, OneInTheUsersFolderOnlyIsFoundAfterTheCommonFolderAndADirectoryNamedLikeALink) {
    fs::create_directories(Made(common_ + "x.lnk"));
    const std::string link = Made(user_ + "Mine.lnk");
    ASSERT_EQ(shortcuts_->CreateShortcut(program_, link, "", "", ""), 1);
    EXPECT_EQ(shortcuts_->FindStartupShortcut(), link);
}

TEST_F(WindowsStartupShortcut, ATargetDifferingOnlyInLetterCaseIsNotThisProgram) {
    const std::string link = Made(common_ + "Other.lnk");
    ASSERT_EQ(shortcuts_->CreateShortcut(UpperCase(program_), link, "", "", ""), 1);
    EXPECT_EQ(shortcuts_->FindStartupShortcut(), "");
}

TEST_F(WindowsStartupShortcut, MadeASecondTimeTheLinkIsReplaced) {
    const std::string link = Made(common_ + kStartupShortcutName);
    ASSERT_EQ(shortcuts_->CreateShortcut("C:\\windows\\notepad.exe", link, "", "", ""), 1);
    ASSERT_EQ(shortcuts_->CreateShortcut(program_, link, "", "", ""), 1);
    EXPECT_EQ(shortcuts_->GetShortcutTarget(link), program_);
    EXPECT_EQ(shortcuts_->GetShortcutTarget(common_ + "missing.lnk"), "");
}

}  // namespace
}  // namespace zendrel
