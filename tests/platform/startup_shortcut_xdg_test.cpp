#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/startup_shortcut.h"
#include "platform/system_info.h"
#include "test_files.h"

namespace zendrel {
namespace {

namespace fs = std::filesystem;

class XdgAutostartTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.Created());
        ::setenv("XDG_CONFIG_HOME", (folder_.Path() / "home").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (folder_.Path() / "etc").c_str(), 1);
        fs::create_directories(common_);
    }
    void TearDown() override {
        ::unsetenv("ZENDREL_DATA_DIR");
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("XDG_CONFIG_DIRS");
    }

    const testsupport::TemporaryFolder folder_;
    const fs::path common_ = folder_.Path() / "etc" / "autostart";
    const std::string user_ = (folder_.Path() / "home" / "autostart" / kStartupShortcutName).string();
    const std::string program_ = CreateSystemInfo()->ProgramPath();
    const std::unique_ptr<StartupShortcuts> shortcuts_ = CreateStartupShortcuts();
};

TEST_F(XdgAutostartTest, AnEntryIsMadeFoundByItsProgramAndRemoved) {
    ASSERT_TRUE(shortcuts_->Available());
    EXPECT_EQ(shortcuts_->FindStartupShortcut(), "");
    ASSERT_EQ(shortcuts_->CreateShortcut(program_, user_, "", "Zendrel. The tool.", ""), 1);
    EXPECT_EQ(shortcuts_->GetShortcutTarget(user_), program_);
    EXPECT_EQ(shortcuts_->FindStartupShortcut(), user_);
    ASSERT_EQ(shortcuts_->CreateShortcut(program_, user_, "", "again", ""), 1) << "an entry is overwritten";
    EXPECT_TRUE(shortcuts_->DeleteShortcut(user_));
    EXPECT_EQ(shortcuts_->FindStartupShortcut(), "");
}

TEST_F(XdgAutostartTest, OnlyAnEntryForExactlyThisProgramCounts) {
    std::string upper = program_;
    upper.back() = static_cast<char>(std::toupper(static_cast<unsigned char>(upper.back())));
    ASSERT_EQ(shortcuts_->CreateShortcut(upper, (common_ / "other.desktop").string(), "", "", ""), 1);
    fs::create_directories(common_ / "folder.desktop");
    EXPECT_EQ(shortcuts_->FindStartupShortcut(), "") << "a target that differs in letter case is another program";
    // The common folders are searched before the user's.
    const std::string common = (common_ / "zendrel.desktop").string();
    ASSERT_EQ(shortcuts_->CreateShortcut(program_, common, "", "", ""), 1);
    ASSERT_EQ(shortcuts_->CreateShortcut(program_, user_, "", "", ""), 1);
    EXPECT_EQ(shortcuts_->FindStartupShortcut(), common);
}

TEST_F(XdgAutostartTest, APathWithBlanksQuotesDollarsAndPercentsComesBackAndTheEntryValidates) {
    const std::string odd = (folder_.Path() / "My \"Apps\" $HOME\\x 100%" / "zendrel").string();
    for (const char* dataDir : {"", "/srv/mail \"box\" 100% $x"}) {
        SCOPED_TRACE(dataDir);
        ::setenv("ZENDREL_DATA_DIR", dataDir, 1);
        ASSERT_EQ(shortcuts_->CreateShortcut(odd, user_, "", "Zendrel. The tool for extracting attachments.", ""), 1);
        EXPECT_EQ(shortcuts_->GetShortcutTarget(user_), odd);
        const std::string entry = testsupport::ReadBytes(user_);
        // The data folder goes along to the next login, where the desktop starts the entry without this variable.
        const bool named = entry.find("\nExec=env \"ZENDREL_DATA_DIR=") != std::string::npos;
        EXPECT_EQ(named, *dataDir != '\0') << entry;
        if (std::system("command -v desktop-file-validate >/dev/null 2>&1") != 0) continue;
        EXPECT_EQ(std::system(("desktop-file-validate '" + user_ + "'").c_str()), 0) << entry;
    }
    // An entry for this program that sets a variable of its own is the program's entry all the same.
    const std::string exec = "/usr/bin/env LANG=C A_1=\"x y\" " + program_ + " -x";
    ASSERT_TRUE(testsupport::WriteBytes(user_, "[Desktop Entry]\nType=Application\nName=Z\nExec=" + exec + "\n"));
    EXPECT_EQ(shortcuts_->FindStartupShortcut(), user_);
}

}  // namespace
}  // namespace zendrel
