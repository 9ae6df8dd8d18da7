// zendrel --run-once on saved settings against a real Dovecot server: what it prints, saves, deletes and returns.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dovecot/dovecot_server.h"
#include "dovecot/free_port.h"
#include "dovecot/test_certificates.h"
#include "mailbox_program_test.h"
#include "platform/data_folder_locks.h"

namespace zendrel::testsupport {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Files = std::map<std::string, std::string>;

class RunOnceProgram : public MailboxProgramTest {};

TEST_F(RunOnceProgram, PrintsTheRunAsTheLogViewShowsItAndExitsWith0) {
    TestMail mail = MailWithAttachment("once.1", "report.csv");
    mail.attachments.push_back({"notes.txt", AttachmentBytesFor("notes.txt")});
    mail.attachments.push_back({"summary.pdf", AttachmentBytesFor("summary.pdf")});
    DeliverMails({mail, MailWithAttachment("once.2", "second.CSV")});
    // As typed in the window: dots, capitals and blanks are the user's business.
    settings_.extensionsText = ".CSV, pdf";
    SaveTheSettings();

    const testsupport::ProgramResult result = RunProgram({"--run-once"});
    ASSERT_EQ(result.exitCode, 0) << Shown(result);
    const std::vector<std::string> lines = result.OutLines();
    // Attachments count from the last one in the mail.
    EXPECT_THAT(TextsOfRows(lines), ElementsAre(LoggedIn(2), FileSaved("summary.pdf"), FileSaved("report.csv"),
                                                FileSaved("second.CSV"), kSignedOut, ""))
        << Shown(result);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_TRUE(StartsWithStamp(lines[i])) << lines[i];
    EXPECT_TRUE(result.out.ends_with(kSignedOut + "\n\n")) << "the separator is an empty line of its own";

    const Files expected = {{"summary.pdf", AttachmentBytesFor("summary.pdf")},
                            {"report.csv", AttachmentBytesFor("report.csv")},
                            {"second.CSV", AttachmentBytesFor("second.CSV")}};
    EXPECT_EQ(testsupport::FilesIn(save_), expected);
    EXPECT_EQ(Server().CountStoredMessages(box_.user), 2u) << "DeleteFiles is off";
    EXPECT_FALSE(fs::exists(data_ / "log_long.txt")) << "no diagnostics without -logging";
}

TEST_F(RunOnceProgram, NamesInEveryScriptAreSavedWholeAndLoggedAsFarAsWindows1252Goes) {
    const std::string invoice = "\xD0\xA1\xD1\x87\xD1\x91\xD1\x82 \xE2\x84\x96" "5.pdf";  // Счёт №5.pdf
    const std::string euro = "Rechnung 100\xE2\x82\xAC.pdf";
    TestMail mail = MailWithAttachment("names.1", "=?UTF-8?B?0KHRh9GR0YIg4oSWNS5wZGY=?=");
    mail.attachments.push_back({"=?utf-8?Q?Rechnung_100=E2=82=AC.pdf?=", AttachmentBytesFor(euro)});
    DeliverMails({mail});
    settings_.extensionsText = "pdf";
    SaveTheSettings();

    const testsupport::ProgramResult result = RunProgram({"--run-once"});
    ASSERT_EQ(result.exitCode, 0) << Shown(result);
    // The log is Windows-1252: the euro sign is in it, the Cyrillic letters and "№" are not.
    EXPECT_THAT(TextsOfRows(result.OutLines()),
                ElementsAre(LoggedIn(1), FileSaved(euro), FileSaved("???? ?5.pdf"), kSignedOut, ""))
        << Shown(result);
    const Files expected = {{invoice, AttachmentBytesFor("=?UTF-8?B?0KHRh9GR0YIg4oSWNS5wZGY=?=")},
                            {euro, AttachmentBytesFor(euro)}};
    EXPECT_EQ(testsupport::FilesIn(save_), expected);
}

struct LoggingCase {
    std::vector<std::string> arguments;
    bool diagnostics;
};

TEST_F(RunOnceProgram, LoggingSwitchWritesTheDiagnosticLogIntoTheDataFolder) {
    DeliverMails({MailWithAttachment("logged.1", "logged.csv")});
    SaveTheSettings();
    const std::vector<LoggingCase> cases = {
        {{"--run-once"}, false},
        {{"--run-once", "-logging"}, true},
        {{"-LOGGING", "--run-once"}, true},
    };
    for (const LoggingCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        std::error_code error;
        fs::remove(data_ / "log_long.txt", error);
        const testsupport::ProgramResult result = RunProgram(c.arguments);
        ASSERT_EQ(result.exitCode, 0) << Shown(result);
        // Every run is a new process: the mail is new to it each time.
        EXPECT_THAT(TextsOfRows(result.OutLines()), ElementsAre(LoggedIn(1), FileSaved("logged.csv"), kSignedOut, ""));
        EXPECT_EQ(fs::exists(data_ / "log_long.txt"), c.diagnostics);
        if (!c.diagnostics) continue;
        const std::vector<std::string> diagnostics = TextsOfLogFile(testsupport::ReadBytes(data_ / "log_long.txt"));
        EXPECT_THAT(diagnostics, Contains("MessageIDs: 0"));
        EXPECT_THAT(diagnostics, Contains("MessageID: <logged.1@zendrel.test>"));
        EXPECT_THAT(diagnostics, Contains("Allowed Extensions: csv"));
        EXPECT_THAT(diagnostics, Contains("Attachment saved to: " + program_.PathText(save_)));
        // Diagnostics never reach standard output.
        EXPECT_EQ(result.out.find("Allowed Extensions"), std::string::npos);
    }
}

struct LanguageCase {
    std::string language;
    std::string errorLine;
};

TEST_F(RunOnceProgram, RefusedLoginExitsWith3AfterItsErrorLineInTheSavedLanguage) {
    DeliverMails({MailWithAttachment("refused.1", "refused.csv")});
    settings_.password = "not-" + box_.password;
    const std::vector<LanguageCase> cases = {
        {"english", "ERROR!! (wrong password)"},
        {"german", "FEHLER!! (falsches Passwort)"},
    };
    for (const LanguageCase& c : cases) {
        SCOPED_TRACE(c.language);
        settings_.language = c.language;
        SaveTheSettings();
        const testsupport::ProgramResult result = RunProgram({"--run-once"});
        EXPECT_EQ(result.exitCode, 3) << Shown(result);
        const std::vector<std::string> lines = result.OutLines();
        ASSERT_EQ(lines.size(), 1u) << Shown(result);
        EXPECT_TRUE(StartsWithStamp(lines[0])) << lines[0];
        EXPECT_EQ(TextOfRow(lines[0]), c.errorLine);
    }
    EXPECT_THAT(testsupport::FilesIn(save_), IsEmpty());
}

TEST_F(RunOnceProgram, TlsAgainstAPlainPortAndARefusedPasswordAreToldAndGoToTheDiagnosticLog) {
    const struct {
        ConnectionSecurity security;
        std::string password;
        std::vector<std::string> lines;
        std::string diagnostic;
    } cases[] = {
        {ConnectionSecurity::kTls, box_.password,
         {"ERROR!! (Can't reach server)", "Server " + Host() + ", port " + std::to_string(Port()) +
                                              ": TLS handshake failed"},
         "failed with error 1 (TLS handshake failed)"},
        {ConnectionSecurity::kNone, "not-" + box_.password, {"ERROR!! (wrong password)"},
         "failed with error 5, last reply: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.diagnostic);
        settings_.security = c.security;
        settings_.password = c.password;
        SaveTheSettings();
        std::error_code error;
        fs::remove(data_ / "log_long.txt", error);
        const testsupport::ProgramResult result = RunProgram({"--run-once", "-logging"});
        EXPECT_EQ(result.exitCode, 3) << Shown(result);
        EXPECT_EQ(TextsOfRows(result.OutLines()), c.lines) << Shown(result);
        const std::string diagnostics = testsupport::ReadBytes(data_ / "log_long.txt");
        EXPECT_NE(diagnostics.find("Login to " + Host() + ":" + std::to_string(Port()) + " " + c.diagnostic),
                  std::string::npos)
            << diagnostics;
    }
}

TEST_F(RunOnceProgram, AttachmentThatCannotBeSavedExitsWith1AndKeepsItsMail) {
    DeliverMails({MailWithAttachment("blocked.1", "blocked.csv"), MailWithAttachment("fine.2", "fine.csv")});
    // A folder where the file belongs, and the setting that replaces a file of the name: it cannot be written.
    ASSERT_TRUE(fs::create_directory(save_ / "blocked.csv"));
    settings_.existingFiles = ExistingFiles::kReplace;
    settings_.deleteMails = true;
    SaveTheSettings();

    const testsupport::ProgramResult result = RunProgram({"--run-once"});
    EXPECT_EQ(result.exitCode, 1) << Shown(result);
    EXPECT_THAT(TextsOfRows(result.OutLines()),
                ElementsAre(LoggedIn(2), FileNotSaved("blocked.csv"), "Reason: the file could not be written",
                            FileSaved("fine.csv"), "1 file could not be saved; its mail stays on the server",
                            kSignedOut, ""));
    // The mail saved whole is gone; the other one waits for the next run.
    EXPECT_EQ(Server().CountStoredMessages(box_.user), 1u);

    ASSERT_TRUE(fs::remove(save_ / "blocked.csv"));
    const testsupport::ProgramResult again = RunProgram({"--run-once"});
    EXPECT_EQ(again.exitCode, 0) << Shown(again);
    EXPECT_THAT(TextsOfRows(again.OutLines()), ElementsAre(LoggedIn(1), FileSaved("blocked.csv"), kSignedOut, ""));
    EXPECT_EQ(Server().CountStoredMessages(box_.user), 0u);
}

TEST_F(RunOnceProgram, TwoFilesOfOneNameFromTwoSendersAreBothKeptAndBothMailsDeleted) {
    TestMail alice = MailWithAttachment("invoice.1", "invoice.pdf");
    alice.from = "Alice <alice@one.example>";
    alice.attachments[0].bytes = "%PDF-1.4 the invoice of Alice";
    TestMail bob = MailWithAttachment("invoice.2", "invoice.pdf");
    bob.from = "Bob <bob@two.example>";
    bob.attachments[0].bytes = "%PDF-1.4 the invoice of Bob";
    DeliverMails({alice, bob});
    settings_.extensionsText = "pdf";
    settings_.deleteMails = true;
    SaveTheSettings();

    const testsupport::ProgramResult result = RunProgram({"--run-once"});
    EXPECT_EQ(result.exitCode, 0) << Shown(result);
    EXPECT_THAT(TextsOfRows(result.OutLines()),
                ElementsAre(LoggedIn(2), FileSaved("invoice.pdf"), FileSaved("invoice (2).pdf"), kSignedOut, ""));
    EXPECT_EQ(testsupport::FilesIn(save_), (Files{{"invoice.pdf", "%PDF-1.4 the invoice of Alice"},
                                              {"invoice (2).pdf", "%PDF-1.4 the invoice of Bob"}}));
    EXPECT_EQ(Server().CountStoredMessages(box_.user), 0u);
}

TEST_F(RunOnceProgram, ASecondRunOverAKeptMailAddsNoCopy) {
    DeliverMails({MailWithAttachment("kept.1", "export.csv")});
    SaveTheSettings();
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run) + ", each a new process");
        const testsupport::ProgramResult result = RunProgram({"--run-once"});
        EXPECT_EQ(result.exitCode, 0) << Shown(result);
        EXPECT_THAT(TextsOfRows(result.OutLines()), ElementsAre(LoggedIn(1), FileSaved("export.csv"), kSignedOut, ""));
        EXPECT_EQ(testsupport::FilesIn(save_), (Files{{"export.csv", AttachmentBytesFor("export.csv")}}));
    }
}

