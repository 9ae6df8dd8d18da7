// The POP3 session against a real Dovecot server: login, message count, headers, whole messages with their
// attachments, deletion, and the refusals of a real server.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "dovecot/pop3_probe.h"
#include "dovecot_environment.h"
#include "mime/header_field.h"
#include "mime/mail_message.h"
#include "pop3/mail_session.h"
#include "retrieved_files.h"

namespace zendrel::testsupport {
namespace {

constexpr std::int32_t kTimeoutMs = 10000;  // what the mailbox run passes

class SessionAgainstDovecot : public DovecotTest {
protected:
    void SetUp() override {
        DovecotTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        saveFolder_.emplace("zendrel-saved");
        ASSERT_TRUE(saveFolder_->Created()) << "cannot create a temporary folder";
    }

    std::unique_ptr<MailSession> LoggedIn(const Mailbox& box) {
        std::unique_ptr<MailSession> session = CreateMailSession();
        EXPECT_NE(session, nullptr);
        if (session == nullptr) {
            return nullptr;
        }
        EXPECT_EQ(session->Login(Host(), Port(), box.user, box.password, kTimeoutMs), 1)
            << "error code " << session->GetErrorCode();
        EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
        return session;
    }

    // The folder argument as the mailbox run passes it: with its trailing separator.
    std::string SaveFolder() const { return saveFolder_->Path().string() + "/"; }
    std::string Saved(const std::string& name) const { return testsupport::ReadBytes(saveFolder_->Path() / name); }

