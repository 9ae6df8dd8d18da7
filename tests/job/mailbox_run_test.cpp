#include "job/mailbox_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "fake_mail_session.h"
#include "job/run_control.h"
#include "log_rows.h"
#include "test_log_files.h"
#include "test_files.h"

namespace zendrel {
namespace {

using testsupport::FakeAttachment;
using testsupport::FakeMailSession;
using testsupport::FakeMessage;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;


using RowCollector = testsupport::CollectingView;

std::tm NineFive() { return testsupport::TimeOfDay(9, 5, 0); }

FakeMessage Mail(std::string from, std::string subject, std::string id, std::vector<FakeAttachment> attachments = {
                                                                           {"report.csv"}}) {
    return FakeMessage{std::move(from), std::move(subject), std::move(id), std::move(attachments), false};
}

class MailboxRunTest : public ::testing::Test {
protected:
    MailboxRunTest() : log_(data_.Path(), view_, files_, NineFive) {
        parameters_.server = "pop.example.org";
        parameters_.port = 110;
        parameters_.userName = "jo";
        parameters_.password = "secret";
        // Typed without a trailing separator.
        parameters_.saveDir = save_.Path().string();
        parameters_.extensions = "csv";
    }

    // The fixture's objects as the run shares them; every run ends before the fixture does.
    template <typename T>
    std::shared_ptr<T> Shared(T& object) {
        return std::shared_ptr<T>(keepAlive_, &object);
    }

    RunServices Services(FakeMailSession& mailbox, ActivityLog* log = nullptr) {
        RunServices services;
        services.log = Shared(log != nullptr ? *log : log_);
        services.texts = Shared(texts_);
        services.handledMessageIds = Shared(handled_);
        services.allowedSenders = Shared(allowed_);
        services.blockedSenders = Shared(blocked_);
        services.loggingFlag = logging_;
        services.createSession = [&mailbox] { return testsupport::Borrow(mailbox); };
        return services;
    }

    // One run over `mailbox`, as the shell starts it (activeRunNumber set), waited for on this thread.
    RunReport Run(FakeMailSession& mailbox) {
        parameters_.activeRunNumber.store(7);
        parameters_.stopRequested.store(false);
        const RunReport report = MailboxRun(parameters_, Services(mailbox));
        EXPECT_EQ(parameters_.activeRunNumber.load(), 0u) << "the run clears activeRunNumber as its last act";
        return report;
    }

    // The settings a run started by a controller reads.
    std::function<void(JobParameters&)> Fill() {
        return [this](JobParameters& parameters) {
            parameters.server = parameters_.server;
            parameters.port = parameters_.port;
            parameters.saveDir = parameters_.saveDir;
            parameters.extensions = parameters_.extensions;
        };
    }

    // The rows without their time stamps.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const std::string& row : view_.Rows()) texts.push_back(row.size() > 9 ? row.substr(9) : row);
        return texts;
    }

    std::vector<std::int32_t> Retrieved(const FakeMailSession& mailbox) const {
        std::vector<std::int32_t> numbers;
        for (const std::string& call : mailbox.calls) {
            if (call.rfind("LoadMessage ", 0) == 0) numbers.push_back(std::stoi(call.substr(12)));
        }
        return numbers;
    }

    // What the log file `name` of the data folder holds.
    std::string LogFile(const char* name) const { return testsupport::LogFileContents(data_.Path() / name); }

