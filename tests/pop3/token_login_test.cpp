// The login with an OAuth 2.0 access token against the scripted server: the SASL exchange byte for byte.

#include <gtest/gtest.h>

#include <string>

#include "session_fixture.h"

namespace zendrel::testsupport {
namespace {

constexpr const char* kUser = "anna,b=c@example.org";
constexpr const char* kToken = "ya29.tok";
// OAUTHBEARER: "n,a=anna=2Cb=3Dc@example.org,^Ahost=pop.example.org^Aport=995^Aauth=Bearer ya29.tok^A^A".
constexpr const char* kOAuthBearerResponse =
    "bixhPWFubmE9MkNiPTNEY0BleGFtcGxlLm9yZywBaG9zdD1wb3AuZXhhbXBsZS5vcmcBcG9ydD05OTUBYXV0aD1CZWFyZXIgeWEyOS50b2sBAQ==\r\n";
// XOAUTH2: "user=anna,b=c@example.org^Aauth=Bearer ya29.tok^A^A".
constexpr const char* kXOAuth2Response = "dXNlcj1hbm5hLGI9Y0BleGFtcGxlLm9yZwFhdXRoPUJlYXJlciB5YTI5LnRvawEB\r\n";

class TokenLoginTest : public SessionTest {
protected:
    void SetUp() override {
        server.acceptTls = true;
        session->SetConnectionSecurity(ConnectionSecurity::kTls);
        session->SetAccessToken(kToken);
    }
    std::int32_t LogInWithToken() { return session->Login("pop.example.org", 995, kUser, "unused", kTimeoutMs); }
    ScriptedServer& Greeting(const std::string& capaReply) {
        return server.Reply("+OK ready <1.2@host>\r\n").Expect("CAPA\r\n").Reply(capaReply);
    }
};

TEST_F(TokenLoginTest, TheMechanismTheServerListsGetsItsResponseInTwoSteps) {
    const struct {
        const char* capa;
        const char* command;
        const char* response;
    } cases[] = {
        {"+OK\r\nUSER\r\nSASL PLAIN OAUTHBEARER XOAUTH2\r\nAPOP\r\n.\r\n", "AUTH OAUTHBEARER\r\n", kOAuthBearerResponse},
        {"+OK\r\nUSER\r\nSASL PLAIN XOAUTH2 OAUTHBEARER2\r\n.\r\n", "AUTH XOAUTH2\r\n", kXOAuth2Response},
        {"+OK\r\nUSER\r\nAPOP\r\n.\r\n", "AUTH XOAUTH2\r\n", kXOAuth2Response},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capa);
        Greeting(c.capa)
            .Expect(c.command)
            .Reply("+ \r\n")
            .Expect(c.response)
            .Reply("+OK logged in\r\n")
            .Expect("STAT\r\n")
            .Reply("+OK 1 10\r\n")
            .Sizes();
        EXPECT_EQ(LogInWithToken(), 1);
        EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
        LogOutWithQuit();
    }
}

TEST_F(TokenLoginTest, ARefusalIsEndedAsTheMechanismWantsAndItsStatusKept) {
    const struct {
        const char* capa;
        const char* command;
        const char* response;
        const char* answer;
    } cases[] = {
        {"+OK\r\nSASL OAUTHBEARER\r\n.\r\n", "AUTH OAUTHBEARER\r\n", kOAuthBearerResponse, "AQ==\r\n"},
        {"+OK\r\nSASL XOAUTH2\r\n.\r\n", "AUTH XOAUTH2\r\n", kXOAuth2Response, "\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        Greeting(c.capa)
            .Expect(c.command)
            .Reply("+ \r\n")
            .Expect(c.response)
            // {"status":"401","schemes":"bearer"} and a line break, which must not reach the log as one
            .Reply("+ eyJzdGF0dXMiOiI0MDEiLCJzY2hlbWVzIjoiYmVhcmVyIn0K\r\n")
            .Expect(c.answer)
            .Reply("-ERR [AUTH] Authentication failed.\r\n");
        EXPECT_EQ(LogInWithToken(), 0);
        EXPECT_EQ(session->GetErrorCode(), SessionError::kTokenRefused);
        EXPECT_EQ(session->GetLastReply(),
                  " [AUTH] Authentication failed. (challenge {\"status\":\"401\",\"schemes\":\"bearer\"}?)");
        EXPECT_FALSE(server.connectionOpen());
    }
}

TEST_F(TokenLoginTest, AMechanismRefusedAtOnceNeverSeesTheToken) {
    Greeting("+OK\r\nSASL PLAIN\r\n.\r\n").Expect("AUTH XOAUTH2\r\n").Reply("-ERR Unsupported mechanism\r\n");
    EXPECT_EQ(LogInWithToken(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kTokenRefused);
}

TEST_F(TokenLoginTest, APlainConnectionIsNotEvenOpened) {
    session->SetConnectionSecurity(ConnectionSecurity::kNone);
    EXPECT_EQ(LogInWithToken(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kTokenOverPlainText);
    EXPECT_FALSE(server.opened());
    EXPECT_TRUE(server.sent().empty());
}

}  // namespace
}  // namespace zendrel::testsupport