    // Whether one line of the server's log holds both texts. The log is written by a process of its own, so a line
    // may appear a moment after the reply that it belongs to.
    bool LogShows(const std::string& text, const std::string& alsoOnTheLine = "") {
        for (int attempt = 0; attempt < 250; ++attempt) {
            std::istringstream log(Server().Log());
            for (std::string line; std::getline(log, line);) {
                if (line.find(text) != std::string::npos && line.find(alsoOnTheLine) != std::string::npos) {
                    return true;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    std::optional<testsupport::TemporaryFolder> saveFolder_;
};

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST_F(SessionAgainstDovecot, LogsInWithUserAndPassBecauseCapaListsUserButNotApop) {
    // What the server offers: a greeting with an APOP time stamp, and a CAPA list with USER but without APOP.
    std::string error;
    std::optional<Pop3Probe> probe = Pop3Probe::Connect(Host(), Port(), 5000, error);
    ASSERT_TRUE(probe) << error;
    EXPECT_NE(probe->Greeting().find('<'), std::string::npos) << probe->Greeting();
    ASSERT_EQ(probe->Command("CAPA").rfind("+OK", 0), 0u);
    const std::vector<std::string> capabilities = probe->ReadLines();
    EXPECT_TRUE(Contains(capabilities, "USER"));
    EXPECT_TRUE(Contains(capabilities, "TOP"));
    EXPECT_FALSE(Contains(capabilities, "APOP"));
    probe.reset();

    std::unique_ptr<MailSession> session = LoggedIn(kLoginWatch);
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->GetMessageCount(), 1);
    EXPECT_EQ(session->Logout(), 1);

    // A known capability list without APOP rules APOP out, although the server would accept it.
    EXPECT_TRUE(LogShows("Login: user=<watched>, method=PLAIN"));
    EXPECT_EQ(Server().Log().find("user=<watched>, method=APOP"), std::string::npos) << Server().Log();
}

TEST_F(SessionAgainstDovecot, CountsTheMessagesAndLogsInAgainAfterLogout) {
    std::unique_ptr<MailSession> session = LoggedIn(kReader);
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->GetMessageCount(), 4);
    EXPECT_EQ(session->Logout(), 1);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);

    EXPECT_EQ(session->GetMessageCount(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNotConnected);
    EXPECT_EQ(session->Logout(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNothingToLogOut);

    ASSERT_EQ(session->Login(Host(), Port(), kReader.user, kReader.password, kTimeoutMs), 1);
    EXPECT_EQ(session->GetMessageCount(), 4);
    EXPECT_EQ(session->Logout(), 1);
}

struct HeaderCase {
    std::int32_t n;
    std::string subject;
    std::string from;
    std::string messageId;
    std::string bodyText;  // must not be part of the header
};

TEST_F(SessionAgainstDovecot, LoadsTheHeaderOfEveryMessageWithItsFieldsDecoded) {
    const std::vector<HeaderCase> cases = {
        {1, "Quarterly figures", "Anna Berger <anna@example.org>", "<plain.1@zendrel.test>", "figures follow"},
        // RFC 2047 words in UTF-8 (B-encoded subject, Q-encoded name) come out as single-byte text.
        {2, "Gr\xFC\xDF" "e aus K\xF6ln", "J\xFCrgen Wei\xDF <juergen@example.org>", "<attachments.2@zendrel.test>",
         "Three files"},
        // Raw 8-bit header bytes followed by an ISO-8859-1 Q word.
        {3, "Gr\xFC\xDF" "e aus K\xF6ln", "Ren\xE9 Fran\xE7ois <rene@example.org>", "<eightbit.3@zendrel.test>",
         "A NUL byte"},
        {4, "Nightly archive", "Backup <backup@example.org>", "<large.4@zendrel.test>", "archive is attached"},
    };
    std::unique_ptr<MailSession> session = LoggedIn(kReader);
    ASSERT_NE(session, nullptr);
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE("message " + std::to_string(c.n));
        const std::string header = ReadableHeader(session->LoadHeader(c.n));
        ASSERT_FALSE(header.empty()) << "error code " << session->GetErrorCode();
        EXPECT_EQ(GetHeaderField(header, "subject"), c.subject);
        EXPECT_EQ(GetHeaderField(header, "from"), c.from);
        EXPECT_EQ(GetHeaderField(header, "message-id"), c.messageId);
        EXPECT_EQ(header.find(c.bodyText), std::string::npos) << "TOP n 0 sends no body lines";
        // The header section's closing empty line, then the reply's terminating dot line.
        EXPECT_TRUE(header.ends_with("\r\n\r\n.\r\n")) << header;
    }
    EXPECT_EQ(session->LoadHeader(5), "");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kBadNumber);
    EXPECT_EQ(session->LoadHeader(0), "");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kBadNumber);
    // The session is still usable after refusing a number.
    EXPECT_EQ(GetHeaderField(session->LoadHeader(1), "message-id"), "<plain.1@zendrel.test>");
    EXPECT_EQ(session->Logout(), 1);
}

// The retrieved text is the rest of the status line ("+OK <size> octets") followed by the message; once the
// dot-stuffing is undone the message has exactly the size the server announced.
TEST_F(SessionAgainstDovecot, RetrievesEveryMessageWithTheAnnouncedNumberOfBytes) {
    std::unique_ptr<MailSession> session = LoggedIn(kReader);
    ASSERT_NE(session, nullptr);
    for (std::int32_t n = 1; n <= 4; ++n) {
        SCOPED_TRACE("message " + std::to_string(n));
        ASSERT_EQ(session->LoadMessage(n), 1) << "error code " << session->GetErrorCode();
        const std::string text = session->GetLastReply();
        const std::size_t statusEnd = text.find("\r\n");
        ASSERT_NE(statusEnd, std::string::npos);
        const std::string status = text.substr(0, statusEnd);
        ASSERT_TRUE(status.ends_with(" octets")) << status;
        const long announced = std::strtol(status.c_str(), nullptr, 10);
        EXPECT_EQ(static_cast<long>(text.size() - statusEnd - 2), announced);
        EXPECT_TRUE(text.ends_with("\r\n"));
    }
    EXPECT_EQ(session->LoadMessage(5), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kBadNumber);
    EXPECT_EQ(session->Logout(), 1);
}

TEST_F(SessionAgainstDovecot, SavesEveryAttachmentWithTheBytesThatWereSent) {
    std::unique_ptr<MailSession> session = LoggedIn(kReader);
    ASSERT_NE(session, nullptr);
    ASSERT_EQ(session->LoadMessage(2), 1) << "error code " << session->GetErrorCode();
    // The server doubles a leading dot on the wire; the message text must have it single again.
    const std::string text = session->GetLastReply();
    EXPECT_NE(text.find("\r\n.hidden line\r\n.\r\n..\r\n...three\r\n"), std::string::npos);
    EXPECT_EQ(text.find("\r\n..hidden line\r\n"), std::string::npos);

    const std::vector<std::string> names = {"notes.txt", "photo.jpg", "report.pdf"};
    std::vector<std::string> saved = SaveRetrievedFiles(*session, SaveFolder());
    std::sort(saved.begin(), saved.end());
    ASSERT_EQ(saved, names);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string original = Original("attachments/" + name);
        ASSERT_FALSE(original.empty());
        EXPECT_TRUE(Saved(name) == original) << "saved " << Saved(name).size() << " bytes of " << original.size();
    }
    EXPECT_EQ(Saved("notes.txt"), "Notes\r\n.hidden line\r\n.\r\n..\r\n...three\r\nlast line\r\n");
    EXPECT_EQ(session->Logout(), 1);
}

TEST_F(SessionAgainstDovecot, LargeAttachmentArrivesWhole) {
    std::unique_ptr<MailSession> session = LoggedIn(kReader);
    ASSERT_NE(session, nullptr);
    ASSERT_EQ(session->LoadMessage(4), 1) << "error code " << session->GetErrorCode();
    ASSERT_EQ(SaveRetrievedFiles(*session, SaveFolder()), std::vector<std::string>{"archive.zip"});
    const std::string original = Original("large/archive.zip");
    ASSERT_GT(original.size(), 3u * 1024 * 1024);
    EXPECT_TRUE(Saved("archive.zip") == original) << "saved " << Saved("archive.zip").size() << " bytes";
    EXPECT_EQ(session->Logout(), 1);
}

TEST_F(SessionAgainstDovecot, NulAndEightBitBytesArriveUnchanged) {
    std::unique_ptr<MailSession> session = LoggedIn(kReader);
    ASSERT_NE(session, nullptr);
    ASSERT_EQ(session->LoadMessage(3), 1) << "error code " << session->GetErrorCode();
    const char kBody[] = "A NUL byte follows:\0: and 8-bit letters \xE4\xF6\xFC.\r\n";
    const std::string body(kBody, sizeof kBody - 1);
    EXPECT_NE(session->GetLastReply().find(body), std::string::npos) << "Dovecot passes NUL and 8-bit bytes through";

    ASSERT_EQ(SaveRetrievedFiles(*session, SaveFolder()), std::vector<std::string>{"latin1.bin"});
    const std::string original = Original("eightbit/latin1.bin");
    ASSERT_EQ(original.size(), 4u * (32 + 2));
    EXPECT_EQ(Saved("latin1.bin"), original);
    EXPECT_EQ(session->Logout(), 1);
}

TEST_F(SessionAgainstDovecot, DeletedMessageIsGoneAfterQuit) {
    {
        std::unique_ptr<MailSession> session = LoggedIn(kDeleter);
        ASSERT_NE(session, nullptr);
        ASSERT_EQ(session->GetMessageCount(), 3);
        ASSERT_EQ(session->DeleteMessage(2), 1);
        EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
        // Dovecot pipelines: a second DELE goes out without waiting, and the server's refusal of it, read in its
        // turn, leaves the conversation as it was.
        EXPECT_EQ(session->DeleteMessage(2), 1);
        EXPECT_EQ(session->DeleteMessage(4), 0);
        EXPECT_EQ(session->GetErrorCode(), SessionError::kBadNumber);
        // Nothing is removed before QUIT.
        EXPECT_EQ(Server().CountStoredMessages(kDeleter.user), 3u);
        EXPECT_EQ(session->Logout(), 1);
    }
    EXPECT_EQ(Server().CountStoredMessages(kDeleter.user), 2u);

    std::unique_ptr<MailSession> session = LoggedIn(kDeleter);
    ASSERT_NE(session, nullptr);
    ASSERT_EQ(session->GetMessageCount(), 2);
    EXPECT_EQ(GetHeaderField(session->LoadHeader(1), "message-id"), "<plain.1@zendrel.test>");
    EXPECT_EQ(GetHeaderField(session->LoadHeader(2), "message-id"), "<eightbit.3@zendrel.test>");
    EXPECT_EQ(session->Logout(), 1);
}

TEST_F(SessionAgainstDovecot, ResetUndoesTheDeletionsOfTheSession) {
    {
        std::unique_ptr<MailSession> session = LoggedIn(kResetter);
        ASSERT_NE(session, nullptr);
        ASSERT_EQ(session->GetMessageCount(), 2);
        ASSERT_EQ(session->DeleteMessage(1), 1);
        ASSERT_EQ(session->ResetSession(), 1);
        EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
        EXPECT_EQ(session->Logout(), 1);
    }
    EXPECT_EQ(Server().CountStoredMessages(kResetter.user), 2u);
    std::unique_ptr<MailSession> session = LoggedIn(kResetter);
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->GetMessageCount(), 2);
    EXPECT_EQ(session->Logout(), 1);
}

