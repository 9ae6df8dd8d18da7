// Login, Logout and the message count against the scripted server.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/md5.h"
#include "session_fixture.h"

namespace zendrel::testsupport {
namespace {

using LoginTest = SessionTest;


TEST_F(LoginTest, GreetingErrorInAnyLetterCaseGivesCode2AndSendsNothing) {
    for (const std::string greeting : {"-ERR busy\r\n", "-err busy\r\n", "-Err\r\n", "-eRr too many users\r\n"}) {
        SCOPED_TRACE(greeting);
        server.Reply(greeting);
        EXPECT_EQ(LogIn(), 0);
        EXPECT_EQ(session->GetErrorCode(), SessionError::kGreetingRefused);
        EXPECT_TRUE(server.sent().empty());
        EXPECT_FALSE(server.connectionOpen());
    }
}

TEST_F(LoginTest, GreetingThatIsNoStatusFailsWithoutCode) {
    server.Reply("* IMAP4rev1 ready\r\n");
    EXPECT_EQ(LogIn(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
    EXPECT_EQ(session->GetLastReply(), "* IMAP4rev1 ready\r\n");
    EXPECT_TRUE(server.sent().empty());
    EXPECT_FALSE(server.connectionOpen());
}

TEST_F(LoginTest, CapabilityListLeadsToUserAndPassWithoutApop) {
    // The greeting offers a time stamp, but the known list has no APOP.
    server.Reply("+OK ready <1.2@host>\r\n")
        .Expect("CAPA\r\n")
        .Reply("+OK Capability list follows\r\nTOP\r\nUSER\r\nSASL PLAIN\r\n.\r\n")
        .Expect("USER anna\r\n")
        .Reply("+OK\r\n")
        .Expect("PASS secret\r\n")
        .Reply("+OK\r\n")
        .Expect("STAT\r\n")
        .Reply("+OK 3 900\r\n")
        .Sizes();
    EXPECT_EQ(LogIn(), 1);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
    EXPECT_EQ(session->GetMessageCount(), 3);
    EXPECT_EQ(server.host(), "pop.example.org");
    EXPECT_EQ(server.port(), 110);
    // TOP is listed, so the header can be asked for.
    server.Expect("TOP 1 0\r\n").Reply("+OK\r\nSubject: a\r\n\r\n.\r\n");
    EXPECT_EQ(session->LoadHeader(1), "\r\nSubject: a\r\n\r\n.\r\n");
    LogOutWithQuit();
}

TEST_F(LoginTest, CapaRefusedCompletesAtOnceAndLoginGoesOn) {
    // Without its own completion at the status line the reader would wait here until the time-out.
    const std::int64_t start = clock->NowMs();
    server.Reply("+OK hello\r\n")
        .Expect("CAPA\r\n")
        .Reply("-ERR unknown command\r\n")
        .Expect("USER anna\r\n")
        .Reply("+OK\r\n")
        .Expect("PASS secret\r\n")
        .Reply("+OK\r\n")
        .Expect("STAT\r\n")
        .Reply("+OK 1 10\r\n")
        .Sizes();
    EXPECT_EQ(LogIn(), 1);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
    EXPECT_LT(clock->NowMs() - start, kTimeoutMs);
    // An unknown capability list lets TOP through.
    server.Expect("TOP 1 0\r\n").Reply("-ERR no\r\n");
    session->LoadHeader(1);
    LogOutWithQuit();
}

TEST_F(LoginTest, ApopDigestIsMd5OfTimestampAndPassword) {
    server.Reply("+OK ready <123.456>\r\n")
        .Expect("CAPA\r\n")
        .Reply("+OK\r\n.\r\n")
        .Expect("APOP anna " + Md5Hex("<123.456>secret") + "\r\n")
        .Reply("+OK maildrop locked\r\n")
        .Expect("STAT\r\n")
        .Reply("+OK 5 120\r\n")
        .Sizes();
    EXPECT_EQ(LogIn(), 1);
    EXPECT_EQ(session->GetMessageCount(), 5);
    LogOutWithQuit();
}

TEST_F(LoginTest, ApopDigestOfTheRfc1939Example) {
    server.Reply("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>\r\n")
        .Expect("CAPA\r\n")
        .Reply("+OK\r\nAPOP\r\n.\r\n")
        .Expect("APOP mrose c4c9334bac560ecc979e58001b3e22fb\r\n")
        .Reply("+OK mrose's maildrop has 2 messages (320 octets)\r\n")
        .Expect("STAT\r\n")
        .Reply("+OK 2 320\r\n")
        .Sizes();
    EXPECT_EQ(LogIn("mrose", "tanstaaf"), 1);
    EXPECT_EQ(session->GetMessageCount(), 2);
    LogOutWithQuit();
}

TEST_F(LoginTest, RefusedApopIsFollowedByUserAndPass) {
    server.Reply("+OK ready <123.456>\r\n")
        .Expect("CAPA\r\n")
        .Reply("+OK\r\n.\r\n")
        .Expect("APOP anna " + Md5Hex("<123.456>secret") + "\r\n")
        .Reply("-ERR permission denied\r\n")
        .Expect("USER anna\r\n")
        .Reply("+OK\r\n")
        .Expect("PASS secret\r\n")
        .Reply("+OK\r\n")
        .Expect("STAT\r\n")
        .Reply("+OK 0 0\r\n")
        .Sizes();
    EXPECT_EQ(LogIn(), 1);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
    LogOutWithQuit();
}

TEST_F(LoginTest, ApopWithoutTimestampAndWithoutUserLeavesStatToDecide) {
    server.Reply("+OK hello\r\n")
        .Expect("CAPA\r\n")
        .Reply("+OK\r\nAPOP\r\nTOP\r\n.\r\n")
        .Expect("STAT\r\n")
        .Reply("-ERR not authorised\r\n");
    EXPECT_EQ(LogIn(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNotConnected);
    EXPECT_EQ(server.sent(), (std::vector<std::string>{"CAPA\r\n", "STAT\r\n"}));
    EXPECT_FALSE(server.connectionOpen());
}

TEST_F(LoginTest, ListWithoutApopAndUserLogsInWhenStatIsAccepted) {
    server.Reply("+OK <9@x>\r\n")
        .Expect("CAPA\r\n")
        .Reply("+OK\r\nTOP\r\n.\r\n")
        .Expect("STAT\r\n")
        .Reply("+OK 4 1\r\n")
        .Sizes();
    EXPECT_EQ(LogIn(), 1);
    EXPECT_EQ(session->GetMessageCount(), 4);
    LogOutWithQuit();
}

TEST_F(LoginTest, RefusedUserGives4AndRefusedPasswordGives5) {
    struct Case {
        std::string userReply;
        std::string passReply;  // empty: PASS is never sent
        std::int32_t code;
    };
    const Case cases[] = {
        {"-ERR no such user\r\n", "", SessionError::kUserRefused},
        {"+OK\r\n", "-ERR invalid password\r\n", SessionError::kPasswordRefused},
        {"+OK\r\n", "* what?\r\n", SessionError::kPasswordRefused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.userReply + c.passReply);
        server.Reply("+OK\r\n").Expect("CAPA\r\n").Reply("+OK\r\nUSER\r\n.\r\n").Expect("USER anna\r\n").Reply(c.userReply);
        if (!c.passReply.empty()) server.Expect("PASS secret\r\n").Reply(c.passReply);
        EXPECT_EQ(LogIn(), 0);
        EXPECT_EQ(session->GetErrorCode(), c.code);
        EXPECT_FALSE(server.connectionOpen());
        EXPECT_EQ(session->GetMessageCount(), 0);
    }
}

TEST_F(LoginTest, UnreadableUserReplyIsReportedAsRefusedUser) {
    server.Reply("+OK\r\n").Expect("CAPA\r\n").Reply("+OK\r\nUSER\r\n.\r\n").Expect("USER anna\r\n");
    EXPECT_EQ(LogIn(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kUserRefused);
}

TEST_F(LoginTest, EmptyMailboxHasNoMessageOne) {
    LogInWith("+OK\r\nTOP\r\nUSER\r\n.\r\n", "+OK 0 0\r\n");
    EXPECT_EQ(session->GetMessageCount(), 0);
    EXPECT_EQ(session->LoadHeader(1), "");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kBadNumber);
    LogOutWithQuit();
}

TEST_F(LoginTest, RefusedStatAfterAcceptedPasswordStillCountsAsLoggedIn) {
    LogInWith("+OK\r\nUSER\r\n.\r\n", "+OK 7 70\r\n");
    LogOutWithQuit();
    server.UserPassLogin("+OK\r\nUSER\r\n.\r\n", "-ERR mailbox locked\r\n");
    EXPECT_EQ(LogIn(), 1);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNotConnected);
    EXPECT_EQ(session->GetMessageCount(), 7);  // unchanged from the earlier login
    LogOutWithQuit();
}

TEST_F(LoginTest, ConnectionThatCannotBeOpenedGives1) {
    server.RefuseConnections();
    EXPECT_EQ(LogIn(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNotConnected);
    EXPECT_TRUE(server.sent().empty());
}

TEST_F(LoginTest, ACapabilityListCutShortEndsTheLoginWith3) {
    server.Reply("+OK ready\r\n").Expect("CAPA\r\n").Reply("+OK\r\nTOP\r\nUSER\r\n").Close(10);
    EXPECT_EQ(LogIn(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kReadFailed);
    EXPECT_EQ(server.sent(), std::vector<std::string>{"CAPA\r\n"}) << "no password after a broken conversation";
}

TEST_F(LoginTest, AStopWhileConnectingIsACancelNotAnUnreachableServer) {
    server.whileConnecting = [this] { session->CancelReceive(); };
    EXPECT_EQ(LogIn(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kCancelled);
    EXPECT_FALSE(server.opened());
}

TEST_F(LoginTest, CommandThatCannotBeSentGives13) {
    server.Reply("+OK\r\n").Expect("CAPA\r\n", /*sendFails=*/true);
    EXPECT_EQ(LogIn(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kSendFailed);
    EXPECT_FALSE(server.connectionOpen());
}

TEST_F(LoginTest, SilentServerTimesOutWith14) {
    const std::int64_t start = clock->NowMs();
    EXPECT_EQ(LogIn(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kTimedOut);
    EXPECT_GT(clock->NowMs() - start, kTimeoutMs);
    EXPECT_FALSE(server.connectionOpen());
}

TEST_F(LoginTest, ServerThatCannotBeReadGives3) {
    server.Reply("+OK\r\n").Expect("CAPA\r\n").BreakConnection();
    EXPECT_EQ(LogIn(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kReadFailed);
    EXPECT_FALSE(server.connectionOpen());
}

TEST_F(LoginTest, StaleDataIsDiscardedBeforeTheNextCommand) {
    // Junk that arrives after the greeting must not be taken for the CAPA reply.
    server.Reply("+OK hi\r\n")
        .Reply("+OK leftover\r\nUSER\r\n.\r\n")
        .Expect("CAPA\r\n")
        .Reply("+OK\r\nTOP\r\n.\r\n")
        .Expect("STAT\r\n")
        .Reply("+OK 1 1\r\n")
        .Sizes();
    EXPECT_EQ(LogIn(), 1);
    LogOutWithQuit();
}

TEST_F(LoginTest, LogoutWithoutConnectionGives11) {
    EXPECT_EQ(session->Logout(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNothingToLogOut);
    EXPECT_TRUE(server.sent().empty());
}

TEST_F(LoginTest, LogoutAlwaysEndsWithoutConnectionAndWithCode0) {
    struct Case {
        const char* what;
        bool sendFails;
        std::string reply;  // empty: the server never answers
        std::int32_t result;
    };
    const Case cases[] = {
        {"accepted", false, "+OK bye\r\n", 1},
        {"accepted in lower case", false, "+ok\r\n", 1},
        {"refused", false, "-ERR some deleted messages not removed\r\n", 0},
        {"not sent", true, "", 0},
        {"never answered", false, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LogInWith();
        session->LoadHeader(9);  // leaves code 8 behind
        server.Expect("QUIT\r\n", c.sendFails);
        if (!c.reply.empty()) server.Reply(c.reply);
        EXPECT_EQ(session->Logout(), c.result);
        EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
        EXPECT_FALSE(server.connectionOpen());
        EXPECT_EQ(session->GetMessageCount(), 0);
        EXPECT_EQ(session->GetErrorCode(), SessionError::kNotConnected);
    }
}

TEST_F(LoginTest, NewSessionHasNoMessageCount) {
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
    EXPECT_EQ(session->GetMessageCount(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNotConnected);
    EXPECT_EQ(session->GetLastReply(), "");
}

TEST_F(LoginTest, SessionCanLogInAgainAfterLogout) {
    LogInWith();
    LogOutWithQuit();
    LogInWith("+OK\r\nUSER\r\n.\r\n", "+OK 9 1\r\n");
    EXPECT_EQ(session->GetMessageCount(), 9);
    LogOutWithQuit();
}

TEST_F(LoginTest, LoginStartsWithAnEmptyLastReply) {
    LogInWith();
    EXPECT_EQ(session->GetLastReply(), " 2 640\r\n");
    LogOutWithQuit();
    server.RefuseConnections();
    EXPECT_EQ(LogIn(), 0);
    EXPECT_EQ(session->GetLastReply(), "");
}

}  // namespace
}  // namespace zendrel::testsupport
