// Runs that remember the examined mails across restarts, against a real Dovecot server: what a later process skips,
// and what the server was asked for (its logout lines count the headers read, top=).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "job/remembered_mails.h"
#include "mailbox_server.h"
#include "run_bench.h"
#include "test_mail.h"

namespace zendrel::testsupport {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Files = std::map<std::string, std::string>;

class RememberedMailsAgainstDovecot : public MailboxServerTest, protected RunBench {
protected:
    void SetUp() override {
        MailboxServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(Ready()) << "cannot create the temporary folders";
        box_ = NewMailbox();
        UseServer(Host(), Port(), box_.user, box_.password);
        parameters_.rememberMails = true;
    }

    void DeliverMails(const std::vector<TestMail>& mails) {
        std::vector<std::string> messages;
        for (const TestMail& mail : mails) messages.push_back(ComposeMail(mail));
        Deliver(box_, messages);
    }

    static Files AttachmentFiles(const std::vector<std::string>& names) {
        Files files;
        for (const std::string& name : names) files[name] = AttachmentBytesFor(name);
        return files;
    }

    // The headers the server sent in each session so far ("3" for top=3/1234).
    std::vector<std::string> HeadersRead(std::size_t sessions) {
        std::vector<std::string> counts;
        for (const std::string& line : LogoutLines(box_, sessions)) {
            const std::string top = LogCount(line, "top=");
            counts.push_back(top.substr(0, top.find('/')));
        }
        return counts;
    }

    TestMailbox box_;
};

TEST_F(RememberedMailsAgainstDovecot, LaterProcessesReadOnlyTheHeadersOfMailsTheyHaveNotExamined) {
    TestMail anonymous = MailWithAttachment("unused", "no-id.csv");
    anonymous.messageId.reset();
    DeliverMails({MailWithAttachment("r1", "r1.csv"), anonymous, MailWithAttachment("r3", "r3.csv")});
    RunOnce();
    EXPECT_EQ(Saved(), AttachmentFiles({"r1.csv", "no-id.csv", "r3.csv"}));

    // A new process saves nothing again, not even the mail without a Message-ID, and asks for no header.
    StartOver();
    RunOnce();
    EXPECT_THAT(Saved(), IsEmpty());
    EXPECT_THAT(Calls(), ElementsAre("QUIT"));
    EXPECT_THAT(view_.Texts(), ElementsAre(LoggedIn(3), kSignedOut, ""));

    // A new mail is the only one examined and retrieved.
    DeliverMails({MailWithAttachment("r4", "r4.csv")});
    StartOver();
    RunOnce();
    EXPECT_EQ(Saved(), AttachmentFiles({"r4.csv"}));
    EXPECT_THAT(Calls(), ElementsAre("RETR 4", "QUIT"));

    // Another search string examines every mail again (the test mails' subject is "Files").
    parameters_.searchString = "files";
    StartOver();
    RunOnce();
    EXPECT_EQ(Saved(), AttachmentFiles({"r1.csv", "no-id.csv", "r3.csv", "r4.csv"}));

    // A damaged file is an empty set and a line that says so; the run after it is quiet again.
    ASSERT_TRUE(testsupport::WriteBytes(DataFile(kRememberedMailsFileName), std::string("\x7F" "ELF\0\x01\xFF", 7)));
    StartOver();
    RunOnce();
    EXPECT_THAT(view_.Texts(),
                Contains("The list of examined mails could not be read; all mails are examined again"));
    EXPECT_EQ(Saved().size(), 4u);
    StartOver();
    RunOnce();
    EXPECT_THAT(Calls(), ElementsAre("QUIT"));

    EXPECT_THAT(HeadersRead(6), ElementsAre("3", "0", "1", "4", "4", "0")) << Server().Log();
}

TEST_F(RememberedMailsAgainstDovecot, StoppedRunKeepsWhatItExaminedAndTheNextProcessContinues) {
    std::vector<TestMail> mails;
    for (int i = 1; i <= 10; ++i) {
        mails.push_back(MailWithAttachment("s" + std::to_string(i), "s" + std::to_string(i) + ".csv"));
    }
    DeliverMails(mails);
    view_.OnRow([this](const std::string& row) {
        if (TextOfRow(row) == FileSaved("s5.csv")) parameters_.stopRequested.store(true);
    });
    RunOnce();
    EXPECT_EQ(Saved().size(), 5u);

    view_.OnRow(nullptr);
    parameters_.stopRequested.store(false);
    StartOver();
    RunOnce();
    EXPECT_THAT(Calls(), ElementsAre("RETR 6", "RETR 7", "RETR 8", "RETR 9", "RETR 10", "QUIT"));
    EXPECT_EQ(Saved().size(), 5u);
    const std::vector<std::string> headers = HeadersRead(2);
    ASSERT_EQ(headers.size(), 2u) << Server().Log();
    EXPECT_EQ(headers[1], "5");
}

}  // namespace
}  // namespace zendrel::testsupport
