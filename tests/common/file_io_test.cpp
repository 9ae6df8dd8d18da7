#include "common/file_io.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "test_files.h"

namespace zendrel {
namespace {

namespace fs = std::filesystem;

class FileIoTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.Created()); }
    const testsupport::TemporaryFolder folder_;
};

#if !defined(_WIN32)
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

TEST_F(FileIoTest, AWrittenFileReplacesTheOldOneWholeWithTheRightPermissions) {
    const fs::path target = folder_.Path() / "target";
    ASSERT_TRUE(testsupport::WriteBytes(target, std::string(50000, 'o')));
    ASSERT_EQ(::chmod(target.c_str(), 0644), 0);
    WithUmask(0, [&] { EXPECT_EQ(WriteFileAtomically(target, "secret", FileAccess::kOwnerOnly), FileError::kNone); });
    EXPECT_EQ(testsupport::ReadBytes(target), "secret");
    EXPECT_EQ(ModeOf(target), 0600u) << "a settings file readable by others is tightened by the next save";

    const fs::path download = folder_.Path() / "download";
    WithUmask(022, [&] { EXPECT_EQ(WriteFileAtomically(download, "x", FileAccess::kUsual), FileError::kNone); });
    EXPECT_EQ(ModeOf(download), 0644u) << "attachments follow the umask, as downloads do";
    EXPECT_EQ(testsupport::FilesIn(folder_.Path()).size(), 2u) << "no temporary file is left";
}

TEST_F(FileIoTest, PrivateFoldersAreCreatedForTheOwnerAlone) {
    const fs::path inner = folder_.Path() / "Korvath" / "Tessaly" / "";
    WithUmask(0, [&] { EXPECT_EQ(CreatePrivateFolders(inner), FolderCreation::kCreated); });
    EXPECT_EQ(ModeOf(folder_.Path() / "Korvath"), 0700u);
    EXPECT_EQ(ModeOf(folder_.Path() / "Korvath" / "Tessaly"), 0700u);
    EXPECT_EQ(CreatePrivateFolders(inner), FolderCreation::kExisted);
    ASSERT_TRUE(testsupport::WriteBytes(folder_.Path() / "file", ""));
    EXPECT_EQ(CreatePrivateFolders(folder_.Path() / "file" / "below"), FolderCreation::kFailed);
}

#else
TEST_F(FileIoTest, AWrittenFileReplacesTheOldOneWhole) {
    const fs::path target = folder_.Path() / "target";
    ASSERT_TRUE(testsupport::WriteBytes(target, std::string(50000, 'o')));
    EXPECT_EQ(WriteFileAtomically(target, std::string("se\0cret", 7), FileAccess::kOwnerOnly), FileError::kNone);
    EXPECT_EQ(testsupport::ReadBytes(target), std::string("se\0cret", 7));
    EXPECT_EQ(ReadWholeFile(target), std::string("se\0cret", 7));
    EXPECT_EQ(testsupport::FilesIn(folder_.Path()).size(), 1u) << "no temporary file is left";
    EXPECT_EQ(WriteFileAtomically(folder_.Path() / "missing" / "x", "x", FileAccess::kUsual), FileError::kNotFound);
}

TEST_F(FileIoTest, ProgramTextCrossesToTheSystemAsWindows1252) {
    // The sharp s and the euro sign: the euro's byte 0x80 means another character in Latin-1 and in most other
    // ANSI code pages.
    const fs::path name = PathFromText("Stra\xDF" "enverzeichnis \x80.csv");
    EXPECT_EQ(name.native(), L"Stra\u00DFenverzeichnis \u20AC.csv");
    ASSERT_EQ(WriteFileAtomically(folder_.Path() / name, "a;b\r\n", FileAccess::kUsual), FileError::kNone);
    EXPECT_EQ(testsupport::ReadBytes(folder_.Path() / L"Stra\u00DFenverzeichnis \u20AC.csv"), "a;b\r\n");
    EXPECT_TRUE(PathFromText("").empty());
}

