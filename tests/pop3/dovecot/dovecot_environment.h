#pragma once
// One Dovecot server for the whole test program, with its mailboxes filled from the messages that make_messages.py
// writes. Under CTest every test runs in a process of its own, so every test also gets a fresh server.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "dovecot/dovecot_server.h"
#include "test_files.h"

namespace zendrel::testsupport {

// The mailboxes. reader holds the four test messages (plain, attachments, eightbit, large) in this order and is
// only read; the others belong to the tests that change them or look at the server's log.
struct Mailbox {
    const char* user;
    const char* password;
};
inline constexpr Mailbox kReader{"reader", "reader-secret"};
inline constexpr Mailbox kLoginWatch{"watched", "watched-secret"};
inline constexpr Mailbox kDeleter{"deleter", "deleter-secret"};
inline constexpr Mailbox kResetter{"resetter", "resetter-secret"};

class DovecotEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

    // Null when the server could not be started; Unavailable() then says why.
    static DovecotServer* Server();
    static const std::string& Unavailable();
    // The folder of the generated messages: <name>.eml and <name>/<attachment file>.
    static std::filesystem::path Messages();
};

// Base for the tests: skips them where Dovecot cannot run without root, fails them where it should have run.
class DovecotTest : public ::testing::Test {
protected:
    void SetUp() override;

    DovecotServer& Server() { return *DovecotEnvironment::Server(); }
    const std::string& Host() { return Server().Host(); }
    int Port() { return Server().Port(); }
    // Bytes of a file below the generated messages' folder.
    static std::string Original(const std::string& relative);
};

}  // namespace zendrel::testsupport