// Every file below `folder`, by its path relative to it with "/" between folders.
Files FilesBelow(const fs::path& folder) {
    Files files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        const std::u8string relative = entry.path().lexically_relative(folder).generic_u8string();
        files[std::string(relative.begin(), relative.end())] = testsupport::ReadBytes(entry.path());
    }
    return files;
}

// Today's year and month as "YYYY-MM" in local time, as a run without a readable Date takes them.
std::string ThisMonth() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d", local.tm_year + 1900, local.tm_mon + 1);
    return text;
}

TEST_F(RunOnceProgram, SubFoldersByDomainAndMonthStayBelowTheSaveFolderWhateverTheSenderWrites) {
    TestMail jo = MailWithAttachment("sub.1", "a.csv");
    jo.from = "Jo Meyer <Jo.Meyer@Example.ORG>";
    // The day as the sender writes it, not converted: it is the 2nd of March in UTC.
    TestMail shop = MailWithAttachment("sub.2", "b.csv");
    shop.from = "billing@shop.example";
    shop.date = "Sat, 1 Mar 2025 23:59:59 -0800";
    TestMail climber = MailWithAttachment("sub.3", "c.csv");
    climber.from = "Evil <../../outside@../..>";
    TestMail backslashes = MailWithAttachment("sub.4", "d.csv");
    backslashes.from = "<x@..\\..\\windows>";
    TestMail undated = MailWithAttachment("sub.5", "e.csv");
    undated.date = "32 Dec ../../../tmp";
    TestMail noDate = MailWithAttachment("sub.6", "f.csv");
    noDate.date.reset();
    DeliverMails({jo, shop, climber, backslashes, undated, noDate});
    settings_.subFolder = "{domain}/{year}-{month}";
    SaveTheSettings();

    const std::string monthBefore = ThisMonth();
    const testsupport::ProgramResult result = RunProgram({"--run-once"});
    const std::string month = ThisMonth();
    ASSERT_EQ(month, monthBefore) << "the month turned during the run; run the test again";
    EXPECT_EQ(result.exitCode, 0) << Shown(result);
    const std::string s = program_.IsWindowsProgram() ? "\\" : "/";
    EXPECT_THAT(TextsOfRows(result.OutLines()),
                ElementsAre(LoggedIn(6), FileSaved("example.org" + s + "2025-06" + s + "a.csv"),
                            FileSaved("shop.example" + s + "2025-03" + s + "b.csv"),
                            FileSaved("_._" + s + "2025-06" + s + "c.csv"),
                            FileSaved("_._.._windows" + s + "2025-06" + s + "d.csv"),
                            FileSaved("example.org" + s + month + s + "e.csv"),
                            FileSaved("example.org" + s + month + s + "f.csv"), kSignedOut, ""));
    EXPECT_EQ(FilesBelow(save_), (Files{{"example.org/2025-06/a.csv", AttachmentBytesFor("a.csv")},
                                        {"shop.example/2025-03/b.csv", AttachmentBytesFor("b.csv")},
                                        {"_._/2025-06/c.csv", AttachmentBytesFor("c.csv")},
                                        {"_._.._windows/2025-06/d.csv", AttachmentBytesFor("d.csv")},
                                        {"example.org/" + month + "/e.csv", AttachmentBytesFor("e.csv")},
                                        {"example.org/" + month + "/f.csv", AttachmentBytesFor("f.csv")}}));
    std::set<std::string> beside;
    for (const fs::directory_entry& entry : fs::directory_iterator(work_.Path())) {
        beside.insert(entry.path().filename().string());
    }
    EXPECT_EQ(beside, (std::set<std::string>{"data", "save", "scratch"})) << "nothing climbed out of the save folder";
}

