// Mailbox runs in the test process against a real Dovecot server: what they log, save, retrieve and delete, and what
// they remember from one run to the next.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "dovecot/message_maker.h"
#include "mailbox_server.h"
#include "run_bench.h"
#include "test_mail.h"

namespace zendrel::testsupport {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAreArray;
using Files = std::map<std::string, std::string>;

class MailboxRunAgainstDovecot : public MailboxServerTest, protected RunBench {
protected:
    void SetUp() override {
        MailboxServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(Ready()) << "cannot create the temporary folders";
        box_ = NewMailbox();
        UseServer(Host(), Port(), box_.user, box_.password);
    }

    void DeliverMails(const std::vector<TestMail>& mails) {
        std::vector<std::string> messages;
        for (const TestMail& mail : mails) messages.push_back(ComposeMail(mail));
        Deliver(box_, messages);
    }

    // The files that MailWithAttachment mails carry, by name.
    static Files AttachmentFiles(const std::vector<std::string>& names) {
        Files files;
        for (const std::string& name : names) files[name] = AttachmentBytesFor(name);
        return files;
    }

    TestMailbox box_;
};

TEST_F(MailboxRunAgainstDovecot, EmptyMailboxLogsLoginWithNoMessagesThenSignOutAndAnEmptyRow) {
    RunOnce();
    const std::vector<std::string> rows = view_.Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(StartsWithStamp(rows[0])) << rows[0];
    EXPECT_TRUE(StartsWithStamp(rows[1])) << rows[1];
    EXPECT_THAT(view_.Texts(), ElementsAre(LoggedIn(0), kSignedOut, ""));
    EXPECT_EQ(rows[2], "") << "the separator row carries no stamp";
    // Outside the service, user lines stay in the view; without "-logging" there are no diagnostics.
    EXPECT_FALSE(fs::exists(DataFile(ActivityLog::kSharedLogName)));
    EXPECT_FALSE(fs::exists(DataFile(ActivityLog::kDiagnosticLogName)));
    EXPECT_TRUE(report_.loggedIn);
    EXPECT_THAT(Calls(), ElementsAre("QUIT"));
}

TEST_F(MailboxRunAgainstDovecot, InTheServiceTheUserLinesAlsoGoToTheSharedLogFile) {
    DeliverMails({MailWithAttachment("svc.1", "service.csv")});
    parameters_.serviceMode = true;
    RunOnce();
    const std::vector<std::string> expected = {LoggedIn(1), FileSaved("service.csv"), kSignedOut, ""};
    EXPECT_THAT(view_.Texts(), ElementsAreArray(expected));
    // The same lines, stamps and all, each followed by CR LF.
    std::string lines;
    for (const std::string& row : view_.Rows()) lines += row + "\r\n";
    EXPECT_EQ(testsupport::ReadBytes(DataFile(ActivityLog::kSharedLogName)), lines);
    EXPECT_FALSE(fs::exists(DataFile(ActivityLog::kDiagnosticLogName)));
}

TEST_F(MailboxRunAgainstDovecot, SearchStringIsFoundAnywhereInTheSubjectWhateverTheCase) {
    TestMail report = MailWithAttachment("search.1", "report.csv");
    report.subject = "Report ABC 12";
    TestMail other = MailWithAttachment("search.2", "other.csv");
    other.subject = "Weekly summary";
    TestMail reply = MailWithAttachment("search.3", "reply.csv");
    reply.subject = "Re: xaBc";
    DeliverMails({report, other, reply});
    parameters_.searchString = "abc";
    logging_ = true;
    RunOnce();

    EXPECT_THAT(view_.Texts(), ElementsAre(LoggedIn(3), "Now searching for 'abc'.", FileSaved("report.csv"),
                                           FileSaved("reply.csv"), kSignedOut, ""));
    EXPECT_EQ(Saved(), AttachmentFiles({"report.csv", "reply.csv"}));
    EXPECT_THAT(Calls(), ElementsAre("RETR 1", "RETR 3", "QUIT"));
    // The position counts from 1 and ignores case; a subject without the text reports 0.
    const std::vector<std::string> diagnostics = Diagnostics();
    EXPECT_THAT(diagnostics, Contains("SearchInHead: abc <-> FindString: 8"));
    EXPECT_THAT(diagnostics, Contains("SearchInHead: abc <-> FindString: 0"));
    EXPECT_THAT(diagnostics, Contains("SearchInHead: abc <-> FindString: 6"));
    // The header diagnostic is one text over three lines, of which only the first is stamped.
    const auto from = std::find(diagnostics.begin(), diagnostics.end(), "From: Sender <sender@example.org>");
    ASSERT_NE(from, diagnostics.end()) << ::testing::PrintToString(diagnostics);
    ASSERT_GE(diagnostics.end() - from, 3);
    EXPECT_EQ(from[1], "Subject: Report ABC 12");
    EXPECT_EQ(from[2], "MessageID: <search.1@zendrel.test>");
}

// The mailbox of the sender list cases: one mail per From value, each with its own attachment.
struct Sender {
    std::string from;
    std::string attachment;
};
const std::vector<Sender> kSenders = {
    {"Alice <alice@example.org>", "alice-named.csv"},
    {"alice@example.org", "alice-bare.csv"},
    {"newsdesk", "newsdesk.csv"},
    {"NEWS", "news-upper.csv"},
    {"News <newsdesk>", "news-named.csv"},
    {"Bob Baker <bob@example.org>", "bob.csv"},
};

struct SenderListCase {
    std::string name;
    std::vector<std::string> allowed;  // white list
    std::vector<std::string> blocked;  // black list
    std::vector<std::string> saved;    // attachments of the mails that pass
    std::vector<std::string> diagnostics;  // lines that must be among the diagnostics
};

TEST_F(MailboxRunAgainstDovecot, SenderListsMatchWithAndWithoutDisplayNames) {
    std::vector<TestMail> mails;
    for (std::size_t i = 0; i < kSenders.size(); ++i) {
        TestMail mail = MailWithAttachment("sender." + std::to_string(i + 1), kSenders[i].attachment);
        mail.from = kSenders[i].from;
        mails.push_back(mail);
    }
    DeliverMails(mails);
    const std::vector<std::string> everyone = {"alice-named.csv", "alice-bare.csv", "newsdesk.csv",
                                               "news-upper.csv",  "news-named.csv", "bob.csv"};
    const std::vector<SenderListCase> cases = {
        {"no lists", {}, {}, everyone, {}},
        {"bare address on the black list blocks it with and without a display name",
         {},
         {"alice@example.org"},
         {"newsdesk.csv", "news-upper.csv", "news-named.csv", "bob.csv"},
         {"BlackList found (1 items)", "Sender Alice <alice@example.org> blocked!",
          "Sender alice@example.org blocked!"}},
        {"bare address on the white list lets it in with and without a display name",
         {"alice@example.org"},
         {},
         {"alice-named.csv", "alice-bare.csv"},
         {"WhiteList found (1 items)", "Sender (Alice <alice@example.org>) allowed!",
          "Sender (alice@example.org) allowed!"}},
        {"letter case does not count", {"ALICE@Example.ORG"}, {}, {"alice-named.csv", "alice-bare.csv"}, {}},
        {"a From value inside the entry matches, and so does the entry inside the From value",
         {},
         {"newsdesk"},
         {"alice-named.csv", "alice-bare.csv", "bob.csv"},
         {"Sender newsdesk blocked!", "Sender NEWS blocked!", "Sender News <newsdesk> blocked!"}},
        {"a whole From line as the entry", {"Bob Baker <bob@example.org>"}, {}, {"bob.csv"}, {}},
        {"a white list of one empty entry refuses everyone", {""}, {}, {}, {"WhiteList found (1 items)"}},
        {"an empty black list entry blocks nobody", {}, {""}, everyone, {"BlackList found (1 items)"}},
        {"entries are tried in list order up to the first match",
         {},
         {"carol@example.org", "alice"},
         {"newsdesk.csv", "news-upper.csv", "news-named.csv", "bob.csv"},
         {"BlackList found (2 items)"}},
        {"the black list comes before the white list",
         {"example.org"},
         {"alice"},
         {"bob.csv"},
         {"Sender (Bob Baker <bob@example.org>) allowed!"}},
    };
    logging_ = true;
    for (const SenderListCase& c : cases) {
        SCOPED_TRACE(c.name);
        StartOver();
        allowed_ = FixedSenderList(c.allowed);
        blocked_ = FixedSenderList(c.blocked);
        RunOnce();
        EXPECT_EQ(Saved(), AttachmentFiles(c.saved));
        std::vector<std::string> expectedRows = {LoggedIn(static_cast<int>(kSenders.size()))};
        for (const Sender& sender : kSenders) {
            if (std::find(c.saved.begin(), c.saved.end(), sender.attachment) != c.saved.end()) {
                expectedRows.push_back(FileSaved(sender.attachment));
            }
        }
        expectedRows.insert(expectedRows.end(), {kSignedOut, ""});
        EXPECT_THAT(view_.Texts(), ElementsAreArray(expectedRows));
        const std::vector<std::string> diagnostics = Diagnostics();
        for (const std::string& line : c.diagnostics) EXPECT_THAT(diagnostics, Contains(line));
    }
}

TEST_F(MailboxRunAgainstDovecot, MailWithoutMessageIdIsRetrievedAndSavedOnEveryRun) {
    TestMail anonymous = MailWithAttachment("unused", "no-id.csv");
    anonymous.messageId.reset();
    DeliverMails({anonymous, MailWithAttachment("known.1", "with-id.csv")});
    logging_ = true;

    RunOnce();
    EXPECT_EQ(Saved(), AttachmentFiles({"no-id.csv", "with-id.csv"}));
    EXPECT_THAT(Calls(), ElementsAre("RETR 1", "RETR 2", "QUIT"));
    EXPECT_EQ(handled_.Size(), 1u);
    EXPECT_TRUE(handled_.Contains("<known.1@zendrel.test>"));

    // The second run of the same process: the saved files are gone, as if the user had moved them away.
    fs::remove(save_.Path() / "no-id.csv");
    fs::remove(save_.Path() / "with-id.csv");
    view_.Clear();
    journal_->Clear();
    RunOnce();
    EXPECT_EQ(Saved(), AttachmentFiles({"no-id.csv"}));
    EXPECT_THAT(view_.Texts(), ElementsAre(LoggedIn(2), FileSaved("no-id.csv"), kSignedOut, ""));
    EXPECT_THAT(Calls(), ElementsAre("RETR 1", "QUIT"));
    EXPECT_THAT(Diagnostics(), Contains("MessageID (<known.1@zendrel.test>) allready there!"));
    EXPECT_EQ(handled_.Size(), 1u);

    // The server counted the retrievals of each session: both mails in the first, only the one without an ID in the
    // second.
    const std::vector<std::string> logouts = LogoutLines(box_, 2);
    ASSERT_EQ(logouts.size(), 2u) << Server().Log();
    EXPECT_EQ(LogCount(logouts[0], "retr=").substr(0, 2), "2/") << logouts[0];
    EXPECT_EQ(LogCount(logouts[1], "retr=").substr(0, 2), "1/") << logouts[1];
}

TEST_F(MailboxRunAgainstDovecot, OnlyTheMailsThatTheLatestRunLetPastTheBlackListStayRemembered) {
    TestMail fromCarol = MailWithAttachment("carol.2", "carol.csv");
    fromCarol.from = "Carol <carol@example.org>";
    DeliverMails({MailWithAttachment("first.1", "first.csv"), fromCarol, MailWithAttachment("third.3", "third.csv")});
    RunOnce();
    ASSERT_EQ(handled_.Size(), 3u);

    // Blocked in the second run, Carol's mail is no longer one that this process has examined ...
    blocked_ = FixedSenderList({"carol@example.org"});
    journal_->Clear();
    RunOnce();
    EXPECT_THAT(Calls(), ElementsAre("QUIT"));
    EXPECT_EQ(handled_.Size(), 2u);
    EXPECT_FALSE(handled_.Contains("<carol.2@zendrel.test>"));

    // ... so once she is let through again, her mail is retrieved again, and only hers.
    blocked_ = FixedSenderList();
    journal_->Clear();
    RunOnce();
    EXPECT_THAT(Calls(), ElementsAre("RETR 2", "QUIT"));
    EXPECT_EQ(handled_.Size(), 3u);
}

struct ExtensionCase {
    std::string extensions;
    std::vector<std::string> saved;  // in the order of saving: attachments count from the last one in the mail
};

TEST_F(MailboxRunAgainstDovecot, ExtensionListDecidesWhichAttachmentsAreSaved) {
    TestMail mail = MailWithAttachment("ext.1", "A.CSV");
    mail.attachments.push_back({"b.txt", AttachmentBytesFor("b.txt")});
    mail.attachments.push_back({"c", AttachmentBytesFor("c")});
    DeliverMails({mail});
    const std::vector<ExtensionCase> cases = {
        {"csv;pdf", {"A.CSV"}},
        {"csv;", {"c", "A.CSV"}},
        {"pdf;csv", {"A.CSV"}},
        {"txt", {"b.txt"}},
        {"", {"c", "b.txt", "A.CSV"}},
        {"pdf", {}},
    };
    for (const ExtensionCase& c : cases) {
        SCOPED_TRACE("extensions '" + c.extensions + "'");
        StartOver();
        parameters_.extensions = c.extensions;
        RunOnce();
        EXPECT_EQ(Saved(), AttachmentFiles(c.saved));
        std::vector<std::string> expectedRows = {LoggedIn(1)};
        for (const std::string& name : c.saved) expectedRows.push_back(FileSaved(name));
        expectedRows.insert(expectedRows.end(), {kSignedOut, ""});
        EXPECT_THAT(view_.Texts(), ElementsAreArray(expectedRows));
    }
}

TEST_F(MailboxRunAgainstDovecot, MailWithTwoSavedAttachmentsIsDeletedOnceAfterTheLast) {
    TestMail text;
    text.messageId = "<text.1@zendrel.test>";
    TestMail two = MailWithAttachment("two.2", "first.csv");
    two.attachments.push_back({"second.csv", AttachmentBytesFor("second.csv")});
    TestMail refused = MailWithAttachment("refused.3", "refused.txt");
    DeliverMails({text, two, refused});
    parameters_.extensions = "csv";
    parameters_.deleteMails = true;
    RunOnce();

    EXPECT_EQ(Saved(), AttachmentFiles({"first.csv", "second.csv"}));
    EXPECT_THAT(view_.Texts(),
                ElementsAre(LoggedIn(3), FileSaved("second.csv"), FileSaved("first.csv"), kSignedOut, ""));
    // Only the mail whose attachments were all saved goes, after its last attachment; a mail with nothing saved stays
    // whatever deleteMails says.
    EXPECT_THAT(Calls(), ElementsAre("RETR 1", "RETR 2", "DELE 2", "RETR 3", "QUIT"));
    EXPECT_EQ(Server().CountStoredMessages(box_.user), 2u);
    const std::vector<std::string> logouts = LogoutLines(box_, 1);
    ASSERT_EQ(logouts.size(), 1u) << Server().Log();
    EXPECT_EQ(LogCount(logouts[0], "del="), "1/3") << logouts[0];

    // The other two are still there, in their order.
    StartOver();
    logging_ = true;
    RunOnce();
    EXPECT_THAT(view_.Texts(), ElementsAre(LoggedIn(2), kSignedOut, ""));
    EXPECT_THAT(Diagnostics(), Contains("MessageID: <text.1@zendrel.test>"));
    EXPECT_THAT(Diagnostics(), Contains("MessageID: <refused.3@zendrel.test>"));
    EXPECT_THAT(Calls(), ElementsAre("RETR 1", "RETR 2", "QUIT"));
}

TEST_F(MailboxRunAgainstDovecot, MailWithAnAttachmentThatCannotBeSavedStaysAndIsExaminedAgain) {
    // Attachments count from the last one in the mail: fine.csv is saved first, then blocked.csv fails.
    TestMail mail = MailWithAttachment("partly.1", "blocked.csv");
    mail.attachments.push_back({"fine.csv", AttachmentBytesFor("fine.csv")});
    DeliverMails({mail});
    // A folder where the file belongs, and the setting that replaces a file of the name: it cannot be written.
    ASSERT_TRUE(fs::create_directory(save_.Path() / "blocked.csv"));
    parameters_.existingFiles = ExistingFiles::kReplace;
    parameters_.deleteMails = true;

    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run) + " of the same process");
        view_.Clear();
        journal_->Clear();
        RunOnce();
        EXPECT_THAT(view_.Texts(), ElementsAre(LoggedIn(1), FileSaved("fine.csv"), FileNotSaved("blocked.csv"),
                                               "Reason: the file could not be written",
                                               "1 file could not be saved; its mail stays on the server", kSignedOut,
                                               ""));
        EXPECT_THAT(Calls(), ElementsAre("RETR 1", "QUIT"));
        EXPECT_EQ(Server().CountStoredMessages(box_.user), 1u);
        EXPECT_FALSE(handled_.Contains("<partly.1@zendrel.test>"));
        EXPECT_EQ(report_.savedAttachments, 1);
        EXPECT_EQ(report_.unsavedAttachments, 1);
    }

    // Once the way is clear the mail is saved whole and goes.
    ASSERT_TRUE(fs::remove(save_.Path() / "blocked.csv"));
    view_.Clear();
    journal_->Clear();
    RunOnce();
    EXPECT_THAT(view_.Texts(),
                ElementsAre(LoggedIn(1), FileSaved("fine.csv"), FileSaved("blocked.csv"), kSignedOut, ""));
    EXPECT_THAT(Calls(), ElementsAre("RETR 1", "DELE 1", "QUIT"));
    EXPECT_EQ(Saved(), AttachmentFiles({"fine.csv", "blocked.csv"}));
    EXPECT_EQ(Server().CountStoredMessages(box_.user), 0u);
}

