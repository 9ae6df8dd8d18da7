// The Dovecot harness itself: that it serves what it was given and leaves nothing behind. These checks use a bare
// POP3 probe, not the program's session, so a fault in one cannot hide a fault in the other.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dovecot/dovecot_server.h"
#include "dovecot/pop3_probe.h"

namespace zendrel::testsupport {
namespace {

std::unique_ptr<DovecotServer> StartOrExplain(const std::vector<MailUser>& users, std::string& reason) {
    return DovecotServer::Start(users, reason);
}

#define START_SERVER_OR_SKIP(server, users)                                                   \
    std::string server##Reason;                                                               \
    std::unique_ptr<DovecotServer> server = StartOrExplain(users, server##Reason);                 \
    if (!server) {                                                                            \
        if (DovecotServer::MayBeUnavailable()) GTEST_SKIP() << "no Dovecot here: " << server##Reason;\
        FAIL() << server##Reason;                                                                   \
    }

std::string Message(const std::string& subject) {
    return "From: harness@example.org\nSubject: " + subject + "\nMessage-ID: <" + subject +
           "@zendrel.test>\n\nBody of " + subject + "\n.leading dot\n";
}

TEST(DovecotHarness, ServesDeliveredMessagesInDeliveryOrder) {
    START_SERVER_OR_SKIP(server, (std::vector<MailUser>{{"carol", "carol-pass"}}));
    const std::vector<std::string> subjects = {"zulu", "alpha", "mike", "bravo"};
    for (const std::string& subject : subjects) {
        ASSERT_TRUE(server->Deliver("carol", Message(subject)));
    }
    EXPECT_EQ(server->CountStoredMessages("carol"), subjects.size());

    std::string error;
    std::optional<Pop3Probe> probe = Pop3Probe::Connect(server->Host(), server->Port(), 5000, error);
    ASSERT_TRUE(probe) << error;
    EXPECT_EQ(probe->Greeting().rfind("+OK", 0), 0u) << probe->Greeting();
    EXPECT_EQ(probe->Command("USER carol"), "+OK");
    EXPECT_EQ(probe->Command("PASS carol-pass").rfind("+OK", 0), 0u);
    EXPECT_EQ(probe->Command("STAT").rfind("+OK 4 ", 0), 0u);
    for (std::size_t n = 1; n <= subjects.size(); ++n) {
        ASSERT_EQ(probe->Command("TOP " + std::to_string(n) + " 0").rfind("+OK", 0), 0u);
        const std::vector<std::string> lines = probe->ReadLines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), "Subject: " + subjects[n - 1]), lines.end())
            << "message " << n;
    }
    ASSERT_EQ(probe->Command("RETR 1").rfind("+OK", 0), 0u);
    const std::vector<std::string> body = probe->ReadLines();
    EXPECT_NE(std::find(body.begin(), body.end(), ".leading dot"), body.end());
    EXPECT_EQ(probe->Command("QUIT").rfind("+OK", 0), 0u);
}

TEST(DovecotHarness, RefusesAWrongPassword) {
    START_SERVER_OR_SKIP(server, (std::vector<MailUser>{{"dave", "dave-pass"}}));
    std::string error;
    std::optional<Pop3Probe> probe = Pop3Probe::Connect(server->Host(), server->Port(), 5000, error);
    ASSERT_TRUE(probe) << error;
    EXPECT_EQ(probe->Command("USER dave"), "+OK");
    EXPECT_EQ(probe->Command("PASS not-dave-pass").rfind("-ERR", 0), 0u);
}

TEST(DovecotHarness, StopLeavesNoProcessAndNoFolderBehind) {
    START_SERVER_OR_SKIP(server, (std::vector<MailUser>{{"erin", "erin-pass"}}));
    ASSERT_TRUE(server->Deliver("erin", Message("one")));
    {
        // A logged-in session gives the server a mail process as well as its login process.
        std::string error;
        std::optional<Pop3Probe> probe = Pop3Probe::Connect(server->Host(), server->Port(), 5000, error);
        ASSERT_TRUE(probe) << error;
        EXPECT_EQ(probe->Command("USER erin"), "+OK");
        EXPECT_EQ(probe->Command("PASS erin-pass").rfind("+OK", 0), 0u);
    }
    const std::vector<pid_t> processes = server->Processes();
    ASSERT_GE(processes.size(), 2u) << "the master and at least one service";
    const std::filesystem::path folder = server->Folder();
    const int port = server->Port();
    ASSERT_TRUE(std::filesystem::exists(folder / "dovecot.conf"));

    server.reset();

    for (pid_t pid : processes) {
        EXPECT_FALSE(ProcessAlive(pid)) << "process " << pid << " still runs";
    }
    EXPECT_FALSE(std::filesystem::exists(folder));
    std::string error;
    EXPECT_FALSE(Pop3Probe::Connect("127.0.0.1", port, 1000, error)) << "port " << port << " still answers";
}

TEST(DovecotHarness, TwoServersRunSideBySide) {
    START_SERVER_OR_SKIP(first, (std::vector<MailUser>{{"frank", "p1"}}));
    START_SERVER_OR_SKIP(second, (std::vector<MailUser>{{"frank", "p2"}}));
    EXPECT_NE(first->Port(), second->Port());
    EXPECT_NE(first->Folder(), second->Folder());
    std::string error;
    std::optional<Pop3Probe> probe = Pop3Probe::Connect(second->Host(), second->Port(), 5000, error);
    ASSERT_TRUE(probe) << error;
    EXPECT_EQ(probe->Command("USER frank"), "+OK");
    EXPECT_EQ(probe->Command("PASS p2").rfind("+OK", 0), 0u) << "each server has its own password file";
}

}  // namespace
}  // namespace zendrel::testsupport
