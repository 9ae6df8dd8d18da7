// LoadHeader, LoadMessage, DeleteMessage and ResetSession, and how replies are read: pieces, pauses, time-out,
// cancel, closed and broken connections.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session_fixture.h"

namespace zendrel::testsupport {
namespace {

using namespace std::string_literals;

class MessageTest : public SessionTest {
protected:
    void SetUp() override { LogInWith(); }
};

const std::string kSmallRetr = "+OK 12 octets\r\nabc\r\n.\r\n";

TEST_F(MessageTest, RetrReplyKeepsTheRestOfTheStatusLineAndDropsTheDotLine) {
    server.Expect("RETR 1\r\n").Reply(kSmallRetr);
    EXPECT_EQ(session->LoadMessage(1), 1);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
    EXPECT_EQ(session->GetLastReply(), " 12 octets\r\nabc\r\n");
    // Handed over once: the session keeps no copy.
    EXPECT_EQ(session->TakeMessage(), " 12 octets\r\nabc\r\n");
    EXPECT_EQ(session->GetLastReply(), "");
    EXPECT_EQ(session->TakeMessage(), "");
    LogOutWithQuit();
}

TEST_F(MessageTest, ReplyInPiecesOfEverySizeGivesTheSameText) {
    const std::string reply = "+OK 41 octets\r\nSubject: pieces\r\n\r\nline one\r\n..dot\r\n.\r\n";
    for (std::size_t pieceSize = 1; pieceSize <= reply.size(); ++pieceSize) {
        SCOPED_TRACE(pieceSize);
        server.Expect("RETR 2\r\n").ReplyInPieces(reply, pieceSize, /*pauseMs=*/30);
        EXPECT_EQ(session->LoadMessage(2), 1);
        EXPECT_EQ(session->GetLastReply(), " 41 octets\r\nSubject: pieces\r\n\r\nline one\r\n.dot\r\n");
    }
    LogOutWithQuit();
}

TEST_F(MessageTest, TerminatorSplitAtEachOfItsBytesEndsTheReply) {
    const std::string head = "+OK\r\nSubject: t\r\n\r\nbody";
    const std::string terminator = "\r\n.\r\n";
    for (std::size_t cut = 1; cut < terminator.size(); ++cut) {
        SCOPED_TRACE(cut);
        server.Expect("TOP 1 0\r\n").Reply(head + terminator.substr(0, cut)).Reply(terminator.substr(cut), 500);
        EXPECT_EQ(session->LoadHeader(1), "\r\nSubject: t\r\n\r\nbody\r\n.\r\n");
        EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
    }
    LogOutWithQuit();
}

TEST_F(MessageTest, DotStuffedLinesLoseTheirFirstDot) {
    server.Expect("TOP 1 0\r\n").Reply("+OK\r\nX-Note: a\r\n..hidden\r\n...\r\n\r\n.\r\n");
    EXPECT_EQ(session->LoadHeader(1), "\r\nX-Note: a\r\n.hidden\r\n..\r\n\r\n.\r\n");
    // A line of a single "." inside the message is sent as ".." and must not end the reply early.
    server.Expect("RETR 1\r\n").Reply("+OK\r\nSubject: s\r\n\r\n..\r\n.. two\r\nend\r\n.\r\n");
    EXPECT_EQ(session->LoadMessage(1), 1);
    EXPECT_EQ(session->GetLastReply(), "\r\nSubject: s\r\n\r\n.\r\n. two\r\nend\r\n");
    LogOutWithQuit();
}

TEST_F(MessageTest, NulBytesAreKept) {
    const std::string reply = "+OK\r\nSubject: n\r\n\r\na\0b\0\0c\r\n.\r\n"s;
    for (const std::size_t pieceSize : {reply.size(), std::size_t{1}, std::size_t{3}}) {
        SCOPED_TRACE(pieceSize);
        server.Expect("RETR 2\r\n").ReplyInPieces(reply, pieceSize);
        EXPECT_EQ(session->LoadMessage(2), 1);
        EXPECT_EQ(session->GetLastReply(), "\r\nSubject: n\r\n\r\na\0b\0\0c\r\n"s);
    }
    LogOutWithQuit();
}

TEST_F(MessageTest, SlowButSteadyReplyIsNotCutOff) {
    // Each piece comes just inside the time-out; together they take far longer.
    const std::int64_t start = clock->NowMs();
    server.Expect("RETR 1\r\n").ReplyInPieces("+OK\r\nSubject: slow\r\n\r\nhello\r\n.\r\n", 4, kTimeoutMs - 1);
    EXPECT_EQ(session->LoadMessage(1), 1);
    EXPECT_EQ(session->GetLastReply(), "\r\nSubject: slow\r\n\r\nhello\r\n");
    EXPECT_GT(clock->NowMs() - start, 5 * kTimeoutMs);
    LogOutWithQuit();
}

TEST_F(MessageTest, PauseLongerThanTheTimeoutEndsTheReadWith14) {
    server.Expect("RETR 1\r\n").Reply("+OK\r\nSubject: x\r\n").Reply("\r\nbody\r\n.\r\n", kTimeoutMs + 500);
    EXPECT_EQ(session->LoadMessage(1), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kTimedOut);
    EXPECT_EQ(session->GetLastReply(), "");
    // The rest arrives late, while the caller goes on; it is thrown away before the next command.
    clock->Advance(1000);
    server.Expect("TOP 1 0\r\n").Reply("+OK\r\nSubject: y\r\n\r\n.\r\n");
    EXPECT_EQ(session->LoadHeader(1), "\r\nSubject: y\r\n\r\n.\r\n");
    LogOutWithQuit();
}

TEST_F(MessageTest, NoReplyAtAllTimesOutWithAnEmptyHeader) {
    server.Expect("TOP 2 0\r\n");
    EXPECT_EQ(session->LoadHeader(2), "");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kTimedOut);
    EXPECT_EQ(session->GetLastReply(), "");
    LogOutWithQuit();
}

TEST_F(MessageTest, AReplyCutShortByTheServerIsNoReply) {
    // Closed before the terminator (anywhere, also where the text looks like a whole message), or before a status
    // line's CR LF: what arrived must never pass for the mail, and the conversation is over.
    const struct {
        const char* command;
        std::string arrived;
    } cases[] = {
        {"RETR 1\r\n", "+OK\r\nSubject: cut\r\n\r\nfirst"},
        {"RETR 1\r\n", "+OK\r\nSubject: cut\r\n\r\nQUJD\r\n"},
        {"RETR 1\r\n", "+OK\r\nSubject: cut\r\n\r\nQUJD\r\n."},
        {"RETR 1\r\n", "+OK 1"},
        {"TOP 1 0\r\n", "+OK\r\nSubject: cut\r\nFro"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arrived);
        server.Expect(c.command).Reply(c.arrived).Close(20);
        if (std::string(c.command).starts_with("RETR")) {
            EXPECT_EQ(session->LoadMessage(1), 0);
        } else {
            EXPECT_EQ(session->LoadHeader(1), "");
        }
        EXPECT_EQ(session->GetErrorCode(), SessionError::kReadFailed);
        EXPECT_EQ(session->TakeMessage(), "");
        EXPECT_FALSE(server.connectionOpen());
        server.UserPassLogin();
        ASSERT_EQ(LogIn(), 1);
    }
    LogOutWithQuit();
}

TEST_F(MessageTest, AReplyThatStallsBeforeItsEndTimesOut) {
    server.Expect("RETR 1\r\n").Reply("+OK\r\nSubject: stalled\r\n\r\nQUJD\r\n");
    EXPECT_EQ(session->LoadMessage(1), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kTimedOut);
    EXPECT_EQ(session->GetLastReply(), "");
    LogOutWithQuit();
}

TEST_F(MessageTest, ReadErrorLogsOutAndGives3) {
    server.Expect("RETR 1\r\n").Reply("+OK\r\nSubject: a\r\n").BreakConnection();
    EXPECT_EQ(session->LoadMessage(1), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kReadFailed);
    EXPECT_FALSE(server.connectionOpen());
    EXPECT_EQ(session->GetMessageCount(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNotConnected);
    EXPECT_EQ(session->TakeMessage(), "");
    // Logout's QUIT was attempted over the broken connection and failed to send.
    EXPECT_EQ(server.sent().back(), "QUIT\r\n");
    EXPECT_EQ(session->Logout(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNothingToLogOut);
}

TEST_F(MessageTest, ReadErrorDuringTopKeepsCode3) {
    server.Expect("TOP 2 0\r\n").BreakConnection(40);
    EXPECT_EQ(session->LoadHeader(2), "");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kReadFailed);
    EXPECT_FALSE(server.connectionOpen());
}

TEST_F(MessageTest, CancelBeforeAReadIsDropped) {
    EXPECT_EQ(session->CancelReceive(), 0);
    server.Expect("RETR 1\r\n").Reply(kSmallRetr, 100);
    EXPECT_EQ(session->LoadMessage(1), 1);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
    LogOutWithQuit();
}

TEST_F(MessageTest, CancelDuringAReadGives15) {
    server.Expect("RETR 1\r\n")
        .Reply("+OK\r\nSubject: a\r\n")
        .Then([this] { session->CancelReceive(); })
        .Reply("\r\nbody\r\n.\r\n", 50);
    EXPECT_EQ(session->LoadMessage(1), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kCancelled);
    EXPECT_EQ(session->GetLastReply(), "");
    // The cancel is spent: the next reply reads normally, and the rest of the old one is discarded first.
    clock->Advance(100);
    server.Expect("RETR 1\r\n").Reply(kSmallRetr);
    EXPECT_EQ(session->LoadMessage(1), 1);
    EXPECT_EQ(session->GetLastReply(), " 12 octets\r\nabc\r\n");
    LogOutWithQuit();
}

TEST_F(MessageTest, CancelWhileWaitingForTheFirstByteGives15) {
    server.Expect("TOP 1 0\r\n").Then([this] { session->CancelReceive(); });
    const std::int64_t start = clock->NowMs();
    EXPECT_EQ(session->LoadHeader(1), "");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kCancelled);
    EXPECT_LT(clock->NowMs() - start, kTimeoutMs);
    LogOutWithQuit();
}

TEST_F(MessageTest, RefusedRetrGives10) {
    server.Expect("RETR 2\r\n").Reply("-ERR no such message\r\n");
    EXPECT_EQ(session->LoadMessage(2), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNotLoaded);
    EXPECT_EQ(session->GetLastReply(), " no such message\r\n");
    LogOutWithQuit();
}

TEST_F(MessageTest, MessageNumbersOutsideTheCountGive8WithoutSending) {
    for (const std::int32_t n : {0, -1, 3}) {
        SCOPED_TRACE(n);
        EXPECT_EQ(session->LoadHeader(n), "");
        EXPECT_EQ(session->GetErrorCode(), SessionError::kBadNumber);
        EXPECT_EQ(session->LoadMessage(n), 0);
        EXPECT_EQ(session->GetErrorCode(), SessionError::kBadNumber);
        EXPECT_EQ(session->DeleteMessage(n), 0);
        EXPECT_EQ(session->GetErrorCode(), SessionError::kBadNumber);
    }
    EXPECT_EQ(server.sent().back(), "LIST\r\n") << "the last command of the login";
    LogOutWithQuit();
}

TEST_F(MessageTest, OperationsWithoutConnectionGive1) {
    LogOutWithQuit();
    const std::size_t sentBefore = server.sent().size();
    EXPECT_EQ(session->LoadHeader(1), "");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNotConnected);
    EXPECT_EQ(session->LoadMessage(1), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNotConnected);
    session->Logout();  // code 11 in between
    EXPECT_EQ(session->DeleteMessage(1), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNotConnected);
    session->Logout();
    EXPECT_EQ(session->ResetSession(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNotConnected);
    EXPECT_EQ(server.sent().size(), sentBefore);
}

TEST_F(MessageTest, TopMissingFromAKnownCapabilityListGives7WithoutSending) {
    LogOutWithQuit();
    LogInWith("+OK\r\nUSER\r\nUIDL\r\nTOP-LIKE\r\n.\r\n");
    const std::size_t sentBefore = server.sent().size();
    EXPECT_EQ(session->LoadHeader(1), "");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kTopNotOffered);
    EXPECT_EQ(server.sent().size(), sentBefore);
    LogOutWithQuit();
}

