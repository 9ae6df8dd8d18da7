#include "mime/part_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "mime/attachments.h"
#include "test_files.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace zendrel {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

MessagePart Part(std::string header, std::string body) {
    MessagePart part;
    part.header = "--b\r\n" + header;
    part.body = std::move(body);
    return part;
}

class SavePartTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.Created()); }

    // The folder as the caller passes it: single-byte text with its trailing separator.
    std::string Folder() const { return dir_.Path().string() + "/"; }

    std::set<std::string> Entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.Path())) names.insert(entry.path().filename().string());
        return names;
    }

    const testing::TemporaryFolder dir_;
};

TEST_F(SavePartTest, WritesTheDecodedBytes) {
    struct Case {
        std::string header, body, content;
    };
    const Case cases[] = {
        {"Content-Transfer-Encoding: base64", "JVBE\r\nRgBA", "%PDF\0@"s},
        {"Content-Transfer-Encoding: Base64", " AAAA \r\n", "\0\0\0"s},
        // quoted-printable and unencoded parts come out as their bytes, whatever the charset says
        {"Content-Type: text/csv; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable",
         "=E2=82=AC;=C3=A4;=00;x=\r\ny\r\n", "\xE2\x82\xAC;\xC3\xA4;\0;xy\r\n"s},
        {"Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit", "\xE2\x82\xAC \xC3\xA4 \xFF",
         "\xE2\x82\xAC \xC3\xA4 \xFF"},
        {"Content-Type: application/octet-stream", "a\0b\r\n=3D"s, "a\0b\r\n=3D"s},
        {"Content-Type: text/plain", "", ""},  // an empty body gives an empty file
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string name = "file" + std::to_string(n++) + ".bin";
        EXPECT_TRUE(SavePart(Part(c.header, c.body), Folder(), name).Saved()) << c.header;
        EXPECT_EQ(ReadBytes(dir_.Path() / name), c.content) << c.header;
    }
    EXPECT_EQ(Entries().size(), std::size(cases));  // no temporary file is left behind
}

TEST_F(SavePartTest, UndecodableBase64LeavesNoFile) {
    for (const std::string body : {"QUJDR", "QUJD\t", "=", "\r\n=\r\n"}) {
        const SaveResult result = SavePart(Part("Content-Transfer-Encoding: base64", body), Folder(), "bad.pdf");
        EXPECT_EQ(result.outcome, SaveOutcome::kUndecodable) << body;
        EXPECT_TRUE(result.Permanent()) << body;
    }
    EXPECT_TRUE(Entries().empty());
}

TEST_F(SavePartTest, AnEmptyBase64BodyIsAnEmptyFile) {
    for (const std::string body : {"", "\r\n", "\r\n\r\n", " \t\r\n"}) {
        ASSERT_TRUE(WriteBytes(dir_.Path() / "empty.dat", "old")) << body;
        EXPECT_TRUE(SavePart(Part("Content-Transfer-Encoding: base64", body), Folder(), "empty.dat").Saved()) << body;
        EXPECT_EQ(ReadBytes(dir_.Path() / "empty.dat"), "") << body;
    }
    EXPECT_EQ(Entries(), std::set<std::string>{"empty.dat"});
}

TEST_F(SavePartTest, ExistingFileIsReplacedOnlyByACompleteOne) {
    ASSERT_TRUE(WriteBytes(dir_.Path() / "a.pdf", "old content"));
    EXPECT_FALSE(SavePart(Part("Content-Transfer-Encoding: base64", "QUJDR"), Folder(), "a.pdf").Saved());
    EXPECT_EQ(ReadBytes(dir_.Path() / "a.pdf"), "old content");

    EXPECT_TRUE(SavePart(Part("Content-Transfer-Encoding: base64", "QUJD"), Folder(), "a.pdf").Saved());
    EXPECT_EQ(ReadBytes(dir_.Path() / "a.pdf"), "ABC");
    EXPECT_EQ(Entries(), std::set<std::string>{"a.pdf"});
}