TEST_F(RunOnceProgram, InlineFilesAreSavedWhenTheSettingsAskForThem) {
    // As Apple Mail sends a PDF: inline beside the text.
    TestMail apple = MailWithAttachment("apple.1", "Rechnung.pdf");
    apple.attachments[0].contentType = "application/pdf";
    apple.attachments[0].disposition = "inline";
    DeliverMails({apple});
    settings_.extensionsText = "pdf";
    SaveTheSettings();
    testsupport::ProgramResult result = RunProgram({"--run-once"});
    EXPECT_EQ(result.exitCode, 0) << Shown(result);
    EXPECT_THAT(TextsOfRows(result.OutLines()), ElementsAre(LoggedIn(1), kSignedOut, ""));
    EXPECT_THAT(testsupport::FilesIn(save_), IsEmpty());

    settings_.saveInline = true;
    SaveTheSettings();
    result = RunProgram({"--run-once"});
    EXPECT_EQ(result.exitCode, 0) << Shown(result);
    EXPECT_THAT(TextsOfRows(result.OutLines()), ElementsAre(LoggedIn(1), FileSaved("Rechnung.pdf"), kSignedOut, ""));
    EXPECT_EQ(testsupport::FilesIn(save_), (Files{{"Rechnung.pdf", AttachmentBytesFor("Rechnung.pdf")}}));
}

