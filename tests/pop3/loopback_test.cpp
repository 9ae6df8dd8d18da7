// The session over real TCP sockets on the loopback interface, with the platform transport.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "loopback_pop3_server.h"
#include "pop3/mail_session.h"

namespace zendrel::testsupport {
namespace {

using namespace std::chrono_literals;

constexpr std::int32_t kTimeoutMs = 10000;

const std::string kShortMessage =
    "From: a@example.org\r\n"
    "Subject: hello\r\n"
    "\r\n"
    "first line\r\n"
    ".a line that starts with a dot\r\n"
    ".\r\n"
    "last line\r\n";

// Large enough to arrive in many reads, with dot lines spread through it.
std::string LargeMessage() {
    std::string message = "From: b@example.org\r\nSubject: large\r\n\r\n";
    for (int line = 0; message.size() < 3'000'000; ++line) {
        message += (line % 1000 == 0 ? "." : "") + std::string(70, static_cast<char>('a' + line % 26)) + "\r\n";
    }
    return message;
}

class LoopbackTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.listening()); }

    std::int32_t LogIn(std::int32_t timeoutMs = kTimeoutMs, const std::string& host = "127.0.0.1") {
        return session->Login(host, server.port(), "anna", "secret", timeoutMs);
    }

    const std::string large = LargeMessage();
    LoopbackPop3Server server{"anna", "secret", {kShortMessage, large}};
    std::unique_ptr<MailSession> session = CreateMailSession();
};

TEST_F(LoopbackTest, WholeConversation) {
    ASSERT_NE(session, nullptr);
    ASSERT_EQ(LogIn(), 1);
    EXPECT_EQ(session->GetMessageCount(), 2);
    EXPECT_EQ(session->LoadHeader(1), "\r\nFrom: a@example.org\r\nSubject: hello\r\n\r\n.\r\n");
    ASSERT_EQ(session->LoadMessage(1), 1);
    EXPECT_EQ(session->GetLastReply(), " " + std::to_string(kShortMessage.size()) + " octets\r\n" + kShortMessage);
    ASSERT_EQ(session->LoadMessage(2), 1);
    EXPECT_EQ(session->GetLastReply(), " " + std::to_string(large.size()) + " octets\r\n" + large);
    EXPECT_EQ(session->Logout(), 1);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
    EXPECT_EQ(server.commands(), (std::vector<std::string>{"CAPA", "USER anna", "PASS secret", "STAT", "LIST",
                                                           "TOP 1 0", "RETR 1", "RETR 2", "QUIT"}));
}

TEST_F(LoopbackTest, HostIsResolvedByName) {
    ASSERT_EQ(LogIn(kTimeoutMs, "localhost"), 1);
    EXPECT_EQ(session->GetMessageCount(), 2);
    EXPECT_EQ(session->Logout(), 1);
}

TEST_F(LoopbackTest, WrongPasswordGives5) {
    EXPECT_EQ(session->Login("127.0.0.1", server.port(), "anna", "wrong", kTimeoutMs), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kPasswordRefused);
    EXPECT_EQ(session->Logout(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNothingToLogOut);
}

TEST_F(LoopbackTest, CancelFromAnotherThreadEndsABlockedRead) {
    server.StallOnRetr(2);
    // A time-out far beyond the test's run: only the cancel can end this read early.
    ASSERT_EQ(LogIn(600'000), 1);
    std::atomic<bool> done{false};
    std::int32_t loaded = -1;
    std::thread reader([&] {
        loaded = session->LoadMessage(2);
        done = true;
    });
    ASSERT_TRUE(server.WaitUntilStalled(60s));
    // A cancel that lands before the read has begun is dropped by design, so keep asking until the read ends.
    while (!done) {
        session->CancelReceive();
        std::this_thread::sleep_for(2ms);
    }
    reader.join();
    EXPECT_EQ(loaded, 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kCancelled);
    EXPECT_EQ(session->GetLastReply(), "");
    // The session stays usable: the rest of the stalled reply is discarded and QUIT is answered.
    EXPECT_EQ(session->Logout(), 1);
}

TEST_F(LoopbackTest, QuietServerTimesOutWith14) {
    server.StallOnRetr(1);
    ASSERT_EQ(LogIn(2000), 1);
    EXPECT_EQ(session->LoadMessage(1), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kTimedOut);
    session->Logout();
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
}

TEST_F(LoopbackTest, ARetrievalCutShortByACloseOrAResetFailsWith3) {
    for (const bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "reset" : "close");
        server.CloseOnRetr(1, 40, reset);
        ASSERT_EQ(LogIn(), 1);
        EXPECT_EQ(session->LoadMessage(1), 0);
        EXPECT_EQ(session->GetErrorCode(), SessionError::kReadFailed);
        EXPECT_EQ(session->TakeMessage(), "") << "nothing of the cut message is there to save";
        EXPECT_EQ(session->Logout(), 0) << "the session was logged out already";
    }
}

TEST(LoopbackConnect, ClosedPortGives1) {
    const std::int32_t port = UnusedLoopbackPort();
    ASSERT_NE(port, 0);
    auto session = CreateMailSession();
    EXPECT_EQ(session->Login("127.0.0.1", port, "anna", "secret", kTimeoutMs), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNotConnected);
    EXPECT_EQ(session->GetMessageCount(), 0);
}

}  // namespace
}  // namespace zendrel::testsupport
