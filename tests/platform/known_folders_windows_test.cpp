#include "platform/known_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace zendrel {
namespace {

namespace fs = std::filesystem;

// The folder that Windows also names in the environment of every process, with the trailing separator.
fs::path FromEnvironment(const wchar_t* variable) {
    const wchar_t* value = _wgetenv(variable);
    return value != nullptr && *value != L'\0' ? fs::path(value) / L"" : fs::path();
}

TEST(SpecialFolder, AgreesWithTheFoldersTheEnvironmentNames) {
    ASSERT_FALSE(FromEnvironment(L"ProgramData").empty());
    EXPECT_EQ(SpecialFolder(kFolderCommonAppData), FromEnvironment(L"ProgramData"));
    EXPECT_EQ(SpecialFolder(kFolderAppData), FromEnvironment(L"APPDATA"));
    EXPECT_EQ(SpecialFolder(kFolderProfile), FromEnvironment(L"USERPROFILE"));
}

TEST(SpecialFolder, EveryFolderTheProgramUsesIsAnExistingFolderEndingInASeparator) {
    for (const int csidl : {kFolderStartup, kFolderCommonStartup, kFolderAppData, kFolderCommonAppData, kFolderProfile}) {
        const fs::path folder = SpecialFolder(csidl);
        ASSERT_FALSE(folder.empty()) << csidl;
        EXPECT_TRUE(folder.is_absolute()) << folder;
        EXPECT_EQ(folder.native().back(), L'\\') << folder;
        EXPECT_TRUE(fs::is_directory(folder)) << folder;
    }
    EXPECT_NE(SpecialFolder(kFolderStartup), SpecialFolder(kFolderCommonStartup));
}

TEST(SpecialFolder, UnknownFoldersAreEmpty) {
    for (const int csidl : {-1, 0x7fff}) {
        EXPECT_TRUE(SpecialFolder(csidl).empty()) << csidl;
        EXPECT_EQ(GetSpecialFolderPath(csidl), "") << csidl;
    }
}

TEST(GetSpecialFolderPath, GivesTheFolderAsProgramText) {
    // The folders of a fresh Wine prefix have ASCII names, the same bytes in Windows-1252.
    const std::string text = GetSpecialFolderPath(kFolderCommonAppData);
    EXPECT_EQ(text, SpecialFolder(kFolderCommonAppData).string());
    EXPECT_EQ(text.back(), '\\');
}

}  // namespace
}  // namespace zendrel
