#pragma once
// One Dovecot server per test program, started when a test first asks for a mailbox, with a pool of empty mailboxes
// that the tests take one by one, so no test sees another's mail. Under CTest every test runs in a process of its
// own and so gets a fresh server.

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "dovecot/dovecot_server.h"

namespace zendrel::testsupport {

struct TestMailbox {
    std::string user;
    std::string password;
};

// Base for tests that need the server: skips them where Dovecot cannot run without root, fails them where it should
// have run.
class MailboxServerTest : public ::testing::Test {
protected:
    void SetUp() override;

    DovecotServer& Server();
    const std::string& Host() { return Server().Host(); }
    int Port() { return Server().Port(); }

    // An empty mailbox that no other test of this program uses.
    TestMailbox NewMailbox();
    // Delivers the messages in order; the server numbers them in that order.
    void Deliver(const TestMailbox& box, const std::vector<std::string>& messages);

    // The server's log lines of this mailbox's POP3 sessions that end them, "Disconnected: Logged out ...", with
    // their counts (top=, retr=, del=), oldest first. The log is written by a process of its own, so the lines are
    // waited for until there are `expected`.
    std::vector<std::string> LogoutLines(const TestMailbox& box, std::size_t expected);
};

// The value of a count such as "retr=" or "del=" in a logout line: the text up to the next comma or blank
// ("1/3" for del=1/3); empty when the line has none.
std::string LogCount(const std::string& logoutLine, const std::string& name);

}  // namespace zendrel::testsupport
