// The session's MIME operations on a retrieved message: connection and loaded-message checks, numbering, the
// current part position, and saving.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "session_fixture.h"
#include "test_files.h"

namespace zendrel::testing {
namespace {

// The CR LF in front of a delimiter belongs to the delimiter, so no part body ends with it.
// Parts in list order: the container, then the parts last to first. Attachments: 1 unnamed, 2 second.bin,
// 3 first.txt. Body parts: 1 the container, 2 report.txt, 3 the text.
const std::string kMixedRetr =
    "+OK 800 octets\r\n"
    "From: a@example.org\r\n"
    "Subject: parts\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"xyz\"\r\n"
    "\r\n"
    "preamble\r\n"
    "--xyz\r\n"
    "Content-Type: text/plain\r\n"
    "\r\n"
    "body text\r\n"
    "--xyz\r\n"
    "Content-Type: text/plain\r\n"
    "Content-Disposition: attachment; filename=\"first.txt\"\r\n"
    "\r\n"
    "first attachment\r\n"
    ".. dotted\r\n"
    "--xyz\r\n"
    "Content-Type: application/octet-stream\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "Content-Disposition: attachment; filename=\"second.bin\"\r\n"
    "\r\n"
    "QUJD\r\n"
    "--xyz\r\n"
    "Content-Type: text/plain\r\n"
    "Content-Disposition: attachment; size=3\r\n"
    "\r\n"
    "abc\r\n"
    "--xyz\r\n"
    "Content-Type: text/plain\r\n"
    "Content-Disposition: inline; filename=\"report.txt\"\r\n"
    "\r\n"
    "report\r\n"
    "--xyz--\r\n"
    ".\r\n";

const std::string kPlainRetr = "+OK\r\nSubject: plain\r\n\r\njust text\r\n.\r\n";

class MimeOperationsTest : public SessionTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.Created());
        LogInWith();
    }

    void LoadMixedMessage() {
        server.Expect("RETR 1\r\n").Reply(kMixedRetr);
        ASSERT_EQ(session->LoadMessage(1), 1);
    }
    std::string folder() const { return folder_.Path().string() + "/"; }

    const TemporaryFolder folder_;
};

TEST_F(MimeOperationsTest, AttachmentsAreNumberedInListOrder) {
    LoadMixedMessage();
    EXPECT_EQ(session->CountAttachments(), 3);
    EXPECT_EQ(session->CountBodyParts(), 3);
    session->LoadHeader(0);  // code 8, which a found attachment clears
    EXPECT_EQ(session->GetAttachmentName(1), "");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
    EXPECT_EQ(session->GetAttachmentName(2), "second.bin");
    EXPECT_EQ(session->GetAttachmentName(3), "first.txt");
    for (const std::int32_t n : {0, 4, -2}) {
        EXPECT_EQ(session->GetAttachmentName(n), "") << n;
        EXPECT_EQ(session->GetErrorCode(), SessionError::kBadNumber) << n;
    }
    LogOutWithQuit();
}

TEST_F(MimeOperationsTest, SaveAttachmentWritesTheDecodedPartUnderItsOwnOrAGivenName) {
    LoadMixedMessage();
    EXPECT_NE(session->SaveAttachment(3, folder(), ""), 0);
    EXPECT_EQ(ReadBytes(folder_.Path() / "first.txt"), "first attachment\r\n. dotted");  // as sent, unstuffed
    EXPECT_NE(session->SaveAttachment(2, folder(), ""), 0);
    EXPECT_EQ(ReadBytes(folder_.Path() / "second.bin"), "ABC");
    EXPECT_NE(session->SaveAttachment(2, folder(), "renamed.bin"), 0);
    EXPECT_EQ(ReadBytes(folder_.Path() / "renamed.bin"), "ABC");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
    LogOutWithQuit();
}