TEST_F(FileIoTest, FoldersAreCreatedDownToTheLast) {
    const fs::path inner = folder_.Path() / "Korvath" / "Tessaly" / "";
    EXPECT_EQ(CreatePrivateFolders(inner), FolderCreation::kCreated);
    EXPECT_TRUE(fs::is_directory(folder_.Path() / "Korvath" / "Tessaly"));
    EXPECT_EQ(CreatePrivateFolders(inner), FolderCreation::kExisted);
    ASSERT_TRUE(testsupport::WriteBytes(folder_.Path() / "file", ""));
    EXPECT_EQ(CreatePrivateFolders(folder_.Path() / "file" / "below"), FolderCreation::kFailed);
}
#endif

TEST_F(FileIoTest, AttachmentNamesKeepEveryCharacterAlsoWherePathsPassTheOldLimit) {
    const fs::path name = PathFromUtf8("\xD0\xA1\xD1\x87\xD1\x91\xD1\x82 \xE2\x84\x96" "5 \xE5\xA0\xB1.pdf");
    EXPECT_EQ(name, fs::path(u8"\u0421\u0447\u0451\u0442 \u21165 \u5831.pdf"));  // Счёт №5 報.pdf
    ASSERT_EQ(WriteFileAtomically(folder_.Path() / name, "x", FileAccess::kUsual), FileError::kNone);
    EXPECT_EQ(ReadWholeFile(folder_.Path() / name), "x");
    EXPECT_TRUE(PathFromUtf8("").empty());

    // Folders and a name of 84 characters (252 bytes of UTF-8) far beyond the 260 characters of a Windows path.
    fs::path deep = folder_.Path();
    for (int level = 0; level < 4; ++level) deep /= std::string(60, static_cast<char>('a' + level));
    EXPECT_EQ(CreatePrivateFolders(deep), FolderCreation::kCreated);
    std::string longName;
    for (int i = 0; i < 80; ++i) longName += "\xE5\xA0\xB1";
    const fs::path target = deep / PathFromUtf8(longName + ".pdf");
    ASSERT_GT(target.native().size(), 330u);
    ASSERT_EQ(WriteFileAtomically(target, "whole", FileAccess::kUsual), FileError::kNone);
    EXPECT_EQ(ReadWholeFile(target), "whole");
    EXPECT_EQ(WriteFileAtomically(target, "again", FileAccess::kUsual), FileError::kNone);
    EXPECT_EQ(ReadWholeFile(target), "again");
}

TEST_F(FileIoTest, APendingFileTakesOnlyAFreeNameAndLeavesNothingWhenItGetsNone) {
    const fs::path taken = folder_.Path() / "taken.pdf";
    ASSERT_TRUE(testsupport::WriteBytes(taken, "old"));
    ASSERT_TRUE(fs::create_directory(folder_.Path() / "folder.pdf"));
    {
        PendingFile file(folder_.Path(), std::string("new\0bytes", 9), FileAccess::kUsual);
        ASSERT_EQ(file.Error(), FileError::kNone);
        EXPECT_EQ(file.TakeName(taken), Naming::kNameTaken);
        EXPECT_EQ(file.TakeName(folder_.Path() / "folder.pdf"), Naming::kNameTaken);
        EXPECT_EQ(testsupport::ReadBytes(taken), "old") << "a taken name keeps its file";
        EXPECT_EQ(file.TakeName(folder_.Path() / "free.pdf"), Naming::kNamed);
    }
    EXPECT_EQ(testsupport::ReadBytes(folder_.Path() / "free.pdf"), std::string("new\0bytes", 9));
    {
        PendingFile unnamed(folder_.Path(), "never named", FileAccess::kUsual);
        EXPECT_EQ(unnamed.TakeName(taken), Naming::kNameTaken);
    }
    {
        PendingFile replacing(folder_.Path(), "replaced", FileAccess::kUsual);
        EXPECT_EQ(replacing.ReplaceName(taken), FileError::kNone);
    }
    EXPECT_EQ(testsupport::ReadBytes(taken), "replaced");
    EXPECT_EQ(testsupport::FilesIn(folder_.Path()).size(), 2u) << "no temporary file is left";

    PendingFile nowhere(folder_.Path() / "missing", "x", FileAccess::kUsual);
    EXPECT_EQ(nowhere.Error(), FileError::kNotFound);
    EXPECT_EQ(nowhere.TakeName(folder_.Path() / "missing" / "x"), Naming::kFailed);
}

