#include "settings/data_folder.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include "settings/settings_file.h"
#include "test_files.h"

namespace zendrel {
namespace {

using testsupport::ReadBytes;
using testsupport::TemporaryFolder;
using testsupport::WriteBytes;

class DataFolderTest : public ::testing::Test {
protected:
    DataFolderTest()
        : common_(folder_.MakeFolder("common")),
          perUser_(folder_.MakeFolder("user")),
          places_(LocateDataFolder(common_, perUser_, nullptr)) {}

    void PutFormerSettings(std::string_view bytes) {
        std::filesystem::create_directories(perUser_ / "Korvath" / "Tessaly");
        ASSERT_TRUE(WriteBytes(perUser_ / "Korvath" / "Tessaly" / kSettingsFileName, bytes));
    }
    std::filesystem::path DataFile() const { return places_.dataFolder / kSettingsFileName; }

    TemporaryFolder folder_;
    std::filesystem::path common_;
    std::filesystem::path perUser_;
    DataFolderPlaces places_;
};

TEST_F(DataFolderTest, TheProgramFolderLiesBelowTheCommonFolder) {
    EXPECT_EQ(places_.dataFolder, common_ / "Korvath" / "Tessaly" / "");
    EXPECT_EQ(places_.formerSettingsFile, perUser_ / "Korvath" / "Tessaly" / "Reader.prefs");
}

TEST_F(DataFolderTest, TheVariableNamesTheFolderAndDisablesTheTakeOver) {
    const DataFolderPlaces places = LocateDataFolder(common_, perUser_, "/tmp/profile-a");
    EXPECT_EQ(places.dataFolder, std::filesystem::path("/tmp/profile-a/"));
    EXPECT_TRUE(places.formerSettingsFile.empty());
    EXPECT_EQ(LocateDataFolder(common_, perUser_, "").dataFolder, places_.dataFolder) << "empty counts as unset";
}

// On Windows the access list that the data folder inherits decides, since the service and the window share it.
#if !defined(_WIN32)
TEST_F(DataFolderTest, TheDataFolderAndATakenOverFileArePrivate) {
    PutFormerSettings("[Main]\r\nServer = former\r\n");
    PrepareDataFolder(places_);
    struct stat folder {}, file {};
    ASSERT_EQ(::stat(places_.dataFolder.c_str(), &folder), 0);
    ASSERT_EQ(::stat(DataFile().c_str(), &file), 0);
    EXPECT_EQ(folder.st_mode & 077, 0u);
    EXPECT_EQ(file.st_mode & 077, 0u) << "it holds the mailbox password";
}
#endif

TEST_F(DataFolderTest, FirstStartTakesOverTheFormerSettings) {
    PutFormerSettings("[Main]\r\nPort = 1110\r\n");
    PrepareDataFolder(places_);
    EXPECT_TRUE(std::filesystem::is_directory(places_.dataFolder));
    EXPECT_EQ(ReadBytes(DataFile()), "[Main]\r\nPort = 1110\r\n");
    EXPECT_EQ(ReadBytes(places_.formerSettingsFile), "[Main]\r\nPort = 1110\r\n") << "copied, not moved";
}

TEST_F(DataFolderTest, AnEmptyFormerFileIsNotTakenOver) {
    PutFormerSettings("");
    PrepareDataFolder(places_);
    EXPECT_TRUE(std::filesystem::is_directory(places_.dataFolder));
    EXPECT_FALSE(std::filesystem::exists(DataFile()));
}

TEST_F(DataFolderTest, AnExistingDataFolderTakesNothingOver) {
    std::filesystem::create_directories(places_.dataFolder);
    PutFormerSettings("[Main]\r\nPort = 1110\r\n");
    PrepareDataFolder(places_);
    EXPECT_FALSE(std::filesystem::exists(DataFile()));
}

TEST_F(DataFolderTest, OnlyTheInnerFolderMissingStillCountsAsCreated) {
    std::filesystem::create_directories(common_ / "Korvath");
    PutFormerSettings("x");
    PrepareDataFolder(places_);
    EXPECT_EQ(ReadBytes(DataFile()), "x");
}

TEST_F(DataFolderTest, AMissingBaseFolderIsCreatedToo) {
    const DataFolderPlaces places = LocateDataFolder(folder_.Path() / "fresh" / "share", perUser_, nullptr);
    PrepareDataFolder(places);
    EXPECT_TRUE(std::filesystem::is_directory(places.dataFolder));
}

TEST_F(DataFolderTest, AFileInThePlaceOfTheFolderIsLeftAlone) {
    ASSERT_TRUE(WriteBytes(common_ / "Korvath", "not a folder"));
    PutFormerSettings("x");
    PrepareDataFolder(places_);
    EXPECT_EQ(ReadBytes(common_ / "Korvath"), "not a folder");
}

}  // namespace
}  // namespace zendrel
