#include "mailbox_server.h"

#include <chrono>
#include <memory>
#include <sstream>
#include <thread>

namespace zendrel::testsupport {
namespace {

constexpr int kMailboxCount = 40;

struct SharedServer {
    bool tried = false;
    std::unique_ptr<DovecotServer> server;
    std::string unavailable;
    int nextMailbox = 0;
};

SharedServer& Shared() {
    // Stopped when the program ends, after the last test.
    static SharedServer shared;
    return shared;
}

TestMailbox MailboxNumber(int number) {
    const std::string user = "box" + std::to_string(number);
    return {user, user + "-secret"};
}

DovecotServer* StartedServer() {
    SharedServer& shared = Shared();
    if (!shared.tried) {
        shared.tried = true;
        std::vector<MailUser> users;
        for (int number = 1; number <= kMailboxCount; ++number) {
            const TestMailbox box = MailboxNumber(number);
            users.push_back({box.user, box.password});
        }
        shared.server = DovecotServer::Start(users, shared.unavailable);
    }
    return shared.server.get();
}

}  // namespace

void MailboxServerTest::SetUp() {
    if (StartedServer() == nullptr) {
        if (DovecotServer::MayBeUnavailable()) {
            GTEST_SKIP() << "Dovecot cannot be started here: " << Shared().unavailable;
        }
        FAIL() << "Dovecot did not start: " << Shared().unavailable;
    }
}

DovecotServer& MailboxServerTest::Server() { return *Shared().server; }

TestMailbox MailboxServerTest::NewMailbox() {
    SharedServer& shared = Shared();
    EXPECT_LT(shared.nextMailbox, kMailboxCount) << "the pool of test mailboxes is used up";
    return MailboxNumber(++shared.nextMailbox);
}

void MailboxServerTest::Deliver(const TestMailbox& box, const std::vector<std::string>& messages) {
    for (const std::string& message : messages) {
        ASSERT_TRUE(Server().Deliver(box.user, message)) << "cannot deliver to " << box.user;
    }
}

std::vector<std::string> MailboxServerTest::LogoutLines(const TestMailbox& box, std::size_t expected) {
    const std::string session = "pop3(" + box.user + ")";
    std::vector<std::string> lines;
    for (int attempt = 0; attempt < 250; ++attempt) {
        lines.clear();
        std::istringstream log(Server().Log());
        for (std::string line; std::getline(log, line);) {
            if (line.find(session) != std::string::npos && line.find("Disconnected: Logged out") != std::string::npos) {
                lines.push_back(line);
            }
        }
        if (lines.size() >= expected) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return lines;
}

std::string LogCount(const std::string& logoutLine, const std::string& name) {
    const std::size_t at = logoutLine.find(" " + name);
    if (at == std::string::npos) return "";
    const std::size_t begin = at + 1 + name.size();
    const std::size_t end = logoutLine.find_first_of(", ", begin);
    return logoutLine.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

}  // namespace zendrel::testsupport
