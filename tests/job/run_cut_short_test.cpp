// A retrieval that a real connection cuts short, by a close, a reset or a stall: nothing of the mail may be saved or
// reported as saved, the mail stays on the server, and the next run saves it whole.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "common/base64.h"
#include "job/activity_log.h"
#include "job/mailbox_run.h"
#include "log_rows.h"
#include "loopback_pop3_server.h"
#include "platform/locked_log_files.h"
#include "test_files.h"

namespace zendrel {
namespace {

using ::testing::Contains;
using ::testing::Not;

// Three thousand base64 lines of 76 characters: a cut on a line end lands on a four-character boundary, where the
// part before it decodes without complaint.
std::string Attachment() {
    std::string bytes;
    for (int i = 0; i < 170000; ++i) bytes += static_cast<char>(i * 7 % 251);
    return bytes;
}

std::string MailWith(const std::string& attachment) {
    std::string encoded = EncodeBase64(attachment);
    std::string lines;
    for (std::size_t at = 0; at < encoded.size(); at += 76) lines += encoded.substr(at, 76) + "\r\n";
    return "From: sender@example.org\r\nSubject: Messwerte\r\nMessage-ID: <cut.1@example.org>\r\n"
           "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
           "--b\r\nContent-Type: text/plain\r\n\r\nsee attachment\r\n"
           "--b\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
           "Content-Disposition: attachment; filename=\"werte.bin\"\r\n\r\n" +
           lines + "--b--\r\n";
}

class RunCutShortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.listening());
        ASSERT_TRUE(data_.Created() && save_.Created());
    }

    RunReport Run() {
        JobParameters parameters;
        parameters.server = "127.0.0.1";
        parameters.port = server_.port();
        parameters.userName = "anna";
        parameters.password = "secret";
        parameters.saveDir = save_.Path().string() + "/";
        parameters.deleteMails = true;
        parameters.activeRunNumber.store(1);
        RunServices services;
        services.log = log_;
        services.texts = std::make_shared<InterfaceTexts>();
        services.handledMessageIds = handled_;
        services.allowedSenders = std::make_shared<FixedSenderList>();
        services.blockedSenders = std::make_shared<FixedSenderList>();
        return MailboxRun(parameters, services);
    }

    std::vector<std::string> Texts() const { return testsupport::TextsOfRows(view_.Rows()); }
    long Deletions() const {
        const std::vector<std::string> commands = server_.commands();
        return std::count(commands.begin(), commands.end(), "DELE 1");
    }

    const std::string attachment_ = Attachment();
    const std::string mail_ = MailWith(attachment_);
    testsupport::LoopbackPop3Server server_{"anna", "secret", {mail_}};
    testsupport::TemporaryFolder data_{"zendrel-data"};
    testsupport::TemporaryFolder save_{"zendrel-save"};
    testsupport::CollectingView view_;
    LockedLogFiles files_;
    std::shared_ptr<ActivityLog> log_ = std::make_shared<ActivityLog>(data_.Path(), view_, files_);
    std::shared_ptr<HandledMessageIds> handled_ = std::make_shared<HandledMessageIds>();
};

TEST_F(RunCutShortTest, NothingOfAMailCutShortIsSavedAndTheNextRunSavesItWhole) {
    // Cut after the status line, the headers and a whole number of base64 lines of the attachment.
    const std::size_t attachmentStart = mail_.find("\r\n\r\n", mail_.find("filename=")) + 4;
    const std::size_t cutAt = std::string("+OK 0 octets\r\n").size() + std::to_string(mail_.size()).size() - 1 +
                              attachmentStart + 78 * 1000;
    const struct {
        const char* how;
        bool stall;
        bool reset;
    } cases[] = {{"close", false, false}, {"reset", false, true}, {"stall", true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        if (c.stall) {
            server_.StallOnRetr(1, cutAt);
        } else {
            server_.CloseOnRetr(1, cutAt, c.reset);
        }
        const long deletionsBefore = Deletions();
        const RunReport cut = Run();
        EXPECT_TRUE(cut.loggedIn);
        EXPECT_EQ(cut.savedAttachments, 0);
        EXPECT_THAT(Texts(), Not(Contains("File 'werte.bin' saved!")));
        EXPECT_TRUE(testsupport::FilesIn(save_.Path()).empty()) << "not even a temporary file";
        EXPECT_EQ(Deletions(), deletionsBefore) << "the mail stays on the server";

        view_.Clear();
        const RunReport whole = Run();
        EXPECT_EQ(whole.savedAttachments, 1);
        EXPECT_THAT(Texts(), Contains("File 'werte.bin' saved!"));
        EXPECT_EQ(testsupport::ReadBytes(save_.Path() / "werte.bin"), attachment_);
        EXPECT_EQ(Deletions(), deletionsBefore + 1);
        std::filesystem::remove(save_.Path() / "werte.bin");
        view_.Clear();
        handled_->Clear();
    }
}

}  // namespace
}  // namespace zendrel