TEST_F(SessionAgainstDovecot, WrongPasswordGivesCode5AndNoConnection) {
    std::unique_ptr<MailSession> session = CreateMailSession();
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->Login(Host(), Port(), kReader.user, "not-the-password", kTimeoutMs), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kPasswordRefused);
    EXPECT_EQ(session->GetMessageCount(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNotConnected);
    EXPECT_TRUE(LogShows("auth failed", "user=<reader>"));
}

// Dovecot answers USER with +OK for any name while plaintext logins are allowed, and only refuses at PASS; it has no
// setting that makes it refuse an unknown name at USER. So against Dovecot an unknown user is reported as a refused
// password (5); code 4 needs a server that refuses USER, which the scripted-server tests cover.
TEST_F(SessionAgainstDovecot, UnknownUserIsRefusedOnlyAtPassSoItGivesCode5) {
    std::string error;
    std::optional<Pop3Probe> probe = Pop3Probe::Connect(Host(), Port(), 5000, error);
    ASSERT_TRUE(probe) << error;
    EXPECT_EQ(probe->Command("USER probe-unknown"), "+OK");
    EXPECT_EQ(probe->Command("PASS whatever").rfind("-ERR", 0), 0u);
    probe.reset();

    std::unique_ptr<MailSession> session = CreateMailSession();
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->Login(Host(), Port(), "no-such-user", "whatever", kTimeoutMs), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kPasswordRefused);
    // The client went on to PASS, and the server refused the name there.
    EXPECT_TRUE(LogShows("auth failed", "user=<no-such-user>"));
}

}  // namespace
}  // namespace zendrel::testsupport