TEST_F(FileIoTest, FileHoldsComparesTheWholeContent) {
    ASSERT_TRUE(testsupport::WriteBytes(folder_.Path() / "a", std::string(100000, 'a') + "z"));
    EXPECT_TRUE(FileHolds(folder_.Path() / "a", std::string(100000, 'a') + "z"));
    EXPECT_FALSE(FileHolds(folder_.Path() / "a", std::string(100000, 'a') + "y")) << "the same size";
    EXPECT_FALSE(FileHolds(folder_.Path() / "a", std::string(100000, 'a')));
    EXPECT_FALSE(FileHolds(folder_.Path() / "missing", ""));
    EXPECT_FALSE(FileHolds(folder_.Path(), "")) << "a folder holds no bytes";
}

// Bytes handed out in the pieces given, or failing after `failAfter` of them, as a decoder meeting damage would.
class PiecesSource final : public ByteSource {
public:
    PiecesSource(std::vector<std::string> pieces, std::size_t failAfter = SIZE_MAX)
        : pieces_(std::move(pieces)), failAfter_(failAfter) {}
    std::uint64_t Size() const override {
        std::uint64_t size = 0;
        for (const std::string& piece : pieces_) size += piece.size();
        return size;
    }
    bool ForEachPiece(const std::function<bool(std::string_view)>& take) const override {
        for (std::size_t i = 0; i < pieces_.size(); ++i) {
            if (i == failAfter_ || !take(pieces_[i])) return false;
        }
        return true;
    }

private:
    std::vector<std::string> pieces_;
    std::size_t failAfter_;
};

TEST_F(FileIoTest, BytesInPiecesAreWrittenAndComparedWhole) {
    const std::string big(200000, 'b');  // more than one read of the comparison
    const PiecesSource source({"head ", "", big, std::string("\0tail", 5)});
    const std::string whole = "head " + big + std::string("\0tail", 5);
    const fs::path target = folder_.Path() / "pieces.bin";
    ASSERT_EQ(WriteFileAtomically(target, source, FileAccess::kUsual), FileError::kNone);
    EXPECT_EQ(testsupport::ReadBytes(target), whole);
    EXPECT_TRUE(FileHolds(target, source));
    EXPECT_FALSE(FileHolds(target, PiecesSource({"head ", big, std::string("\0tall", 5)}))) << "the same size";
    EXPECT_FALSE(FileHolds(target, PiecesSource({"head ", big}))) << "a shorter content";

    // A source that fails half way leaves no file and no name taken.
    {
        PendingFile broken(folder_.Path(), PiecesSource({"a", "b", "c"}, 2), FileAccess::kUsual);
        EXPECT_NE(broken.Error(), FileError::kNone);
        EXPECT_EQ(broken.TakeName(folder_.Path() / "broken.bin"), Naming::kFailed);
    }
    EXPECT_FALSE(fs::exists(folder_.Path() / "broken.bin"));
    EXPECT_EQ(testsupport::FilesIn(folder_.Path()).size(), 1u) << "no temporary file is left";
}

TEST_F(FileIoTest, FoldersAreCreatedBelowAnExistingBaseOnly) {
    EXPECT_EQ(CreateFoldersBelow(folder_.Path(), fs::path("example.org") / "2025-06"), FileError::kNone);
    EXPECT_TRUE(fs::is_directory(folder_.Path() / "example.org" / "2025-06"));
    EXPECT_EQ(CreateFoldersBelow(folder_.Path(), fs::path("example.org") / "2025-06"), FileError::kNone);
    EXPECT_EQ(CreateFoldersBelow(folder_.Path() / "unplugged", "x"), FileError::kNotFound);
    EXPECT_FALSE(fs::exists(folder_.Path() / "unplugged"));
    ASSERT_TRUE(testsupport::WriteBytes(folder_.Path() / "file", ""));
    EXPECT_EQ(CreateFoldersBelow(folder_.Path(), fs::path("file") / "below"), FileError::kOther);
}

TEST_F(FileIoTest, OnlyTemporaryFilesOlderThanTheirAgeAreRemoved) {
    const std::string prefix(kTemporaryFilePrefix);
    for (const std::string& name : {prefix + "old", prefix + "young", std::string("old-but-mine")}) {
        ASSERT_TRUE(testsupport::WriteBytes(folder_.Path() / name, "x"));
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
