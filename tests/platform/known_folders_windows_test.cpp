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
    EXPECT_EQ(SpecialFolderLocation(SpecialFolder::kCommonAppData), FromEnvironment(L"ProgramData"));
    EXPECT_EQ(SpecialFolderLocation(SpecialFolder::kAppData), FromEnvironment(L"APPDATA"));
    EXPECT_EQ(SpecialFolderLocation(SpecialFolder::kProfile), FromEnvironment(L"USERPROFILE"));
}

TEST(SpecialFolder, EveryFolderTheProgramUsesIsAnExistingFolderEndingInASeparator) {
    for (const SpecialFolder which : {SpecialFolder::kStartup, SpecialFolder::kCommonStartup, SpecialFolder::kAppData,
                                      SpecialFolder::kCommonAppData, SpecialFolder::kProfile}) {
        const fs::path folder = SpecialFolderLocation(which);
        ASSERT_FALSE(folder.empty()) << static_cast<int>(which);
        EXPECT_TRUE(folder.is_absolute()) << folder;
        EXPECT_EQ(folder.native().back(), L'\\') << folder;
        EXPECT_TRUE(fs::is_directory(folder)) << folder;
    }
    EXPECT_NE(SpecialFolderLocation(SpecialFolder::kStartup), SpecialFolderLocation(SpecialFolder::kCommonStartup));
}

TEST(SpecialFolder, UnknownFoldersAreEmpty) {
    for (const int csidl : {-1, 0x7fff}) {
        EXPECT_TRUE(SpecialFolderLocation(static_cast<SpecialFolder>(csidl)).empty()) << csidl;
        EXPECT_EQ(GetSpecialFolderPath(static_cast<SpecialFolder>(csidl)), "") << csidl;
    }
}

TEST(GetSpecialFolderPath, GivesTheFolderAsProgramText) {
    // The folders of a fresh Wine prefix have ASCII names, the same bytes in Windows-1252.
    const std::string text = GetSpecialFolderPath(SpecialFolder::kCommonAppData);
    EXPECT_EQ(text, SpecialFolderLocation(SpecialFolder::kCommonAppData).string());
    EXPECT_EQ(text.back(), '\\');
}

}  // namespace
}  // namespace zendrel