TEST_F(MimeOperationsTest, SaveAttachmentWithoutAnyNameSavesNothing) {
    LoadMixedMessage();
    session->LoadHeader(0);
    EXPECT_EQ(session->SaveAttachment(1, folder(), ""), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNoFileName);
    EXPECT_TRUE(std::filesystem::is_empty(folder_.Path()));
    EXPECT_NE(session->SaveAttachment(1, folder(), "given.txt"), 0);
    EXPECT_EQ(ReadBytes(folder_.Path() / "given.txt"), "abc");
    LogOutWithQuit();
}

TEST_F(MimeOperationsTest, SaveAttachmentChecksTheNumberEvenWithAGivenName) {
    LoadMixedMessage();
    for (const std::int32_t n : {0, 4}) {
        EXPECT_EQ(session->SaveAttachment(n, folder(), "x.txt"), 0) << n;
        EXPECT_EQ(session->GetErrorCode(), SessionError::kBadNumber) << n;
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder_.Path()));
    LogOutWithQuit();
}

TEST_F(MimeOperationsTest, BodyPartsAreLookedUpByTheirOwnNumbers) {
    LoadMixedMessage();
    session->LoadHeader(0);
    EXPECT_NE(session->GetBodyPartHeader(1).find("multipart/mixed"), std::string::npos);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
    EXPECT_NE(session->GetBodyPartHeader(2).find("report.txt"), std::string::npos);
    EXPECT_EQ(session->GetBodyPartText(3), "body text");
    session->LoadHeader(0);
    EXPECT_EQ(session->GetBodyPartHeader(4), "");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kBadNumber);  // left as it was
    EXPECT_EQ(session->GetBodyPartText(0), "");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kBadNumber);
    LogOutWithQuit();
}

TEST_F(MimeOperationsTest, SaveBodyPartWritesBodyPartNNotAttachmentN) {
    LoadMixedMessage();
    EXPECT_NE(session->SaveBodyPart(3, folder(), "body.txt"), 0);
    EXPECT_EQ(ReadBytes(folder_.Path() / "body.txt"), "body text");
    EXPECT_NE(session->SaveBodyPart(2, folder(), ""), 0);
    EXPECT_EQ(ReadBytes(folder_.Path() / "report.txt"), "report");
    // Attachment numbering is back in force afterwards.
    EXPECT_NE(session->SaveAttachment(3, folder(), "att3.txt"), 0);
    EXPECT_EQ(ReadBytes(folder_.Path() / "att3.txt"), "first attachment\r\n. dotted");
    LogOutWithQuit();
}

TEST_F(MimeOperationsTest, SaveBodyPartReportsMissingNameAndBadNumber) {
    LoadMixedMessage();
    EXPECT_EQ(session->SaveBodyPart(1, folder(), ""), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNoFileName);
    for (const std::int32_t n : {0, 4}) {
        EXPECT_EQ(session->SaveBodyPart(n, folder(), "x.txt"), 0) << n;
        EXPECT_EQ(session->GetErrorCode(), SessionError::kBadNumber) << n;
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder_.Path()));
    LogOutWithQuit();
}

TEST_F(MimeOperationsTest, SecondLoadMessageReplacesTheParts) {
    LoadMixedMessage();
    ASSERT_EQ(session->CountAttachments(), 3);
    server.Expect("RETR 2\r\n").Reply(kPlainRetr);
    ASSERT_EQ(session->LoadMessage(2), 1);
    EXPECT_EQ(session->CountAttachments(), 0);
    EXPECT_EQ(session->CountBodyParts(), 1);
    EXPECT_EQ(session->GetBodyPartText(1), "just text\r\n");
    EXPECT_EQ(session->GetAttachmentName(1), "");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kBadNumber);
    LogOutWithQuit();
}