TEST_F(RunOnceProgram, RememberedMailsAreNotSavedAgainByTheNextProcessOnlyTheNewOne) {
    TestMail anonymous = MailWithAttachment("unused", "no-id.csv");
    anonymous.messageId.reset();
    DeliverMails({MailWithAttachment("kept.1", "kept.csv"), anonymous});
    settings_.rememberMails = true;
    SaveTheSettings();
    testsupport::ProgramResult result = RunProgram({"--run-once"});
    ASSERT_EQ(result.exitCode, 0) << Shown(result);
    EXPECT_EQ(testsupport::FilesIn(save_).size(), 2u);
    EXPECT_TRUE(fs::exists(data_ / "examined.dat"));

    for (const auto& [name, bytes] : testsupport::FilesIn(save_)) fs::remove(save_ / testsupport::Utf8Path(name));
    DeliverMails({MailWithAttachment("new.3", "new.csv")});
    result = RunProgram({"--run-once"});
    ASSERT_EQ(result.exitCode, 0) << Shown(result);
    EXPECT_THAT(TextsOfRows(result.OutLines()), ElementsAre(LoggedIn(3), FileSaved("new.csv"), kSignedOut, ""))
        << Shown(result);
    EXPECT_EQ(testsupport::FilesIn(save_), (Files{{"new.csv", AttachmentBytesFor("new.csv")}}));
}