TEST_F(MailboxRunAgainstDovecot, WrongPasswordIsReportedAndLeavesTheHandledMessagesAsTheyWere) {
    DeliverMails({MailWithAttachment("kept.1", "kept.csv")});
    RunOnce();
    ASSERT_TRUE(handled_.Contains("<kept.1@zendrel.test>"));

    view_.Clear();
    journal_->Clear();
    parameters_.password = "not-" + box_.password;
    RunOnce();
    const std::vector<std::string> rows = view_.Rows();
    ASSERT_EQ(rows.size(), 1u) << "no sign-out and no separator after a failed login";
    EXPECT_TRUE(StartsWithStamp(rows[0])) << rows[0];
    EXPECT_EQ(TextOfRow(rows[0]), "ERROR!! (wrong password)");
    EXPECT_THAT(Calls(), IsEmpty());
    EXPECT_FALSE(report_.loggedIn);
    EXPECT_EQ(handled_.Size(), 1u);
    EXPECT_TRUE(handled_.Contains("<kept.1@zendrel.test>"));
}

TEST_F(MailboxRunAgainstDovecot, StopDuringTheFifthOfTenMailsFinishesItAndLogsOut) {
    std::vector<TestMail> mails;
    for (int i = 1; i <= 10; ++i) {
        mails.push_back(MailWithAttachment("m" + std::to_string(i), "m" + std::to_string(i) + ".csv"));
    }
    DeliverMails(mails);
    // The stop button is pressed the moment the fifth mail's file is reported.
    view_.OnRow([this](const std::string& row) {
        if (TextOfRow(row) == FileSaved("m5.csv")) parameters_.stopRequested.store(true);
    });
    RunOnce();

    EXPECT_THAT(view_.Texts(), ElementsAre(LoggedIn(10), FileSaved("m1.csv"), FileSaved("m2.csv"), FileSaved("m3.csv"),
                                           FileSaved("m4.csv"), FileSaved("m5.csv"), kSignedOut, ""));
    EXPECT_EQ(Saved(), AttachmentFiles({"m1.csv", "m2.csv", "m3.csv", "m4.csv", "m5.csv"}));
    EXPECT_THAT(Calls(), Not(Contains("RETR 6")));
    EXPECT_EQ(handled_.Size(), 5u);
    for (int i = 1; i <= 5; ++i) EXPECT_TRUE(handled_.Contains("<m" + std::to_string(i) + "@zendrel.test>")) << i;

    // The next run takes up the mails the stopped one never reached, and only those.
    view_.OnRow(nullptr);
    parameters_.stopRequested.store(false);
    view_.Clear();
    journal_->Clear();
    RunOnce();
    EXPECT_THAT(Calls(), ElementsAre("RETR 6", "RETR 7", "RETR 8", "RETR 9", "RETR 10", "QUIT"));
    EXPECT_EQ(Saved().size(), 10u);
    EXPECT_EQ(handled_.Size(), 10u);
}