TEST_F(MessageTest, RefusedTopStillGivesTheReplyText) {
    server.Expect("TOP 1 0\r\n").Reply("-ERR no such message\r\n");
    EXPECT_EQ(session->LoadHeader(1), " no such message\r\n");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
    LogOutWithQuit();
}

TEST_F(MessageTest, DeleteAndResetReportTheServersAnswer) {
    struct Case {
        bool reset;
        std::string reply;
        std::int32_t result;
        std::int32_t code;
    };
    const Case cases[] = {
        {false, "+OK message 2 deleted\r\n", 1, SessionError::kNone},
        {false, "-ERR message 2 already deleted\r\n", 0, SessionError::kCommandRefused},
        {true, "+OK maildrop has 2 messages\r\n", 1, SessionError::kNone},
        {true, "-ERR\r\n", 0, SessionError::kCommandRefused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        session->LoadHeader(0);  // an earlier code that success must clear
        server.Expect(c.reset ? "RSET\r\n" : "DELE 2\r\n").Reply(c.reply);
        EXPECT_EQ(c.reset ? session->ResetSession() : session->DeleteMessage(2), c.result);
        EXPECT_EQ(session->GetErrorCode(), c.code);
    }
    LogOutWithQuit();
}

TEST_F(MessageTest, CommandsThatCannotBeSentGive13) {
    server.Expect("DELE 1\r\n", true);
    EXPECT_EQ(session->DeleteMessage(1), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kSendFailed);
    server.Expect("RSET\r\n", true);
    EXPECT_EQ(session->ResetSession(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kSendFailed);
    server.Expect("TOP 1 0\r\n", true);
    EXPECT_EQ(session->LoadHeader(1), "");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kSendFailed);
    server.Expect("RETR 1\r\n", true);
    EXPECT_EQ(session->LoadMessage(1), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kSendFailed);
    LogOutWithQuit();
}

}  // namespace
}  // namespace zendrel::testsupport
