// A server whose reply to RETR or TOP goes past its limit, over a real connection: nothing of the mail is saved or
// deleted, one line names the message and the limit, and the mail is not tried again in this process. A reply that
// never ends ends the run by itself, within the reply time-out, with the process's memory untouched by it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "job/activity_log.h"
#include "job/mailbox_run.h"
#include "log_rows.h"
#include "loopback_pop3_server.h"
#include "platform/locked_log_files.h"
#include "pop3/reply_assembler.h"
#include "process_memory.h"
#include "test_files.h"

namespace zendrel {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;
using testsupport::FileSaved;
using testsupport::kSignedOut;
using testsupport::LoggedIn;

std::string Mail(const std::string& id, const std::string& fileName) {
    return "From: sender@example.org\r\nSubject: Werte\r\nMessage-ID: <" + id +
           "@example.org>\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
           "--b\r\nContent-Type: text/plain\r\n\r\nsee attachment\r\n"
           "--b\r\nContent-Type: text/csv\r\nContent-Disposition: attachment; filename=\"" +
           fileName + "\"\r\n\r\n1;2;3\r\n--b--\r\n";
}

std::string TooLarge(int message, std::uint64_t limit) {
    return "ERROR!! (The server's reply for message " + std::to_string(message) + " went past its limit of " +
           std::to_string(limit) + " bytes)";
}

// Far below what an unbounded reply reaches within the reply time-out (gigabytes on loopback), far above what the
// run needs.
constexpr std::uint64_t kMostGrowth = 64u << 20;

class RunReplyTooLargeTest : public ::testing::Test {
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

    // A run against a reply to `verb` for message 1 that never ends.
    void ExpectEndlessReplyEndsTheRun(const std::string& verb, std::uint64_t limit) {
        server_.LongReplyTo(verb, 1);
        const std::uint64_t peakBefore = testsupport::PeakResidentBytes();
        const RunReport report = Run();
        EXPECT_TRUE(report.loggedIn);
        EXPECT_TRUE(report.failed) << "the run was cut short";
        // The line is the run's last: the conversation ended without a logout.
        EXPECT_THAT(Texts(), ElementsAre(LoggedIn(2), TooLarge(1, limit)));
        EXPECT_THAT(server_.commands(), Not(Contains("QUIT")));
        EXPECT_TRUE(testsupport::FilesIn(save_.Path()).empty());
        EXPECT_LT(testsupport::PeakResidentBytes(), peakBefore + kMostGrowth);
    }

    std::vector<std::string> Texts() const { return testsupport::TextsOfRows(view_.Rows()); }
    long Count(const std::string& command) const {
        const std::vector<std::string> commands = server_.commands();
        return std::count(commands.begin(), commands.end(), command);
    }

    const std::string mail1_ = Mail("one", "eins.csv");
    const std::string mail2_ = Mail("two", "zwei.csv");
    testsupport::LoopbackPop3Server server_{"anna", "secret", {mail1_, mail2_}};
    testsupport::TemporaryFolder data_{"zendrel-data"};
    testsupport::TemporaryFolder save_{"zendrel-save"};
    testsupport::CollectingView view_;
    LockedLogFiles files_;
    std::shared_ptr<ActivityLog> log_ = std::make_shared<ActivityLog>(data_.Path(), view_, files_);
    std::shared_ptr<HandledMessageIds> handled_ = std::make_shared<HandledMessageIds>();
};

TEST_F(RunReplyTooLargeTest, EndlessMessageEndsTheRunByItself) {
    // The limit comes from the size the server lists for the message.
    ExpectEndlessReplyEndsTheRun("RETR", ListedMessageLimit(mail1_.size()));
    EXPECT_EQ(Count("DELE 1"), 0);
}

TEST_F(RunReplyTooLargeTest, EndlessHeaderEndsTheRunByItself) {
    ExpectEndlessReplyEndsTheRun("TOP", kHeaderReplyLimit);
    EXPECT_EQ(Count("RETR 1"), 0);
}

TEST_F(RunReplyTooLargeTest, OversizedMessageIsSkippedForTheRestOfTheProcess) {
    // Far past the limit, but with an end: its rest is thrown away and the run goes on with the next mail.
    server_.LongReplyTo("RETR", 1, 8u << 20);
    const RunReport first = Run();
    EXPECT_FALSE(first.failed);
    EXPECT_THAT(Texts(), ElementsAre(LoggedIn(2), TooLarge(1, ListedMessageLimit(mail1_.size())), FileSaved("zwei.csv"),
                                     kSignedOut, ""));
    EXPECT_EQ(Count("DELE 1"), 0) << "nothing of it was saved";
    EXPECT_EQ(Count("DELE 2"), 1);
    EXPECT_EQ(Count("QUIT"), 1);

    // The mail stays on the server and is remembered as examined: the next run neither retrieves nor reports it.
    view_.Clear();
    Run();
    EXPECT_EQ(Count("RETR 1"), 1);
    EXPECT_THAT(Texts(), ElementsAre(LoggedIn(2), kSignedOut, ""));
}

}  // namespace
}  // namespace zendrel