TEST_F(MimeOperationsTest, WithoutALoadedMessageTheyGive10) {
    auto expectNotLoaded = [this](const char* when) {
        SCOPED_TRACE(when);
        EXPECT_EQ(session->CountAttachments(), 0);
        EXPECT_EQ(session->GetErrorCode(), SessionError::kNotLoaded);
        session->LoadHeader(0);
        EXPECT_EQ(session->GetAttachmentName(1), "");
        EXPECT_EQ(session->GetErrorCode(), SessionError::kNotLoaded);
        session->LoadHeader(0);
        EXPECT_EQ(session->SaveAttachment(1, folder(), "a"), 0);
        EXPECT_EQ(session->GetErrorCode(), SessionError::kNotLoaded);
        session->LoadHeader(0);
        EXPECT_EQ(session->CountBodyParts(), 0);
        EXPECT_EQ(session->GetErrorCode(), SessionError::kNotLoaded);
        session->LoadHeader(0);
        EXPECT_EQ(session->GetBodyPartHeader(1), "");
        EXPECT_EQ(session->GetErrorCode(), SessionError::kNotLoaded);
        session->LoadHeader(0);
        EXPECT_EQ(session->GetBodyPartText(1), "");
        EXPECT_EQ(session->GetErrorCode(), SessionError::kNotLoaded);
        session->LoadHeader(0);
        EXPECT_EQ(session->SaveBodyPart(1, folder(), "a"), 0);
        EXPECT_EQ(session->GetErrorCode(), SessionError::kNotLoaded);
    };
    expectNotLoaded("before any retrieval");
    LoadMixedMessage();
    server.Expect("RETR 2\r\n").Reply("-ERR gone\r\n");
    EXPECT_EQ(session->LoadMessage(2), 0);
    expectNotLoaded("after a refused retrieval");
    // Header fields need only the connection.
    EXPECT_EQ(session->GetHeaderField("+OK\r\nSubject: s\r\n", "subject"), "s");
    EXPECT_TRUE(std::filesystem::is_empty(folder_.Path()));
    LogOutWithQuit();
}

TEST_F(MimeOperationsTest, AfterLogoutTheyGive1EvenWithAMessageLoadedBefore) {
    LoadMixedMessage();
    LogOutWithQuit();
    auto expectNotConnected = [this](const char* what) {
        EXPECT_EQ(session->GetErrorCode(), SessionError::kNotConnected) << what;
        session->Logout();  // code 11 in between, so every check sees a fresh 1
    };
    EXPECT_EQ(session->CountAttachments(), 0);
    expectNotConnected("CountAttachments");
    EXPECT_EQ(session->GetAttachmentName(1), "");
    expectNotConnected("GetAttachmentName");
    EXPECT_EQ(session->SaveAttachment(1, folder(), "a"), 0);
    expectNotConnected("SaveAttachment");
    EXPECT_EQ(session->CountBodyParts(), 0);
    expectNotConnected("CountBodyParts");
    EXPECT_EQ(session->GetBodyPartHeader(1), "");
    expectNotConnected("GetBodyPartHeader");
    EXPECT_EQ(session->GetBodyPartText(1), "");
    expectNotConnected("GetBodyPartText");
    EXPECT_EQ(session->SaveBodyPart(1, folder(), "a"), 0);
    expectNotConnected("SaveBodyPart");
    EXPECT_EQ(session->GetHeaderField("+OK\r\nSubject: s\r\n", "subject"), "");
    expectNotConnected("GetHeaderField");
    // The Content-Type cannot be read, so the text stays as it is.
    EXPECT_EQ(session->ConvertBodyCharset("\r\nContent-Type: text/html; charset=utf-8\r\n", "K\xC3\xA4se"),
              "K\xC3\xA4se");
    expectNotConnected("ConvertBodyCharset");
    EXPECT_TRUE(std::filesystem::is_empty(folder_.Path()));
}

TEST_F(MimeOperationsTest, ConvertBodyCharsetFollowsTheHeaderWhileConnected) {
    EXPECT_EQ(session->ConvertBodyCharset("\r\nContent-Type: text/html; charset=utf-8\r\n", "K\xC3\xA4se"),
              "K\xE4se");
    EXPECT_EQ(session->ConvertBodyCharset("\r\nContent-Type: text/plain; charset=utf-8\r\n", "K\xC3\xA4se"),
              "K\xC3\xA4se");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
    LogOutWithQuit();
}

}  // namespace
}  // namespace zendrel::testing
