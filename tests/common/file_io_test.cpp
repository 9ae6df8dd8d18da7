#include "common/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "test_files.h"

namespace zendrel {
namespace {

namespace fs = std::filesystem;

mode_t ModeOf(const fs::path& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 0777 : 0;
}

// Runs `body` under `mask` and puts the previous umask back.
template <typename Body>
void WithUmask(mode_t mask, Body body) {
    const mode_t previous = ::umask(mask);
    body();
    ::umask(previous);
}

class FileIoTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.Created()); }
    const testing::TemporaryFolder folder_;
};

TEST_F(FileIoTest, AWrittenFileReplacesTheOldOneWholeWithTheRightPermissions) {
    const fs::path target = folder_.Path() / "target";
    ASSERT_TRUE(testing::WriteBytes(target, std::string(50000, 'o')));
    ASSERT_EQ(::chmod(target.c_str(), 0644), 0);
    WithUmask(0, [&] { EXPECT_EQ(WriteFileAtomically(target, "secret", FileAccess::kOwnerOnly), FileError::kNone); });
    EXPECT_EQ(testing::ReadBytes(target), "secret");
    EXPECT_EQ(ModeOf(target), 0600u) << "a settings file readable by others is tightened by the next save";

    const fs::path download = folder_.Path() / "download";
    WithUmask(022, [&] { EXPECT_EQ(WriteFileAtomically(download, "x", FileAccess::kUsual), FileError::kNone); });
    EXPECT_EQ(ModeOf(download), 0644u) << "attachments follow the umask, as downloads do";
    EXPECT_EQ(testing::FilesIn(folder_.Path()).size(), 2u) << "no temporary file is left";
}

TEST_F(FileIoTest, PrivateFoldersAreCreatedForTheOwnerAlone) {
    const fs::path inner = folder_.Path() / "Korvath" / "Tessaly" / "";
    WithUmask(0, [&] { EXPECT_EQ(CreatePrivateFolders(inner), FolderCreation::kCreated); });
    EXPECT_EQ(ModeOf(folder_.Path() / "Korvath"), 0700u);
    EXPECT_EQ(ModeOf(folder_.Path() / "Korvath" / "Tessaly"), 0700u);
    EXPECT_EQ(CreatePrivateFolders(inner), FolderCreation::kExisted);
    ASSERT_TRUE(testing::WriteBytes(folder_.Path() / "file", ""));
    EXPECT_EQ(CreatePrivateFolders(folder_.Path() / "file" / "below"), FolderCreation::kFailed);
}

TEST_F(FileIoTest, OnlyTemporaryFilesOlderThanTheirAgeAreRemoved) {
    const std::string prefix(kTemporaryFilePrefix);
    for (const std::string& name : {prefix + "old", prefix + "young", std::string("old-but-mine")}) {
        ASSERT_TRUE(testing::WriteBytes(folder_.Path() / name, "x"));
    }
    const auto twoHoursAgo = fs::file_time_type::clock::now() - std::chrono::hours(2);
    fs::last_write_time(folder_.Path() / (prefix + "old"), twoHoursAgo);
    fs::last_write_time(folder_.Path() / "old-but-mine", twoHoursAgo);
    RemoveStaleTemporaryFiles(folder_.Path(), std::chrono::hours(1));
    EXPECT_FALSE(fs::exists(folder_.Path() / (prefix + "old")));
    EXPECT_TRUE(fs::exists(folder_.Path() / (prefix + "young"))) << "a write in progress";
    EXPECT_TRUE(fs::exists(folder_.Path() / "old-but-mine"));
}

}  // namespace
}  // namespace zendrel
