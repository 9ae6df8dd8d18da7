// A server that lists PIPELINING: headers asked for ahead, messages retrieved ahead, and every reply taken by the
// command it answers, also when the replies come in pieces, late, cut short, or while the run stops.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session_fixture.h"

namespace zendrel::testsupport {
namespace {

const std::string kPipeliningCapa = "+OK\r\nTOP\r\nUSER\r\nPIPELINING\r\n.\r\n";

std::string TopReply(int n) { return "+OK\r\nSubject: s" + std::to_string(n) + "\r\n\r\n.\r\n"; }
std::string Header(int n) { return "\r\nSubject: s" + std::to_string(n) + "\r\n\r\n.\r\n"; }
std::string RetrReply(int n) { return "+OK\r\nSubject: s" + std::to_string(n) + "\r\n\r\nbody\r\n.\r\n"; }
std::string Message(int n) { return "\r\nSubject: s" + std::to_string(n) + "\r\n\r\nbody\r\n"; }
const std::string kSizes = "+OK 3 messages\r\n1 100\r\n2 200\r\n3 300\r\n.\r\n";

class PipeliningTest : public SessionTest {
protected:
    void SetUp() override { LogInWith(kPipeliningCapa, "+OK 3 900\r\n"); }

    // The first commands sent ahead: the sizes, which set the limits of the message replies, and the headers.
    void ExpectHeadersAsked() {
        server.Expect("LIST\r\n").Expect("TOP 1 0\r\n").Expect("TOP 2 0\r\n").Expect("TOP 3 0\r\n");
    }
};

TEST_F(PipeliningTest, EveryReplyGoesToItsCommandWhateverPiecesItComesIn) {
    for (const std::size_t pieceSize : {std::size_t{1000}, std::size_t{1}, std::size_t{7}}) {
        SCOPED_TRACE(pieceSize);
        // The headers are asked for at once; a RETR and a DELE in between are answered after them.
        ExpectHeadersAsked();
        server.ReplyInPieces(kSizes + TopReply(1), pieceSize)
            .Expect("RETR 1\r\n")
            .ReplyInPieces(TopReply(2) + TopReply(3) + RetrReply(1), pieceSize)
            .Expect("DELE 1\r\n")
            .ReplyInPieces("+OK deleted\r\n", pieceSize);
        EXPECT_EQ(session->LoadHeader(1), Header(1));
        EXPECT_EQ(session->LoadMessage(1), 1);
        EXPECT_EQ(session->GetLastReply(), Message(1));
        EXPECT_EQ(session->DeleteMessage(1), 1);
        EXPECT_EQ(session->LoadHeader(2), Header(2));
        EXPECT_EQ(session->LoadHeader(3), Header(3));
        EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
        LogOutWithQuit();
        if (pieceSize != 7) LogInWith(kPipeliningCapa, "+OK 3 900\r\n");
    }
}

TEST_F(PipeliningTest, WantedMessagesAreRetrievedAheadWithinTheBudget) {
    session->SetReadAheadFilter([](const std::string& header) { return header.find("s1") == std::string::npos; });
    // Message 3 is too big to be fetched before it is asked for.
    ExpectHeadersAsked();
    server.Reply("+OK 3 messages\r\n1 100\r\n2 200\r\n3 99999999\r\n.\r\n" + TopReply(1) + TopReply(2) + TopReply(3))
        .Expect("RETR 2\r\n")
        .Reply(RetrReply(2));
    EXPECT_EQ(session->LoadHeader(1), Header(1));
    EXPECT_EQ(server.sent().back(), "RETR 2\r\n") << "message 2 is wanted and was asked for at once";
    EXPECT_EQ(session->LoadHeader(2), Header(2));
    EXPECT_EQ(session->LoadMessage(2), 1);
    EXPECT_EQ(session->GetLastReply(), Message(2));
    EXPECT_EQ(session->LoadHeader(3), Header(3));
    server.Expect("RETR 3\r\n").Reply(RetrReply(3));
    EXPECT_EQ(session->LoadMessage(3), 1);
    EXPECT_EQ(session->GetLastReply(), Message(3));
    LogOutWithQuit();
}

TEST_F(PipeliningTest, LateReplyIsNeverTakenForTheNextCommands) {
    ExpectHeadersAsked();
    server.Reply(kSizes + TopReply(1).substr(0, 9)).Reply(TopReply(1).substr(9) + TopReply(2), kTimeoutMs + 500);
    EXPECT_EQ(session->LoadHeader(1), "");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kTimedOut);
    EXPECT_EQ(session->LoadHeader(2), Header(2));
    server.Reply(TopReply(3));
    EXPECT_EQ(session->LoadHeader(3), Header(3));
    LogOutWithQuit();
}

TEST_F(PipeliningTest, ConnectionClosedInTheMiddleOfABatchFailsTheCommandWhoseReplyIsCut) {
    ExpectHeadersAsked();
    server.Reply(kSizes + TopReply(1) + TopReply(2).substr(0, 10)).Close(30);
    EXPECT_EQ(session->LoadHeader(1), Header(1));
    EXPECT_EQ(session->LoadHeader(2), "");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kReadFailed);
    EXPECT_FALSE(server.connectionOpen());
    EXPECT_NE(server.sent().back(), "QUIT\r\n") << "nobody is left to say QUIT to";
}

