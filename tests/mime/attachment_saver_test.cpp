#include "mime/attachment_saver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "mime/multipart.h"
#include "plain_codecs.h"
#include "test_files.h"

namespace zendrel {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

const std::string kSeparator(1, static_cast<char>(fs::path::preferred_separator));

// A retrieved message (its text begins with the rest of the status line) of the given header and parts.
std::vector<MessagePart> Message(const std::string& header, const std::vector<std::string>& parts) {
    std::string text = " 1234 octets\r\n" + header + "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n";
    for (const std::string& part : parts) text += "--b\r\n" + part + "\r\n";
    text += "--b--\r\n";
    // The parts outlive the text here: each keeps its own body.
    std::vector<MessagePart> split = SplitMessage(text);
    for (MessagePart& part : split) part.OwnBody(std::string(part.body));
    return split;
}

std::string Attachment(const std::string& name, const std::string& bytes) {
    return "Content-Type: application/octet-stream\r\nContent-Disposition: attachment; filename=\"" + name +
           "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
           testsupport::EncodeBase64(bytes, testsupport::Base64Alphabet::Standard, 76);
}

class AttachmentSaverTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.Created()); }

    std::vector<FileSave> Save(const std::vector<MessagePart>& parts, const SaveRules& rules) {
        AttachmentSaver saver(folder_.Path().string() + kSeparator, rules, CalendarDate{2026, 2, 3});
        std::vector<FileSave> saves;
        saver.SaveFilesOf(parts, [&](const FileSave& save) { saves.push_back(save); });
        return saves;
    }

    void Empty() {
        for (const auto& entry : fs::directory_iterator(folder_.Path())) fs::remove_all(entry.path());
    }

    testsupport::TemporaryFolder folder_;
};