TEST_F(SavePartTest, FolderAndNameAreJoinedAsTheyStand) {
    const std::string folderWithoutSeparator = (dir_.Path() / "out").string();
    EXPECT_TRUE(SavePart(Part("Content-Type: text/plain", "x"), folderWithoutSeparator, "a.pdf").Saved());
    EXPECT_EQ(ReadBytes(dir_.Path() / "outa.pdf"), "x");
}

TEST_F(SavePartTest, Windows1252NamesAreCreatedAsUtf8) {
    EXPECT_TRUE(SavePart(Part("Content-Type: text/plain", "g"), Folder(), "Gr\xFC\xDF" "e.pdf").Saved());
    EXPECT_EQ(ReadBytes(dir_.Path() / u8"Gr\u00fc\u00dfe.pdf"), "g");

    // the folder goes through the same conversion, and so do the characters of 0x80-0x9F
    fs::create_directories(dir_.Path() / u8"M\u00e4rz");
    const std::string folder = Folder() + "M\xE4rz/";
    EXPECT_TRUE(SavePart(Part("Content-Type: text/plain", "x"), folder, "Gr\xFC\xDF" "e \x80.pdf").Saved());
    EXPECT_EQ(ReadBytes(dir_.Path() / u8"M\u00e4rz" / u8"Gr\u00fc\u00dfe \u20ac.pdf"), "x");
}

TEST_F(SavePartTest, FailuresSayWhyAndCreateNothing) {
    const MessagePart part = Part("Content-Type: text/plain", "x");
    fs::create_directories(dir_.Path() / "taken");
    const struct {
        std::string folder, name;
        SaveOutcome outcome;
        FileError error;
        bool permanent;
    } cases[] = {
        {Folder(), "", SaveOutcome::kNoFileName, FileError::kNone, true},
        {Folder() + "missing/", "a.txt", SaveOutcome::kNotWritten, FileError::kNotFound, false},
        {Folder(), "taken", SaveOutcome::kNotWritten, FileError::kOther, false},  // a folder stands there
        {Folder(), std::string(256, 'n'), SaveOutcome::kNotWritten, FileError::kNameTooLong, false},
    };
    for (const auto& c : cases) {
        const SaveResult result = SavePart(part, c.folder, c.name);
        EXPECT_EQ(result.outcome, c.outcome) << c.name.substr(0, 8);
        EXPECT_EQ(result.fileError, c.error) << c.name.substr(0, 8);
        EXPECT_EQ(result.Permanent(), c.permanent) << c.name.substr(0, 8);
    }
    EXPECT_EQ(Entries(), std::set<std::string>{"taken"});
    EXPECT_TRUE(fs::is_empty(dir_.Path() / "taken"));
}

TEST_F(SavePartTest, DeviceNamesAreSavedAsFilesWithALeadingUnderscore) {
    // On Windows "con.txt" or "aux" would open a device instead of a file; the name lookup makes them files.
    for (const std::string name : {"con.txt", "aux", "LPT1.csv"}) {
        MessagePart part = Part("Content-Disposition: attachment; filename=\"" + name + "\"", "data");
        const std::string safe = GetAttachmentName(part);
        EXPECT_EQ(safe, "_" + name);
        ASSERT_TRUE(SavePart(part, Folder(), safe).Saved()) << name;
        EXPECT_EQ(ReadBytes(dir_.Path() / safe), "data") << name;
    }
}

TEST_F(SavePartTest, ANameAtTheFileSystemsLimitFits) {
    // 255 bytes once the Windows-1252 letters are UTF-8: a temporary name built from the final one would not fit.
    const std::string name = std::string(120, '\xE4') + std::string(11, 'x') + ".pdf";
    ASSERT_TRUE(SavePart(Part("Content-Type: text/plain", "whole"), Folder(), name).Saved());
    EXPECT_EQ(ReadBytes(PathFromText(Folder() + name)), "whole");
    EXPECT_EQ(Entries().size(), 1u);
}

}  // namespace
}  // namespace zendrel