TEST_F(MailboxRunAgainstDovecot, StopWithReadAheadInFlightStillCommitsTheDeletions) {
    std::vector<TestMail> mails;
    for (int i = 1; i <= 10; ++i) {
        mails.push_back(MailWithAttachment("d" + std::to_string(i), "d" + std::to_string(i) + ".csv"));
    }
    DeliverMails(mails);
    parameters_.deleteMails = true;
    view_.OnRow([this](const std::string& row) {
        if (TextOfRow(row) == FileSaved("d2.csv")) parameters_.stopRequested.store(true);
    });
    RunOnce();

    EXPECT_THAT(view_.Texts(), ElementsAre(LoggedIn(10), FileSaved("d1.csv"), FileSaved("d2.csv"), kSignedOut, ""));
    EXPECT_THAT(Calls(), ElementsAre("RETR 1", "DELE 1", "RETR 2", "DELE 2", "QUIT"));
    // The server answered every header asked for ahead before the QUIT that made the two deletions count.
    const std::vector<std::string> logouts = LogoutLines(box_, 1);
    ASSERT_EQ(logouts.size(), 1u) << Server().Log();
    EXPECT_EQ(LogCount(logouts[0], "top=").substr(0, 3), "10/") << logouts[0];
    EXPECT_EQ(LogCount(logouts[0], "del="), "2/10") << logouts[0];
    EXPECT_EQ(Server().CountStoredMessages(box_.user), 8u);
}