    std::shared_ptr<int> keepAlive_ = std::make_shared<int>(0);
    testsupport::TemporaryFolder data_{"zendrel-data"};
    testsupport::TemporaryFolder save_{"zendrel-save"};
    JobParameters parameters_;
    RowCollector view_;
    testsupport::TestLogFiles files_;
    ActivityLog log_;
    InterfaceTexts texts_;
    HandledMessageIds handled_;
    FixedSenderList allowed_;
    FixedSenderList blocked_;
    bool logging_ = false;
};

TEST_F(MailboxRunTest, AnEmptyMailboxLogsInAndOut) {
    FakeMailSession mailbox({});
    const RunReport report = Run(mailbox);
    EXPECT_THAT(Texts(), ElementsAre("Successfully logged into account! (0 messages).", "Successfully signed out!", ""));
    EXPECT_EQ(view_.Rows().front(), "09:05:00 Successfully logged into account! (0 messages).");
    EXPECT_EQ(view_.Rows().back(), "") << "the separator carries no stamp";
    EXPECT_THAT(mailbox.calls, ElementsAre("Login", "Logout"));
    EXPECT_EQ(mailbox.host, "pop.example.org");
    EXPECT_EQ(mailbox.port, 110);
    EXPECT_EQ(mailbox.userName, "jo");
    EXPECT_EQ(mailbox.password, "secret");
    EXPECT_EQ(mailbox.timeoutMs, 10000);
    EXPECT_TRUE(report.loggedIn);
    EXPECT_EQ(LogFile("log.txt"), "<missing>") << "an interactive run writes no shared file";
    EXPECT_EQ(LogFile("log_long.txt"), "<missing>") << "no diagnostics without -logging";
}

TEST_F(MailboxRunTest, TheServiceAlsoWritesItsUserMessagesToTheSharedFile) {
    parameters_.serviceMode = true;
    FakeMailSession mailbox({});
    Run(mailbox);
    EXPECT_EQ(LogFile("log.txt"),
              "09:05:00 Successfully logged into account! (0 messages).\r\n09:05:00 Successfully signed out!\r\n\r\n");
}

TEST_F(MailboxRunTest, LoginFailuresSayWhy) {
    const struct {
        std::int32_t code;
        const char* english;
    } cases[] = {
        {1, "ERROR!! (Can't reach server)"},
        {2, "ERROR!! (no login)"},
        {4, "ERROR!! (unknown username)"},
        {5, "ERROR!! (wrong password)"},
        {0, "ERROR!! (no login)"},  // a greeting that is no POP3 status line
        {3, "ERROR!! (no login)"},  // the server hung up during the login
        {14, "ERROR!! (Connection failed, code 14)"},
        {15, "ERROR!! (Connection failed, code 15)"},
        {19, "ERROR!! (The server's certificate is not trusted: expired)"},
        {20, "ERROR!! (The server offers no STARTTLS)"},
    };
    parameters_.security = ConnectionSecurity::kTls;
    for (const auto& c : cases) {
        RowCollector rows;
        ActivityLog log(data_.Path(), rows, files_, NineFive);
        FakeMailSession mailbox({Mail("a@x", "s", "<1@x>")});
        mailbox.loginFailure = c.code;
        mailbox.certificateProblem = "expired";
        parameters_.activeRunNumber.store(1);
        const RunReport report = MailboxRun(parameters_, Services(mailbox, &log));
        EXPECT_EQ(mailbox.security, ConnectionSecurity::kTls) << "the login goes the way the settings say";
        EXPECT_THAT(rows.Rows(), ElementsAre(std::string("09:05:00 ") + c.english)) << c.code;
        EXPECT_THAT(mailbox.calls, ElementsAre("Login")) << "no Logout after a failed login";
        EXPECT_FALSE(report.loggedIn);
        EXPECT_EQ(report.loginError, c.code);
        EXPECT_EQ(parameters_.activeRunNumber.load(), 0u);
    }
}

TEST_F(MailboxRunTest, ALoginCutShortByAStopIsNoError) {
    // Whatever step the stop cut short: the name lookup or the connect (1), or a read (15).
    for (const std::int32_t code : {SessionError::kNotConnected, SessionError::kCancelled}) {
        FakeMailSession mailbox({});
        mailbox.loginFailure = code;
        parameters_.activeRunNumber.store(1);
        parameters_.stopRequested.store(true);
        MailboxRun(parameters_, Services(mailbox));
        EXPECT_THAT(view_.Rows(), IsEmpty()) << code;
        EXPECT_EQ(parameters_.activeRunNumber.load(), 0u);
    }
}

TEST_F(MailboxRunTest, LoginFailuresInGerman) {
    texts_.ApplyLanguage("german");
    FakeMailSession mailbox({});
    mailbox.loginFailure = 14;
    Run(mailbox);
    EXPECT_THAT(Texts(), ElementsAre("FEHLER!! (Verbindung fehlgeschlagen, Code 14)"));
}

TEST_F(MailboxRunTest, AConnectionCheckLogsInAndOutAndSaysHowManyMessagesWaitOrWhyNot) {
    FakeMailSession mailbox({Mail("a@x", "s", "<1@x>"), Mail("b@x", "s", "<2@x>")});
    parameters_.activeRunNumber.store(3);
    const RunReport report = CheckConnection(parameters_, Services(mailbox));
    EXPECT_THAT(Texts(), ElementsAre("Connected: 2 messages in the mailbox"));
    EXPECT_THAT(mailbox.calls, ElementsAre("Login", "Logout")) << "no message is looked at";
    EXPECT_TRUE(report.loggedIn);
    EXPECT_EQ(handled_.Size(), 0u);
    EXPECT_EQ(parameters_.activeRunNumber.load(), 0u);

    mailbox.loginFailure = SessionError::kPasswordRefused;
    CheckConnection(parameters_, Services(mailbox));
    EXPECT_EQ(Texts().back(), "ERROR!! (wrong password)");
}

TEST_F(MailboxRunTest, NoSessionEndsTheRunQuietly) {
    FakeMailSession unused({});
    RunServices services = Services(unused);
    services.createSession = [] { return std::unique_ptr<MailSession>(); };
    parameters_.activeRunNumber.store(3);
    MailboxRun(parameters_, services);
    EXPECT_THAT(view_.Rows(), IsEmpty());
    EXPECT_EQ(parameters_.activeRunNumber.load(), 0u);
}

TEST_F(MailboxRunTest, SenderListsDecideWhichMailsAreRetrieved) {
    const struct {
        const char* what;
        std::vector<std::string> blocked;
        std::vector<std::string> allowed;
        std::string from;
        bool retrieved;
    } cases[] = {
        {"no lists", {}, {}, "anyone@x", true},
        {"black list entry equals From", {"newsdesk"}, {}, "newsdesk", false},
        {"From is part of the entry", {"newsdesk"}, {}, "NEWS", false},
        {"entry inside a From with display name", {"newsdesk"}, {}, "News <newsdesk>", false},
        {"unrelated black list entry", {"spam@x"}, {}, "alice@example.org", true},
        {"empty From passes the black list", {"spam@x"}, {}, "", true},
        {"empty black list entry blocks nobody", {""}, {}, "alice@example.org", true},
        {"white list bare address, From with display name", {}, {"alice@example.org"},
         "Alice <ALICE@example.org>", true},
        {"white list entry with display name, bare From", {}, {"Alice <alice@example.org>"}, "alice@example.org",
         true},
        {"sender not on the white list", {}, {"alice@example.org"}, "bob@example.org", false},
        {"white list with one empty entry refuses everyone", {}, {""}, "alice@example.org", false},
        {"empty From is refused by a white list", {}, {"alice@example.org"}, "", false},
        {"black list wins over the white list", {"alice"}, {"alice@example.org"}, "alice@example.org", false},
        {"second white list entry matches", {}, {"x@y", "bob@"}, "Bob <bob@example.org>", true},
        {"Windows-1252 letters compare without case", {"J\xD6RG@x"}, {}, "j\xF6rg@x", false},
    };
    for (const auto& c : cases) {
        blocked_ = FixedSenderList(c.blocked);
        allowed_ = FixedSenderList(c.allowed);
        handled_.Clear();
        FakeMailSession mailbox({Mail(c.from, "subject", "<1@x>")});
        parameters_.searchString = "";
        Run(mailbox);
        EXPECT_EQ(Retrieved(mailbox).size(), c.retrieved ? 1u : 0u) << c.what;
    }
}

TEST_F(MailboxRunTest, TheSubjectSearchIgnoresCase) {
    parameters_.searchString = "abc";
    logging_ = true;
    FakeMailSession mailbox({Mail("a@x", "Report ABC 12", "<1@x>"), Mail("a@x", "Report AB C", "<2@x>"),
                             Mail("a@x", "", "<3@x>")});
    Run(mailbox);
    EXPECT_THAT(Retrieved(mailbox), ElementsAre(1));
    EXPECT_THAT(Texts(), ::testing::Contains("Now searching for 'abc'."));
    const std::string diagnostics = LogFile("log_long.txt");
    EXPECT_THAT(diagnostics, HasSubstr("09:05:00 SearchInHead: abc <-> FindString: 8\r\n"));
    EXPECT_THAT(diagnostics, HasSubstr("09:05:00 SearchInHead: abc <-> FindString: 0\r\n"));
}

TEST_F(MailboxRunTest, DiagnosticLinesTellTheWholeStory) {
    logging_ = true;
    parameters_.extensions = "csv;pdf";
    parameters_.saveDir = save_.Path().string() + "/";
    blocked_ = FixedSenderList({"spam@x"});
    allowed_ = FixedSenderList({"alice@x"});
    FakeMailSession mailbox({Mail("alice@x", "Monthly", "<1@x>", {{"a.csv"}, {"b.txt"}}),
                             Mail("spam@x", "Buy", "<2@x>"), Mail("bob@x", "Hi", "")});
    Run(mailbox);
    EXPECT_EQ(LogFile("log_long.txt"),
              "09:05:00 MessageIDs: 0\r\n"
              "09:05:00 From: alice@x\r\nSubject: Monthly\r\nMessageID: <1@x>\r\n"
              "09:05:00 BlackList found (1 items)\r\n"
              "09:05:00 WhiteList found (1 items)\r\n"
              "09:05:00 Sender (alice@x) allowed!\r\n"
              "09:05:00 SearchInHead:  <-> FindString: 0\r\n"
              "09:05:00 Message loaded, contains 2 attachments.\r\n"
              "09:05:00 Allowed Extensions: csv;pdf\r\n"
              "09:05:00 Ready for saving: 1\r\n"
              "09:05:00 Attachment saved to: " +
                  parameters_.saveDir +
                  "\r\n"
              "09:05:00 Ready for saving: 0\r\n"
              "09:05:00 From: spam@x\r\nSubject: Buy\r\nMessageID: <2@x>\r\n"
              "09:05:00 BlackList found (1 items)\r\n"
              "09:05:00 Sender spam@x blocked!\r\n"
              "09:05:00 SearchInHead:  <-> FindString: 0\r\n"
              "09:05:00 From: bob@x\r\nSubject: Hi\r\nMessageID: \r\n"
              "09:05:00 BlackList found (1 items)\r\n"
              "09:05:00 WhiteList found (1 items)\r\n"
              "09:05:00 SearchInHead:  <-> FindString: 0\r\n");
    EXPECT_THAT(Texts(), ElementsAre("Successfully logged into account! (3 messages).", "File 'a.csv' saved!",
                                     "Successfully signed out!", ""));
}

TEST_F(MailboxRunTest, AMailIsExaminedOncePerProcess) {
    logging_ = true;
    FakeMailSession first({Mail("a@x", "s", "<1@x>"), Mail("a@x", "s", "")});
    Run(first);
    EXPECT_THAT(Retrieved(first), ElementsAre(1, 2));
    EXPECT_TRUE(handled_.Contains("<1@x>"));

    FakeMailSession second({Mail("a@x", "s", "<1@x>"), Mail("a@x", "s", "")});
    EXPECT_EQ(Run(second).savedAttachments, 1);
    EXPECT_THAT(Retrieved(second), ElementsAre(2)) << "a mail without Message-ID is examined on every run";
    EXPECT_THAT(LogFile("log_long.txt"), HasSubstr("09:05:00 MessageID (<1@x>) allready there!\r\n"));
}

// A server without UIDL: the remembered Message-IDs carry the set from one process to the next.
TEST_F(MailboxRunTest, RememberedMailsWithoutUniqueIdsAreKnownByMessageIdInTheNextProcess) {
    parameters_.rememberMails = true;
    const auto mailbox = [] {
        std::vector<FakeMessage> messages = {Mail("a@x", "s", "<1@x>"), Mail("a@x", "s", ""), Mail("a@x", "s", "<3@x>")};
        messages[2].retrievalFails = true;
        return messages;
    };
    const auto run = [&](FakeMailSession& session, const std::filesystem::path& file) {
        RunServices services = Services(session);
        services.rememberedMailsFile = file;
        parameters_.activeRunNumber.store(7);
        MailboxRun(parameters_, services);
    };
    const std::filesystem::path file = data_.Path() / "examined.dat";
    FakeMailSession first(mailbox());
    run(first, file);
    EXPECT_THAT(Retrieved(first), ElementsAre(1, 2, 3));
    EXPECT_EQ(handled_.Size(), 0u) << "the process's own set is not used";

    // Another process: the mail without a Message-ID and the one whose retrieval failed are examined again.
    FakeMailSession second(mailbox());
    run(second, file);
    EXPECT_THAT(Retrieved(second), ElementsAre(2, 3));

    // A file that cannot be written is one line, and the run goes on as it would.
    view_.Clear();
    FakeMailSession third(mailbox());
    run(third, data_.Path() / "missing" / "examined.dat");
    EXPECT_THAT(Retrieved(third), ElementsAre(1, 2, 3));
    EXPECT_THAT(Texts(), Contains("The list of examined mails could not be saved; the next run tries again"));
}

TEST_F(MailboxRunTest, IdsOfMailsGoneFromTheServerAreForgotten) {
    FakeMailSession first({Mail("a@x", "s", "<1@x>"), Mail("a@x", "s", "<2@x>")});
    Run(first);
    FakeMailSession second({Mail("a@x", "s", "<2@x>")});
    Run(second);
    EXPECT_FALSE(handled_.Contains("<1@x>"));
    EXPECT_TRUE(handled_.Contains("<2@x>"));
    EXPECT_EQ(handled_.Size(), 1u);
}

TEST_F(MailboxRunTest, BlockedMailsAreNotRecorded) {
    blocked_ = FixedSenderList({"spam"});
    FakeMailSession mailbox({Mail("spam@x", "s", "<1@x>")});
    Run(mailbox);
    EXPECT_FALSE(handled_.Contains("<1@x>"));
}

TEST_F(MailboxRunTest, OnlyAllowedExtensionsAreSaved) {
    const struct {
        const char* extensions;
        std::vector<std::string> savedNames;
    } cases[] = {
        {"csv;pdf", {"A.CSV"}},
        {"csv;", {"A.CSV", "c"}},
        {"", {"A.CSV", "b.txt", "c"}},
        {"txt", {"b.txt"}},
    };
    for (const auto& c : cases) {
        view_.Clear();
        handled_.Clear();
        parameters_.extensions = c.extensions;
        FakeMailSession mailbox({Mail("a@x", "s", "<1@x>", {{"A.CSV"}, {"b.txt"}, {"c"}})});
        Run(mailbox);
        std::vector<std::string> rows;
        for (const std::string& name : c.savedNames) rows.push_back("File '" + name + "' saved!");
        std::vector<std::string> texts = Texts();
        texts.erase(texts.begin());
        texts.erase(texts.end() - 2, texts.end());
        EXPECT_THAT(texts, ElementsAreArray(rows)) << c.extensions;
    }
}

TEST_F(MailboxRunTest, AttachmentsGoIntoTheSaveFolderEvenWithoutATrailingSeparator) {
    FakeMailSession mailbox({Mail("a@x", "s", "<1@x>")});
    Run(mailbox);
    EXPECT_EQ(testsupport::FilesIn(save_.Path()),
              (std::map<std::string, std::string>{{"report.csv", "contents of report.csv"}}));
    EXPECT_FALSE(std::filesystem::exists(save_.Path().string() + "report.csv")) << "not beside the folder";
}

TEST_F(MailboxRunTest, AMailIsDeletedOnceAfterAllItsAttachmentsWereSaved) {
    parameters_.deleteMails = true;
    parameters_.extensions = "";
    FakeMailSession mailbox({Mail("a@x", "s", "<1@x>", {{"a.csv"}, {"b.csv"}}), Mail("a@x", "s", "<2@x>", {}),
                             Mail("a@x", "s", "<3@x>", {{"c.csv"}})});
    std::map<std::int32_t, std::vector<std::string>> logBeforeDeletion;
    mailbox.onDeleteMessage = [&](std::int32_t n) { logBeforeDeletion[n] = Texts(); };
    Run(mailbox);
    EXPECT_THAT(mailbox.deleted, ElementsAre(1, 3)) << "a mail without a saved attachment stays";
    EXPECT_THAT(logBeforeDeletion[1], ::testing::Contains("File 'b.csv' saved!"))
        << "deleted after the last attachment, not after the first";
}

TEST_F(MailboxRunTest, NothingIsDeletedWithoutTheSetting) {
    FakeMailSession mailbox({Mail("a@x", "s", "<1@x>")});
    Run(mailbox);
    EXPECT_THAT(mailbox.deleted, IsEmpty());
}

TEST_F(MailboxRunTest, AnAttachmentThatCannotBeSavedKeepsTheMailAndIsReported) {
    parameters_.deleteMails = true;
    // A folder where the file belongs, and the setting that replaces a file of the name: it cannot be written.
    parameters_.existingFiles = ExistingFiles::kReplace;
    ASSERT_TRUE(std::filesystem::create_directory(save_.Path() / "b.csv"));
    FakeMailSession first({Mail("a@x", "s", "<1@x>", {{"a.csv"}, {"b.csv"}})});
    const RunReport report = Run(first);
    EXPECT_THAT(first.deleted, IsEmpty()) << "the mail would be lost with b.csv at the end of the conversation";
    EXPECT_THAT(Texts(), ElementsAre("Successfully logged into account! (1 messages).", "File 'a.csv' saved!",
                                     "ERROR!! (File 'b.csv' could not be saved)",
                                     "Reason: the file could not be written",
                                     "1 file could not be saved; its mail stays on the server",
                                     "Successfully signed out!", ""));
    EXPECT_EQ(report.savedAttachments, 1);
    EXPECT_EQ(report.unsavedAttachments, 1);
    EXPECT_FALSE(handled_.Contains("<1@x>")) << "the next run examines it again";

    ASSERT_TRUE(std::filesystem::remove(save_.Path() / "b.csv"));
    FakeMailSession second({Mail("a@x", "s", "<1@x>", {{"a.csv"}, {"b.csv"}})});
    Run(second);
    EXPECT_THAT(Retrieved(second), ElementsAre(1));
    EXPECT_THAT(second.deleted, ElementsAre(1));
}

TEST_F(MailboxRunTest, EveryFileNotSavedIsFollowedByItsReasonAndTheRunByTheirCount) {
    const struct {
        const char* what;
        std::vector<FakeAttachment> attachments;
        bool saveFolderMissing;
        const char* language;
        std::vector<std::string> lines;  // between the login and the sign-out
    } cases[] = {
        {"save folder missing",
         {{"a.csv"}, {"b.csv"}},
         true,
         "english",
         {"ERROR!! (File 'a.csv' could not be saved)", "Reason: the folder does not exist",
          "ERROR!! (File 'b.csv' could not be saved)", "Reason: the folder does not exist",
          "2 files could not be saved; their mails stay on the server"}},
        {"no name",
         {{""}},
         false,
         "english",
         {"ERROR!! (File '' could not be saved)", "Reason: the attachment names no usable file",
          "1 file could not be saved; its mail stays on the server"}},
        {"base64 that does not decode",
         {{"a.csv", "", true}},
         false,
         "english",
         {"ERROR!! (File 'a.csv' could not be saved)", "Reason: its content cannot be decoded",
          "1 file could not be saved; its mail stays on the server"}},
        {"in German",
         {{"a.csv"}, {"b.csv"}},
         true,
         "german",
         {"FEHLER!! (Datei 'a.csv' konnte nicht gespeichert werden)", "Grund: Der Ordner existiert nicht",
          "FEHLER!! (Datei 'b.csv' konnte nicht gespeichert werden)", "Grund: Der Ordner existiert nicht",
          "2 Dateien konnten nicht gespeichert werden; ihre Mails bleiben auf dem Server"}},
    };
    for (const auto& c : cases) {
        view_.Clear();
        handled_.Clear();
        texts_.ApplyLanguage(c.language);
        parameters_.extensions = "";
        parameters_.saveDir = (save_.Path() / (c.saveFolderMissing ? "missing" : "")).string();
        FakeMailSession mailbox({Mail("a@x", "s", "<1@x>", c.attachments)});
        const RunReport report = Run(mailbox);
        std::vector<std::string> lines = Texts();
        ASSERT_GE(lines.size(), 3u) << c.what;
        lines.erase(lines.begin());
        lines.erase(lines.end() - 2, lines.end());
        EXPECT_EQ(lines, c.lines) << c.what;
        EXPECT_EQ(report.unsavedAttachments, static_cast<int>(c.attachments.size())) << c.what;
    }
}

TEST_F(MailboxRunTest, AFailedRetrievalIsTriedAgainByTheNextRun) {
    FakeMessage broken = Mail("a@x", "s", "<1@x>");
    broken.retrievalFails = true;
    FakeMailSession first({broken});
    Run(first);
    EXPECT_THAT(Texts(), ElementsAre("Successfully logged into account! (1 messages).", "Successfully signed out!", ""));
    EXPECT_FALSE(handled_.Contains("<1@x>"));

    FakeMailSession second({Mail("a@x", "s", "<1@x>")});
    Run(second);
    EXPECT_THAT(Retrieved(second), ElementsAre(1));
}

TEST_F(MailboxRunTest, AnAttachmentThatCanNeverBeSavedIsReportedOnceAndItsMailKept) {
    parameters_.deleteMails = true;
    // Without an extension list, so that a part without a name is allowed too.
    parameters_.extensions = "";
    const FakeAttachment lostOnes[] = {{"", "", false}, {"b.csv", "", true}};
    for (const FakeAttachment& lost : lostOnes) {
        const std::string reason = lost.name.empty() ? "no name" : "no decoding";
        handled_.Clear();
        view_.Clear();
        FakeMailSession first({Mail("a@x", "s", "<1@x>", {{"a.csv"}, lost})});
        const RunReport report = Run(first);
        EXPECT_THAT(first.deleted, IsEmpty()) << "b.csv is not on disk: the mail is the only copy";
        EXPECT_EQ(report.unsavedAttachments, 1);
        EXPECT_TRUE(handled_.Contains("<1@x>")) << reason;

        FakeMailSession second({Mail("a@x", "s", "<1@x>", {{"a.csv"}, lost})});
        Run(second);
        EXPECT_THAT(Retrieved(second), IsEmpty()) << "no retry can save it: not downloaded again, " << reason;
        EXPECT_THAT(second.deleted, IsEmpty());
        int reported = 0;
        for (const std::string& text : Texts()) {
            reported += text == "ERROR!! (File '" + lost.name + "' could not be saved)";
        }
        EXPECT_EQ(reported, 1) << reason;
    }
}

TEST_F(MailboxRunTest, AFailureInsideTheRunIsLoggedAndTheRunStillLogsOut) {
    FakeMailSession mailbox({Mail("a@x", "s", "<1@x>"), Mail("a@x", "s", "<2@x>")});
    mailbox.onLoadMessage = [](std::int32_t) { throw std::bad_alloc(); };
    const RunReport report = Run(mailbox);
    EXPECT_TRUE(report.failed);
    EXPECT_EQ(mailbox.calls.back(), "Logout") << "deletions take effect only at the logout";
    EXPECT_THAT(Texts(), ::testing::Contains("ERROR!! (The run was cut short by an internal error)"));
}

TEST_F(MailboxRunTest, AStopEndsTheRunBetweenMessages) {
    std::vector<FakeMessage> messages;
    for (int n = 1; n <= 10; ++n) messages.push_back(Mail("a@x", "s", "<" + std::to_string(n) + "@x>"));
    FakeMailSession mailbox(messages);
    mailbox.onLoadMessage = [&](std::int32_t n) {
        if (n == 5) parameters_.stopRequested.store(true);
    };
    EXPECT_EQ(Run(mailbox).savedAttachments, 5) << "message 5 is completed";
    EXPECT_THAT(Retrieved(mailbox), ElementsAre(1, 2, 3, 4, 5));
    EXPECT_EQ(mailbox.calls.back(), "Logout");
    EXPECT_EQ(Texts().back(), "");
    EXPECT_EQ(Texts()[Texts().size() - 2], "Successfully signed out!");
    EXPECT_EQ(handled_.Size(), 5u) << "the mails the run did not reach are examined again later";
    EXPECT_FALSE(handled_.Contains("<6@x>"));
}

TEST(SenderMatches, EitherTextContainsTheOther) {
    EXPECT_TRUE(SenderMatches("Alice <alice@example.org>", "alice@example.org"));
    EXPECT_TRUE(SenderMatches("alice", "Alice <alice@example.org>"));
    EXPECT_FALSE(SenderMatches("", "a"));
    EXPECT_FALSE(SenderMatches("a", ""));
    EXPECT_FALSE(SenderMatches("alice@example.org", "bob@example.org"));
}

using RunControllerTest = MailboxRunTest;

TEST_F(RunControllerTest, OneRunAtATimeAndItsEndIsReported) {
    FakeMailSession mailbox({Mail("a@x", "s", "<1@x>")});
    mailbox.hangInLoadHeader = true;
    mailbox.ignoreCancel = true;
    RunController controller;
    RunServices services = Services(mailbox);
    // What the run holds until it ends (the data folder's run lock), let go before the end is reported.
    auto held = std::make_shared<int>(0);
    services.heldUntilEnded = held;
    const std::weak_ptr<int> whileRunning = held;
    held.reset();
    ASSERT_TRUE(controller.Start(Fill(), std::move(services)));
    EXPECT_TRUE(controller.Active());
    EXPECT_FALSE(whileRunning.expired());
    bool filledAgain = false;
    EXPECT_FALSE(controller.Start([&](JobParameters&) { filledAgain = true; }, Services(mailbox)))
        << "a second run never starts beside the first";
    EXPECT_FALSE(filledAgain) << "the active run's settings are not written while it reads them";
    mailbox.Release();
    controller.WaitUntilEnded();
    EXPECT_FALSE(controller.Active());
    EXPECT_TRUE(whileRunning.expired());
    EXPECT_EQ(controller.LastReport().savedAttachments, 1);
    EXPECT_EQ(mailbox.host, "pop.example.org") << "the run read the settings that were filled in";
}

TEST_F(RunControllerTest, AStopEndsARunThatHangsInARead) {
    FakeMailSession mailbox({Mail("a@x", "s", "<1@x>"), Mail("a@x", "s", "<2@x>")});
    mailbox.hangInLoadHeader = true;
    RunController controller;
    ASSERT_TRUE(controller.Start(Fill(), Services(mailbox)));
    mailbox.AwaitHang();
    EXPECT_TRUE(controller.Stop(std::chrono::seconds(10)));
    EXPECT_FALSE(controller.Active());
    EXPECT_GE(mailbox.cancels.load(), 1);
    EXPECT_EQ(mailbox.calls.back(), "Logout") << "the run still logs out";
}

TEST_F(RunControllerTest, ARunThatWillNotEndStaysActiveUntilItDoes) {
    FakeMailSession mailbox({Mail("a@x", "s", "<1@x>")});
    mailbox.hangInLoadHeader = true;
    mailbox.ignoreCancel = true;
    RunController controller;
    ASSERT_TRUE(controller.Start(Fill(), Services(mailbox)));
    mailbox.AwaitHang();
    EXPECT_FALSE(controller.Stop(std::chrono::milliseconds(100)));
    EXPECT_TRUE(controller.Active());
    EXPECT_FALSE(controller.Start(Fill(), Services(mailbox)));
    mailbox.Release();
    controller.WaitUntilEnded();
    EXPECT_FALSE(controller.Active());
    EXPECT_TRUE(controller.Stop()) << "nothing left to stop";
}

TEST_F(RunControllerTest, ARunOutlivesTheControllerThatCouldNotStopIt) {
    FakeMailSession mailbox({Mail("a@x", "s", "<1@x>")});
    mailbox.hangInLoadHeader = true;
    mailbox.ignoreCancel = true;
    // Services owned only through the run, as a window that quits while a run hangs leaves them.
    struct OwnedLog {
        RowCollector view;
        testsupport::TestLogFiles files;
        ActivityLog log{std::filesystem::temp_directory_path() / "zendrel-no-such-folder", view, files, NineFive};
    };
    auto owned = std::make_shared<OwnedLog>();
    RunServices services;
    services.log = std::shared_ptr<ActivityLog>(owned, &owned->log);
    services.texts = std::make_shared<InterfaceTexts>();
    services.handledMessageIds = std::make_shared<HandledMessageIds>();
    services.allowedSenders = std::make_shared<FixedSenderList>();
    services.blockedSenders = std::make_shared<FixedSenderList>();
    services.createSession = [&mailbox] { return testsupport::Borrow(mailbox); };
    std::promise<void> signedOut;
    owned->view.OnRow([&signedOut](const std::string& row) {
        if (row.empty()) signedOut.set_value();
    });
    const std::shared_ptr<OwnedLog> watched = owned;
    {
        RunController controller;
        ASSERT_TRUE(controller.Start(Fill(), std::move(services)));
        owned.reset();
        mailbox.AwaitHang();
        EXPECT_FALSE(controller.Stop(std::chrono::milliseconds(50)));
    }
    // The run's record and services are still alive: it goes on and ends as usual.
    mailbox.Release();
    ASSERT_EQ(signedOut.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_THAT(testsupport::TextsOfRows(watched->view.Rows()), ::testing::Contains("Successfully signed out!"));
}

TEST_F(RunControllerTest, StopWithoutARunDoesNothing) {
    RunController controller;
    EXPECT_TRUE(controller.Stop());
    EXPECT_FALSE(controller.Active());
}

}  // namespace
}  // namespace zendrel