// No server needed: nobody listens on the port.
class RunOnceWithoutServer : public ::testing::Test {
protected:
    const ProgramUnderTest program_ = ProgramUnderTest::FromEnvironment();
    testsupport::TemporaryFolder work_{"zendrel-program"};
};

struct UnreachableCase {
    std::string server;
    std::string port;
    std::string reason;
};

TEST_F(RunOnceWithoutServer, UnreachableServerExitsWith3AfterItsErrorLineAndWhereAndWhy) {
    ASSERT_TRUE(work_.Created());
    const fs::path data = work_.MakeFolder("data");
    const fs::path scratch = work_.MakeFolder("scratch");
    const UnreachableCase cases[] = {
        {"127.0.0.1", std::to_string(FindFreeLoopbackPort()), "connection refused"},
        {"no-such-host.invalid", "110", "no such host"},  // a name that never resolves (RFC 2606)
    };
    for (const UnreachableCase& c : cases) {
        SCOPED_TRACE(c.server);
        SettingsRecord settings;
        settings.language = "english";
        settings.server = c.server;
        settings.portText = c.port;
        settings.userName = "someone";
        settings.saveDir = program_.PathText(work_.MakeFolder("save"));
        ASSERT_TRUE(SaveSettings(data, settings));

        const testsupport::ProgramResult result = program_.Run({"--run-once", "-logging"}, work_.Path(), scratch,
                                                           {{"ZENDREL_DATA_DIR", program_.PathText(data)}});
        EXPECT_EQ(result.exitCode, 3) << result.out << result.err;
        EXPECT_THAT(TextsOfRows(result.OutLines()),
                    ElementsAre("ERROR!! (Can't reach server)",
                                "Server " + c.server + ", port " + c.port + ": " + c.reason));
        // The diagnostic log has the failure too, although no message was ever looked at.
        EXPECT_THAT(TextsOfLogFile(testsupport::ReadBytes(data / "log_long.txt")),
                    Contains("Login to " + c.server + ":" + c.port + " failed with error 1 (" + c.reason + ")"));
    }
}

TEST_F(RunOnceWithoutServer, ARunOnTheSameDataFolderUnderWayMakesItExit4WithOneLine) {
    // Wine keeps its own books of who holds a file; a lock of this Linux process is none of them.
    if (program_.IsWindowsProgram()) GTEST_SKIP() << "the run lock is held by a Linux process here";
    ASSERT_TRUE(work_.Created());
    const fs::path data = work_.MakeFolder("data");
    SettingsRecord settings;
    settings.language = "english";
    settings.server = "127.0.0.1";
    settings.portText = std::to_string(FindFreeLoopbackPort());
    ASSERT_TRUE(SaveSettings(data, settings));
    const RunLockResult held = CreateDataFolderLocks()->LockRun(data);
    ASSERT_EQ(held.state, RunLockState::kLocked);

    const testsupport::ProgramResult result = program_.Run({"--run-once"}, work_.Path(), work_.MakeFolder("scratch"),
                                                       {{"ZENDREL_DATA_DIR", program_.PathText(data)}});
    EXPECT_EQ(result.exitCode, 4) << result.out << result.err;
    EXPECT_THAT(TextsOfRows(result.OutLines()),
                ElementsAre("Another run on this data folder is still under way; this run is skipped."));
}