TEST_F(MailboxRunAgainstDovecot, SavedAttachmentsHoldExactlyTheBytesThatWereSent) {
    TestMail binary = MailWithAttachment("bytes.1", "bytes.bin");
    binary.attachments[0].bytes = AllByteValues(5);
    binary.attachments.push_back({"dots.txt", "first\r\n.dot line\r\n.\r\nlast", "text/plain"});
    binary.attachments.push_back({"empty.dat", ""});
    DeliverMails({binary});
    // And mail from Python's MIME generator: pseudo-random binary files and a text file with dot lines.
    testsupport::TemporaryFolder generated("zendrel-messages");
    std::string error;
    ASSERT_TRUE(MakeTestMessages(generated.Path(), error)) << error;
    Deliver(box_, {testsupport::ReadBytes(generated.Path() / "attachments.eml")});
    RunOnce();

    Files expected = {{"bytes.bin", AllByteValues(5)},
                      {"dots.txt", "first\r\n.dot line\r\n.\r\nlast"},
                      {"empty.dat", ""}};
    for (const char* name : {"report.pdf", "photo.jpg", "notes.txt"}) {
        expected[name] = testsupport::ReadBytes(generated.Path() / "attachments" / name);
    }
    const Files saved = Saved();
    std::vector<std::string> names;
    for (const auto& entry : saved) names.push_back(entry.first);
    ASSERT_EQ(saved.size(), expected.size()) << ::testing::PrintToString(names) << "\n"
                                             << ::testing::PrintToString(view_.Texts());
    for (const auto& [name, bytes] : expected) {
        SCOPED_TRACE(name);
        ASSERT_EQ(saved.count(name), 1u);
        EXPECT_TRUE(saved.at(name) == bytes) << "saved " << saved.at(name).size() << " bytes of " << bytes.size();
    }
    EXPECT_GT(expected["report.pdf"].size(), 1000u);
}

}  // namespace
}  // namespace zendrel::testsupport