TEST_F(PipeliningTest, StopWithCommandsInFlightReadsTheirRepliesBeforeQuit) {
    ExpectHeadersAsked();
    server.Reply(kSizes + TopReply(1))
        .Reply(TopReply(2).substr(0, 5), 50)
        .Then([this] { session->CancelReceive(); })
        .Reply(TopReply(2).substr(5) + TopReply(3), 200);
    EXPECT_EQ(session->LoadHeader(1), Header(1));
    EXPECT_EQ(session->LoadHeader(2), "");
    EXPECT_EQ(session->GetErrorCode(), SessionError::kCancelled);
    // Deletions count only at QUIT: it goes out once the server has answered what is in flight.
    LogOutWithQuit();
}

TEST_F(PipeliningTest, StopIsNotHeldUpByAServerThatNeverAnswers) {
    ExpectHeadersAsked();
    server.Reply(kSizes + TopReply(1));
    EXPECT_EQ(session->LoadHeader(1), Header(1));
    EXPECT_EQ(session->Logout(), 0);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
    EXPECT_FALSE(server.connectionOpen());
    EXPECT_NE(server.sent().back(), "QUIT\r\n") << "a QUIT now would be answered by the replies still due";
}

TEST_F(PipeliningTest, StopIsNotHeldUpByAServerThatKeepsSending) {
    ExpectHeadersAsked();
    std::string lines;
    while (lines.size() < 9000) lines += "X-Filler: " + std::string(80, 'x') + "\r\n";
    // The header of message 2 comes a piece a second, each well within the time-out, and does not end.
    server.Reply(kSizes + TopReply(1) + "+OK\r\n").ReplyInPieces(lines.substr(0, 9000), 1000, 1000);
    EXPECT_EQ(session->LoadHeader(1), Header(1));
    const std::int64_t start = clock->NowMs();
    EXPECT_EQ(session->Logout(), 0);
    EXPECT_LE(clock->NowMs() - start, kTimeoutMs + 100) << "the drain has a deadline that data does not move";
    EXPECT_FALSE(server.connectionOpen());
    EXPECT_NE(server.sent().back(), "QUIT\r\n");
}

