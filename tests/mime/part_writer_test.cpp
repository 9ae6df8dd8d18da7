#include "mime/part_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "mime/attachments.h"
#include "mime/encoded_words.h"
#include "test_files.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace zendrel {
namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

MessagePart Part(std::string header, std::string body) {
    MessagePart part;
    part.rawHeader = "--b\r\n" + header;
    part.header = DecodeEncodedWords(part.rawHeader);
    part.OwnBody(std::move(body));
    return part;
}

std::string Utf8(const fs::path& path) {
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

class SavePartTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.Created()); }

    // The folder as the caller passes it: single-byte text with its trailing separator.
    std::string Folder() const { return dir_.Path().string() + "/"; }

    std::set<std::string> Entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.Path())) names.insert(Utf8(entry.path().filename()));
        return names;
    }

    const testsupport::TemporaryFolder dir_;
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

TEST_F(SavePartTest, EncodedNamesAreSavedWithEveryCharacter) {
    struct Case {
        std::string header, name;
    };
    const Case cases[] = {
        // RFC 2047, B and Q, in UTF-8, ISO-8859-2 and KOI8-R
        {"Content-Disposition: attachment; filename=\"=?UTF-8?B?0KHRh9GR0YIg4oSWNS5wZGY=?=\"",
         "\xD0\xA1\xD1\x87\xD1\x91\xD1\x82 \xE2\x84\x96" "5.pdf"},  // Счёт №5.pdf
        {"Content-Disposition: attachment;\r\n filename=\"=?ISO-8859-2?Q?=A3=F3d=BC_faktura.pdf?=\"",
         "\xC5\x81\xC3\xB3" "d\xC5\xBA faktura.pdf"},  // Łódź faktura.pdf
        {"Content-Disposition: attachment; filename=\"=?KOI8-R?B?79Teo9QudHh0?=\"",
         "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82.txt"},  // Отчёт.txt
        {"Content-Type: application/pdf; name=\"=?utf-8?Q?Rechnung_100=E2=82=AC.pdf?=\"\r\n"
         "Content-Disposition: attachment;",
         "Rechnung 100\xE2\x82\xAC.pdf"},
        // RFC 2231, whole and in pieces, in the same charsets
        {"Content-Disposition: attachment;\r\n filename*0*=UTF-8''%E5%A0%B1;\r\n filename*1*=%E5%91%8A.xlsx",
         "\xE5\xA0\xB1\xE5\x91\x8A.xlsx"},  // 報告.xlsx
        {"Content-Disposition: attachment; filename*=iso-8859-2''Gda%F1sk.pdf", "Gda\xC5\x84sk.pdf"},  // Gdańsk.pdf
        {"Content-Disposition: attachment;\r\n filename*0*=koi8-r''%F3%DE%A3%D4-;\r\n"
         " filename*1*=%C6%C1%CB%D4%D5%D2%C1.pdf",
         // Счёт-фактура.pdf
         "\xD0\xA1\xD1\x87\xD1\x91\xD1\x82-\xD1\x84\xD0\xB0\xD0\xBA\xD1\x82\xD1\x83\xD1\x80\xD0\xB0.pdf"},
    };
    std::set<std::string> expected;
    for (const Case& c : cases) {
        const MessagePart part = Part(c.header, c.name);
        const std::string name = GetAttachmentName(part);
        EXPECT_EQ(name, c.name) << c.header;
        EXPECT_TRUE(SavePart(part, Folder(), name).Saved()) << c.header;
        EXPECT_EQ(ReadBytes(dir_.Path() / fs::path(std::u8string(c.name.begin(), c.name.end()))), c.name);
        expected.insert(c.name);
    }
    EXPECT_EQ(Entries(), expected);
}

TEST_F(SavePartTest, TheFolderIsWindows1252TextAndTheNameUtf8) {
    fs::create_directories(dir_.Path() / u8"M\u00e4rz \u20ac");
    const std::string folder = Folder() + "M\xE4rz \x80/";
    const std::string name = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC.pdf";
    EXPECT_TRUE(SavePart(Part("Content-Type: text/plain", "x"), folder, name).Saved());
    EXPECT_EQ(ReadBytes(dir_.Path() / u8"M\u00e4rz \u20ac" / u8"Gr\u00fc\u00dfe \u20ac.pdf"), "x");
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
    // As long as this system's names may be: a temporary name built from the final one would not fit, and on Windows
    // the whole path passes 260 characters. Wine keeps its files on a Linux file system, which takes 255 bytes of
    // UTF-8 whatever Windows would, so there the name is ASCII: 255 UTF-16 units that are 255 bytes too.
    std::string name;
    if constexpr (kFileNameUnit == FileNameUnit::kUtf8Byte) {
        name = "x";
        for (int i = 0; i < 125; ++i) name += "\xC3\xA4";  // "ä", two bytes
    } else {
        name = std::string(251, 'a');
    }
    name += ".pdf";
    ASSERT_EQ(MakeSafeFileName(name), name) << "the name is no longer than the limit";
    ASSERT_TRUE(SavePart(Part("Content-Type: text/plain", "whole"), Folder(), name).Saved());
    EXPECT_EQ(ReadBytes(dir_.Path() / fs::path(std::u8string(name.begin(), name.end()))), "whole");
    EXPECT_EQ(Entries(), std::set<std::string>{name});
}

}  // namespace
}  // namespace zendrel