TEST_F(AttachmentSaverTest, ANameThatHoldsOtherBytesIsKeptAndTheSameBytesAreNotSavedTwice) {
    const struct {
        const char* what;
        Files existing;
        std::string name;
        ExistingFiles existingFiles;
        std::string savedName;
        bool alreadyThere;
        Files afterwards;
    } cases[] = {
        {"a free name", {}, "invoice.pdf", ExistingFiles::kKeepBoth, "invoice.pdf", false, {{"invoice.pdf", "new"}}},
        {"the same bytes under the name",
         {{"invoice.pdf", "new"}}, "invoice.pdf", ExistingFiles::kKeepBoth, "invoice.pdf", true,
         {{"invoice.pdf", "new"}}},
        {"other bytes under the name",
         {{"invoice.pdf", "old"}}, "invoice.pdf", ExistingFiles::kKeepBoth, "invoice (2).pdf", false,
         {{"invoice.pdf", "old"}, {"invoice (2).pdf", "new"}}},
        {"the first free number",
         {{"invoice.pdf", "old"}, {"invoice (2).pdf", "older"}}, "invoice.pdf", ExistingFiles::kKeepBoth,
         "invoice (3).pdf", false, {{"invoice.pdf", "old"}, {"invoice (2).pdf", "older"}, {"invoice (3).pdf", "new"}}},
        {"the same bytes under a number",
         {{"invoice.pdf", "old"}, {"invoice (2).pdf", "new"}}, "invoice.pdf", ExistingFiles::kKeepBoth,
         "invoice (2).pdf", true, {{"invoice.pdf", "old"}, {"invoice (2).pdf", "new"}}},
        {"a longer file that begins alike",
         {{"export.csv", "new and more"}}, "export.csv", ExistingFiles::kKeepBoth, "export (2).csv", false,
         {{"export.csv", "new and more"}, {"export (2).csv", "new"}}},
        {"no extension", {{"README", "old"}}, "README", ExistingFiles::kKeepBoth, "README (2)", false,
         {{"README", "old"}, {"README (2)", "new"}}},
        {"two extensions", {{"backup.tar.gz", "old"}}, "backup.tar.gz", ExistingFiles::kKeepBoth,
         "backup.tar (2).gz", false, {{"backup.tar.gz", "old"}, {"backup.tar (2).gz", "new"}}},
        {"replace: other bytes", {{"invoice.pdf", "old"}}, "invoice.pdf", ExistingFiles::kReplace, "invoice.pdf",
         false, {{"invoice.pdf", "new"}}},
        {"replace: a free name", {}, "invoice.pdf", ExistingFiles::kReplace, "invoice.pdf", false,
         {{"invoice.pdf", "new"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Empty();
        for (const auto& [name, bytes] : c.existing) ASSERT_TRUE(testsupport::WriteBytes(folder_.Path() / name, bytes));
        SaveRules rules;
        rules.existingFiles = c.existingFiles;
        const std::vector<FileSave> saves = Save(Message("", {Attachment(c.name, "new")}), rules);
        ASSERT_EQ(saves.size(), 1u);
        EXPECT_TRUE(saves[0].result.Saved());
        EXPECT_EQ(saves[0].savedName, c.savedName);
        EXPECT_EQ(saves[0].alreadyThere, c.alreadyThere);
        EXPECT_EQ(testsupport::FilesIn(folder_.Path()), c.afterwards);
    }
}

TEST_F(AttachmentSaverTest, AFolderInThePlaceOfTheNameIsPassedByOrStopsTheReplacement) {
    ASSERT_TRUE(fs::create_directory(folder_.Path() / "invoice.pdf"));
    SaveRules rules;
    std::vector<FileSave> saves = Save(Message("", {Attachment("invoice.pdf", "new")}), rules);
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(saves[0].savedName, "invoice (2).pdf");

    rules.existingFiles = ExistingFiles::kReplace;
    saves = Save(Message("", {Attachment("invoice.pdf", "new")}), rules);
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(saves[0].result.outcome, SaveOutcome::kNotWritten);
    EXPECT_FALSE(saves[0].result.Permanent()) << "the mail waits until the folder is gone";
}

TEST_F(AttachmentSaverTest, InlineFilesAreSavedWhenAskedForAndTheMessageTextNever) {
    // As Apple Mail sends a PDF: inline, between the text and its HTML form.
    const std::vector<MessagePart> parts =
        Message("From: Jo <jo@example.org>\r\nMime-Version: 1.0 (Mac OS X Mail 16.0)\r\n",
                {"Content-Transfer-Encoding: 7bit\r\nContent-Type: text/plain;\r\n\tcharset=us-ascii\r\n\r\nAnbei.",
                 "Content-Disposition: inline;\r\n\tfilename=Rechnung.pdf\r\nContent-Type: application/pdf;\r\n"
                 "\tx-unix-mode=0644;\r\n\tname=\"Rechnung.pdf\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
                     testsupport::EncodeBase64("%PDF-1.4 invoice", testsupport::Base64Alphabet::Standard),
                 "Content-Disposition: inline\r\nContent-Type: text/html; charset=us-ascii\r\n\r\n<p>Anbei.</p>",
                 "Content-Type: image/png; name=\"logo.png\"\r\nContent-Disposition: INLINE\r\n"
                 "Content-Transfer-Encoding: base64\r\n\r\n" +
                     testsupport::EncodeBase64("png", testsupport::Base64Alphabet::Standard)});
    SaveRules rules;
    EXPECT_EQ(CountFileParts(parts, false), 0);
    EXPECT_TRUE(Save(parts, rules).empty());
    EXPECT_TRUE(testsupport::FilesIn(folder_.Path()).empty());

    rules.saveInline = true;
    rules.extensions = "pdf;png";
    EXPECT_EQ(CountFileParts(parts, true), 2);
    const std::vector<FileSave> saves = Save(parts, rules);
    ASSERT_EQ(saves.size(), 2u);
    EXPECT_EQ(testsupport::FilesIn(folder_.Path()), (Files{{"Rechnung.pdf", "%PDF-1.4 invoice"}, {"logo.png", "png"}}));
}

TEST_F(AttachmentSaverTest, SubFoldersAreMadeAsNeededAndAFileInTheirWayKeepsTheMailWaiting) {
    const std::vector<MessagePart> parts =
        Message("From: Jo <jo@Example.org>\r\nDate: Tue, 10 Jun 2025 09:30:00 +0200\r\n",
                {Attachment("a.csv", "1"), Attachment("b.txt", "2")});
    SaveRules rules;
    rules.subFolder = "{domain}/{year}-{month}";
    rules.extensions = "csv";
    // File part 1 is the last one in the message.
    std::vector<FileSave> saves = Save(parts, rules);
    ASSERT_EQ(saves.size(), 2u);
    EXPECT_FALSE(saves[0].allowed);
    EXPECT_EQ(saves[1].savedName, "example.org" + kSeparator + "2025-06" + kSeparator + "a.csv");
    EXPECT_EQ(testsupport::FilesIn(folder_.Path() / "example.org" / "2025-06"), (Files{{"a.csv", "1"}}));

    Empty();
    ASSERT_TRUE(testsupport::WriteBytes(folder_.Path() / "example.org", "a file"));
    saves = Save(parts, rules);
    ASSERT_EQ(saves.size(), 2u);
    EXPECT_EQ(saves[1].result.outcome, SaveOutcome::kNotWritten);
    EXPECT_FALSE(saves[1].result.Permanent());

    rules.subFolder = "../{year}";
    saves = Save(parts, rules);
    ASSERT_EQ(saves.size(), 2u);
    EXPECT_EQ(saves[1].result.outcome, SaveOutcome::kNotWritten) << "a refused template names no folder";
    EXPECT_EQ(testsupport::FilesIn(folder_.Path()), (Files{{"example.org", "a file"}}));
}

}  // namespace
}  // namespace zendrel