TEST_F(PipeliningTest, StopsRepeatedWhileTheRepliesInFlightKeepComingDoNotCutTheDrain) {
    ExpectHeadersAsked();
    server.Reply(kSizes + TopReply(1));
    EXPECT_EQ(session->LoadHeader(1), Header(1));
    // A busy machine reads a piece every 50 ms while the stop asks for a cancel every 20 ms: two cancels fall between
    // two pieces, and the data is still moving.
    const std::string inFlight = TopReply(2) + TopReply(3);
    for (std::size_t at = 0; at < inFlight.size(); at += 4) {
        server.Then([this] { session->CancelReceive(); })
            .Reply("", 20)
            .Then([this] { session->CancelReceive(); })
            .Reply(inFlight.substr(at, 4), 30);
    }
    LogOutWithQuit();
}

TEST_F(PipeliningTest, DeletionGoesOutWithoutWaitingForTheRepliesInFlight) {
    ExpectHeadersAsked();
    server.Reply(kSizes + TopReply(1)).Expect("DELE 1\r\n");
    EXPECT_EQ(session->LoadHeader(1), Header(1));
    // The headers of messages 2 and 3 are still on their way: the DELE does not wait for them.
    EXPECT_EQ(session->DeleteMessage(1), 1);
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);
    EXPECT_EQ(server.sent().back(), "DELE 1\r\n");
    server.Reply(TopReply(2) + TopReply(3) + "+OK deleted\r\n");
    EXPECT_EQ(session->LoadHeader(2), Header(2));
    EXPECT_EQ(session->LoadHeader(3), Header(3));
    LogOutWithQuit();
}

TEST_F(PipeliningTest, AfterAStopNothingMoreIsAskedForAhead) {
    // Every message is wanted, and small enough to be retrieved ahead as soon as its header is in.
    session->SetReadAheadFilter([](const std::string&) { return true; });
    ExpectHeadersAsked();
    server.Reply(kSizes + TopReply(1)).Expect("RETR 1\r\n");
    EXPECT_EQ(session->LoadHeader(1), Header(1));
    session->CancelReceive();
    // The headers that arrive after the stop ask for no retrieval: the QUIT waits only for what was in flight.
    server.Reply(TopReply(2) + TopReply(3) + RetrReply(1));
    EXPECT_EQ(session->LoadMessage(1), 1);
    EXPECT_EQ(session->GetLastReply(), Message(1));
    LogOutWithQuit();
}

TEST_F(PipeliningTest, UniqueIdsLetTheRunAskForTheHeadersOfNewMessagesOnly) {
    // A server that does not offer UIDL is not asked.
    const std::size_t sentBefore = server.sent().size();
    EXPECT_FALSE(session->GetUniqueIds().has_value());
    EXPECT_EQ(server.sent().size(), sentBefore);
    LogOutWithQuit();

    LogInWith("+OK\r\nTOP\r\nUSER\r\nPIPELINING\r\nUIDL\r\n.\r\n", "+OK 3 900\r\n");
    // One that refuses it leaves the session as it was.
    server.Expect("UIDL\r\n").Reply("-ERR not now\r\n");
    EXPECT_FALSE(session->GetUniqueIds().has_value());
    EXPECT_EQ(session->GetErrorCode(), SessionError::kNone);

    server.Expect("UIDL\r\n").Reply("+OK\r\n1 a\r\n2 b\r\n3 c\r\n.\r\n");
    const auto ids = session->GetUniqueIds();
    ASSERT_TRUE(ids.has_value());
    EXPECT_EQ(*ids, (std::vector<std::string>{"", "a", "b", "c"}));
    // Only message 2 is new: its header alone is asked for, and for one message not the sizes of the whole mailbox.
    session->LimitHeadersTo({2});
    server.Expect("TOP 2 0\r\n").Reply(TopReply(2)).Expect("RETR 2\r\n").Reply(RetrReply(2));
    EXPECT_EQ(session->LoadHeader(2), Header(2));
    EXPECT_EQ(session->LoadMessage(2), 1);
    EXPECT_EQ(session->GetLastReply(), Message(2));
    LogOutWithQuit();
}

}  // namespace
}  // namespace zendrel::testsupport