// A mailbox that requires TLS from the first byte, on a server whose certificate the test authority signed. The Linux
// program trusts the authority through SSL_CERT_FILE; the Windows program's trust is the system's store, into which
// the tool that ZENDREL_TEST_TRUST_TOOL names puts the authority first.
void RunOnceOverTlsWith(const ProgramUnderTest& program, const char* certificateName, int exitCode,
                        const std::vector<std::string>& lines) {
    const ServerCertificate certificate = TestServerCertificate(certificateName);
    const MailUser user{"tls-reader", "tls-secret"};
    std::string reason;
    const std::unique_ptr<DovecotServer> server = DovecotServer::Start({user}, reason, &certificate);
    if (!server && DovecotServer::MayBeUnavailable()) GTEST_SKIP() << "Dovecot cannot be started here: " << reason;
    ASSERT_TRUE(server) << reason;
    ASSERT_TRUE(server->Deliver(user.name, ComposeMail(MailWithAttachment("tls.1", "secure.csv"))));

    testsupport::TemporaryFolder work("zendrel-program");
    ASSERT_TRUE(work.Created());
    const fs::path data = work.MakeFolder("data");
    const fs::path save = work.MakeFolder("save");
    const fs::path scratch = work.MakeFolder("scratch");
    const fs::path authority = TestCertificatesFolder() / "ca.pem";
    if (program.IsWindowsProgram()) {
        const char* tool = std::getenv("ZENDREL_TEST_TRUST_TOOL");
        if (tool == nullptr) GTEST_SKIP() << "ZENDREL_TEST_TRUST_TOOL names no tool that trusts the test authority";
        const testsupport::ProgramResult trusted = ProgramUnderTest{program.launcher, tool}.Run(
            {program.PathText(authority)}, work.Path(), scratch, {});
        ASSERT_EQ(trusted.exitCode, 0) << trusted.out << trusted.err;
    }
    SettingsRecord settings;
    settings.language = "english";
    settings.server = "localhost";
    settings.portText = std::to_string(server->TlsPort());
    settings.security = ConnectionSecurity::kTls;
    settings.userName = user.name;
    settings.password = user.password;
    settings.saveDir = program.PathText(save);
    settings.extensionsText = "csv";
    ASSERT_TRUE(SaveSettings(data, settings));

    const testsupport::ProgramResult result = program.Run(
        {"--run-once"}, work.Path(), scratch,
        {{"ZENDREL_DATA_DIR", program.PathText(data)}, {"SSL_CERT_FILE", authority.string()}});
    EXPECT_EQ(result.exitCode, exitCode) << result.out << result.err;
    EXPECT_EQ(TextsOfRows(result.OutLines()), lines);
    if (exitCode == 0) {
        EXPECT_EQ(testsupport::ReadBytes(save / "secure.csv"), AttachmentBytesFor("secure.csv"));
    }
}

struct TlsRunCase {
    const char* certificate;
    int exitCode;
    std::vector<std::string> lines;
};

TEST(RunOnceOverTls, SavesFromAMailboxThatRequiresTlsAndRefusesCertificatesNotTrusted) {
    const ProgramUnderTest program = ProgramUnderTest::FromEnvironment();
    ASSERT_FALSE(TestCertificatesFolder().empty()) << "the openssl command could not make the test certificates";
    const TlsRunCase cases[] = {
        {"good", 0, {LoggedIn(1), FileSaved("secure.csv"), kSignedOut, ""}},
        {"wrong-host", 3, {"ERROR!! (The server's certificate is not trusted: wrong host name)"}},
        {"unknown-issuer", 3, {"ERROR!! (The server's certificate is not trusted: unknown issuer)"}},
        {"not-yet-valid", 3, {"ERROR!! (The server's certificate is not trusted: not yet valid)"}},
    };
    for (const TlsRunCase& c : cases) {
        SCOPED_TRACE(c.certificate);
        RunOnceOverTlsWith(program, c.certificate, c.exitCode, c.lines);
        if (IsSkipped()) return;
    }
}


}  // namespace
}  // namespace zendrel::testsupport
