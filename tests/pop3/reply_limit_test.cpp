// Replies past their limits: the operation fails with 21 and keeps nothing of the reply; the conversation goes on when
// the rest can be thrown away in time, and ends without QUIT when it cannot.

#include <gtest/gtest.h>

#include <string>

#include "pop3/reply_assembler.h"
#include "session_fixture.h"

namespace zendrel::testsupport {
namespace {

// Header lines, about `bytes` of them.
std::string Lines(std::size_t bytes) {
    std::string lines;
    while (lines.size() < bytes) lines += "X-Filler: " + std::string(60, 'x') + "\r\n";
    return lines;
}

const std::string kSizes = "+OK\r\n1 100\r\n2 200\r\n.\r\n";
const std::uint64_t kMessage1Limit = ListedMessageLimit(100);

class ReplyLimitTest : public SessionTest {};

TEST_F(ReplyLimitTest, MessagePastItsListedSizeFailsWith21AndTheConversationGoesOn) {
    LogInWith("+OK\r\nTOP\r\nUSER\r\n.\r\n", "+OK 2 300\r\n", kSizes);
    server.Expect("RETR 1\r\n").ReplyInPieces("+OK\r\n" + Lines(kMessage1Limit + 1000) + ".\r\n", 4096);
    EXPECT_EQ(session->LoadMessage(1), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kReplyTooLarge);
    EXPECT_EQ(session->GetLastReply(), "");
    const OversizedReply oversized = session->GetOversizedReply();
    EXPECT_EQ(oversized.messageNumber, 1);
    EXPECT_EQ(oversized.limitBytes, kMessage1Limit);
    EXPECT_FALSE(oversized.connectionClosed);
    EXPECT_EQ(session->TakeMessage(), "") << "nothing of it is there to save";
    // Its rest was read to its end: the next reply is the next command's.
    server.Expect("TOP 2 0\r\n").Reply("+OK\r\nSubject: next\r\n\r\n.\r\n");
    EXPECT_EQ(session->LoadHeader(2), "\r\nSubject: next\r\n\r\n.\r\n");
    LogOutWithQuit();
}

TEST_F(ReplyLimitTest, HeaderPastItsLimitFailsWith21) {
    LogInWith();
    server.Expect("TOP 2 0\r\n").Reply("+OK\r\n" + Lines(kHeaderReplyLimit + 10) + "\r\n.\r\n");
    EXPECT_EQ(session->LoadHeader(2), "");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kReplyTooLarge);
    EXPECT_EQ(session->GetOversizedReply().messageNumber, 2);
    EXPECT_EQ(session->GetOversizedReply().limitBytes, kHeaderReplyLimit);
    LogOutWithQuit();
}

TEST_F(ReplyLimitTest, ReplyThatGoesOnPastTheTimeOutFromItsLimitEndsTheConversationWithoutQuit) {
    LogInWith("+OK\r\nTOP\r\nUSER\r\n.\r\n", "+OK 2 300\r\n", kSizes);
    // Every piece comes well within the time-out, but the deadline counts from the limit and does not move: the
    // reader gives up a time-out after the limit, where one that waited a time-out after the last piece would not.
    server.Expect("RETR 1\r\n").Reply("+OK\r\n" + Lines(kMessage1Limit + 10)).ReplyInPieces(Lines(9000), 1000, 1000);
    const std::int64_t start = clock->NowMs();
    EXPECT_EQ(session->LoadMessage(1), 0);
    EXPECT_LE(clock->NowMs() - start, kTimeoutMs + 100);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kReplyTooLarge);
    EXPECT_TRUE(session->GetOversizedReply().connectionClosed);
    EXPECT_FALSE(server.connectionOpen());
    EXPECT_EQ(session->Logout(), 0);
    EXPECT_EQ(server.sent().back(), "RETR 1\r\n") << "no QUIT: its reply could not be told from the rest";
}

TEST_F(ReplyLimitTest, HeaderReadAheadPastItsLimitFailsTheOperationWaitingBehindIt) {
    LogInWith("+OK\r\nTOP\r\nUSER\r\nPIPELINING\r\n.\r\n", "+OK 3 900\r\n");
    server.Expect("LIST\r\n").Expect("TOP 1 0\r\n").Expect("TOP 2 0\r\n").Expect("TOP 3 0\r\n");
    server.Reply(kSizes + "+OK\r\nSubject: s1\r\n\r\n.\r\n+OK\r\n" + Lines(kHeaderReplyLimit + 10))
        .Expect("RETR 1\r\n")
        .ReplyInPieces(Lines(9000), 1000, 1000);
    EXPECT_EQ(session->LoadHeader(1), "\r\nSubject: s1\r\n\r\n.\r\n");
    // The retrieval's reply would come after the header of message 2, which never ends.
    EXPECT_EQ(session->LoadMessage(1), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kReplyTooLarge);
    const OversizedReply oversized = session->GetOversizedReply();
    EXPECT_EQ(oversized.messageNumber, 2) << "the reply that went past its limit";
    EXPECT_EQ(oversized.limitBytes, kHeaderReplyLimit);
    EXPECT_TRUE(oversized.connectionClosed);
    EXPECT_FALSE(server.connectionOpen());
}

}  // namespace
}  // namespace zendrel::testsupport
