// When a reply is complete, and what text it leaves, fed whole and in pieces.

#include "pop3/reply_assembler.h"

#include <gtest/gtest.h>

#include <string>

namespace zendrel {
namespace {

using namespace std::string_literals;

struct Case {
    const char* what;
    ReplyMode mode;
    std::string input;
    bool complete;
    std::string text;
};

const Case kCases[] = {
    {"status line", ReplyMode::kSingleLine, "+OK 2 320\r\n", true, "+OK 2 320\r\n"},
    {"bytes after the line end belong to no reply", ReplyMode::kSingleLine, "+OK\r\n+OK again\r\n", true, "+OK\r\n"},
    {"bare LF does not end a line", ReplyMode::kSingleLine, "+OK\nstill", false, "+OK\nstill"},
    {"line without its end", ReplyMode::kSingleLine, "+OK almost\r", false, "+OK almost\r"},
    {"single-line mode does not unstuff", ReplyMode::kSingleLine, "+OK\r\n", true, "+OK\r\n"},
    {"empty multi-line list", ReplyMode::kMultiLine, "+OK\r\n.\r\n", true, "+OK\r\n.\r\n"},
    {"multi-line reply", ReplyMode::kMultiLine, "+OK\r\nTOP\r\nUSER\r\n.\r\n", true, "+OK\r\nTOP\r\nUSER\r\n.\r\n"},
    {"multi-line reply without terminator", ReplyMode::kMultiLine, "+OK\r\nTOP\r\n", false, "+OK\r\nTOP\r\n"},
    {"dot line without CR LF in front", ReplyMode::kMultiLine, "+OK\r\nA.\r\nB\r\n", false, "+OK\r\nA.\r\nB\r\n"},
    {"error status ends a multi-line reply", ReplyMode::kMultiLine, "-ERR no such message\r\n", true,
     "-ERR no such message\r\n"},
    {"error status in lower case", ReplyMode::kMultiLine, "-err no\r\nmore", true, "-err no\r\n"},
    {"error status in mixed case", ReplyMode::kMultiLine, "-ErR\r\n", true, "-ErR\r\n"},
    {"other status waits for the terminator", ReplyMode::kMultiLine, "* BAD\r\n", false, "* BAD\r\n"},
    {"stuffed dot line", ReplyMode::kMultiLine, "+OK\r\n..\r\n.\r\n", true, "+OK\r\n.\r\n.\r\n"},
    {"stuffed lines", ReplyMode::kMultiLine, "+OK\r\n..a\r\nb..\r\n...c\r\n.\r\n", true,
     "+OK\r\n.a\r\nb..\r\n..c\r\n.\r\n"},
    {"stuffed line in an unfinished reply", ReplyMode::kMultiLine, "+OK\r\n..x", false, "+OK\r\n.x"},
    {"NUL bytes stay", ReplyMode::kMultiLine, "+OK\r\n\0a\0\r\n.\r\n"s, true, "+OK\r\n\0a\0\r\n.\r\n"s},
    {"bytes after the terminator belong to no reply", ReplyMode::kMultiLine, "+OK\r\nx\r\n.\r\n+OK\r\n", true,
     "+OK\r\nx\r\n.\r\n"},
};

void ExpectAssembles(const Case& c, std::size_t pieceSize) {
    SCOPED_TRACE(std::string(c.what) + ", pieces of " + std::to_string(pieceSize));
    ReplyAssembler assembler(c.mode);
    bool complete = false;
    for (std::size_t at = 0; at < c.input.size() && !complete; at += pieceSize) {
        complete = assembler.Append(std::string_view(c.input).substr(at, pieceSize));
    }
    EXPECT_EQ(complete, c.complete);
    EXPECT_EQ(assembler.IsComplete(), c.complete);
    EXPECT_EQ(assembler.TakeText(), c.text);
}

TEST(ReplyAssembler, CompletesAtTheProtocolsEndFedWhole) {
    for (const Case& c : kCases) ExpectAssembles(c, c.input.size());
}

TEST(ReplyAssembler, CompletesAtTheProtocolsEndFedInPieces) {
    for (const Case& c : kCases) {
        for (std::size_t pieceSize = 1; pieceSize < c.input.size(); ++pieceSize) ExpectAssembles(c, pieceSize);
    }
}

TEST(ReplyAssembler, TerminatorSplitAtEveryPosition) {
    const std::string reply = "+OK\r\nline\r\n.\r\n";
    for (std::size_t cut = 1; cut < reply.size(); ++cut) {
        SCOPED_TRACE(cut);
        ReplyAssembler assembler(ReplyMode::kMultiLine);
        EXPECT_FALSE(assembler.Append(std::string_view(reply).substr(0, cut)));
        EXPECT_TRUE(assembler.Append(std::string_view(reply).substr(cut)));
        EXPECT_EQ(assembler.TakeText(), reply);
    }
}

TEST(ReplyAssembler, TakeTextLeavesItEmptyForTheNextReply) {
    ReplyAssembler assembler(ReplyMode::kSingleLine);
    EXPECT_TRUE(assembler.Append("+OK one\r\n"));
    EXPECT_EQ(assembler.TakeText(), "+OK one\r\n");
    EXPECT_FALSE(assembler.IsComplete());
    EXPECT_EQ(assembler.size(), 0u);
    EXPECT_TRUE(assembler.Append("+OK two\r\n"));
    EXPECT_EQ(assembler.TakeText(), "+OK two\r\n");
}

TEST(ReplyAssembler, LargeReplyInManyPieces) {
    std::string body;
    for (int line = 0; line < 20000; ++line) body += (line % 7 == 0 ? ".." : "") + std::to_string(line) + "\r\n";
    const std::string reply = "+OK\r\n" + body + ".\r\n";
    ReplyAssembler assembler(ReplyMode::kMultiLine);
    bool complete = false;
    for (std::size_t at = 0; at < reply.size(); at += 1000) complete = assembler.Append(reply.substr(at, 1000));
    ASSERT_TRUE(complete);
    std::string expected = "+OK\r\n";
    for (int line = 0; line < 20000; ++line) expected += (line % 7 == 0 ? "." : "") + std::to_string(line) + "\r\n";
    EXPECT_EQ(assembler.TakeText(), expected + ".\r\n");
}

TEST(ReplyAssembler, LeavesTheBytesAfterItsEndForTheNextReply) {
    const std::string big = "+OK\r\n" + std::string(300000, 'x') + "\r\n.\r\n";
    const struct {
        ReplyMode mode;
        std::string reply;
        std::string next;
    } cases[] = {
        {ReplyMode::kSingleLine, "+OK 1 2\r\n", "+OK next\r\n"},
        {ReplyMode::kMultiLine, "+OK\r\nSubject: a\r\n.\r\n", "+OK\r\nb\r\n.\r\n"},
        {ReplyMode::kMultiLine, "-ERR no such message\r\n", "+OK\r\n.\r\n"},
        {ReplyMode::kMultiLine, big, "+OK\r\n.\r\n"},  // ends in a later slice of one big piece
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.substr(0, 20));
        const std::string input = c.reply + c.next;
        ReplyAssembler assembler(c.mode);
        std::size_t used = 0;
        ASSERT_TRUE(assembler.Append(input, used));
        EXPECT_EQ(input.substr(used), c.next);
        EXPECT_EQ(assembler.TakeText(), c.reply);
        // Fed in two pieces split inside the reply, only the second piece has bytes left over.
        ASSERT_FALSE(assembler.Append(std::string_view(input).substr(0, 3), used));
        EXPECT_EQ(used, 3u);
        ASSERT_TRUE(assembler.Append(std::string_view(input).substr(3), used));
        EXPECT_EQ(input.substr(3 + used), c.next);
    }
}

TEST(UndoDotStuffing, RemovesOneDotAtEachLineStart) {
    struct Stuffed {
        std::string in, out;
    };
    const Stuffed cases[] = {
        {"", ""},
        {"+OK\r\n", "+OK\r\n"},
        {"+OK\r\n..\r\n", "+OK\r\n.\r\n"},
        {"+OK\r\n..a\r\n..b", "+OK\r\n.a\r\n.b"},
        {"+OK\r\n....\r\n", "+OK\r\n...\r\n"},
        {"+OK\r\na..b\r\n", "+OK\r\na..b\r\n"},
        {"+OK\n..lf only\r\n", "+OK\n..lf only\r\n"},
        {"+OK\r\n..\r\n..\r\n..", "+OK\r\n.\r\n.\r\n."},
    };
    for (const Stuffed& c : cases) {
        std::string text = c.in;
        UndoDotStuffing(text);
        EXPECT_EQ(text, c.out) << c.in;
    }
}

}  // namespace
}  // namespace zendrel
