#pragma once
// A Pop3MailSession talking to a ScriptedServer on a fake clock.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "fake_clock.h"
#include "pop3/pop3_session.h"
#include "scripted_server.h"

namespace zendrel::testsupport {

class SessionTest : public ::testing::Test {
protected:
    static constexpr std::int32_t kTimeoutMs = 10000;

    void TearDown() override { server.VerifyAllPlayed(); }

    std::int32_t LogIn(const std::string& user = "anna", const std::string& password = "secret") {
        return session->Login("pop.example.org", 110, user, password, kTimeoutMs);
    }

    // A USER/PASS login that must succeed.
    void LogInWith(const std::string& capaReply = "+OK\r\nTOP\r\nUSER\r\n.\r\n",
                   const std::string& statReply = "+OK 2 640\r\n",
                   const std::string& listReply = ScriptedServer::kNoSizesListed) {
        server.UserPassLogin(capaReply, statReply, listReply);
        ASSERT_EQ(LogIn(), 1);
        ASSERT_EQ(session->GetErrorCode(), SessionError::kNone);
    }

    // Ends the conversation the way every complete script ends: with QUIT, and no connection left.
    void LogOutWithQuit() {
        server.Quit();
        EXPECT_EQ(session->Logout(), 1);
        EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
        ASSERT_FALSE(server.sent().empty());
        EXPECT_EQ(server.sent().back(), "QUIT\r\n");
        EXPECT_FALSE(server.connectionOpen());
    }

    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    ScriptedServer server{clock};
    std::unique_ptr<Pop3MailSession> session = std::make_unique<Pop3MailSession>(server.MakeTransport(), clock);
};

}  // namespace zendrel::testsupport
